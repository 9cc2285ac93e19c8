// The settings page's rules without widgets: the system proxy value, the merge with the stored
// settings, the region preselection and what Next stores.
#include <gtest/gtest.h>

#include "updater/core/settings_page_logic.h"

namespace zel::updater {
namespace {

CProxyFields Fields(const char* ftp, int ftpPort, const char* http, int httpPort) {
    return {ftp, http, ftpPort, httpPort};
}

TEST(ProxyServerTest, OneProxyForAllOrOnePerProtocol) {
    EXPECT_EQ(ParseProxyServer(""), Fields("", 0, "", 0));
    EXPECT_EQ(ParseProxyServer("proxy:3128"), Fields("proxy", 3128, "proxy", 3128));
    EXPECT_EQ(ParseProxyServer("http=hp:8080;ftp=fp:21"), Fields("fp", 21, "hp", 8080));
    EXPECT_EQ(ParseProxyServer("HTTP=hp:8080"), Fields("", 0, "hp", 8080));
    EXPECT_EQ(ParseProxyServer("Ftp=fp:21;socks=s:1"), Fields("fp", 21, "", 0));
    // A text without a colon is not taken; unknown protocols are ignored.
    EXPECT_EQ(ParseProxyServer("http=hp;ftp=fp:21"), Fields("fp", 21, "", 0));
    EXPECT_EQ(ParseProxyServer("socks=sp:1080"), Fields("", 0, "", 0));
    EXPECT_EQ(ParseProxyServer("noport"), Fields("", 0, "", 0));
    // The port is the digits after the first colon.
    EXPECT_EQ(ParseProxyServer("h:80x:9"), Fields("h", 80, "h", 80));
    EXPECT_EQ(ParseProxyServer("h:"), Fields("h", 0, "h", 0));
    // "https=" is not "http=": the first "http=" is taken.
    EXPECT_EQ(ParseProxyServer("http=a:1;https=b:2"), Fields("", 0, "a", 1));
}

TEST(SettingsPageTest, StoredProxiesWinAndTheSystemFillsTheRest) {
    CUpdateSettings settings;
    settings.HTTPProxy = "stored";
    settings.HTTPPort = 1;
    CSettingsPage page(settings);
    page.OnInitDialog(Fields("fp", 21, "hp", 8080));
    EXPECT_EQ(page.Proxy, Fields("fp", 21, "stored", 1));
    EXPECT_EQ(settings.FTPProxy, "fp");  // the proposal becomes the setting
    EXPECT_EQ(settings.FTPPort, 21);
    EXPECT_EQ(settings.HTTPProxy, "stored");
}

TEST(SettingsPageTest, RegionSelectionIsTheLastMirrorWithTheStoredUrlElseTheFirst) {
    CUpdateSettings settings;
    settings.Mirrors = {{"A", "http://a"}, {"B", "http://same"}, {"C", "http://same"}, {"D", "http://d"}};
    settings.URL = "http://same";
    CSettingsPage page(settings);
    page.OnInitDialog({});
    EXPECT_EQ(page.Regions, (std::vector<CString>{"A", "B", "C", "D"}));
    EXPECT_EQ(page.Selection, 2);
    settings.URL = "http://other";
    page.OnInitDialog({});
    EXPECT_EQ(page.Selection, 0);
    settings.Mirrors.clear();
    settings.URL.clear();  // nothing stored at all: nothing listed
    page.OnInitDialog({});
    EXPECT_EQ(page.Selection, -1);
    EXPECT_TRUE(page.Regions.empty());
}

TEST(SettingsPageTest, NextStoresTheFieldsAndTheChosenMirror) {
    CUpdateSettings settings;
    settings.Mirrors = {{"A", "http://a"}, {"B", "http://b"}};
    settings.URL = "http://kept";
    CSettingsPage page(settings);
    page.OnInitDialog({});
    page.Proxy = Fields("f", 2, "h", 1);
    EXPECT_TRUE(page.UpdateProxyControls(false, true));
    page.OnWizardNext(1);
    EXPECT_EQ(settings.URL, "http://b");
    EXPECT_EQ(settings.UseProxySettings, 1);
    EXPECT_EQ(settings.FTPProxy, "f");
    EXPECT_EQ(settings.HTTPPort, 1);
    // No selection counts as the first mirror; an index past the list keeps the URL.
    page.OnWizardNext(-1);
    EXPECT_EQ(settings.URL, "http://a");
    settings.URL = "http://kept";
    page.OnWizardNext(7);
    EXPECT_EQ(settings.URL, "http://kept");
    settings.Mirrors.clear();
    page.OnWizardNext(0);
    EXPECT_EQ(settings.URL, "http://kept");
}

TEST(SettingsPageTest, AStoredMirrorWithoutRegionsIsListedByItsHostAndKept) {
    CUpdateSettings settings;
    settings.URL = "ftp://anonymous@mirror.example.net:2121/upd";
    CSettingsPage page(settings);
    page.OnInitDialog({});
    EXPECT_EQ(page.Regions, std::vector<CString>{"mirror.example.net"});
    EXPECT_EQ(page.Selection, 0);
    page.OnWizardNext(0);
    EXPECT_EQ(settings.URL, "ftp://anonymous@mirror.example.net:2121/upd");
    EXPECT_EQ(MirrorHost("http://[::1]:8080/x"), "[::1]");
    EXPECT_EQ(MirrorHost("http://h?q"), "h");
    EXPECT_EQ(MirrorHost("no address"), "no address");
}

TEST(SettingsPageTest, RadioButtonsDecideUseProxyAndNeitherChangesNothing) {
    CUpdateSettings settings;
    CSettingsPage page(settings);
    page.UseProxy = 1;
    EXPECT_FALSE(page.UpdateProxyControls(false, false));
    EXPECT_EQ(page.UseProxy, 1);
    EXPECT_FALSE(page.UpdateProxyControls(true, false));
    EXPECT_EQ(page.UseProxy, 0);
    EXPECT_TRUE(page.UpdateProxyControls(false, true));
    EXPECT_EQ(page.UseProxy, 1);
}

TEST(PortTextTest, IntegersOnly) {
    int port = -7;
    EXPECT_TRUE(ParsePortText("8080", port));
    EXPECT_EQ(port, 8080);
    EXPECT_TRUE(ParsePortText("  -12 ", port));
    EXPECT_EQ(port, -12);
    EXPECT_TRUE(ParsePortText("2147483647", port));
    EXPECT_TRUE(ParsePortText("-2147483648", port));
    EXPECT_EQ(port, -2147483647 - 1);
    port = 5;
    for (const char* bad : {"", " ", "80x", "x80", "2147483648", "99999999999999999999", "+", "8 0", "0x10"}) {
        EXPECT_FALSE(ParsePortText(bad, port)) << bad;
        EXPECT_EQ(port, 5) << bad;
    }
}

}  // namespace
}  // namespace zel::updater
