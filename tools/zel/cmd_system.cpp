// zel system: the system root that `zel scan --disinfect` works on.
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "platform/files.h"
#include "platform/services.h"
#include "sysutil/special_folder.h"
#include "tools/zel/commands.h"
#include "tools/zel/database_io.h"
#include "tools/zel/json.h"

namespace zel::cli {
namespace {

constexpr const char* kSystemUsage =
    "usage: zel system info [--system-root DIR] [--json]\n"
    "Shows the system root: its kind, its Windows and Start-up folders, where its registry is kept\n"
    "and whether Wine is running on it, and whether `zel scan --disinfect` would work on it (exit\n"
    "status 2, with the reason, when it would refuse). The root is --system-root DIR, else\n"
    "$ZEL_SYSTEM_ROOT, else the private tree under $XDG_DATA_HOME/zel/system\n"
    "(~/.local/share/zel/system); one that does not exist yet is made by the first disinfection.\n"
    "On Windows the root is always the running machine (its live registry and processes), and\n"
    "--system-root is refused.\n";

constexpr const char* kShellFolders = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

std::string FileState(const std::string& path) {
    switch (platform::KindOfTarget(path)) {
        case platform::EntryKind::file: return "present";
        case platform::EntryKind::missing: return "missing";
        default: return "not a file";
    }
}

struct RootInfo {
    std::string kind, folder, windows_folder, windows_on_disk, startup, startup_on_disk, refusal;
    bool exists = false, startup_named = false, startup_exists = false, wine_running = false;
    std::vector<std::pair<std::string, std::string>> registry_files;  // path, state
};

RootInfo Describe(platform::SystemRoot& root) {
    RootInfo info;
    info.kind = root.Kind();
    info.folder = root.Folder();
    info.exists = platform::KindOfTarget(info.folder) != platform::EntryKind::missing;
    info.windows_folder = ToUtf8(root.WindowsFolder());
    info.windows_on_disk = root.ToDiskPath(root.WindowsFolder());
    platform::RegistryValue value;
    info.startup_named = root.GetRegistry().QueryValue(platform::RegistryRoot::kCurrentUser, kShellFolders, "StartUp",
                                                       value) == platform::RegistryStatus::kOk &&
                         value.type == platform::kRegSz;
    std::string startup = info.startup_named ? std::string(value.data.c_str()) : root.DefaultStartupFolder();
    info.startup = ToUtf8(startup);
    info.startup_on_disk = root.ToDiskPath(startup);
    CSpecialFolder folder;
    info.startup_exists = folder.Open(CSpecialFolder::kStartup) != 0;
    for (const auto& file : root.RegistryFiles()) info.registry_files.emplace_back(file, FileState(file));
    info.wine_running = !root.InUseBy().empty();
    info.refusal = root.Refusal();
    return info;
}

void PrintText(const RootInfo& info) {
    auto line = [](const char* name, const std::string& value) { std::printf("%-16s %s\n", name, value.c_str()); };
    line("kind:", info.kind);
    line("folder:", info.folder + (info.exists ? "" : " (will be made)"));
    line("windows folder:", info.windows_folder + " = " + info.windows_on_disk);
    line("start-up folder:", info.startup + (info.startup_named ? "" : " (default)") + " = " + info.startup_on_disk +
                                 (info.startup_exists ? "" : " (missing)"));
    for (const auto& [path, state] : info.registry_files) line("registry file:", path + " (" + state + ")");
    line("wine running:", info.wine_running ? "yes" : "no");
    line("disinfection:", info.refusal.empty() ? "allowed" : "refused: " + info.refusal);
}

void PrintJson(const RootInfo& info) {
    auto boolean = [](bool value) { return std::string(value ? "true" : "false"); };
    std::string files;
    for (const auto& [path, state] : info.registry_files) {
        files += std::string(files.empty() ? "" : ", ") + "{\"path\": " + JsonString(path) +
                 ", \"state\": " + JsonString(state) + "}";
    }
    std::printf(
        "{\"kind\": %s, \"folder\": %s, \"exists\": %s, \"windows_folder\": %s, \"windows_folder_on_disk\": %s, "
        "\"startup_folder\": %s, \"startup_folder_on_disk\": %s, \"startup_from_registry\": %s, "
        "\"startup_exists\": %s, \"registry_files\": [%s], \"wine_running\": %s, \"disinfection\": %s%s}\n",
        JsonString(info.kind).c_str(), JsonString(info.folder).c_str(), boolean(info.exists).c_str(),
        JsonString(info.windows_folder).c_str(), JsonString(info.windows_on_disk).c_str(),
        JsonString(info.startup).c_str(), JsonString(info.startup_on_disk).c_str(), boolean(info.startup_named).c_str(),
        boolean(info.startup_exists).c_str(), files.c_str(), boolean(info.wine_running).c_str(),
        info.refusal.empty() ? "\"allowed\"" : "\"refused\"",
        info.refusal.empty() ? "" : (", \"refusal\": " + JsonString(info.refusal)).c_str());
}

int Info(std::unique_ptr<platform::SystemRoot> root, bool json) {
    platform::ScopedServices services({.system_root = root.get()});
    RootInfo info = Describe(*root);
    if (json) {
        PrintJson(info);
    } else {
        PrintText(info);
    }
    if (info.refusal.empty()) return kOk;
    std::fprintf(stderr, "zel: cannot disinfect: %s\n", info.refusal.c_str());
    return kError;
}

}  // namespace

std::unique_ptr<platform::SystemRoot> TakeSystemRoot(Args& args) {
    auto directory = args.TakeOption("--system-root");
#ifdef _WIN32
    // A folder would name another installation's files while the registry and processes stayed the
    // running machine's: disinfection would clean one system's start-up places for another's files.
    if (directory) throw Failure{"--system-root is not available on Windows: the root is the running machine"};
#endif
    if (directory && directory->empty()) throw Failure{"--system-root needs a folder"};
    return platform::OpenSystemRoot(directory ? *directory : platform::DefaultSystemRootFolder());
}

int RunSystem(Args args) {
    if (args.TakeFlag("--help") || args.TakeFlag("-h")) {
        std::fputs(kSystemUsage, stdout);
        return kOk;
    }
    auto root = TakeSystemRoot(args);
    bool json = args.TakeFlag("--json");
    auto words = args.Positionals();
    if (words.empty()) throw Failure{"system needs an action (try zel system --help)"};
    if (words[0] != "info") throw Failure{"unknown system action '" + words[0] + "' (try zel system --help)"};
    if (words.size() > 1) throw Failure{"system info takes no more arguments (try zel system --help)"};
    return Info(std::move(root), json);
}

}  // namespace zel::cli
