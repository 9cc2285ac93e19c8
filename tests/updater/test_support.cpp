#include "test_support.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <thread>

extern char** environ;

namespace zel::updater::test {
namespace {

namespace fs = std::filesystem;

constexpr int kStartTimeoutMs = 15000;

void StopProcess(pid_t pid) {
    if (pid <= 0) return;
    ::kill(pid, SIGTERM);
    int status = 0;
    ::waitpid(pid, &status, 0);
}

pid_t SpawnWithOutput(const std::vector<std::string>& argv, int* readEnd, std::string& error) {
    int fds[2];
    if (::pipe(fds) != 0) {
        error = "pipe failed";
        return -1;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    std::vector<char*> args;
    for (const auto& word : argv) args.push_back(const_cast<char*>(word.c_str()));
    args.push_back(nullptr);
    pid_t pid = -1;
    int rc = ::posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    if (rc != 0) {
        ::close(fds[0]);
        error = "cannot start " + argv[0];
        return -1;
    }
    *readEnd = fds[0];
    return pid;
}

int FreePort() {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

bool Accepts(int port) {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return ok;
}

}  // namespace

ScopedWorkingFolder::ScopedWorkingFolder(const std::string& folder) : m_previous(fs::current_path().string()) {
    fs::current_path(folder);
}

ScopedWorkingFolder::~ScopedWorkingFolder() { fs::current_path(m_previous); }

ScopedEnv::ScopedEnv(const char* name, const char* value) : m_name(name) {
    if (const char* old = std::getenv(name)) {
        m_had = true;
        m_old = old;
    }
    if (value)
        ::setenv(name, value, 1);
    else
        ::unsetenv(name);
}

ScopedEnv::~ScopedEnv() {
    if (m_had)
        ::setenv(m_name.c_str(), m_old.c_str(), 1);
    else
        ::unsetenv(m_name.c_str());
}

NoProxyEnvironment::NoProxyEnvironment() {
    for (const char* name : {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY", "ftp_proxy", "FTP_PROXY",
                             "all_proxy", "ALL_PROXY", "no_proxy", "NO_PROXY"})
        m_vars.push_back(std::make_unique<ScopedEnv>(name, nullptr));
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

bool FileExists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

std::vector<std::string> FilesStartingWith(const std::string& folder, const std::string& prefix) {
    std::vector<std::string> names;
    std::error_code ignored;
    for (const auto& entry : fs::directory_iterator(folder, ignored)) {
        std::string name = entry.path().filename().string();
        if (name.rfind(prefix, 0) == 0) names.push_back(name);
    }
    return names;
}

std::string PatternBytes(std::size_t size, unsigned seed) {
    std::string bytes(size, '\0');
    unsigned state = seed * 2654435761u + 1;
    for (auto& byte : bytes) {
        state = state * 1103515245u + 12345u;
        byte = static_cast<char>(state >> 16);
    }
    return bytes;
}

void CopyFreshPrefix(const std::string& folder) {
    const fs::path fresh = fs::path(ZEL_SHARED_DIR) / "wine-prefix" / "fresh";
    fs::create_directories(folder);
    for (const char* name : {"system.reg", "user.reg", "userdef.reg"}) {
        fs::copy_file(fresh / name, fs::path(folder) / name, fs::copy_options::overwrite_existing);
        fs::permissions(fs::path(folder) / name, fs::perms::owner_write, fs::perm_options::add);
    }
}

void SetLocalModificationTime(const std::string& path, int year, int month, int day, int hour, int minute, int second) {
    std::tm fields{};
    fields.tm_year = year - 1900;
    fields.tm_mon = month - 1;
    fields.tm_mday = day;
    fields.tm_hour = hour;
    fields.tm_min = minute;
    fields.tm_sec = second;
    fields.tm_isdst = -1;
    timespec times[2];
    times[0].tv_sec = times[1].tv_sec = std::mktime(&fields);
    times[0].tv_nsec = times[1].tv_nsec = 0;
    ::utimensat(AT_FDCWD, path.c_str(), times, 0);
}

std::unique_ptr<ServerProcess> ServerProcess::Start(const std::vector<std::string>& argv, std::string& error) {
    int readEnd = -1;
    pid_t pid = SpawnWithOutput(argv, &readEnd, error);
    if (pid < 0) return nullptr;
    std::string line;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kStartTimeoutMs);
    while (line.find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
        pollfd poller{readEnd, POLLIN, 0};
        if (::poll(&poller, 1, 200) <= 0) continue;
        char buffer[128];
        ssize_t n = ::read(readEnd, buffer, sizeof buffer);
        if (n <= 0) break;
        line.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(readEnd);
    if (line.rfind("PORT ", 0) != 0) {
        StopProcess(pid);
        error = argv[1] + " did not start: " + line;
        return nullptr;
    }
    return std::unique_ptr<ServerProcess>(new ServerProcess(pid, std::atoi(line.c_str() + 5)));
}

ServerProcess::~ServerProcess() { StopProcess(m_pid); }

std::unique_ptr<ServerProcess> StartHttpMirror(const std::string& folder, const std::string& requestLog,
                                               std::string& error) {
    std::vector<std::string> argv{ZEL_SYSTEM_PYTHON,
                                  std::string(ZEL_SOURCE_DIR) + "/tests/updater/servers/http_mirror.py", folder};
    if (!requestLog.empty()) argv.push_back(requestLog);
    return ServerProcess::Start(argv, error);
}

std::unique_ptr<ServerProcess> StartFtpMirror(const std::string& folder, std::string& error) {
    return ServerProcess::Start(
        {ZEL_SYSTEM_PYTHON, std::string(ZEL_SOURCE_DIR) + "/tests/updater/servers/ftp_mirror.py", folder}, error);
}

std::unique_ptr<Proxy> Proxy::Start(const std::string& folder, std::string& error) {
    for (int attempt = 0; attempt < 5; ++attempt) {
        int port = FreePort();
        std::string log = folder + "/proxy.log";
        std::string config = folder + "/tinyproxy.conf";
        WriteFile(config, "Port " + std::to_string(port) +
                              "\nListen 127.0.0.1\nTimeout 60\nLogLevel Info\nMaxClients 20\nAllow 127.0.0.1\n"
                              "LogFile \"" +
                              log + "\"\n");
        int readEnd = -1;
        pid_t pid = SpawnWithOutput({ZEL_TINYPROXY, "-d", "-c", config}, &readEnd, error);
        if (pid < 0) return nullptr;
        ::close(readEnd);
        for (int i = 0; i < 100; ++i) {
            if (Accepts(port)) return std::unique_ptr<Proxy>(new Proxy(pid, port, log));
            int status = 0;
            if (::waitpid(pid, &status, WNOHANG) == pid) {
                pid = -1;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        StopProcess(pid);
    }
    error = "tinyproxy did not start";
    return nullptr;
}

Proxy::~Proxy() { StopProcess(m_pid); }

SilentServer::SilentServer() : m_fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (m_fd < 0 || ::bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(m_fd, 16) != 0 || ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return;
    m_port = ntohs(address.sin_port);
}

SilentServer::~SilentServer() {
    if (m_fd >= 0) ::close(m_fd);
}

}  // namespace zel::updater::test
