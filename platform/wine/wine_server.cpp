#include "platform/wine/wine_server.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cstdio>

#include "platform/files.h"

namespace zel::platform {

std::vector<std::string> WineServerLockPaths(const std::string& prefix, const std::string& temp_root) {
    struct stat info {};
    if (::stat(prefix.c_str(), &info) != 0) return {};
    char server[64];
    std::snprintf(server, sizeof server, "/server-%llx-%llx/lock", static_cast<unsigned long long>(info.st_dev),
                  static_cast<unsigned long long>(info.st_ino));
    std::vector<std::string> paths;
    // The name is one short line; a name file that is a FIFO or a device is passed over unread.
    constexpr std::uint64_t kNameLimit = 4096;
    std::string name, ignored;
    if (ReadRegularFile(prefix + "/wineserver", name, ignored, kNameLimit) == ReadOutcome::kOk) {
        name = name.substr(0, name.find_first_of("\r\n"));
        if (!name.empty() && name.find('/') == std::string::npos && name != "." && name != "..") {
            paths.push_back(temp_root + "/" + name + server);
        }
    }
    // Wine runs only on a prefix its user owns, so the server's folder is named after the prefix's
    // owner, who need not be the caller (root cleaning a user's prefix).
    paths.push_back(temp_root + "/.wine-" + std::to_string(info.st_uid) + server);
    if (::getuid() != info.st_uid) paths.push_back(temp_root + "/.wine-" + std::to_string(::getuid()) + server);
    return paths;
}

bool IsWineServerRunning(const std::string& prefix, const std::string& temp_root) {
    for (const auto& path : WineServerLockPaths(prefix, temp_root)) {
        // Only a regular file is a server's lock; opening anything else could block.
        if (!NonRegularKind(path).empty()) continue;
        int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) continue;
        struct flock lock {};
        lock.l_type = F_WRLCK;
        lock.l_whence = SEEK_SET;
        bool held = ::fcntl(fd, F_GETLK, &lock) == 0 && lock.l_type != F_UNLCK;
        ::close(fd);
        if (held) return true;
    }
    return false;
}

}  // namespace zel::platform
