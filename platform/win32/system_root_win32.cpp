// On Windows the system root is the running machine: its own Windows folder, drives, registry and
// processes. A folder cannot stand in for a Windows installation there (no Wine prefix, no mounted
// partition): a root asked for by folder refuses every change, with the reason.
#include "platform/win32/windows_api.h"
// After <windows.h>, which it needs.
#include <shlobj.h>

#include <cstdlib>
#include <cwctype>

#include "framework/codepage.h"
#include "platform/system_root.h"
#include "platform/win32/registry_win32.h"
#include "platform/win32/wide_text.h"

namespace zel::platform {
namespace {

using win32::AnsiFromWide;
using win32::Utf8FromWide;

bool IsDriveLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// The drive's root folder ("C:\") when `path` begins with an absolute drive path ("C:\" or "C:/")
// of a drive the machine has; "" otherwise (a relative, UNC or device path, or no such drive).
std::wstring DriveRoot(std::wstring_view path) {
    if (path.size() < 3 || path[0] > 0x7F || !IsDriveLetter(static_cast<char>(path[0])) || path[1] != L':' ||
        (path[2] != L'\\' && path[2] != L'/')) {
        return {};
    }
    std::wstring root{static_cast<wchar_t>(std::towupper(path[0])), L':', L'\\'};
    return GetDriveTypeW(root.c_str()) == DRIVE_NO_ROOT_DIR ? std::wstring() : root;
}

// The absolute form of a drive path ("." and ".." taken out, "/" made "\"), as Windows resolves it;
// "" when it is not a path on a drive of the machine, or resolves to something else (a device).
std::wstring FullDrivePath(const std::wstring& path) {
    const std::wstring root = DriveRoot(path);
    if (root.empty() || path.find(L'\0') != std::wstring::npos) return {};
    std::wstring full(32768, L'\0');
    const DWORD length = GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (length == 0 || length >= full.size()) return {};
    full.resize(length);
    return DriveRoot(full) == root ? full : std::wstring();
}

std::wstring WindowsDirectory() {
    wchar_t folder[MAX_PATH + 1] = {};
    const UINT length = GetSystemWindowsDirectoryW(folder, MAX_PATH + 1);
    return length > 0 && length <= MAX_PATH ? std::wstring(folder, length) : std::wstring(L"C:\\Windows");
}

class RunningMachineRoot final : public SystemRoot {
public:
    // `refusal`: why no change may be made through this root ("" when changes may be made).
    explicit RunningMachineRoot(std::string refusal) : m_refusal(std::move(refusal)) {
        m_registry.RefuseWrites(m_refusal);
    }

    std::string Kind() const override { return "running-machine"; }
    // The drive of the Windows folder: what lies on it is this root's.
    std::string Folder() const override { return Utf8FromWide(DriveRoot(WindowsDirectory())); }
    std::string WindowsFolder() const override { return AnsiFromWide(WindowsDirectory()); }
    std::string ToDiskPath(const std::string& windows_path) const override {
        return Utf8FromWide(FullDrivePath(win32::WideFromAnsi(windows_path)));
    }
    std::string DriveFolder(const std::string& windows_path) const override {
        return Utf8FromWide(DriveRoot(win32::WideFromAnsi(windows_path)));
    }
    std::string ToWindowsPath(const std::string& disk_path) const override {
        const auto wide = win32::WideFromUtf8(disk_path);
        const std::string full = wide ? Utf8FromWide(FullDrivePath(*wide)) : std::string();
        // As the Wine root does: a name the ANSI code page cannot spell stays in UTF-8.
        const auto ansi = codepage::Utf8ToWindows1252(full);
        return ansi ? *ansi : full;
    }
    std::string DefaultStartupFolder() override {
        wchar_t folder[MAX_PATH + 1] = {};
        if (SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_STARTUP, nullptr, SHGFP_TYPE_CURRENT, folder)))
            return AnsiFromWide(folder);
        return WindowsFolder() + "\\Start Menu\\Programs\\StartUp";
    }
    Registry& GetRegistry() override { return m_registry; }
    // The system keeps its registry itself; no file of it is ours to name.
    std::vector<std::string> RegistryFiles() const override { return {}; }
    std::string InUseBy() override { return ""; }
    std::string Refusal() override { return m_refusal; }
    std::string CreateSkeleton() override { return m_refusal; }

private:
    std::string m_refusal;
    Win32Registry m_registry;
};

}  // namespace

std::string DefaultSystemRootFolder() {
    const char* root = std::getenv("ZEL_SYSTEM_ROOT");
    return root ? root : "";
}

std::unique_ptr<SystemRoot> OpenSystemRoot(const std::string& folder) {
    if (folder.empty()) return std::make_unique<RunningMachineRoot>("");
    return std::make_unique<RunningMachineRoot>("on Windows disinfection works on this machine, not on a folder (" +
                                                folder + ")");
}

}  // namespace zel::platform
