// The start-up cleaning routines of CTrojanCureModule: one per kind of place Windows reads at
// start-up. All are silent and best-effort; each builds its paths from the file being disinfected
// and the system root of the platform binding.
#include <utility>

#include "cure/trojan_cure_module.h"
#include "platform/file_ops.h"
#include "platform/files.h"
#include "platform/services.h"
#include "platform/shell_link.h"
#include "sysutil/registry_functions.h"
#include "sysutil/special_folder.h"
#include "sysutil/text_buffer.h"
#include "sysutil/text_compare.h"

namespace {

// Inserted before a batch-file line that starts the trojan.
constexpr const char* kRemark = "REM BY ZELSCAN ";
// The open command restored for the program file types.
constexpr const char* kOpenCommand = "\"%1\" %*";
constexpr const char* kOpenCommandKeys[] = {"exefile\\shell\\open\\command", "comfile\\shell\\open\\command",
                                            "batfile\\shell\\open\\command"};

zel::platform::SystemRoot* Root() { return zel::platform::CurrentServices().system_root; }

// A file of the Windows folder, on disk; "" without a system root.
CString WindowsFile(const char* name) {
    zel::platform::SystemRoot* root = Root();
    return root ? root->ToDiskPath(root->WindowsFolder() + "\\" + name) : CString();
}

bool EndsWithLnk(const std::string& name) {
    return name.size() >= 4 && CompareTextPrefix(name.c_str() + name.size() - 4, ".lnk", 1) == 0;
}

}  // namespace

void CTrojanCureModule::CureWinstartBat() {
    CString path = WindowsFile("winstart.bat");
    if (!path.empty()) zel::platform::RemoveFile(path);
}

void CTrojanCureModule::CureWininitIni() {
    CString path = WindowsFile("wininit.ini");
    if (!path.empty()) zel::platform::RemoveFile(path);
}

void CTrojanCureModule::CureAutoexecBat() {
    zel::platform::SystemRoot* root = Root();
    if (!root) return;
    // Always on drive C:, wherever Windows is.
    CString path = root->ToDiskPath("c:\\autoexec.bat");
    CTextBuffer buffer;
    if (path.empty() || !buffer.LoadFile(path)) return;
    int pos = buffer.FindString(m_strFileName.c_str(), 0, -1, 1);
    if (pos == -1) return;
    int start = buffer.LineStart(pos);
    if (CompareTextPrefix(buffer.GetAt(start), "rem", 1) <= 0) return;
    buffer.Insert(kRemark, start);
    buffer.SaveFile(path);
}

void CTrojanCureModule::EmptyNamingLine(const CString& path, const std::pair<const char*, const char*>* prefixes,
                                        int count) {
    CTextBuffer buffer;
    if (path.empty() || !buffer.LoadFile(path)) return;
    int pos = buffer.FindString(m_strFileName.c_str(), 0, -1, 1);
    if (pos == -1) return;
    int start = buffer.LineStart(pos);
    int end = buffer.FindOneOf("\r\n", pos, -1, 0);
    if (end == -1) end = buffer.GetLength();
    if (end < start) return;  // a name that begins with a line end names no line
    for (int i = 0; i < count; ++i) {
        if (CompareTextPrefix(buffer.GetAt(start), prefixes[i].first, 1) > 0) continue;
        // Only the bytes before the line end are replaced, so the line keeps its CR LF.
        buffer.Erase(start, end - start);
        buffer.Insert(prefixes[i].second, start);
        buffer.SaveFile(path);
        return;
    }
}

void CTrojanCureModule::CureWinIni() {
    static constexpr std::pair<const char*, const char*> kLines[] = {{"load", "load="}, {"run", "run="}};
    EmptyNamingLine(WindowsFile("win.ini"), kLines, 2);
}

void CTrojanCureModule::CureSystemIni() {
    static constexpr std::pair<const char*, const char*> kLines[] = {{"shell", "shell=Explorer.exe"}};
    EmptyNamingLine(WindowsFile("system.ini"), kLines, 1);
}

void CTrojanCureModule::CureStartUp() {
    CSpecialFolder folder;
    if (!folder.Open(CSpecialFolder::kStartup)) return;
    CString path = folder.GetPath();
    std::vector<std::string> names;
    if (path.empty() || !zel::platform::ListDirectory(path, names)) return;
    for (const auto& name : names) {
        if (!EndsWithLnk(name)) continue;
        CString shortcut = path + name;
        CString target = GetShortcutPath(shortcut);
        if (!target.empty() && CompareTextPrefix(target.c_str(), m_strFilePath.c_str(), 1) == 0) {
            zel::platform::RemoveFile(shortcut);
        }
    }
}

CString CTrojanCureModule::GetShortcutPath(const CString& shortcutPath) {
    CString target = zel::platform::ReadShortcutTarget(shortcutPath);
    if (target.empty()) return "";
    // The shortcut names a Windows path; the file being disinfected is named by its path on disk.
    zel::platform::SystemRoot* root = Root();
    CString disk = root ? root->ToDiskPath(target) : CString();
    return disk.empty() ? target : disk;
}

void CTrojanCureModule::CureAutoeraseWininit() {
    CString path = WindowsFile("wininit.ini");
    if (path.empty()) return;
    // Windows reads this file, so it names the trojan by its Windows path.
    zel::platform::SystemRoot* root = Root();
    CString windows_path = root ? root->ToWindowsPath(m_strFilePath) : CString();
    if (windows_path.empty()) windows_path = m_strFilePath;
    CString text = "[rename]\r\nNUL=" + windows_path + "\r\n";
    CTextBuffer buffer(text.c_str());
    buffer.SaveFile(path);
}

void CTrojanCureModule::CureTracerRegistry() {
    for (const char* key : kOpenCommandKeys) RegistrySetString(HKEY_CLASSES_ROOT, key, "", kOpenCommand);
}

void CTrojanCureModule::CureRegistry(HKEY root, const CString& subkey) {
    int index = 0;
    for (;;) {
        CString name, data;
        int result = RegistryEnumValue(root, subkey, index, name, data);
        if (result == -2) break;
        if (result == -1) {
            ++index;
            continue;
        }
        CTextBuffer buffer(data.c_str());
        if (buffer.FindString(m_strFileName.c_str(), 0, -1, 1) == -1) {
            ++index;
            continue;
        }
        RegistryDeleteValue(root, subkey, name);
        // After a deletion the later values move down, so the same index is read again, unless the
        // deletion was refused: then the value is still there and must not be examined forever.
        CString again, ignored;
        if (RegistryEnumValue(root, subkey, index, again, ignored) == 0 && again == name) ++index;
    }
}
