// The start-up cleaning routines of CTrojanCureModule: one per kind of place Windows reads at
// start-up. All are best-effort: a step that fails does not stop the others, and is written into
// the module's report with its reason. Each builds its paths from the file being disinfected and
// the system root of the platform binding.
#include <utility>

#include "cure/cure_files.h"
#include "cure/trojan_cure_module.h"
#include "framework/codepage.h"
#include "platform/files.h"
#include "platform/services.h"
#include "platform/shell_link.h"
#include "sysutil/special_folder.h"
#include "sysutil/text_buffer.h"
#include "sysutil/text_compare.h"

namespace {

using zel::cure::CureFiles;
using zel::platform::Registry;
using zel::platform::RegistryRoot;
using zel::platform::RegistryStatus;
using zel::platform::RegistryValue;

// Inserted before a batch-file line that starts the trojan.
constexpr const char* kRemark = "REM BY ZELSCAN ";
// The open command restored for the program file types.
constexpr const char* kOpenCommand = "\"%1\" %*";
constexpr const char* kOpenCommandKeys[] = {"exefile\\shell\\open\\command", "comfile\\shell\\open\\command",
                                            "batfile\\shell\\open\\command"};

zel::platform::SystemRoot* Root() { return zel::platform::CurrentServices().system_root; }

// A file of the Windows folder, as a Windows path; "" without a system root.
std::string WindowsFile(const char* name) {
    zel::platform::SystemRoot* root = Root();
    return root ? root->WindowsFolder() + "\\" + name : std::string();
}

bool EndsWithLnk(const std::string& name) {
    return name.size() >= 4 && CompareTextPrefix(name.c_str() + name.size() - 4, ".lnk", 1) == 0;
}

// Why a registry call failed, for the report.
std::string RegistryReason(Registry& registry, RegistryStatus status) {
    std::string reason = status == RegistryStatus::kLocked ? registry.WriteRefusal() : registry.FailureReason();
    if (!reason.empty()) return reason;
    return status == RegistryStatus::kNotFound ? "the key does not exist" : "the registry refused";
}

}  // namespace

void CTrojanCureModule::DeleteWindowsFile(const char* name) {
    if (!Root()) return;
    CureFiles files(Root(), m_report);
    files.Delete(files.WindowsPlace(WindowsFile(name)), {name, "file", "deleted"});
}

void CTrojanCureModule::CureWinstartBat() { DeleteWindowsFile("winstart.bat"); }

void CTrojanCureModule::CureWininitIni() { DeleteWindowsFile("wininit.ini"); }

void CTrojanCureModule::CureAutoexecBat() {
    if (!Root()) return;
    CureFiles files(Root(), m_report);
    // Always on drive C:, wherever Windows is.
    CureFiles::Place place = files.WindowsPlace("c:\\autoexec.bat");
    const CureFiles::Step step{"autoexec.bat", "file", "cleaned"};
    CTextBuffer buffer;
    if (!files.Load(place, step, buffer)) return;
    int pos = buffer.FindString(m_strFileName.c_str(), 0, -1, 1);
    if (pos == -1) return;
    int start = buffer.LineStart(pos);
    if (CompareTextPrefix(buffer.GetAt(start), "rem", 1) <= 0) return;
    buffer.Insert(kRemark, start);
    files.Save(place, step, buffer);
}

void CTrojanCureModule::EmptyNamingLine(const char* name, const std::pair<const char*, const char*>* prefixes,
                                        int count) {
    if (!Root()) return;
    CureFiles files(Root(), m_report);
    CureFiles::Place place = files.WindowsPlace(WindowsFile(name));
    const CureFiles::Step step{name, "file", "cleaned"};
    CTextBuffer buffer;
    if (!files.Load(place, step, buffer)) return;
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
        files.Save(place, step, buffer);
        return;
    }
}

void CTrojanCureModule::CureWinIni() {
    static constexpr std::pair<const char*, const char*> kLines[] = {{"load", "load="}, {"run", "run="}};
    EmptyNamingLine("win.ini", kLines, 2);
}

void CTrojanCureModule::CureSystemIni() {
    static constexpr std::pair<const char*, const char*> kLines[] = {{"shell", "shell=Explorer.exe"}};
    EmptyNamingLine("system.ini", kLines, 1);
}

void CTrojanCureModule::CureStartUp() {
    CSpecialFolder folder;
    if (!folder.Open(CSpecialFolder::kStartup)) return;
    CString path = folder.GetPath();
    if (path.empty()) return;
    CureFiles files(Root(), m_report);
    CString shown = path.substr(0, path.size() - 1);  // without the final "/"
    std::vector<std::string> names;
    if (!files.Examine(files.PlaceIn(folder.GetWindowsPath(), shown), {"startup-folder", "folder", "cleaned"})) return;
    if (!zel::platform::ListFolder(path, names)) {
        files.Fail({"startup-folder", "folder", "read"}, shown, "it cannot be listed");
        return;
    }
    for (const auto& name : names) {
        if (!EndsWithLnk(name)) continue;
        CString shortcut = path + name;
        CureFiles::Place place = files.PlaceIn(folder.GetWindowsPath(), shortcut);
        if (!files.Examine(place, {"startup-folder", "shortcut", "examined"})) continue;
        std::string unreadable;
        CString target = ShortcutTarget(shortcut, &unreadable);
        if (!unreadable.empty()) {
            // It may start the trojan for all we can tell.
            files.Fail({"startup-folder", "shortcut", "read"}, shortcut, unreadable);
            continue;
        }
        if (!zel::cure::SameFile(target, m_strFilePath)) continue;
        files.Delete(place, {"startup-folder", "shortcut", "deleted"});
    }
}

CString CTrojanCureModule::GetShortcutPath(const CString& shortcutPath) {
    return ShortcutTarget(shortcutPath, nullptr);
}

CString CTrojanCureModule::ShortcutTarget(const CString& shortcutPath, std::string* unreadable) {
    CString target = zel::platform::ReadShortcutTarget(shortcutPath, unreadable);
    if (target.empty()) return "";
    // The shortcut names a Windows path; the file being disinfected is named by its path on disk.
    zel::platform::SystemRoot* root = Root();
    CString disk = root ? root->ToDiskPath(target) : CString();
    return disk.empty() ? target : disk;
}

void CTrojanCureModule::CureAutoeraseWininit() {
    if (!Root()) return;
    CureFiles files(Root(), m_report);
    const CureFiles::Step step{"wininit-request", "file", "written"};
    CureFiles::Place wininit = files.WindowsPlace(WindowsFile("wininit.ini"));
    // The request deletes later what the cure deletes now, so it may name only what the cure may
    // delete: not a file that a link leads to outside the root.
    std::string refusal;
    std::string trojan = files.RealPlace(files.DiskPlace(m_strFilePath), refusal);
    if (trojan.empty())
        return files.Fail(step, wininit.disk, "the request would name " + m_strFilePath + ", but " + refusal);
    // Windows reads this file, so it names the trojan by its Windows path.
    CString windows_path = Root()->ToWindowsPath(trojan);
    if (windows_path.empty()) windows_path = trojan;
    CTextBuffer buffer(("[rename]\r\nNUL=" + windows_path + "\r\n").c_str());
    files.Save(wininit, step, buffer);
}

void CTrojanCureModule::CureTracerRegistry() {
    Registry* registry = zel::platform::CurrentServices().registry;
    if (!registry) return;
    const RegistryValue command{"", zel::platform::kRegSz, std::string(kOpenCommand) + '\0'};
    for (const char* key : kOpenCommandKeys) {
        RegistryStatus status = registry->CreateKey(RegistryRoot::kClassesRoot, key);
        if (status == RegistryStatus::kOk) status = registry->SetValue(RegistryRoot::kClassesRoot, key, command);
        if (status == RegistryStatus::kOk) continue;
        m_report.Fail(CureFailure{"open-commands", "open command", std::string("HKEY_CLASSES_ROOT\\") + key, "restored",
                                  RegistryReason(*registry, status)});
    }
}

void CTrojanCureModule::CureRegistry(HKEY root, const CString& subkey) {
    Registry* registry = zel::platform::CurrentServices().registry;
    RegistryRoot which;
    if (!registry || !zel::platform::RootFromHandle(RegistryHandleValue(root), which)) return;
    // The report speaks UTF-8, as paths on disk do; key and value names are in the ANSI code page.
    const std::string key =
        std::string(zel::platform::RootName(which)) + "\\" + zel::codepage::Windows1252ToUtf8(subkey);
    auto fail = [&](const char* subject, const std::string& target, const char* action, RegistryStatus status) {
        m_report.Fail(CureFailure{"registry", subject, target, action, RegistryReason(*registry, status)});
    };
    RegistryStatus opened = registry->OpenKey(which, subkey);
    if (opened == RegistryStatus::kNotFound) return;
    if (opened != RegistryStatus::kOk) return fail("registry key", key, "read", opened);
    // Every value is examined, whatever its length: one that does not fit the 8-bit functions'
    // buffers must not hide those after it.
    for (std::size_t index = 0;;) {
        RegistryValue value;
        RegistryStatus read = registry->EnumValue(which, subkey, index, value);
        if (read == RegistryStatus::kNotFound) return;
        if (read != RegistryStatus::kOk) return fail("registry key", key, "read", read);
        bool names_file = value.type == zel::platform::kRegSz &&
                          CTextBuffer(value.data.c_str()).FindString(m_strFileName.c_str(), 0, -1, 1) != -1;
        if (!names_file) {
            ++index;
            continue;
        }
        std::string target =
            key + "\\" + (value.name.empty() ? "(default)" : zel::codepage::Windows1252ToUtf8(value.name));
        RegistryStatus removed = registry->DeleteValue(which, subkey, value.name);
        RegistryValue left;
        if (removed != RegistryStatus::kOk) {
            fail("registry value", target, "removed", removed);
        } else if (registry->QueryValue(which, subkey, value.name, left) == RegistryStatus::kOk) {
            m_report.Fail(CureFailure{"registry", "registry value", target, "removed", "it is still there"});
        } else {
            continue;  // the values behind it moved down: the same index is read again
        }
        ++index;
    }
}
