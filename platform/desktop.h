// Windows of other programs and the shell's "open" verb.
#pragma once

#include <cstdint>
#include <string>

namespace zel::platform {

using WindowId = std::uintptr_t;  // 0: no window

// Show modes passed to OpenItem, as the shell knows them.
constexpr int kShowNormal = 1;
constexpr int kShowDefault = 10;

class Desktop {
public:
    virtual ~Desktop() = default;
    // The top-level window whose title is exactly `title`, or 0 when there is none (always 0
    // where no window system is available).
    virtual WindowId FindTopLevelWindow(const std::string& title) = 0;
    // Posts `message` with zero parameters to `window`; does not wait. Unknown windows are ignored.
    virtual void PostWindowMessage(WindowId window, unsigned message) = 0;
    // Starts a program or opens a document with its associated program, without waiting for it.
    // A bare program name is looked up in the current folder, then in the search path. Returns
    // false when nothing could be started.
    virtual bool OpenItem(const std::string& item, int showMode) = 0;
};

// The desktop of this machine. Any thread may use it.
Desktop& SystemDesktop();

}  // namespace zel::platform
