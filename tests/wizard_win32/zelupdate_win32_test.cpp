// zelupdate.exe's wizard in this process, on a real display (under Wine: Xvfb), driven from another
// thread by the messages a user's clicks send, with the real download thread over WinInet against
// the updater tests' HTTP mirror, the live registry of the test's Wine prefix, and stand-ins for
// the scanner and the monitor. Each page is also saved as a picture for the README.
#include "platform/win32/windows_api.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <thread>

#include "framework/crc32.h"
#include "platform/clock.h"
#include "platform/desktop.h"
#include "platform/files.h"
#include "platform/internet.h"
#include "screen_capture.h"
#include "tests/support/file_bytes.h"
#include "tests/support/temp_dir.h"
#include "updater/core/download_page.h"
#include "updater/core/registry_profile.h"
#include "updater/core/update_strings.h"
#include "updater/core/wizard_strings.h"
#include "updater/win32/zelupdate_app.h"

namespace zel::updater {
namespace {

namespace fs = std::filesystem;
using zel::testing::ReadBytes;

// The sheet's own buttons.
constexpr int kBackButton = 0x3023;
constexpr int kNextButton = 0x3024;
constexpr int kFinishButton = 0x3025;
constexpr int kMessageBoxText = 0xFFFF;

std::string Pattern(std::size_t size, unsigned seed) {
    std::string bytes(size, '\0');
    for (char& byte : bytes) byte = static_cast<char>((seed = seed * 1103515245u + 12345u) >> 16);
    return bytes;
}

void Write(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string CheckedLine(const std::string& dest, const std::string& url, const std::string& content,
                        const std::string& label = " ", const std::string& version = " ") {
    return "c<" + dest + "><" + url + "><01.01.2004><12:00:00><" + label + "><" + version + "><" +
           std::to_string(content.size()) + "><" + std::to_string(Crc32(content.data(), content.size())) + ">\r\n";
}

std::string WindowText(HWND window) {
    wchar_t text[2048] = L"";
    GetWindowTextW(window, text, 2048);
    return NarrowText(text);
}

class ZelupdateWin32 : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no display to show the wizard on (run under xvfb-run)";
        std::ifstream ports(fs::path(ZEL_NETWORK_DIR) / "ports");
        std::string name;
        int port = 0;
        while (ports >> name >> port)
            if (name == "http") m_port = port;
        if (m_port == 0) GTEST_SKIP() << "no mirror runs in " << ZEL_NETWORK_DIR;
        const std::string test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        m_folder = "wizard-" + test;
        m_mirror = fs::path(ZEL_NETWORK_DIR) / "mirror" / m_folder;
        fs::create_directories(m_mirror);
        m_work = m_temp.path() / "work";
        m_tmp = m_temp.path() / "tmp";
        fs::create_directories(m_work);
        fs::create_directories(m_tmp);
        m_previous = fs::current_path();
        fs::current_path(m_work);
        for (const wchar_t* variable : {L"TMP", L"TEMP"}) {
            wchar_t value[MAX_PATH] = L"";
            GetEnvironmentVariableW(variable, value, MAX_PATH);
            m_temporaryFolder[variable] = value;
            SetEnvironmentVariableW(variable, m_tmp.wstring().c_str());
        }
        SetEnvironmentVariableW(L"ZEL_TITLE_ZELSCAN", L"Zelscan");
        SetEnvironmentVariableW(L"ZEL_TITLE_ZELMON", L"Zel Monitor");
        m_standIn = ReadBytes(ZEL_WINDOW_PROGRAM);
        Write(m_work / "zelscan.exe", m_standIn);
        Write(m_work / "zelmon.exe", m_standIn);
        RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Quorvane");
    }

    void TearDown() override {
        if (m_port == 0) return;
        for (const char* title : {kScannerTitle, kMonitorTitle}) {
            if (HWND window = FindWindowA(nullptr, title)) PostMessageW(window, WM_CLOSE, 0, 0);
            WaitFor([&] { return !FindWindowA(nullptr, title); }, 10000);
        }
        fs::current_path(m_previous);
        for (const auto& [name, value] : m_temporaryFolder)
            SetEnvironmentVariableW(name.c_str(), value.empty() ? nullptr : value.c_str());
        RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Quorvane");
        for (const wchar_t* key : {L".txt", L"ZelTestViewer"}) RegDeleteTreeW(HKEY_CLASSES_ROOT, key);
        std::error_code ignored;
        fs::remove_all(m_mirror, ignored);
    }

    std::string Base() const { return "http://127.0.0.1:" + std::to_string(m_port) + "/" + m_folder; }
    // A mirror that sends 1 KiB every 20 ms.
    std::string SlowBase() const { return "http://127.0.0.1:" + std::to_string(m_port) + "/throttle/" + m_folder; }

    // Stores the mirrors (and the chosen URL) as the settings hold them.
    static void StoreMirrors(const std::vector<std::pair<std::string, std::string>>& mirrors,
                             const std::string& url = "") {
        CRegistryProfile profile;
        for (std::size_t i = 0; i < mirrors.size(); ++i)
            profile.WriteString("Settings", "Mirror " + std::to_string(i),
                                mirrors[i].first + "\\n" + mirrors[i].second);
        if (!url.empty()) profile.WriteString("Settings", "URL", url);
    }

    // Starts the stand-ins for the scanner and the monitor and waits for their windows.
    void StartStandIns() {
        for (const char* program : {kScannerProgram, kMonitorProgram}) {
            std::wstring command = (m_work / program).wstring();
            STARTUPINFOW startup{};
            startup.cb = sizeof startup;
            PROCESS_INFORMATION process{};
            ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                                       &process));
            CloseHandle(process.hThread);
            CloseHandle(process.hProcess);
        }
        ASSERT_TRUE(WaitFor([] { return FindWindowA(nullptr, kScannerTitle) && FindWindowA(nullptr, kMonitorTitle); }));
    }

    // Runs the program's start-up and wizard on this thread while `script` drives it from another.
    // Whatever the script leaves open is cancelled afterwards, so the wizard always ends.
    void Run(const std::function<void()>& script, const fs::path& program = {}) {
        CRegistryProfile profile;
        CWin32UpdateApp app(platform::SystemDesktop(), profile, platform::SystemInternet(),
                            platform::SystemFileSystem(), platform::SystemClock(), GetModuleHandleW(nullptr));
        m_app = &app;
        m_uiThread = GetCurrentThreadId();
        std::thread driver([&] {
            if (WaitFor([&] { return Sheet() && CurrentPage() == 0; })) script();
            for (int i = 0; i < 100 && Sheet(); ++i) {
                if (i % 25 == 0) PostMessageW(Sheet(), PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
                AnswerBoxes();
                Sleep(20);
            }
        });
        InitCommonControlClasses();
        EXPECT_FALSE(app.InitInstance(NarrowText((program.empty() ? m_work / "zelupdate.exe" : program).wstring())));
        driver.join();
        EXPECT_EQ(app.ExitInstance(), 0);
        m_scannerWasRunning = app.m_bScannerWasRunning;
        m_monitorWasRunning = app.m_bMonitorWasRunning;
        m_app = nullptr;
    }

    // Driver side.
    HWND Sheet() const { return m_app ? m_app->Context().sheet.load() : nullptr; }
    int CurrentPage() const {
        auto page = SendMessageW(Sheet(), PSM_GETCURRENTPAGEHWND, 0, 0);
        return static_cast<int>(SendMessageW(Sheet(), PSM_HWNDTOINDEX, static_cast<WPARAM>(page), 0));
    }
    HWND Page(int index) const { return reinterpret_cast<HWND>(SendMessageW(Sheet(), PSM_INDEXTOHWND, index, 0)); }
    HWND Control(int page, int control) const { return GetDlgItem(Page(page), control); }
    std::string Text(int page, int control) const { return WindowText(Control(page, control)); }
    void Press(int button) const { PostMessageW(Sheet(), PSM_PRESSBUTTON, static_cast<WPARAM>(button), 0); }
    void Click(int page, int control) const {
        PostMessageW(Page(page), WM_COMMAND, MAKEWPARAM(control, BN_CLICKED),
                     reinterpret_cast<LPARAM>(Control(page, control)));
    }
    // The wizard buttons that are offered (shown and enabled), as PSWIZB_ flags.
    DWORD Buttons() const {
        DWORD buttons = 0;
        for (auto [id, flag] : {std::pair{kBackButton, PSWIZB_BACK}, std::pair{kNextButton, PSWIZB_NEXT},
                                std::pair{kFinishButton, PSWIZB_FINISH}}) {
            HWND button = GetDlgItem(Sheet(), id);
            if (IsWindowVisible(button) && IsWindowEnabled(button)) buttons |= static_cast<DWORD>(flag);
        }
        return buttons;
    }
    std::string Cell(int row, int column) const {
        wchar_t text[260] = L"";
        LVITEMW item{};
        item.iSubItem = column;
        item.pszText = text;
        item.cchTextMax = 260;
        SendMessageW(Control(1, kFileListControl), LVM_GETITEMTEXTW, static_cast<WPARAM>(row),
                     reinterpret_cast<LPARAM>(&item));
        return NarrowText(text);
    }
    int RowIcon(int row) const {
        LVITEMW item{};
        item.mask = LVIF_IMAGE;
        item.iItem = row;
        SendMessageW(Control(1, kFileListControl), LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
        return item.iImage;
    }
    int Rows() const { return static_cast<int>(SendMessageW(Control(1, kFileListControl), LVM_GETITEMCOUNT, 0, 0)); }
    std::pair<int, int> Bar(int control) const {
        HWND bar = Control(1, control);
        return {static_cast<int>(SendMessageW(bar, PBM_GETRANGE, FALSE, 0)),
                static_cast<int>(SendMessageW(bar, PBM_GETPOS, 0, 0))};
    }

    // The visible top-level windows of the wizard's thread of class `type`.
    std::vector<HWND> VisibleWindows(const wchar_t* type) const {
        std::pair<const wchar_t*, std::vector<HWND>> search{type, {}};
        EnumThreadWindows(m_uiThread, &CollectWindow, reinterpret_cast<LPARAM>(&search));
        return search.second;
    }
    static BOOL CALLBACK CollectWindow(HWND window, LPARAM data) {
        auto& search = *reinterpret_cast<std::pair<const wchar_t*, std::vector<HWND>>*>(data);
        wchar_t type[64] = L"";
        GetClassNameW(window, type, 64);
        if (std::wstring(type) == search.first && IsWindowVisible(window)) search.second.push_back(window);
        return TRUE;
    }

    // Answers every message box of the wizard's thread with OK and keeps its text.
    void AnswerBoxes() {
        std::vector<HWND> boxes = VisibleWindows(L"#32770");
        std::erase_if(boxes, [](HWND box) { return !GetDlgItem(box, kMessageBoxText); });
        for (HWND box : boxes) {
            m_boxes.push_back(WindowText(GetDlgItem(box, kMessageBoxText)));
            PostMessageW(box, WM_COMMAND, IDOK, 0);
            for (int i = 0; i < 200 && IsWindow(box); ++i) Sleep(10);
        }
    }
    bool WaitFor(const std::function<bool()>& condition, int ms = 60000) {
        for (int waited = 0; waited < ms; waited += 20) {
            if (m_app) AnswerBoxes();
            if (condition()) return true;
            Sleep(20);
        }
        return false;
    }
    // The sheet as the screen shows it, into the screenshots folder.
    void Capture(const char* name) {
        SetForegroundWindow(Sheet());
        RedrawWindow(Sheet(), nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        Sleep(500);
        EXPECT_TRUE(
            test::CaptureWindow(Sheet(), fs::path(ZEL_SCREENSHOT_DIR) / (std::string("windows-") + name + ".png")));
    }

    static constexpr int kFileListControl = download_dialog::kFileList;

    zel::testing::TempDir m_temp;
    fs::path m_work, m_tmp, m_mirror, m_previous;
    std::string m_folder;
    std::string m_standIn;
    std::map<std::wstring, std::wstring> m_temporaryFolder;
    int m_port = 0;
    CWin32UpdateApp* m_app = nullptr;
    DWORD m_uiThread = 0;
    std::vector<std::string> m_boxes;
    int m_scannerWasRunning = 0;
    int m_monitorWasRunning = 0;
};

TEST_F(ZelupdateWin32, WholeRunShowsRowsIconsBarsAndTheLogThenFinishStartsTheScanner) {
    // The update brings the scanner itself: the stand-in, so that Finish can start it.
    const std::string& program = m_standIn;
    const std::string bad = Pattern(2500, 2);
    Write(m_mirror / "_zelscan.exe", program);
    Write(m_mirror / "current.txt", "current");
    Write(m_mirror / "bad.bin", bad);
    Write(m_work / "current.txt", "kept");  // newer than its line
    fs::remove(m_work / "zelscan.exe");
    const std::string total = std::to_string(program.size() + bad.size());
    Write(m_mirror / "zelbase.lst",
          "s<" + total + ">\r\n" + CheckedLine("zelscan.exe", Base() + "/_zelscan.exe", program, "program", "1.2") +
              CheckedLine("current.txt", Base() + "/current.txt", "current") +
              CheckedLine("bad.bin", Base() + "/bad.bin", bad + "!") + "f<All done.\nSee you.>\r\n");
    StoreMirrors({{"Nowhere", Base() + "/nowhere"}, {"Local", Base()}}, Base());
    // Text files open with a viewer of ours (the monitor's stand-in), wherever the system would
    // have sent them.
    const std::wstring viewer = L"\"" + (m_work / "zelmon.exe").wstring() + L"\" \"%1\"";
    ASSERT_EQ(RegSetKeyValueW(HKEY_CLASSES_ROOT, L".txt", nullptr, REG_SZ, L"ZelTestViewer", 28), ERROR_SUCCESS);
    ASSERT_EQ(RegSetKeyValueW(HKEY_CLASSES_ROOT, L"ZelTestViewer\\shell\\open\\command", nullptr, REG_SZ,
                              viewer.c_str(), static_cast<DWORD>((viewer.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);

    Run([&] {
        using namespace settings_dialog;
        ASSERT_TRUE(WaitFor([&] { return Buttons() == PSWIZB_NEXT; }));
        HWND regions = Control(0, kRegionList);
        ASSERT_EQ(SendMessageW(regions, CB_GETCOUNT, 0, 0), 2);
        EXPECT_EQ(SendMessageW(regions, CB_GETCURSEL, 0, 0), 1);  // the stored choice
        EXPECT_EQ(IsDlgButtonChecked(Page(0), kDefaultSettings), BST_CHECKED);
        EXPECT_TRUE(GetWindowLongPtrW(Control(0, kHttpProxy), GWL_STYLE) & ES_READONLY);
        EXPECT_EQ(Text(0, kDefaultSettings), "&Default settings (Recommended)");
        Capture("settings");

        Press(PSBTN_NEXT);
        ASSERT_TRUE(WaitFor([&] { return CurrentPage() == 2 && Buttons() == PSWIZB_FINISH; }));
        EXPECT_EQ(ReadBytes(m_work / "zelscan.exe"), program);
        EXPECT_EQ(ReadBytes(m_work / "current.txt"), "kept");
        EXPECT_FALSE(fs::exists(m_work / "bad.bin"));
        ASSERT_EQ(Rows(), 3);
        HWND list = Control(1, kFileListControl);
        EXPECT_EQ(SendMessageW(list, LVM_GETCOLUMNWIDTH, 0, 0), 190);
        EXPECT_EQ(SendMessageW(list, LVM_GETCOLUMNWIDTH, 1, 0), 90);
        EXPECT_EQ(Cell(0, 0), "_zelscan.exe");
        EXPECT_EQ(Cell(0, 1), std::to_string(program.size()));
        EXPECT_EQ(RowIcon(0), kIconUpdated);
        EXPECT_EQ(Cell(1, 1), "Complete");
        EXPECT_EQ(RowIcon(1), kIconComplete);
        EXPECT_EQ(Cell(2, 1), "failed");
        EXPECT_EQ(RowIcon(2), kIconFailed);
        EXPECT_EQ(Bar(download_dialog::kTotalBar), std::make_pair(std::stoi(total), std::stoi(total)));
        EXPECT_EQ(Text(1, download_dialog::kDownloaded), "Downloaded " + total + " of " + total);
        EXPECT_EQ(Text(1, download_dialog::kStatus), "");
        EXPECT_TRUE(m_boxes.empty());

        using namespace completion_dialog;
        EXPECT_EQ(Text(2, kHeadline), LoadUpdateString(IDS_FAILED_HEADLINE));
        EXPECT_EQ(Text(2, kMessage), LoadUpdateString(IDS_FAILED_TEXT) + "\n\nAll done.\nSee you.");
        EXPECT_TRUE(IsWindowVisible(Control(2, kDetails)));
        EXPECT_EQ(IsDlgButtonChecked(Page(2), kRunScanner), BST_CHECKED);
        EXPECT_EQ(ReadBytes(m_work / "zelupdate.txt"),
                  "Zelupdate log file.\r\n\r\nUpdated program zelscan.exe to version 1.2\r\nFailed update bad.bin\r\n");
        Capture("completion");
        // Details opens the log with the program the system associates with text files.
        Click(2, kDetails);
        EXPECT_TRUE(WaitFor([] { return FindWindowA(nullptr, kMonitorTitle); }, 20000));
        if (HWND shown = FindWindowA(nullptr, kMonitorTitle)) PostMessageW(shown, WM_CLOSE, 0, 0);
        EXPECT_TRUE(WaitFor([] { return !FindWindowA(nullptr, kMonitorTitle); }));
        EXPECT_FALSE(FindWindowA(nullptr, kScannerTitle));
        Press(PSBTN_FINISH);
    });
    // Finish with the box checked starts the scanner, which was not running before.
    EXPECT_TRUE(WaitFor([] { return FindWindowA(nullptr, kScannerTitle); }));
    EXPECT_FALSE(FindWindowA(nullptr, kMonitorTitle));
    CRegistryProfile profile;
    EXPECT_EQ(profile.ReadString("Settings", "URL", ""), Base());
    EXPECT_EQ(profile.ReadString("Settings", "Mirror 1", ""), "Local\\n" + Base());
}

TEST_F(ZelupdateWin32, AMirrorWithoutScriptSendsTheUserBackAndNothingNewFinishesWithoutTheScanner) {
    Write(m_mirror / "zelbase.lst", "# nothing to do\r\n");
    StoreMirrors({{"Broken", Base() + "/nowhere"}, {"Local", Base()}});
    Run([&] {
        using namespace settings_dialog;
        SendMessageW(Control(0, kRegionList), CB_SETCURSEL, 0, 0);
        Press(PSBTN_NEXT);
        ASSERT_TRUE(WaitFor([&] { return m_boxes.size() == 2 && CurrentPage() == 0 && Buttons() == PSWIZB_NEXT; }));
        EXPECT_NE(m_boxes[0].find("404"), std::string::npos) << m_boxes[0];
        EXPECT_EQ(m_boxes[1], "Unable to locate update script file. Try another server.");

        SendMessageW(Control(0, kRegionList), CB_SETCURSEL, 1, 0);
        Press(PSBTN_NEXT);
        ASSERT_TRUE(WaitFor([&] { return CurrentPage() == 2 && Buttons() == PSWIZB_FINISH; }));
        EXPECT_EQ(Rows(), 0);
        using namespace completion_dialog;
        EXPECT_EQ(Text(2, kMessage), LoadUpdateString(IDS_NOTHING_NEW));
        EXPECT_FALSE(IsWindowVisible(Control(2, kDetails)));
        EXPECT_EQ(ReadBytes(m_work / "zelupdate.txt"), "Zelupdate log file.\r\n\r\n\r\nNo update for now.\r\n");
        SendMessageW(Control(2, kRunScanner), BM_CLICK, 0, 0);
        EXPECT_EQ(IsDlgButtonChecked(Page(2), kRunScanner), BST_UNCHECKED);
        Press(PSBTN_FINISH);
    });
    EXPECT_EQ(m_boxes.size(), 2u);
    Sleep(1500);
    EXPECT_FALSE(FindWindowA(nullptr, kScannerTitle));
}

TEST_F(ZelupdateWin32, StartUpClosesTheProgramsAndCancelDuringATransferRestartsThemAndLeavesNoTemporaryFile) {
    const std::string big = Pattern(3000000, 4);  // a minute at the mirror's pace
    Write(m_mirror / "big.bin", big);
    Write(m_mirror / "zelbase.lst", "s<3000000>\r\n" + CheckedLine("big.bin", SlowBase() + "/big.bin", big));
    StoreMirrors({{"Local", Base()}});
    StartStandIns();
    Run([&] {
        // The monitor was asked to close and quit, the scanner to quit.
        EXPECT_TRUE(
            WaitFor([] { return !FindWindowA(nullptr, kScannerTitle) && !FindWindowA(nullptr, kMonitorTitle); }));
        Press(PSBTN_NEXT);
        using namespace download_dialog;
        ASSERT_TRUE(WaitFor(
            [&] { return Rows() == 1 && Bar(kCurrentBar).first == 3000000 && Bar(kCurrentBar).second > 0; }, 20000))
            << Rows() << " rows, current bar " << Bar(kCurrentBar).first << "/" << Bar(kCurrentBar).second
            << ", status " << Text(1, kStatus) << ", page " << CurrentPage() << ", boxes " << m_boxes.size();
        EXPECT_TRUE(RowIcon(0) == kIconBusy0 || RowIcon(0) == kIconBusy1);
        EXPECT_EQ(Text(1, kStatus), "Downloading data...");
        EXPECT_EQ(Buttons(), 0u);
        Capture("download");
        Press(PSBTN_CANCEL);
    });
    EXPECT_EQ(m_scannerWasRunning, 1);
    EXPECT_EQ(m_monitorWasRunning, 1);
    EXPECT_TRUE(WaitFor([] { return FindWindowA(nullptr, kScannerTitle) && FindWindowA(nullptr, kMonitorTitle); }));
    EXPECT_FALSE(fs::exists(m_work / "big.bin"));
    EXPECT_TRUE(fs::is_empty(m_tmp));
}

TEST_F(ZelupdateWin32, ALanguageFileRenamesThePagesAndContextHelpAnswersOnNumberedControls) {
    fs::copy_file(fs::path(ZEL_SOURCE_DIR) / "updater/wizard/zelupdate.ger", m_work / "zelupdate.ger");
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Quorvane\\Zel", 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                              &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(key, L"Language", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"ger"), 8);
    RegCloseKey(key);
    Run([&] {
        using namespace settings_dialog;
        EXPECT_EQ(Text(0, kRegionLabel), "W\xC3\xA4hlen Sie Ihre Region:");
        EXPECT_EQ(Text(0, kUseProxy), "&Proxyserver verwenden");
        // A port that is no number keeps the page, with the language's message.
        CheckRadioButton(Page(0), kDefaultSettings, kUseProxy, kUseProxy);
        Click(0, kUseProxy);
        SetWindowTextW(Control(0, kHttpPort), L"x");
        Press(PSBTN_NEXT);
        ASSERT_TRUE(WaitFor([&] { return m_boxes.size() == 1; }));
        EXPECT_EQ(m_boxes[0], "Bitte geben Sie eine ganze Zahl ein.");
        EXPECT_EQ(CurrentPage(), 0);

        // F1 on a numbered control shows its help beside it; a label has none.
        for (auto [control, shown] : {std::pair{kRegionList, true}, std::pair{kHttpPort, true},
                                      std::pair{kDefaultButton, true}, std::pair{kRegionLabel, false}}) {
            HELPINFO help{sizeof(HELPINFO), HELPINFO_WINDOW, control, Control(0, control), 0, {0, 0}};
            SendMessageW(Control(0, control), WM_HELP, 0, reinterpret_cast<LPARAM>(&help));
            const bool visible = !VisibleWindows(TOOLTIPS_CLASSW).empty();
            EXPECT_EQ(visible, shown) << control;
        }
        Capture("settings-german");
        Press(PSBTN_CANCEL);
    });
}

}  // namespace
}  // namespace zel::updater
