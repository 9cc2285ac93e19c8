// zel.exe scan --disinfect on the running (Wine) machine: a trojan that runs, starts from a Run
// value, a Start-up shortcut, win.ini and system.ini. Afterwards the process is gone, each place is
// clean, the values, shortcuts and lines beside them are untouched, and the file is deleted. Every
// place is put back as it was at the end, since the machine is the test prefix itself.
#include "platform/win32/windows_api.h"

#include <gtest/gtest.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/platform/win32/test_program.h"
#include "tests/support/file_bytes.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using zel::testing::ReadBytes;
using zel::testing::TempDir;
using zel::testing::TestProgram;

constexpr const wchar_t* kRunKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

fs::path WindowsFolder() {
    wchar_t folder[MAX_PATH];
    return fs::path(std::wstring(folder, GetWindowsDirectoryW(folder, MAX_PATH)));
}

fs::path StartupFolder() {
    wchar_t folder[MAX_PATH];
    return SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_STARTUP, nullptr, 0, folder)) ? fs::path(folder) : fs::path();
}

void WriteText(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

bool SetRunValue(const wchar_t* name, const std::wstring& command) {
    return RegSetKeyValueW(HKEY_CURRENT_USER, kRunKey, name, REG_SZ, command.c_str(),
                           static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

bool HasRunValue(const wchar_t* name) {
    return RegGetValueW(HKEY_CURRENT_USER, kRunKey, name, RRF_RT_REG_SZ, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

bool MakeShortcut(const fs::path& shortcut, const fs::path& target) {
    IShellLinkW* link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&link))))
        return false;
    IPersistFile* file = nullptr;
    bool saved = SUCCEEDED(link->SetPath(target.c_str())) &&
                 SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
                 SUCCEEDED(file->Save(shortcut.c_str(), TRUE));
    if (file) file->Release();
    link->Release();
    return saved;
}

// Runs zel.exe with `arguments` and returns its exit status (-1 when it did not run).
long RunZel(const std::wstring& arguments) {
    std::wstring command = L"\"" + fs::path(ZEL_EXE).wstring() + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        return -1;
    DWORD code = static_cast<DWORD>(-1);
    if (WaitForSingleObject(info.hProcess, 120000) == WAIT_OBJECT_0) GetExitCodeProcess(info.hProcess, &code);
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);
    return static_cast<long>(code);
}

std::wstring Quoted(const fs::path& path) { return L"\"" + path.wstring() + L"\""; }

class Disinfection : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
        ASSERT_FALSE(StartupFolder().empty());
        fs::create_directories(StartupFolder());
        for (const char* name : {"win.ini", "system.ini"})
            m_saved.emplace_back(name, ReadBytes(WindowsFolder() / name));
    }
    void TearDown() override {
        for (const auto& [name, bytes] : m_saved) WriteText(WindowsFolder() / name, bytes);
        RegDeleteKeyValueW(HKEY_CURRENT_USER, kRunKey, L"ZelTrojan");
        RegDeleteKeyValueW(HKEY_CURRENT_USER, kRunKey, L"ZelKeep");
        std::error_code ignored;
        for (const char* name : {"zel-trojan.lnk", "zel-keep.lnk"}) fs::remove(StartupFolder() / name, ignored);
        CoUninitialize();
    }
    std::vector<std::pair<std::string, std::string>> m_saved;
};

TEST_F(Disinfection, EndsTheTrojanCleansEveryPlaceAndLeavesTheRest) {
    TempDir dir;
    TestProgram trojan(dir.path(), L"zeltrojan.exe");
    TestProgram bystander(dir.path(), L"bystander.exe");
    const fs::path notepad = WindowsFolder() / "notepad.exe";
    const std::string trojan_path = trojan.path().string();  // ASCII: stored texts are Windows-1252

    // The database: one record that cleans win.ini, system.ini, the Start-up folder and HKCU\...\Run.
    const std::wstring db = Quoted(dir.path() / "default.tdb");
    ASSERT_EQ(RunZel(L"db add --db " + db + L" --type Backdoor --name Evil --version 1.0 --cure-flags 0x2C --image " +
                     Quoted(trojan.path()) + L" --registry \"HKEY_CURRENT_USER\\" + kRunKey + L"\""),
              0);
    ASSERT_EQ(RunZel(L"db generate --db " + db + L" --all"), 0);

    // The infection, and its neighbours.
    ASSERT_TRUE(trojan.Start());
    ASSERT_TRUE(bystander.Start());
    ASSERT_TRUE(SetRunValue(L"ZelTrojan", trojan.path().wstring() + L" -s"));
    ASSERT_TRUE(SetRunValue(L"ZelKeep", notepad.wstring()));
    ASSERT_TRUE(MakeShortcut(StartupFolder() / "zel-trojan.lnk", trojan.path()));
    ASSERT_TRUE(MakeShortcut(StartupFolder() / "zel-keep.lnk", notepad));
    const std::string win_ini = m_saved[0].second, system_ini = m_saved[1].second;
    // win.ini names the program alone, as such lines usually do; system.ini by its whole path.
    WriteText(WindowsFolder() / "win.ini", win_ini + "[windows]\r\nload=zeltrojan.exe\r\nrun=\r\n");
    WriteText(WindowsFolder() / "system.ini", system_ini + "[boot]\r\nshell=explorer.exe " + trojan_path + "\r\n");

    EXPECT_EQ(RunZel(L"scan --disinfect --db " + db + L" " + Quoted(trojan.path())), 1);

    EXPECT_GE(trojan.Wait(5000), 0) << "the trojan still runs";
    EXPECT_EQ(bystander.Wait(0), -1) << "the bystander was ended";
    EXPECT_FALSE(fs::exists(trojan.path()));
    EXPECT_FALSE(HasRunValue(L"ZelTrojan"));
    EXPECT_TRUE(HasRunValue(L"ZelKeep"));
    EXPECT_FALSE(fs::exists(StartupFolder() / "zel-trojan.lnk"));
    EXPECT_TRUE(fs::exists(StartupFolder() / "zel-keep.lnk"));
    EXPECT_EQ(ReadBytes(WindowsFolder() / "win.ini"), win_ini + "[windows]\r\nload=\r\nrun=\r\n");
    EXPECT_EQ(ReadBytes(WindowsFolder() / "system.ini"), system_ini + "[boot]\r\nshell=Explorer.exe\r\n");
}

}  // namespace
