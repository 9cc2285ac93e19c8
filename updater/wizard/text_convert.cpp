#include "updater/wizard/text_convert.h"

#include <QStringDecoder>

#include "framework/codepage.h"

namespace zel::updater {

QString ToQt(const CString& text) {
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    QString result = decoder(QByteArrayView(text.data(), static_cast<qsizetype>(text.size())));
    if (!decoder.hasError()) return result;
    return QString::fromStdString(codepage::Windows1252ToUtf8(text));
}

CString FromQt(const QString& text) { return text.toStdString(); }

}  // namespace zel::updater
