#include "updater/wizard/text_convert.h"

#include <QStringDecoder>
#include <algorithm>

#include "framework/codepage.h"

namespace zel::updater {

QString ToQt(const CString& text) {
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    QString result = decoder(QByteArrayView(text.data(), static_cast<qsizetype>(text.size())));
    if (!decoder.hasError()) return result;
    return QString::fromStdString(codepage::Windows1252ToUtf8(text));
}

CString FromQt(const QString& text) { return text.toStdString(); }

std::pair<int, int> ScaleBar(std::uint32_t range, std::uint32_t position) {
    if (range == 0) return {1, 0};
    position = std::min(position, range);
    constexpr std::uint32_t kLimit = 1u << 30;
    while (range >= kLimit) {
        range >>= 1;
        position >>= 1;
    }
    return {static_cast<int>(range), static_cast<int>(position)};
}

}  // namespace zel::updater
