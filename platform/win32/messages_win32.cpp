// A console program (zel.exe) writes its messages to standard error; a program without a console (a
// GUI program, or one started without a window) has nobody reading standard error and shows a
// message box instead.
#include "platform/win32/windows_api.h"

#include <cstdio>

#include "platform/messages.h"
#include "platform/win32/wide_text.h"

namespace zel::platform {
namespace {

bool HasStandardError() {
    HANDLE error = ::GetStdHandle(STD_ERROR_HANDLE);
    return error != nullptr && error != INVALID_HANDLE_VALUE;
}

class StandardErrorOrMessageBox final : public MessageSink {
public:
    void ShowMessage(const std::string& text) override {
        if (HasStandardError()) {
            std::fprintf(stderr, "%s\n", text.c_str());
            std::fflush(stderr);
            return;
        }
        // Text that is no UTF-8 is shown as the ANSI code page reads it rather than not at all.
        std::wstring wide = win32::WideFromUtf8(text).value_or(win32::WideFromAnsi(text));
        ::MessageBoxW(nullptr, wide.c_str(), L"Zel", MB_OK | MB_ICONEXCLAMATION | MB_TASKMODAL);
    }
};

}  // namespace

MessageSink& StandardErrorMessages() {
    static StandardErrorOrMessageBox sink;
    return sink;
}

}  // namespace zel::platform
