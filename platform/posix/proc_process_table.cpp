#include "platform/posix/proc_process_table.h"

#include <unistd.h>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "framework/codepage.h"
#include "platform/services.h"
#include "platform/system_root.h"

namespace zel::platform {
namespace fs = std::filesystem;
namespace {

// Wine's loaders, as the exe link of a Windows program's process names them.
bool IsWineLoader(const std::string& exe) {
    std::string name = fs::path(exe).filename().string();
    return name == "wine64-preloader" || name == "wine-preloader" || name == "wine64" || name == "wine";
}

// The zero-separated fields of a /proc file.
std::vector<std::string> ReadFields(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<std::string> fields;
    std::string field;
    while (std::getline(in, field, '\0')) fields.push_back(field);
    return fields;
}

bool SameFolder(const std::string& a, const std::string& b) {
    std::error_code error;
    if (fs::equivalent(a, b, error)) return true;
    return fs::absolute(a).lexically_normal() == fs::absolute(b).lexically_normal();
}

// The file on disk of the program that starts a Wine process's first argument: its Windows path
// in UTF-8, possibly quoted, possibly followed by the program's arguments in the same field; "" when
// it names no drive.
std::string MapWindowsProgram(SystemRoot& root, std::string program) {
    if (program.size() >= 2 && program[0] == '"') {
        std::size_t close = program.find('"', 1);
        program = program.substr(1, close == std::string::npos ? std::string::npos : close - 1);
    }
    if (auto ansi = codepage::Utf8ToWindows1252(program)) program = *ansi;
    if (program.size() < 3 || program[1] != ':') return "";
    std::string whole = root.ToDiskPath(program);
    std::error_code error;
    if (fs::is_regular_file(whole, error)) return whole;
    // The longest part before a space that names a file is the program.
    for (std::size_t space = program.rfind(' '); space != std::string::npos && space > 2;
         space = program.rfind(' ', space - 1)) {
        std::string part = root.ToDiskPath(program.substr(0, space));
        if (fs::is_regular_file(part, error)) return part;
    }
    return whole;
}

}  // namespace

ProcProcessTable::ProcProcessTable(std::string proc_root) : m_root(std::move(proc_root)) {}

bool ProcProcessTable::ListIds(std::vector<std::uint32_t>& ids) {
    std::error_code error;
    fs::directory_iterator it(m_root, error);
    if (error) return false;
    for (fs::directory_iterator end; it != end; it.increment(error)) {
        if (error) return false;
        std::string name = it->path().filename().string();
        if (name.empty() || name.size() > 10 || name.find_first_not_of("0123456789") != std::string::npos) continue;
        unsigned long long id = std::stoull(name);
        if (id <= 0xFFFFFFFFull) ids.push_back(static_cast<std::uint32_t>(id));
    }
    return true;
}

std::string ProcProcessTable::WineProgramPath(const std::string& folder) {
    SystemRoot* root = CurrentServices().system_root;
    if (!root || root->Kind() != "wine-prefix") return "";
    // The prefix a Wine process runs on: WINEPREFIX, else ~/.wine.
    std::string prefix, home;
    for (const auto& entry : ReadFields(folder + "/environ")) {
        if (entry.rfind("WINEPREFIX=", 0) == 0) prefix = entry.substr(11);
        if (entry.rfind("HOME=", 0) == 0) home = entry.substr(5);
    }
    if (prefix.empty() && !home.empty()) prefix = home + "/.wine";
    if (prefix.empty() || !SameFolder(prefix, root->Folder())) return "";
    auto arguments = ReadFields(folder + "/cmdline");
    return arguments.empty() ? "" : MapWindowsProgram(*root, arguments[0]);
}

bool ProcProcessTable::ProgramPath(std::uint32_t id, std::string& path) {
    std::string folder = m_root + "/" + std::to_string(id);
    std::error_code error;
    fs::path exe = fs::read_symlink(folder + "/exe", error);
    if (error) return false;
    if (IsWineLoader(exe.string())) {
        std::string program = WineProgramPath(folder);
        if (!program.empty()) {
            path = program;
            return true;
        }
    }
    path = exe.string();
    // The kernel marks a program file that was deleted or replaced after it started.
    static const std::string kDeleted = " (deleted)";
    if (path.size() > kDeleted.size() && path.compare(path.size() - kDeleted.size(), kDeleted.size(), kDeleted) == 0) {
        path.resize(path.size() - kDeleted.size());
    }
    return !path.empty();
}

bool ProcProcessTable::ParentId(std::uint32_t id, std::uint32_t& parent) {
    std::ifstream in(m_root + "/" + std::to_string(id) + "/stat");
    std::string stat;
    if (!std::getline(in, stat)) return false;
    // "PID (NAME) STATE PPID ...": the name may hold spaces and parentheses, so read after the last ")".
    std::size_t close = stat.rfind(')');
    if (close == std::string::npos) return false;
    std::istringstream fields(stat.substr(close + 1));
    std::string state;
    long long ppid = -1;
    if (!(fields >> state >> ppid) || ppid <= 0 || ppid > 0xFFFFFFFFll) return false;
    parent = static_cast<std::uint32_t>(ppid);
    return true;
}

std::uint32_t ProcProcessTable::OwnId() { return static_cast<std::uint32_t>(::getpid()); }

std::string ProcProcessTable::OwnPath() {
    std::error_code error;
    fs::path exe = fs::read_symlink("/proc/self/exe", error);
    return error ? "" : exe.string();
}

bool ProcProcessTable::Terminate(std::uint32_t id) {
    if (id == 0 || id > 0x7FFFFFFFu) return false;  // never a process group or "every process"
    return ::kill(static_cast<pid_t>(id), SIGKILL) == 0;
}

void ProcProcessTable::Sleep(std::uint32_t milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

bool IsWindowsNtFamily() { return true; }

ProcessTable& SystemProcessTable() {
    static ProcProcessTable table;
    return table;
}

}  // namespace zel::platform
