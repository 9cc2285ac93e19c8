// Helpers of the updater tests: temporary folders, the working folder, file contents, and real
// servers on 127.0.0.1 (HTTP mirror, FTP mirror, HTTP proxy) started and stopped by process ID.
#pragma once

#include <sys/types.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

namespace zel::updater::test {

using zel::testing::ReadBytes;
using zel::testing::TempDir;

// Makes `folder` the working folder until destruction.
class ScopedWorkingFolder {
public:
    explicit ScopedWorkingFolder(const std::string& folder);
    ~ScopedWorkingFolder();
    ScopedWorkingFolder(const ScopedWorkingFolder&) = delete;
    ScopedWorkingFolder& operator=(const ScopedWorkingFolder&) = delete;

private:
    std::string m_previous;
};

// Sets an environment variable (or removes it for nullptr) until destruction.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string m_name;
    bool m_had = false;
    std::string m_old;
};

// Removes every proxy variable libcurl reads, so that direct tests go direct.
class NoProxyEnvironment {
public:
    NoProxyEnvironment();

private:
    std::vector<std::unique_ptr<ScopedEnv>> m_vars;
};

void WriteFile(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);
// Names of the files in `folder` that start with `prefix`.
std::vector<std::string> FilesStartingWith(const std::string& folder, const std::string& prefix);
// `size` bytes of a repeatable pattern seeded by `seed`.
std::string PatternBytes(std::size_t size, unsigned seed);
// Copies the registry files of the fresh Wine prefix among the shared fixtures into `folder`, which
// then serves as a system root (its user.reg holds HKEY_CURRENT_USER).
void CopyFreshPrefix(const std::string& folder);
// Sets the modification time of a file to a local date and time.
void SetLocalModificationTime(const std::string& path, int year, int month, int day, int hour, int minute, int second);

// A server process whose first output line is "PORT n". Stopped (SIGTERM, then waited for) on
// destruction.
class ServerProcess {
public:
    // Null when it could not be started; `error` then says why.
    static std::unique_ptr<ServerProcess> Start(const std::vector<std::string>& argv, std::string& error);
    ~ServerProcess();
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;
    int port() const { return m_port; }

private:
    ServerProcess(pid_t pid, int port) : m_pid(pid), m_port(port) {}
    pid_t m_pid;
    int m_port;
};

std::unique_ptr<ServerProcess> StartHttpMirror(const std::string& folder, const std::string& requestLog,
                                               std::string& error);
std::unique_ptr<ServerProcess> StartFtpMirror(const std::string& folder, std::string& error);

// A port on 127.0.0.1 whose connections are accepted (by the system) and never answered.
class SilentServer {
public:
    SilentServer();
    ~SilentServer();
    SilentServer(const SilentServer&) = delete;
    SilentServer& operator=(const SilentServer&) = delete;
    int port() const { return m_port; }

private:
    int m_fd = -1;
    int m_port = 0;
};

// tinyproxy on 127.0.0.1 with its log in `folder`/proxy.log.
class Proxy {
public:
    static std::unique_ptr<Proxy> Start(const std::string& folder, std::string& error);
    ~Proxy();
    int port() const { return m_port; }
    std::string Log() const { return ReadBytes(m_log); }

private:
    Proxy(pid_t pid, int port, std::string log) : m_pid(pid), m_port(port), m_log(std::move(log)) {}
    pid_t m_pid;
    int m_port;
    std::string m_log;
};

}  // namespace zel::updater::test
