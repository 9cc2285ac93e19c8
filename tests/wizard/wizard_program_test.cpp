// The program around the wizard: start-up order, the settings page's controls and rules, the
// language file, cancelling, and the one failure that ends the program before the wizard.
#include <QTest>
#include <QWhatsThis>

#include "platform/registry.h"
#include "sysutil/registry_functions.h"
#include "updater/core/registry_profile.h"
#include "updater/core/settings_page_logic.h"
#include "updater/core/update_strings.h"
#include "updater/core/wizard_strings.h"
#include "wizard_fixture.h"

namespace zel::updater::test {
namespace {

class NoInternet final : public platform::Internet {
public:
    std::optional<std::string> UrlScheme(const std::string&) override { return std::nullopt; }
    std::unique_ptr<platform::InternetSession> OpenSession(const std::string&, const platform::InternetAccess&,
                                                           std::string& error) override {
        error = "no";
        return nullptr;
    }
};

class WizardProgramTest : public WizardTest {
protected:
    void SetSystemProxy(const std::string& value) {
        ASSERT_EQ(RegistrySetString(HKEY_CURRENT_USER, kInternetSettingsKey, kProxyServerValue, value), 1);
    }
};

TEST_F(WizardProgramTest, StartUpClosesProgramsCancelRestartsThemAndExitSavesTheSettings) {
    desktop.windows = {{"Zelscan", 3}, {"Zel Monitor", 4}};
    profile.strings["Settings/Mirror 5"] = "Far\\nhttp://far.test";
    bool ran = false;
    app.m_beforeModal = [&](CUpdateSheet& modal) {
        ran = true;
        QTimer::singleShot(0, &modal, [&modal] {
            // The modal sheet shows the settings page with the stored mirror, offering Next only.
            EXPECT_EQ(modal.currentId(), 0);
            EXPECT_EQ(modal.WizardButtons(), kWizardNext);
            QTest::keyClick(&modal, Qt::Key_Escape);
        });
    };
    EXPECT_FALSE(app.InitInstance(work + "/zelupdate"));
    ASSERT_TRUE(ran);
    // The monitor is asked to close and to quit, the scanner to quit.
    std::vector<std::pair<platform::WindowId, unsigned>> posted{{4, 0x10}, {4, 0x12}, {3, 0x12}};
    EXPECT_EQ(desktop.postedTo, posted);
    // Esc cancels like the Cancel button: the scanner first, then the monitor.
    ASSERT_EQ(desktop.opened.size(), 2u);
    EXPECT_EQ(desktop.opened[0].first, "zelscan.exe");
    EXPECT_EQ(desktop.opened[1].first, "zelmon.exe");
    EXPECT_EQ(app.ExitInstance(), 0);
    EXPECT_EQ(profile.strings.at("Settings/Mirror 0"), "Far\\nhttp://far.test");  // compacted
    EXPECT_EQ(profile.strings.at("Settings/Mirror 5"), "");
}

TEST_F(WizardProgramTest, InternetLayerFailureEndsTheProgramWithoutSavingSettings) {
    NoInternet none;
    CZelupdateApp failing(desktop, profile, none, platform::SystemFileSystem(), platform::SystemClock());
    bool ran = false;
    failing.m_beforeModal = [&](CUpdateSheet&) { ran = true; };
    EXPECT_FALSE(failing.InitInstance(work + "/zelupdate"));
    EXPECT_FALSE(ran);
    EXPECT_EQ(boxes.texts, std::vector<std::string>{"Socket initialization failed."});
    failing.ExitInstance();
    EXPECT_TRUE(profile.writes.empty());
    EXPECT_TRUE(desktop.postedTo.empty());
}

TEST_F(WizardProgramTest, SystemProxiesFillWhatTheSettingsLackAndDefaultReplacesTheFields) {
    SetSystemProxy("http=hp:8080;ftp=fp:21");
    app.m_settings.HTTPProxy = "stored";
    app.m_settings.HTTPPort = 3128;
    app.m_settings.UseProxySettings = 1;
    Open();
    CPage1* page = Settings();
    EXPECT_EQ(page->HttpProxyEdit()->text(), "stored");
    EXPECT_EQ(page->HttpPortEdit()->text(), "3128");
    EXPECT_EQ(page->FtpProxyEdit()->text(), "fp");
    EXPECT_EQ(page->FtpPortEdit()->text(), "21");
    EXPECT_TRUE(page->UseProxyRadio()->isChecked());
    EXPECT_FALSE(page->HttpProxyEdit()->isReadOnly());
    EXPECT_EQ(page->RegionList()->count(), 0);

    // The default settings make the proxy edits read-only.
    QTest::mouseClick(page->DefaultSettingsRadio(), Qt::LeftButton, {},
                      QPoint(6, page->DefaultSettingsRadio()->height() / 2));
    EXPECT_TRUE(page->DefaultSettingsRadio()->isChecked());
    for (QLineEdit* edit : {page->HttpProxyEdit(), page->FtpProxyEdit(), page->HttpPortEdit(), page->FtpPortEdit()})
        EXPECT_TRUE(edit->isReadOnly());
    EXPECT_EQ(page->Logic().UseProxy, 0);

    // "Default" proposes the system's proxies again without touching the radio buttons or the settings.
    SetSystemProxy("proxy:3129");
    QTest::mouseClick(page->DefaultButton(), Qt::LeftButton);
    EXPECT_EQ(page->HttpProxyEdit()->text(), "proxy");
    EXPECT_EQ(page->FtpPortEdit()->text(), "3129");
    EXPECT_TRUE(page->DefaultSettingsRadio()->isChecked());
    EXPECT_EQ(app.m_settings.HTTPProxy, "stored");

    // The keyboard mnemonic of "Use &proxy server" picks it.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_P, Qt::AltModifier);
    EXPECT_TRUE(WaitFor([&] { return page->UseProxyRadio()->isChecked(); }, 2000));  // an animated click
    EXPECT_FALSE(page->HttpProxyEdit()->isReadOnly());
}

TEST_F(WizardProgramTest, APortThatIsNoIntegerKeepsThePageOpenAndNextStoresTheChoice) {
    auto server = Http();
    ASSERT_TRUE(server);
    WriteFile(mirror + "/zelbase.lst", "");
    SetMirrors({{"Local", Base(*server)}});
    Open();
    CPage1* page = Settings();
    page->UseProxyRadio()->click();
    page->HttpProxyEdit()->setText("127.0.0.1");
    page->HttpPortEdit()->setText("80x");
    Click(QWizard::NextButton);
    EXPECT_EQ(sheet->currentId(), 0);
    EXPECT_EQ(boxes.texts, std::vector<std::string>{"Please enter an integer."});
    EXPECT_EQ(app.m_settings.URL, "");  // nothing stored

    // A working choice: direct access, the proxy fields kept for later.
    page->HttpPortEdit()->setText(" 8080 ");
    page->DefaultSettingsRadio()->click();
    Click(QWizard::NextButton);
    EXPECT_EQ(sheet->currentId(), 1);
    EXPECT_EQ(app.m_settings.URL, Base(*server));
    EXPECT_EQ(app.m_settings.HTTPProxy, "127.0.0.1");
    EXPECT_EQ(app.m_settings.HTTPPort, 8080);
    EXPECT_EQ(app.m_settings.UseProxySettings, 0);
    ASSERT_TRUE(WaitFor([&] { return sheet->currentId() == 2; }));
}

TEST_F(WizardProgramTest, LanguageFileBesideTheProgramReplacesTexts) {
    ASSERT_EQ(RegistrySetString(HKEY_CURRENT_USER, kLanguageKey, "Language", "ger"), 1);
    WriteFile(
        work + "/zelupdate.ger",
        "# test\n130.1002=&Standard\n130.0=Aktualisierung\n132.1023=Zelscan &starten\n123=Nichts Neues.\\nBis bald.\n");
    app.LoadLanguage(work + "/zelupdate");
    SetMirrors({});
    Open();
    EXPECT_EQ(Settings()->DefaultSettingsRadio()->text(), "&Standard");
    EXPECT_EQ(Settings()->UseProxyRadio()->text(), "Use &proxy server");  // not translated: built in
    EXPECT_EQ(Settings()->title(), "Aktualisierung");
    EXPECT_EQ(Completion()->RunScannerBox()->text(), "Zelscan &starten");
    EXPECT_EQ(Download()->title(), "Zelscan Updates");
    // Core texts are shown in the language too.
    Completion()->ShowMessage(LoadUpdateString(IDS_NOTHING_NEW));
    EXPECT_EQ(Completion()->Message()->text(), "Nichts Neues.\nBis bald.");
}

TEST_F(WizardProgramTest, F1ShowsTheFocusedControlsHelpAndAHelpFileReplacesTexts) {
    WriteFile(work + "/zelupdate.hlp", "130.1019=Pick <the> nearest server.\n");
    app.LoadContextHelp(work + "/zelupdate");
    SetMirrors({{"Near", "http://near.test"}});
    Open();
    // Every control with a number has help; the file's text is shown as plain text.
    for (int id = 0; id < 3; ++id) {
        for (const CSheetPage::HelpControl& entry : sheet->Page(id)->HelpControls())
            EXPECT_FALSE(entry.widget->whatsThis().isEmpty()) << id << "." << entry.control;
    }
    EXPECT_EQ(Settings()->RegionList()->whatsThis(), "Pick &lt;the&gt; nearest server.");
    EXPECT_NE(Settings()->DefaultButton()->whatsThis().toStdString().find("proxy servers"), std::string::npos);

    auto helpShown = [] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (widget->isVisible() && widget->inherits("QWhatsThat")) return true;
        }
        return false;
    };
    Settings()->RegionList()->setFocus();
    QTest::keyClick(sheet.get(), Qt::Key_F1);
    EXPECT_TRUE(WaitFor(helpShown, 5000));
    QWhatsThis::hideText();
    // A control without help shows nothing.
    EXPECT_FALSE(sheet->ShowContextHelp(Button(QWizard::CancelButton)));
    EXPECT_FALSE(sheet->ShowContextHelp(nullptr));
}

TEST_F(WizardProgramTest, BrokenOrMissingLanguageFileKeepsTheBuiltInTexts) {
    ASSERT_EQ(RegistrySetString(HKEY_CURRENT_USER, kLanguageKey, "Language", "fra"), 1);
    app.LoadLanguage(work + "/zelupdate.bin");  // looks for zelupdate.fra: missing
    EXPECT_EQ(app.Language().String(IDS_CONNECTING), "Connecting to server...");
    WriteFile(work + "/zelupdate.fra", "103=ok\nthis line has no key\n");
    app.LoadLanguage(work + "/zelupdate.bin");
    EXPECT_EQ(app.Language().String(IDS_SOCKET_INIT_FAILED), "Socket initialization failed.");
}

}  // namespace
}  // namespace zel::updater::test
