// Texts between the core's 8-bit strings and Qt: UTF-8 where the bytes are UTF-8, else the
// Windows-1252 code page in which update scripts and old settings are written.
#pragma once

#include <QString>

#include "framework/framework_types.h"

namespace zel::updater {

QString ToQt(const CString& text);
CString FromQt(const QString& text);

}  // namespace zel::updater
