// The real wizard driven through its buttons against a local HTTP mirror: the settings page hands
// over the chosen mirror, the download page shows the run, the completion page ends it.
#include <QTest>
#include <filesystem>

#include "updater/core/update_strings.h"
#include "wizard_fixture.h"

namespace zel::updater::test {
namespace {

class WizardRunTest : public WizardTest {};

TEST_F(WizardRunTest, WholeRunShowsRowsIconsAndBarsThenFinishStartsTheScanner) {
    auto server = Http();
    ASSERT_TRUE(server);
    std::string base = Base(*server);
    std::string program = PatternBytes(9000, 1);
    std::string current = "current";
    std::string bad = PatternBytes(2500, 2);
    WriteFile(mirror + "/_zelscan.exe", program);
    WriteFile(mirror + "/current.txt", current);
    WriteFile(mirror + "/bad.bin", bad);
    WriteFile(work + "/current.txt", "kept");  // newer than its line
    std::string total = std::to_string(program.size() + bad.size());
    WriteFile(mirror + "/zelbase.lst",
              "s<" + total + ">\r\n" + CheckedLine("zelscan.exe", base + "/_zelscan.exe", program, "program", "1.2") +
                  CheckedLine("current.txt", base + "/current.txt", current) +
                  CheckedLine("bad.bin", base + "/bad.bin", bad + "!") + "f<All done.\nSee you.>\r\n");
    SetMirrors({{"Nowhere", base + "/nowhere"}, {"Local", base}});
    app.m_settings.URL = base;  // the stored choice is preselected
    Open();
    EXPECT_EQ(EnabledButtons(), kWizardNext);
    ASSERT_EQ(Settings()->RegionList()->count(), 2);
    EXPECT_EQ(Settings()->RegionList()->currentIndex(), 1);
    EXPECT_EQ(Settings()->RegionList()->itemText(1), "Local");

    Click(QWizard::NextButton);
    ASSERT_EQ(sheet->currentId(), 1);
    EXPECT_EQ(EnabledButtons(), 0u);  // nothing while the run goes on
    ASSERT_TRUE(WaitFor([&] { return sheet->currentId() == 2; }));

    EXPECT_EQ(ReadBytes(work + "/zelscan.exe"), program);
    EXPECT_EQ(ReadBytes(work + "/current.txt"), "kept");
    EXPECT_FALSE(FileExists(work + "/bad.bin"));
    QTreeWidget* list = Download()->FileList();
    ASSERT_EQ(list->topLevelItemCount(), 3);
    EXPECT_EQ(list->headerItem()->text(0), "File");
    EXPECT_EQ(list->headerItem()->text(1), "Size");
    EXPECT_EQ(list->columnWidth(0), 190);
    EXPECT_EQ(list->columnWidth(1), 90);
    EXPECT_EQ(list->topLevelItem(0)->text(0), "_zelscan.exe");
    EXPECT_EQ(list->topLevelItem(0)->text(1), "9000");
    EXPECT_EQ(Download()->RowIcon(0), kIconUpdated);
    EXPECT_EQ(list->topLevelItem(1)->text(1), "Complete");
    EXPECT_EQ(Download()->RowIcon(1), kIconComplete);
    EXPECT_EQ(list->topLevelItem(2)->text(1), "failed");
    EXPECT_EQ(Download()->RowIcon(2), kIconFailed);
    EXPECT_EQ(list->topLevelItem(2)->toolTip(0).toStdString(), "size mismatch: expected 2501 bytes, received 2500");
    // At the end the total bar is full and the timer stopped.
    EXPECT_EQ(Download()->TotalBar()->maximum(), std::stoi(total));
    EXPECT_EQ(Download()->TotalBar()->value(), std::stoi(total));
    EXPECT_EQ(Download()->DownloadedText()->text().toStdString(), "Downloaded " + total + " of " + total);
    EXPECT_EQ(Download()->StatusText()->text(), "");
    EXPECT_FALSE(Download()->RefreshTimerActive());
    EXPECT_TRUE(boxes.texts.empty());

    // Completion page: only Finish; a file failed, so the failure text comes first and the script's
    // text after it; Details shown, the log written.
    EXPECT_EQ(EnabledButtons(), kWizardFinish);
    EXPECT_EQ(Completion()->Headline()->text().toStdString(), LoadUpdateString(IDS_FAILED_HEADLINE));
    EXPECT_EQ(Completion()->Message()->text().toStdString(),
              LoadUpdateString(IDS_FAILED_TEXT) + "\n\nAll done.\nSee you.");
    EXPECT_TRUE(Completion()->DetailsButton()->isVisible());
    EXPECT_TRUE(Completion()->RunScannerBox()->isChecked());
    EXPECT_EQ(ReadBytes(work + "/zelupdate.txt"),
              "Zelupdate log file.\r\n\r\nUpdated program zelscan.exe to version 1.2\r\nFailed update bad.bin\r\n");
    QTest::mouseClick(Completion()->DetailsButton(), Qt::LeftButton);
    ASSERT_EQ(desktop.opened.size(), 1u);
    EXPECT_EQ(desktop.opened[0], std::make_pair(std::string("zelupdate.txt"), 10));

    Click(QWizard::FinishButton);
    EXPECT_FALSE(sheet->isVisible());
    EXPECT_EQ(sheet->result(), QDialog::Accepted);
    ASSERT_EQ(desktop.opened.size(), 2u);
    EXPECT_EQ(desktop.opened[1].first, "zelscan.exe");  // even though it was not running before
}

TEST_F(WizardRunTest, NothingNewHidesDetailsAndFinishWithoutTheBoxStartsNothing) {
    auto server = Http();
    ASSERT_TRUE(server);
    WriteFile(mirror + "/zelbase.lst", "# nothing to do\r\n");
    SetMirrors({{"Local", Base(*server)}});
    desktop.windows = {{"Zel Monitor", 5}};
    app.CloseRunningPrograms();
    Open();
    Click(QWizard::NextButton);
    ASSERT_TRUE(WaitFor([&] { return sheet->currentId() == 2; }));
    EXPECT_EQ(Download()->FileList()->topLevelItemCount(), 0);
    EXPECT_EQ(Completion()->Message()->text().toStdString(), LoadUpdateString(IDS_NOTHING_NEW));
    EXPECT_FALSE(Completion()->DetailsButton()->isVisible());
    EXPECT_EQ(ReadBytes(work + "/zelupdate.txt"), "Zelupdate log file.\r\n\r\n\r\nNo update for now.\r\n");
    QTest::mouseClick(Completion()->RunScannerBox(), Qt::LeftButton);
    EXPECT_FALSE(Completion()->RunScannerBox()->isChecked());
    Click(QWizard::FinishButton);
    EXPECT_EQ(sheet->result(), QDialog::Accepted);
    EXPECT_TRUE(desktop.opened.empty());  // neither the scanner nor the monitor that ran before
}

TEST_F(WizardRunTest, AFailureSendsTheUserBackWithTheMessageAndTheNextRunStartsAfresh) {
    auto server = Http();
    ASSERT_TRUE(server);
    std::string base = Base(*server);
    std::string data = PatternBytes(3000, 3);
    WriteFile(mirror + "/data.bin", data);
    WriteFile(mirror + "/zelbase.lst", CheckedLine("data.bin", base + "/data.bin", data));
    SetMirrors({{"Broken", base + "/nowhere"}, {"Local", base}});
    Open();
    Settings()->RegionList()->setCurrentIndex(0);
    Click(QWizard::NextButton);
    ASSERT_TRUE(WaitFor([&] { return sheet->currentId() == 0; }));
    ASSERT_EQ(boxes.texts.size(), 2u);
    EXPECT_NE(boxes.texts[0].find("404"), std::string::npos);
    EXPECT_EQ(boxes.texts[1], "Unable to locate update script file. Try another server.");
    EXPECT_EQ(EnabledButtons(), kWizardNext);
    EXPECT_EQ(app.m_settings.URL, base + "/nowhere");

    // The page keeps what the user chose; the next run starts with an empty list.
    EXPECT_EQ(Settings()->RegionList()->currentIndex(), 0);
    Settings()->RegionList()->setCurrentIndex(1);
    Click(QWizard::NextButton);
    ASSERT_TRUE(WaitFor([&] { return sheet->currentId() == 2; }));
    EXPECT_EQ(Download()->FileList()->topLevelItemCount(), 1);
    EXPECT_EQ(ReadBytes(work + "/data.bin"), data);
    EXPECT_EQ(boxes.texts.size(), 2u);
}

TEST_F(WizardRunTest, NoMirrorSaysSoAndKeepsTheSettingsPage) {
    Open();  // no mirrors: Next keeps the empty address
    Click(QWizard::NextButton);
    ASSERT_TRUE(WaitFor([&] { return sheet->currentId() == 0 && !boxes.texts.empty(); }));
    EXPECT_EQ(boxes.texts, std::vector<std::string>{LoadUpdateString(IDS_NO_MIRROR)});
    EXPECT_EQ(EnabledButtons(), kWizardNext);
}

TEST_F(WizardRunTest, CancelAgainstAStalledServerStopsTheWorkerAtOnceAndRestartsPrograms) {
    auto server = Http();
    ASSERT_TRUE(server);
    std::string base = Base(*server);
    std::string big = PatternBytes(300000, 4);
    WriteFile(mirror + "/big.bin", big);
    WriteFile(mirror + "/zelbase.lst", CheckedLine("big.bin", base + "/stall/big.bin", big));
    SetMirrors({{"Local", base}});
    desktop.windows = {{"Zelscan", 3}, {"Zel Monitor", 4}};
    app.CloseRunningPrograms();
    Open();
    Click(QWizard::NextButton);
    ASSERT_TRUE(WaitFor([&] {
        return Download()->FileList()->topLevelItemCount() == 1 && Download()->CurrentBar()->maximum() == 300000 &&
               Download()->CurrentBar()->value() > 0;
    }));
    EXPECT_EQ(Download()->RowIcon(0) == kIconBusy0 || Download()->RowIcon(0) == kIconBusy1, true);
    EXPECT_EQ(Download()->StatusText()->text(), "Downloading data...");
    // The server has stalled; Cancel (with its fixed half-second wait) and the end of the worker
    // still take well under the time it would need to give up.
    QElapsedTimer cancelled;
    cancelled.start();
    Click(QWizard::CancelButton);
    EXPECT_EQ(sheet->result(), QDialog::Rejected);
    ASSERT_EQ(desktop.opened.size(), 2u);
    EXPECT_EQ(desktop.opened[0].first, "zelscan.exe");
    EXPECT_EQ(desktop.opened[1].first, "zelmon.exe");
    sheet.reset();  // joins the worker
    EXPECT_LT(cancelled.elapsed(), 1500);
    EXPECT_FALSE(FileExists(work + "/big.bin"));
    EXPECT_TRUE(TempLeftovers().empty());
}

}  // namespace
}  // namespace zel::updater::test
