// Whether Wine runs on a prefix right now: its server holds a lock in a folder under /tmp that is
// named after the prefix folder's device and inode numbers.
#pragma once

#include <string>
#include <vector>

namespace zel::platform {

// True when a wineserver holds the lock of `prefix`. `temp_root` is where Wine puts its server
// folders ("/tmp"); tests pass their own.
bool IsWineServerRunning(const std::string& prefix, const std::string& temp_root = "/tmp");

// The lock files a server for `prefix` would hold, most likely first (Debian's layout names its
// folder in the prefix's "wineserver" file; upstream Wine uses ".wine-UID" with the UID of the
// prefix's owner).
std::vector<std::string> WineServerLockPaths(const std::string& prefix, const std::string& temp_root);

}  // namespace zel::platform
