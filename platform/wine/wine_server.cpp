#include "platform/wine/wine_server.h"

#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace zel::platform {

std::vector<std::string> WineServerLockPaths(const std::string& prefix, const std::string& temp_root) {
    struct stat info {};
    if (::stat(prefix.c_str(), &info) != 0) return {};
    char server[64];
    std::snprintf(server, sizeof server, "/server-%llx-%llx/lock", static_cast<unsigned long long>(info.st_dev),
                  static_cast<unsigned long long>(info.st_ino));
    std::vector<std::string> paths;
    std::ifstream name_file(prefix + "/wineserver");
    std::string name;
    if (name_file && std::getline(name_file, name) && !name.empty() && name.find('/') == std::string::npos &&
        name != "." && name != "..") {
        paths.push_back(temp_root + "/" + name + server);
    }
    // Wine runs only on a prefix its user owns, so the server's folder is named after the prefix's
    // owner, who need not be the caller (root cleaning a user's prefix).
    paths.push_back(temp_root + "/.wine-" + std::to_string(info.st_uid) + server);
    if (::getuid() != info.st_uid) paths.push_back(temp_root + "/.wine-" + std::to_string(::getuid()) + server);
    return paths;
}

bool IsWineServerRunning(const std::string& prefix, const std::string& temp_root) {
    for (const auto& path : WineServerLockPaths(prefix, temp_root)) {
        int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
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
