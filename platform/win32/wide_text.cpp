#include "platform/win32/wide_text.h"

#include "platform/win32/windows_api.h"

#include "framework/codepage.h"

namespace zel::platform::win32 {

std::optional<std::wstring> WideFromUtf8(std::string_view text) {
    if (text.empty()) return std::wstring();
    if (text.find('\0') != std::string_view::npos || text.size() > 0x7FFFFFFF) return std::nullopt;
    const int size = static_cast<int>(text.size());
    const int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), size, nullptr, 0);
    if (length <= 0) return std::nullopt;
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), size, wide.data(), length);
    return wide;
}

std::string Utf8FromWide(std::wstring_view text) {
    if (text.empty() || text.size() > 0x7FFFFFFF) return {};
    const int size = static_cast<int>(text.size());
    const int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    if (length <= 0) return {};
    std::string utf8(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), size, utf8.data(), length, nullptr, nullptr);
    return utf8;
}

std::wstring WideFromAnsi(std::string_view text) {
    // Every Windows-1252 byte is one character of the Basic Multilingual Plane.
    std::wstring wide;
    wide.reserve(text.size());
    for (char byte : text) {
        const std::string utf8 = codepage::Windows1252ToUtf8(std::string_view(&byte, 1));
        std::size_t pos = 0;
        const std::optional<char32_t> code = codepage::DecodeUtf8(utf8, pos);
        wide += static_cast<wchar_t>(code ? *code : U'?');
    }
    return wide;
}

std::string AnsiFromWide(std::wstring_view text) {
    const std::u16string units(text.begin(), text.end());
    return codepage::Utf16ToWindows1252(units);
}

std::string SystemErrorText(unsigned long code) {
    wchar_t* message = nullptr;
    const DWORD length =
        FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, code, 0, reinterpret_cast<wchar_t*>(&message), 0, nullptr);
    std::string text = length ? Utf8FromWide(std::wstring_view(message, length)) : std::string();
    if (message) LocalFree(message);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
    if (text.empty()) text = "system error";
    return text + " (" + std::to_string(code) + ")";
}

}  // namespace zel::platform::win32
