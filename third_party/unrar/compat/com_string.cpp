// mingw-w64 declares _com_util::ConvertStringToBSTR (used by _bstr_t's narrow-string constructor)
// but ships no comsupp library that defines it. The UnRAR library needs it only for the two ASCII
// WMI query words it passes to _bstr_t, so the ANSI code page is right.
#include <comutil.h>
#include <windows.h>

namespace _com_util {

BSTR WINAPI ConvertStringToBSTR(const char* text) {
    if (text == nullptr) return nullptr;
    const int length = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (length <= 0) return nullptr;
    BSTR result = SysAllocStringLen(nullptr, static_cast<UINT>(length - 1));
    if (result != nullptr) MultiByteToWideChar(CP_ACP, 0, text, -1, result, length);
    return result;
}

}  // namespace _com_util
