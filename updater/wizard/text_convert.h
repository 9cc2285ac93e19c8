// Texts between the core's 8-bit strings and Qt: UTF-8 where the bytes are UTF-8, else the
// Windows-1252 code page in which update scripts and old settings are written.
#pragma once

#include <QString>
#include <cstdint>
#include <utility>

#include "framework/framework_types.h"

namespace zel::updater {

QString ToQt(const CString& text);
CString FromQt(const QString& text);

// A progress bar holds int values: a 32-bit unsigned range and position are scaled down together
// until the range fits. A zero range shows an empty bar (Qt would animate a busy bar instead).
// Returns {maximum, value}.
std::pair<int, int> ScaleBar(std::uint32_t range, std::uint32_t position);

}  // namespace zel::updater
