#include "sysutil/special_folder.h"

#include <string_view>

#include "platform/files.h"
#include "platform/services.h"
#include "sysutil/registry_functions.h"

namespace {

constexpr const char* kShellFolders = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

}  // namespace

CSpecialFolder::CSpecialFolder() = default;

CSpecialFolder::~CSpecialFolder() = default;

int CSpecialFolder::Open(int folderNumber) {
    m_path.clear();
    m_windowsPath.clear();
    zel::platform::SystemRoot* root = zel::platform::CurrentServices().system_root;
    if (!root || folderNumber != kStartup) return 0;
    CString windows_path = RegistryReadString(HKEY_CURRENT_USER, kShellFolders, "StartUp", "");
    if (windows_path.empty()) windows_path = root->DefaultStartupFolder();
    CString path = root->ToDiskPath(windows_path);
    if (path.empty() || !zel::platform::IsFolder(path)) return 0;
    m_path = path;
    m_windowsPath = windows_path;
    return 1;
}

CString CSpecialFolder::GetPath() const {
    if (m_path.empty()) return "";
    // Either slash ends a folder name on Windows; a separator is added only when none ends it.
    const std::string_view separators = zel::platform::kPathSeparators;
    return separators.find(m_path.back()) != std::string_view::npos ? m_path : m_path + separators.front();
}
