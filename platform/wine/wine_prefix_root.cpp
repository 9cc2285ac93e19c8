#include "platform/wine/wine_prefix_root.h"

#include <sys/stat.h>
#include <unistd.h>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <optional>

#include "framework/codepage.h"
#include "platform/files.h"
#include "platform/wine/wine_server.h"

namespace zel::platform {
namespace fs = std::filesystem;
namespace {

// The per-user Start-up folder below a profile folder, as Wine lays it out.
constexpr const char* kStartupBelowProfile = "\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\StartUp";

std::vector<std::string> SplitWindowsPath(const std::string& rest) {
    std::vector<std::string> levels;
    std::string level;
    for (char c : rest + "\\") {
        if (c != '\\' && c != '/') {
            level += c;
            continue;
        }
        if (level == "..") {
            if (!levels.empty()) levels.pop_back();
        } else if (!level.empty() && level != ".") {
            levels.push_back(level);
        }
        level.clear();
    }
    return levels;
}

// The entry of `folder` that a Windows name (8-bit) names: the exact spelling if it exists, else
// the first entry equal to it without regard to case; nullopt when there is none.
std::optional<std::string> MatchEntry(const fs::path& folder, const std::string& name) {
    std::string utf8 = codepage::Windows1252ToUtf8(name);
    std::error_code error;
    if (fs::exists(folder / utf8, error)) return utf8;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        std::string entry = it->path().filename().string();
        auto ansi = codepage::Utf8ToWindows1252(entry);
        if (ansi && RegistryNamesEqual(*ansi, name)) return entry;
    }
    return std::nullopt;
}

// Hands what was made over to the owner and group of `owner_of` when that is someone else.
void GiveToOwnerOf(const std::vector<fs::path>& made, const fs::path& owner_of) {
    struct stat owner {};
    if (::geteuid() != 0 || ::stat(owner_of.c_str(), &owner) != 0 || owner.st_uid == 0) return;
    for (const auto& path : made) (void)!::lchown(path.c_str(), owner.st_uid, owner.st_gid);
}

}  // namespace

WinePrefixRoot::WinePrefixRoot(std::string directory, WineRegistry::Hooks hooks)
    : m_directory(CanonicalPath(directory)), m_registry(m_directory, std::move(hooks)) {
    while (m_directory.size() > 1 && m_directory.back() == '/') m_directory.pop_back();
}

std::map<char, std::string> WinePrefixRoot::DriveMappings() const {
    std::map<char, std::string> drives;
    fs::path devices = fs::path(m_directory) / "dosdevices";
    std::error_code error;
    if (!fs::is_directory(devices, error)) {
        drives['c'] = (fs::path(m_directory) / "drive_c").string();
        drives['z'] = std::string(1, '/');
        return drives;
    }
    for (fs::directory_iterator it(devices, error), end; !error && it != end; it.increment(error)) {
        std::string name = it->path().filename().string();
        if (name.size() != 2 || name[1] != ':' || !std::isalpha(static_cast<unsigned char>(name[0]))) continue;
        std::error_code link_error;
        fs::path target = fs::read_symlink(it->path(), link_error);
        if (link_error) continue;
        if (target.is_relative()) target = devices / target;
        std::string folder = CanonicalPath(target.string());
        while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
        drives[static_cast<char>(std::tolower(static_cast<unsigned char>(name[0])))] = folder;
    }
    return drives;
}

std::string WinePrefixRoot::DriveFolder(const std::string& windows_path) const {
    if (windows_path.size() < 2 || windows_path[1] != ':' ||
        !std::isalpha(static_cast<unsigned char>(windows_path[0]))) {
        return "";
    }
    auto drives = DriveMappings();
    auto drive = drives.find(static_cast<char>(std::tolower(static_cast<unsigned char>(windows_path[0]))));
    return drive == drives.end() ? "" : drive->second;
}

std::string WinePrefixRoot::ToDiskPath(const std::string& windows_path) const {
    std::string drive = DriveFolder(windows_path);
    if (drive.empty()) return "";
    fs::path path = drive;
    bool resolving = true;
    for (const auto& level : SplitWindowsPath(windows_path.substr(2))) {
        std::optional<std::string> entry = resolving ? MatchEntry(path, level) : std::nullopt;
        if (!entry) {
            // Below a level that does not exist nothing can be matched; keep the spelling given.
            resolving = false;
            entry = codepage::Windows1252ToUtf8(level);
        }
        path /= *entry;
    }
    return path.string();
}

std::string WinePrefixRoot::ToWindowsPath(const std::string& disk_path) const {
    std::string path = CanonicalPath(disk_path);
    // The longest mapping that holds the file gives the drive (c: before z: = /).
    char best_letter = 0;
    std::string best_folder;
    for (const auto& [letter, folder] : DriveMappings()) {
        bool inside = folder == "/" || path == folder || path.rfind(folder + "/", 0) == 0;
        if (inside && folder.size() > best_folder.size()) {
            best_letter = letter;
            best_folder = folder;
        }
    }
    if (!best_letter) return "";
    std::string rest =
        path.size() > best_folder.size() ? path.substr(best_folder == "/" ? 1 : best_folder.size() + 1) : "";
    std::string result(1, static_cast<char>(std::toupper(static_cast<unsigned char>(best_letter))));
    result += ":\\";
    auto ansi = codepage::Utf8ToWindows1252(rest);
    for (char c : ansi ? *ansi : rest) result += c == '/' ? '\\' : c;
    return result;
}

std::string WinePrefixRoot::DefaultStartupFolder() {
    RegistryValue value;
    if (m_registry.QueryValue(RegistryRoot::kCurrentUser, "Volatile Environment", "USERPROFILE", value) ==
            RegistryStatus::kOk &&
        value.type == kRegSz && !std::string(value.data.c_str()).empty()) {
        return std::string(value.data.c_str()) + kStartupBelowProfile;
    }
    // Wine names the profile after the Unix user.
    const char* user = std::getenv("USER");
    return std::string("C:\\users\\") + (user && *user ? user : "root") + kStartupBelowProfile;
}

std::vector<std::string> WinePrefixRoot::RegistryFiles() const {
    auto paths = m_registry.HivePaths();
    return {paths.begin(), paths.end()};
}

std::string WinePrefixRoot::InUseBy() { return IsWineServerRunning(m_directory) ? "wineserver" : ""; }

std::string WinePrefixRoot::Refusal() {
    std::error_code error;
    fs::path root(m_directory);
    auto status = fs::status(root, error);
    if (fs::exists(status)) {
        if (!fs::is_directory(status)) return m_directory + " is not a folder";
        // A folder named by mistake (a home folder, "/") must not get Windows folders put into it.
        bool prefix = false;
        for (const char* mark : {"drive_c", "dosdevices", "system.reg"})
            prefix = prefix || fs::exists(root / mark, error);
        if (!prefix && !fs::is_empty(root, error)) {
            return m_directory + " is not a Wine prefix (it has no drive_c, dosdevices or system.reg)";
        }
    }
    return m_registry.WriteRefusal();
}

std::string WinePrefixRoot::CreateSkeleton() {
    if (std::string refusal = Refusal(); !refusal.empty()) return refusal;
    std::error_code error;
    fs::path root(m_directory);
    bool root_existed = fs::exists(root, error);
    std::vector<fs::path> made;
    auto make_folder = [&](const fs::path& folder) {
        if (fs::exists(folder, error)) return true;
        if (!fs::create_directory(folder, error)) return false;
        made.push_back(folder);
        return true;
    };
    if (!root_existed) fs::create_directories(root, error);
    fs::path windows = root / "drive_c" / "windows";
    if (error || !make_folder(root / "drive_c") || !make_folder(windows)) {
        return "cannot make " + windows.string() + ": " + error.message();
    }
    fs::path devices = root / "dosdevices";
    if (!fs::exists(devices, error)) {
        if (make_folder(devices)) fs::create_directory_symlink("../drive_c", devices / "c:", error);
        if (!error) fs::create_directory_symlink("/", devices / "z:", error);
        if (error) return "cannot make the drive mappings in " + devices.string() + ": " + error.message();
        made.push_back(devices / "c:");
        made.push_back(devices / "z:");
    }
    // Root completing a user's prefix leaves what it made to that user, or Wine could no longer
    // write there.
    if (root_existed) GiveToOwnerOf(made, root);
    return "";
}

}  // namespace zel::platform
