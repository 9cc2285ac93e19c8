// Other programs' windows on an X11 display: found by their exact title and asked to close through
// the window manager's delete-window request.
#pragma once

#include <memory>

#include "platform/desktop.h"

namespace zel::platform {

// A desktop whose windows live on the X11 display named by $DISPLAY. Finding a window looks at the
// top-level (client) windows; posting the close (0x10) or quit (0x12) message asks the window to
// close. Starting programs and opening documents are left to `base`. Without a display (none set,
// none reachable, or a Wayland session without X) no window is found and nothing is posted, silently.
// Any thread may use it; calls are serialised.
std::unique_ptr<Desktop> MakeX11Desktop(Desktop& base);

}  // namespace zel::platform
