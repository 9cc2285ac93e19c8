#include "updater/core/download_page.h"

#include <gtest/gtest.h>

#include "fakes.h"
#include "test_support.h"
#include "updater/core/download_thread.h"
#include "updater/core/update_strings.h"

namespace zel::updater::test {
namespace {

std::string CLine(const std::string& dest, const std::string& url, const std::string& label = " ",
                  const std::string& version = " ", const std::string& date = "01.02.2004",
                  const std::string& time = "10:00:00", const std::string& size = "10",
                  const std::string& crc = "4294967295") {
    return "c<" + dest + "><" + url + "><" + date + "><" + time + "><" + label + "><" + version + "><" + size + "><" +
           crc + ">";
}

class DownloadPageTest : public ::testing::Test {
protected:
    DownloadPageTest()
        : cwd(dir.path().string()), app(desktop, profile), page(app, worker, window, view, clock, files, desktop) {
        app.m_settings.URL = "http://mirror.test/upd";
    }

    // Fetches `script` as the update script and lets the page run it.
    void StartRun(const std::string& script) {
        page.OnSetActive();
        ASSERT_EQ(worker.posted.back(), WM_DL_CONNECT);
        page.OnMessage({WM_DL_CONNECTED, 0, 0});
        ASSERT_EQ(worker.URL, "http://mirror.test/upd/zelbase.lst");
        ASSERT_EQ(worker.Destination, "index.lst");
        files.contents["index.lst"] = script;
        Deliver(static_cast<DWORD>(script.size()));
    }

    // The worker fetched the current request: size bytes in one block.
    void Deliver(DWORD size) {
        worker.TotalSize = size;
        worker.Received = size;
        page.OnMessage({WM_DL_STARTED, 0, static_cast<std::intptr_t>(size)});
        page.OnMessage({WM_DL_PROGRESS, 0, static_cast<std::intptr_t>(size)});
        page.OnMessage({WM_DL_DONE, 0, static_cast<std::intptr_t>(size)});
    }

    TempDir dir;
    ScopedWorkingFolder cwd;
    FakeWorker worker;
    FakePageView view;
    FakeClock clock;
    FakeFileSystem files;
    FakeDesktop desktop;
    MemoryProfile profile;
    CUpdateApp app;
    CMessageQueue window;
    CDownloadPage page;
};

TEST_F(DownloadPageTest, EmptyScriptFinishesAtOnce) {
    StartRun("");
    EXPECT_TRUE(page.Finished());
    EXPECT_TRUE(page.Rows().empty());
    EXPECT_EQ(app.m_settings.LogText, "");
    EXPECT_EQ(view.page, 2);
    EXPECT_EQ(view.buttons, kWizardNext);
    EXPECT_TRUE(view.timerKilled);
    EXPECT_EQ(worker.posted.back(), WM_DL_STOP);
    EXPECT_EQ(files.contents.count("index.lst"), 0u);  // the local copy is deleted once loaded
}

TEST_F(DownloadPageTest, UpToDateEntriesBecomeCompleteRowsWithoutDownloads) {
    files.times["a.exe"] = 2000000000;  // far later than 2004
    files.times["default.tdb"] = 2000000000;
    StartRun(CLine("a.exe", "http://h/x/a.exe") + "\n" + CLine("~default.tdb", "http://h/x/~default.tdb") + "\n");
    ASSERT_EQ(page.Rows().size(), 2u);
    EXPECT_EQ(page.Rows()[0].name, "a.exe");
    EXPECT_EQ(page.Rows()[0].size, "Complete");
    EXPECT_EQ(page.Rows()[0].icon, kIconComplete);
    EXPECT_EQ(page.Rows()[1].name, "~default.tdb");
    EXPECT_EQ(files.asked.back(), "default.tdb");  // a '~' file is judged by the live file
    EXPECT_EQ(worker.Count(WM_DL_DOWNLOAD), 1);    // the script only
    EXPECT_EQ(app.m_settings.LogText, "");
    EXPECT_TRUE(page.Finished());
}

TEST_F(DownloadPageTest, FailedEntryThenUpdatedEntry) {
    StartRun("s<3000>\r\n" + CLine("one.exe", "http://h/one.exe", "program", "1.2") + "\r\n" +
             CLine("default.tdb", "ftp://h/x/default.tdb") + "\r\n");
    EXPECT_EQ(page.TotalExpected(), 3000);
    ASSERT_EQ(worker.posted.back(), WM_DL_DOWNLOAD);
    EXPECT_EQ(worker.URL, "http://h/one.exe");
    EXPECT_EQ(worker.Destination, "one.exe");
    EXPECT_EQ(worker.ExpectedSize, 10);
    EXPECT_EQ(worker.ExpectedCRC, -1);  // 4294967295 taken modulo 2^32
    EXPECT_EQ(worker.SkipCheck, 0);
    ASSERT_EQ(page.Rows().size(), 1u);
    EXPECT_EQ(page.Rows()[0].icon, kIconBusy0);

    worker.SetErrorText("connection refused");
    page.OnMessage({WM_DL_ERROR, kErrorOpenUrl, 0});
    EXPECT_TRUE(view.messages.empty());  // the row says why; no box stops the run
    EXPECT_EQ(page.Rows()[0].reason, "connection refused");
    EXPECT_EQ(page.Rows()[0].size, "failed");
    EXPECT_EQ(page.Rows()[0].icon, kIconFailed);
    EXPECT_EQ(worker.URL, "ftp://h/x/default.tdb");

    Deliver(1500);
    ASSERT_EQ(page.Rows().size(), 2u);
    EXPECT_EQ(page.Rows()[1].size, "1500");
    EXPECT_EQ(page.Rows()[1].icon, kIconUpdated);
    EXPECT_EQ(app.m_settings.LogText, "Failed update one.exe\r\nUpdated default.tdb\r\n\r\n");
    EXPECT_TRUE(page.Finished());
    EXPECT_EQ(view.display.totalPos, 3000u);  // Finish fills the total bar
}

TEST_F(DownloadPageTest, LogLinesNameTheFileWithoutItsUnderscore) {
    StartRun(CLine("zelscan.exe", "http://h/_zelscan.exe", "program", "1.2") + "\n" +
             CLine("b.dat", "http://h/b.dat", "Zel", " ") + "\n" + CLine("c.dat", "c.dat") + "\n");
    Deliver(10);
    Deliver(0);  // no size reported: the row shows what was received
    worker.Received = 7;
    worker.TotalSize = 0;
    page.OnMessage({WM_DL_DONE, 0, 7});
    ASSERT_EQ(page.Rows().size(), 3u);
    EXPECT_EQ(page.Rows()[0].name, "_zelscan.exe");
    EXPECT_EQ(page.Rows()[2].name, "c.dat");  // a URL without '/' names itself
    EXPECT_EQ(page.Rows()[2].size, "7");
    EXPECT_EQ(app.m_settings.LogText,
              "Updated program zelscan.exe to version 1.2\r\nUpdated Zel b.dat\r\nUpdated c.dat\r\n\r\n");
}

TEST_F(DownloadPageTest, PercentSignsInNamesAreNoFormats) {
    StartRun(CLine("p.dat", "http://h/100%s%d.dat", "50%s", "%n") + "\n");
    Deliver(10);
    EXPECT_EQ(app.m_settings.LogText, "Updated 50%s 100%s%d.dat to version %n\r\n");
    EXPECT_EQ(FormatText("%s Version %s, type %s\r\n", {"a"}), "a Version , type \r\n");
}

TEST_F(DownloadPageTest, CompletionTextSpansLinesAndSkipsTheRestOfItsLastLine) {
    StartRun("f<Thank you.\r\nLine two\r\nLine three>" + CLine("x.exe", "http://h/x.exe") + "\nd<gone.txt>\n");
    EXPECT_EQ(app.m_settings.CompletionText, "Thank you.\r\nLine two\r\nLine three");
    EXPECT_EQ(worker.Count(WM_DL_DOWNLOAD), 1);
    EXPECT_EQ(files.removed, std::vector<std::string>{"gone.txt"});
}

TEST_F(DownloadPageTest, HousekeepingCommandsAndSkippedLines) {
    files.times["setup.exe"] = 1;
    StartRun("n<newdir>\ng<setup.exe>\ns<52000>\nC<ignored>\n#comment\n d<no>\ns<7>\nzzz\n");
    EXPECT_EQ(files.made, std::vector<std::string>{"newdir"});
    ASSERT_EQ(desktop.opened.size(), 1u);
    EXPECT_EQ(desktop.opened[0], std::make_pair(std::string("./setup.exe"), platform::kShowNormal));
    EXPECT_TRUE(files.removed.empty());
    EXPECT_EQ(page.TotalExpected(), 7);  // a later s line replaces the earlier one
    EXPECT_TRUE(page.Rows().empty());
}

// Paths are taken inside the install folder only, "\" separating folders; a refused line and a
// malformed c line each fail a row of their own and the run goes on.
TEST_F(DownloadPageTest, RefusedAndMalformedLinesFailTheirRowsAndTheRunGoesOn) {
    files.outside.insert("out/x");
    StartRun(
        "n<plugins\\sub>\nd<plugins\\old.dll>\nd</etc/passwd>\nn<..\\up>\ng<C:\\setup.exe>\n"
        "g<missing.exe>\nd<out\\x>\n" +
        CLine("../x.dll", "http://h/_x.dll") + "\n" +
        "c<a><http://h/seven.bin><01.01.2004><10:00:00>< >< ><10>\n"  // seven fields
        "c<b><http://h/b><01.01.2004><10:00:00>< >< ><ten><5>\n"      // size without digits
        "c\n" +
        CLine("plugins\\x.dll", "http://h/x.dll") + "\nd<unterminated\ns<\nf<never closed\n");
    EXPECT_EQ(files.made, std::vector<std::string>{"plugins/sub"});
    EXPECT_EQ(files.removed, std::vector<std::string>{"plugins/old.dll"});
    EXPECT_TRUE(desktop.opened.empty());
    EXPECT_EQ(worker.Destination, "plugins/x.dll");  // the one good entry is being fetched
    std::vector<std::pair<std::string, std::string>> failed;
    for (const CFileRow& row : page.Rows())
        if (row.icon == kIconFailed) failed.emplace_back(row.name, row.reason);
    const std::vector<std::pair<std::string, std::string>> expected{
        {"/etc/passwd", "refused path: absolute"},
        {"..\\up", "refused path: \"..\" leads out of the install folder"},
        {"C:\\setup.exe", "refused path: drive letter"},
        {"missing.exe", "refused path: no file in the install folder"},
        {"out\\x", "refused path: a symbolic link leads out of the install folder"},
        {"_x.dll", "refused path: \"..\" leads out of the install folder"},
        {"seven.bin", "malformed line"},
        {"b", "malformed line"},
        {"c", "malformed line"},
    };
    EXPECT_EQ(failed, expected);
    EXPECT_EQ(app.m_settings.LogText,
              "Failed update /etc/passwd\r\nFailed update ..\\up\r\nFailed update C:\\setup.exe\r\n"
              "Failed update missing.exe\r\nFailed update out\\x\r\nFailed update x.dll\r\n"
              "Failed update seven.bin\r\nFailed update b\r\nFailed update c\r\n");
    Deliver(10);
    EXPECT_EQ(app.m_settings.CompletionText, "");
    EXPECT_TRUE(page.Finished());
}

TEST_F(DownloadPageTest, ErrorsBeforeTheScriptReturnToTheSettingsPage) {
    struct Case {
        UINT code;
        std::vector<CString> messages;
        bool installFailed = false;
    };
    const Case cases[] = {
        {kErrorBadUrl, {"Invalid URL"}},
        {kErrorSession, {"Invalid URL"}},
        {kErrorOpenUrl, {"Invalid URL", LoadUpdateString(IDS_NO_SCRIPT)}},
        {kErrorTempFile, {LoadUpdateString(IDS_NO_SCRIPT)}},
        {kErrorRead, {"Invalid URL", LoadUpdateString(IDS_NO_SCRIPT)}},
        {kErrorCheck, {LoadUpdateString(IDS_NO_SCRIPT)}},
        {5, {"Unknown error #E0067"}},
        // The script arrived but cannot be stored: said as such, not as a missing script.
        {kErrorCheck, {"Invalid URL", LoadUpdateString(IDS_FOLDER_UNWRITABLE)}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        view = FakePageView();
        page.OnSetActive();
        worker.SetErrorText("Invalid URL");
        worker.InstallFailed = c.installFailed;
        page.OnMessage({WM_DL_ERROR, c.code, 0});
        EXPECT_EQ(view.messages, c.messages);
        EXPECT_EQ(view.page, 0);
        EXPECT_EQ(view.buttons, kWizardBack);
        EXPECT_EQ(page.EntriesDone(), 0);
    }
}

TEST_F(DownloadPageTest, ReturningToThePageStartsAFreshRun) {
    StartRun(CLine("a.exe", "http://h/a.exe") + "\n" + CLine("b.exe", "http://h/b.exe") + "\n");
    Deliver(10);
    EXPECT_EQ(page.Rows().size(), 2u);
    page.OnSetActive();
    EXPECT_TRUE(page.Rows().empty());
    EXPECT_EQ(page.EntriesDone(), 0);
    EXPECT_EQ(page.TotalReceived(), 0);
    EXPECT_EQ(page.TotalExpected(), 0);
    EXPECT_EQ(worker.posted.back(), WM_DL_CONNECT);
    EXPECT_EQ(worker.SkipCheck, 1);
}

TEST_F(DownloadPageTest, ScriptBytesCountIntoTheTotal) {
    std::string script = "s<100>\n" + CLine("a.exe", "http://h/a.exe") + "\n";
    StartRun(script);
    EXPECT_EQ(page.TotalReceived(), static_cast<int>(script.size()));
    page.OnMessage({kTimerMessage, 1, 0});
    EXPECT_EQ(view.display.downloaded, "Downloaded " + std::to_string(script.size()) + " of 100");
}

TEST_F(DownloadPageTest, TimeLeftArithmetic) {
    EXPECT_EQ(CDownloadPage::FormatTimeLeft(90061), "01:01:01");
    EXPECT_EQ(CDownloadPage::FormatTimeLeft(25 * 3600), "01:00:00");
    EXPECT_EQ(CDownloadPage::FormatTimeLeft(0), "00:00:00");
    // 1000 bytes in 2 s is 500 B/s; 1249 bytes left take 2.498 s, rounded to 2.
    EXPECT_EQ(CDownloadPage::SecondsLeft(1249, 1000, 2000), 2);
    EXPECT_EQ(CDownloadPage::SecondsLeft(1250, 1000, 2000), 3);
    EXPECT_EQ(CDownloadPage::SecondsLeft(0, 1000, 2000), 0);
    EXPECT_EQ(CDownloadPage::SecondsLeft(-5, 1000, 2000), 0);
    EXPECT_EQ(CDownloadPage::SecondsLeft(100, 0, 2000), 0);
    EXPECT_EQ(CDownloadPage::SecondsLeft(100, 5, 0), 0);
    EXPECT_GT(CDownloadPage::SecondsLeft(2000000000, 1, 0xFFFFFFFF), 0);  // no overflow on a crawl
}

TEST_F(DownloadPageTest, RefreshShowsRatesOfTheCurrentFileAndBlinksItsIcon) {
    // The run expects exactly 360000 bytes more than the script and the first 1000 bytes of the file.
    std::string body = CLine("a.exe", "http://h/a.exe") + "\n";
    std::size_t scriptSize = std::string("s<>\n").size() + 6 + body.size();
    clock.ticks = 5000;  // the file's download is started while the script runs
    StartRun("s<" + std::to_string(scriptSize + 1000 + 360000) + ">\n" + body);
    page.OnMessage({WM_DL_STARTED, 0, 0});
    EXPECT_EQ(page.TimeLeftText(), "00:00:00");  // nothing of this file received yet
    clock.ticks += 10000;
    clock.second = 4;
    worker.TotalSize = 100000;
    worker.Received = 1000;
    page.OnMessage({WM_DL_PROGRESS, 0, 1000});
    EXPECT_EQ(page.TimeLeftText(), "01:00:00");  // 360000 bytes at 100 B/s
    EXPECT_EQ(page.Rows().back().size, "1000");
    EXPECT_EQ(page.Rows().back().icon, kIconBusy1);  // even second
    EXPECT_EQ(view.display.currentRange, 100000u);
    EXPECT_EQ(view.display.currentPos, 1000u);
    clock.second = 5;
    page.OnMessage({kTimerMessage, 1, 0});
    EXPECT_EQ(page.Rows().back().icon, kIconBusy0);
}

TEST_F(DownloadPageTest, CancelStopsTheWorkerAndRestartsThePrograms) {
    app.m_bScannerWasRunning = 1;
    page.OnCancel();
    EXPECT_EQ(worker.posted.back(), WM_DL_STOP);
    EXPECT_EQ(clock.slept, 500u);
    ASSERT_EQ(desktop.opened.size(), 1u);
    EXPECT_EQ(desktop.opened[0].first, "zelscan.exe");
}

}  // namespace
}  // namespace zel::updater::test
