// Pictures of the three pages as the user sees them, written as PNG files under the build folder
// (screenshots/) so that a person can look at them.
#include <QDir>
#include <QFontMetrics>
#include <QPixmap>
#include <QTest>

#include "wizard_fixture.h"

namespace zel::updater::test {
namespace {

class ScreenshotTest : public WizardTest {
protected:
    // Grabs the whole wizard into `name`.png; false when it cannot be written.
    bool Save(const char* name) {
        QCoreApplication::processEvents();  // grab() does not lay out pending changes itself
        QPixmap picture = sheet->grab();
        QDir().mkpath(ZEL_SCREENSHOT_DIR);
        QString path = QString(ZEL_SCREENSHOT_DIR) + "/" + name + ".png";
        return !picture.isNull() && picture.save(path, "PNG");
    }
    // Without fonts Qt draws empty boxes instead of letters.
    static bool FontsDrawText() {
        QFontMetrics metrics(QApplication::font());
        return metrics.inFont('D') && metrics.horizontalAdvance("iiii") < metrics.horizontalAdvance("WWWW");
    }
};

TEST_F(ScreenshotTest, EveryPage) {
    ASSERT_TRUE(FontsDrawText()) << "no usable font: install fonts-dejavu-core";
    auto server = Http();
    ASSERT_TRUE(server);
    std::string base = Base(*server);
    std::string program = PatternBytes(7000, 5);
    std::string done = "done";
    std::string bad = PatternBytes(900, 6);
    std::string big = PatternBytes(150000, 7);
    WriteFile(mirror + "/zelscan.exe", program);
    WriteFile(mirror + "/readme.txt", done);
    WriteFile(mirror + "/bad.bin", bad);
    WriteFile(mirror + "/default.tdb", big);
    WriteFile(work + "/readme.txt", "installed");
    std::string total = std::to_string(program.size() + bad.size() + big.size());
    WriteFile(mirror + "/zelbase.lst",
              "s<" + total + ">\n" + CheckedLine("zelscan.exe", base + "/zelscan.exe", program, "program", "1.2") +
                  CheckedLine("readme.txt", base + "/readme.txt", done) +
                  CheckedLine("bad.bin", base + "/bad.bin", bad + "?") +
                  CheckedLine("~default.tdb", base + "/throttle/default.tdb", big));
    SetMirrors({{"Europe", base}, {"North America", base + "/na"}, {"Asia", base + "/asia"}});
    app.m_settings.HTTPProxy = "proxy.example.net";
    app.m_settings.HTTPPort = 8080;
    app.m_settings.FTPProxy = "proxy.example.net";
    app.m_settings.FTPPort = 2121;
    Open();
    EXPECT_TRUE(Save("wizard-settings"));

    Click(QWizard::NextButton);
    // The last file comes slowly: picture the page while it arrives.
    ASSERT_TRUE(WaitFor(
        [&] { return Download()->FileList()->topLevelItemCount() == 4 && Download()->CurrentBar()->value() > 30000; }));
    EXPECT_TRUE(Save("wizard-download"));
    ASSERT_TRUE(WaitFor([&] { return sheet->currentId() == 2; }));
    EXPECT_TRUE(Save("wizard-completion"));
    for (const char* name : {"wizard-settings", "wizard-download", "wizard-completion"}) {
        QPixmap saved(QString(ZEL_SCREENSHOT_DIR) + "/" + name + ".png");
        EXPECT_EQ(saved.size(), sheet->size()) << name;
    }
}

}  // namespace
}  // namespace zel::updater::test
