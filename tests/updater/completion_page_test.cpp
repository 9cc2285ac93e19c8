#include "updater/core/completion_page.h"

#include <gtest/gtest.h>

#include "fakes.h"
#include "test_support.h"
#include "updater/core/update_strings.h"

namespace zel::updater::test {
namespace {

struct Record {
    const char* type;
    const char* name;
    const char* version;
};

void MakeBase(const std::string& path, const std::vector<Record>& records) {
    CTrojanBase2 base;
    for (const auto& r : records) ASSERT_GE(base.Add(r.type, r.name, r.version, 0x01), 0);
    ASSERT_EQ(base.SaveToCryptFile(path), 1);
}

class CompletionPageTest : public ::testing::Test {
protected:
    CompletionPageTest() : cwd(dir.path().string()), app(desktop, profile), page(app, view) {}
    std::string Log() { return ReadBytes(dir / "zelupdate.txt"); }

    TempDir dir;
    ScopedWorkingFolder cwd;
    FakeDesktop desktop;
    MemoryProfile profile;
    CUpdateApp app;
    FakePageView view;
    CCompletionPage page;
};

TEST_F(CompletionPageTest, NothingUpdated) {
    WriteFile(dir / "zelupdate.txt", "an old log that is much longer than the new one");
    page.OnSetActive();
    EXPECT_EQ(view.buttons, kWizardFinish);
    EXPECT_EQ(view.message, LoadUpdateString(IDS_NOTHING_NEW));
    EXPECT_TRUE(view.detailsHidden);
    EXPECT_EQ(Log(), "Zelupdate log file.\r\n\r\n\r\nNo update for now.\r\n");
}

TEST_F(CompletionPageTest, NewTrojansAreListedInDeliveredOrder) {
    MakeBase(dir / "default.tdb", {{"Backdoor", "Alpha", "1.0"}, {"Backdoor", "Beta", "0"}});
    MakeBase(dir / "~default.tdb", {{"Backdoor", "Gamma", "2.1"},  // new name, known type
                                    {"Backdoor", "Alpha", "1.0"},  // known: nothing
                                    {"Backdoor", "Alpha", "1.1"},  // new version
                                    {"Worm", "Beta", "0"},         // new type, version "0"
                                    {"Backdoor", "Delta", "0"}});
    app.m_settings.LogText = "Updated default.tdb\r\n\r\n";
    page.OnSetActive();
    EXPECT_EQ(view.message, LoadUpdateString(IDS_SEE_DETAILS));
    EXPECT_FALSE(view.detailsHidden);
    EXPECT_EQ(Log(),
              "Zelupdate log file.\r\n\r\nUpdated default.tdb\r\n\r\n"
              "\r\nThe database has been updated with information pertaining to the following Trojans:\r\n\r\n"
              "Gamma Version 2.1, type Backdoor\r\n"
              "Alpha Version 1.1, type Backdoor\r\n"
              "Beta, type Worm\r\n"
              "Delta, type Backdoor\r\n");
}

TEST_F(CompletionPageTest, SameRecordsOrMissingDatabasesGiveTheFileLinesOnly) {
    app.m_settings.LogText = "Updated a.exe\r\n\r\nFailed update b.exe\r\n";
    app.m_settings.CompletionText = "Done.";
    MakeBase(dir / "default.tdb", {{"Backdoor", "Alpha", "1.0"}});
    page.OnSetActive();  // no delivered database
    EXPECT_EQ(view.message, "Done.");
    EXPECT_EQ(Log(), "Zelupdate log file.\r\n\r\nUpdated a.exe\r\n\r\nFailed update b.exe\r\n");
    MakeBase(dir / "~default.tdb", {{"Backdoor", "Alpha", "1.0"}});
    page.OnSetActive();
    EXPECT_EQ(Log(), "Zelupdate log file.\r\n\r\nUpdated a.exe\r\n\r\nFailed update b.exe\r\n");
    WriteFile(dir / "default.tdb", "corrupt");
    EXPECT_EQ(page.LoadDatabases(), 0);
}

TEST_F(CompletionPageTest, FinishStartsTheScannerOnlyWhenAsked) {
    app.m_bMonitorWasRunning = 1;
    page.m_bRunScanner = 0;
    page.OnWizardFinish();
    EXPECT_TRUE(desktop.opened.empty());
    page.m_bRunScanner = 1;
    page.OnWizardFinish();
    EXPECT_EQ(app.m_bScannerWasRunning, 1);
    ASSERT_EQ(desktop.opened.size(), 2u);
    EXPECT_EQ(desktop.opened[0].first, "zelscan.exe");
    EXPECT_EQ(desktop.opened[1].first, "zelmon.exe");
    page.OnDetails();
    EXPECT_EQ(desktop.opened.back(), std::make_pair(std::string("zelupdate.txt"), platform::kShowDefault));
}

}  // namespace
}  // namespace zel::updater::test
