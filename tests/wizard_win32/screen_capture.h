// Pictures of windows for the README: a window as the screen shows it, saved as a PNG file.
#pragma once

#include "platform/win32/windows_api.h"

#include <filesystem>

namespace zel::updater::test {

// Copies `window`'s rectangle from the screen into a 24-bit PNG at `path`; false on any failure.
bool CaptureWindow(HWND window, const std::filesystem::path& path);

}  // namespace zel::updater::test
