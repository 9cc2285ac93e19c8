// The desktop on a POSIX system without a window system of ours: no window is ever found, and
// items are opened by starting them (programs) or through xdg-open (documents and URLs).
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <thread>
#include <vector>

#include "platform/desktop.h"

extern char** environ;

namespace zel::platform {
namespace {

bool IsRegularFile(const std::string& path, bool* executable) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
    *executable = ::access(path.c_str(), X_OK) == 0;
    return true;
}

// A name without a slash is looked for in the current folder, then in each folder of PATH.
std::string Resolve(const std::string& item, bool* executable) {
    if (item.find('/') != std::string::npos) return IsRegularFile(item, executable) ? item : std::string();
    if (IsRegularFile("./" + item, executable)) return "./" + item;
    const char* path = std::getenv("PATH");
    std::string folders = path ? path : "";
    std::size_t start = 0;
    while (start <= folders.size()) {
        std::size_t end = folders.find(':', start);
        if (end == std::string::npos) end = folders.size();
        std::string folder = folders.substr(start, end - start);
        if (!folder.empty() && IsRegularFile(folder + "/" + item, executable)) return folder + "/" + item;
        start = end + 1;
    }
    return {};
}

// Starts `program` with `argument` (if any) and reaps it in the background, so no zombie remains
// and the caller never waits.
bool Spawn(const std::string& program, const std::string& argument) {
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    if (!argument.empty()) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (::posix_spawnp(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ) != 0) return false;
    std::thread([pid] {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }).detach();
    return true;
}

class PosixDesktop final : public Desktop {
public:
    WindowId FindTopLevelWindow(const std::string&) override { return 0; }
    void PostWindowMessage(WindowId, unsigned) override {}
    bool OpenItem(const std::string& item, int) override {
        if (item.empty()) return false;
        bool executable = false;
        std::string found = Resolve(item, &executable);
        if (!found.empty() && executable) return Spawn(found, {});
        if (found.empty() && item.find("://") == std::string::npos) return false;
        bool viewer = false;
        if (Resolve("xdg-open", &viewer).empty() || !viewer) return false;
        return Spawn("xdg-open", found.empty() ? item : found);
    }
};

}  // namespace

Desktop& SystemDesktop() {
    static PosixDesktop desktop;
    return desktop;
}

}  // namespace zel::platform
