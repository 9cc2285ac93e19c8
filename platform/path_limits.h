// The longest path, terminator included, that the system's file calls accept (PATH_MAX on Linux).
// Buffers that hold a path take this size, so that no path the system can open is refused early.
#pragma once

#include <cstddef>

namespace zel::platform {

inline constexpr std::size_t kMaxPathLength = 4096;

}  // namespace zel::platform
