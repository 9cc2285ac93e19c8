#include <gtest/gtest.h>

#include "fakes.h"
#include "platform/memory_registry.h"
#include "platform/services.h"
#include "platform/wine/wine_registry.h"
#include "test_support.h"
#include "updater/core/registry_profile.h"
#include "updater/core/update_app.h"
#include "updater/core/update_settings.h"

namespace zel::updater::test {
namespace {

TEST(SettingsTest, DefaultsWhenNothingIsStoredAndAllSlotsWrittenEmpty) {
    MemoryProfile profile;
    CUpdateSettings settings;
    LoadSettings(profile, settings);
    EXPECT_EQ(settings.URL, "");
    EXPECT_TRUE(settings.Mirrors.empty());
    EXPECT_EQ(settings.UseProxySettings, 0);
    EXPECT_EQ(settings.ListFileName, "zelbase.lst");
    SaveSettings(profile, settings);
    for (int slot = 0; slot < 16; ++slot)
        EXPECT_EQ(profile.strings.at("Settings/Mirror " + std::to_string(slot)), "") << slot;
    EXPECT_EQ(profile.strings.count("Settings/Mirror 16"), 0u);
    EXPECT_EQ(profile.ints.at("Settings/UseProxySettings"), 0);
}

TEST(SettingsTest, MirrorsAreSplitAndStoredCompacted) {
    MemoryProfile profile;
    profile.strings["Settings/Mirror 3"] = "Asia\\nftp://asia.test/upd";
    profile.strings["Settings/Mirror 9"] = "Europe\\nhttp://eu.test/a\\nb";
    profile.strings["Settings/Mirror 12"] = "no separator";
    profile.ints["Settings/HTTPPort"] = 8080;
    profile.strings["Settings/HTTPProxy"] = "proxy1";
    CUpdateSettings settings;
    LoadSettings(profile, settings);
    ASSERT_EQ(settings.Mirrors.size(), 3u);
    EXPECT_EQ(settings.Mirrors[0].Name, "Asia");
    EXPECT_EQ(settings.Mirrors[0].URL, "ftp://asia.test/upd");
    EXPECT_EQ(settings.Mirrors[1].URL, "http://eu.test/a\\nb");  // split at the first separator
    EXPECT_EQ(settings.Mirrors[2].Name, "");
    EXPECT_EQ(settings.Mirrors[2].URL, "no separator");  // kept whole, not cut by one character
    EXPECT_EQ(settings.HTTPPort, 8080);
    LoadSettings(profile, settings);
    EXPECT_EQ(settings.Mirrors.size(), 3u);
    SaveSettings(profile, settings);
    EXPECT_EQ(profile.strings["Settings/Mirror 0"], "Asia\\nftp://asia.test/upd");
    EXPECT_EQ(profile.strings["Settings/Mirror 1"], "Europe\\nhttp://eu.test/a\\nb");
    EXPECT_EQ(profile.strings["Settings/Mirror 3"], "");
    EXPECT_EQ(profile.strings["Settings/Mirror 9"], "");
}

TEST(RegistryProfileTest, RoundTripThroughTheRegistry) {
    platform::MemoryRegistry registry;
    platform::ScopedServices services(platform::Services{.registry = &registry});
    CRegistryProfile profile;
    CUpdateSettings settings;
    settings.URL = "http://mirror.test/upd";
    settings.UseProxySettings = 1;
    settings.HTTPProxy = "hp";
    settings.HTTPPort = 3128;
    settings.FTPProxy = "fp";
    settings.FTPPort = -2;
    settings.Mirrors = {{"Asia", "http://asia.test"}, {"Europe", "ftp://eu.test/x"}};
    SaveSettings(profile, settings);

    platform::RegistryValue value;
    const std::string key = "Software\\Quorvane\\Zel\\Zelupdate\\Settings";
    ASSERT_EQ(registry.QueryValue(platform::RegistryRoot::kCurrentUser, key, "HTTPPort", value),
              platform::RegistryStatus::kOk);
    EXPECT_EQ(value.type, platform::kRegDword);
    EXPECT_EQ(value.data, std::string("\x38\x0c\0\0", 4));
    ASSERT_EQ(registry.QueryValue(platform::RegistryRoot::kCurrentUser, key, "Mirror 1", value),
              platform::RegistryStatus::kOk);
    EXPECT_EQ(value.type, platform::kRegSz);

    CUpdateSettings loaded;
    LoadSettings(profile, loaded);
    EXPECT_EQ(loaded.URL, settings.URL);
    EXPECT_EQ(loaded.UseProxySettings, 1);
    EXPECT_EQ(loaded.HTTPProxy, "hp");
    EXPECT_EQ(loaded.HTTPPort, 3128);
    EXPECT_EQ(loaded.FTPPort, -2);
    ASSERT_EQ(loaded.Mirrors.size(), 2u);
    EXPECT_EQ(loaded.Mirrors[1].Name, "Europe");
    EXPECT_EQ(loaded.Mirrors[1].URL, "ftp://eu.test/x");

    // A string where an integer belongs counts as missing.
    registry.SetValue(platform::RegistryRoot::kCurrentUser, key, {"FTPPort", platform::kRegSz, std::string("21\0", 3)});
    EXPECT_EQ(profile.ReadInt("Settings", "FTPPort", 7), 7);
}

// The stored form in Wine's user.reg, read back by a registry that has never seen the writes.
TEST(RegistryProfileTest, RoundTripThroughARegistryFile) {
    TempDir dir;
    CopyFreshPrefix(dir.path().string());
    platform::WineRegistry::Hooks hooks;
    hooks.wine_running = [] { return false; };
    CUpdateSettings settings;
    settings.URL = "ftp://mirror.test/upd";
    settings.HTTPProxy = "proxy1";
    settings.HTTPPort = 8080;
    settings.Mirrors = {{"Asia", "http://asia.test/upd"}, {"Europe", "ftp://eu.test"}};
    {
        platform::WineRegistry registry(dir.path().string(), hooks);
        platform::ScopedServices services(platform::Services{.registry = &registry});
        CRegistryProfile profile;
        EXPECT_TRUE(SaveSettings(profile, settings));
    }
    std::string user = ReadBytes(dir / "user.reg");
    std::size_t key = user.find("[Software\\\\Quorvane\\\\Zel\\\\Zelupdate\\\\Settings]");
    ASSERT_NE(key, std::string::npos) << user;
    std::string block = user.substr(key, user.find("\n\n", key) - key) + "\n";
    EXPECT_NE(block.find("\"HTTPPort\"=dword:00001f90\n"), std::string::npos) << block;
    EXPECT_NE(block.find("\"UseProxySettings\"=dword:00000000\n"), std::string::npos) << block;
    // The separator is a backslash and an n, which Wine's files spell with a doubled backslash.
    EXPECT_NE(block.find("\"Mirror 0\"=\"Asia\\\\nhttp://asia.test/upd\"\n"), std::string::npos) << block;
    EXPECT_NE(block.find("\"Mirror 15\"=\"\"\n"), std::string::npos) << block;

    platform::WineRegistry again(dir.path().string(), hooks);
    platform::ScopedServices services(platform::Services{.registry = &again});
    CRegistryProfile profile;
    CUpdateSettings loaded;
    LoadSettings(profile, loaded);
    EXPECT_EQ(loaded.URL, settings.URL);
    EXPECT_EQ(loaded.HTTPProxy, "proxy1");
    EXPECT_EQ(loaded.HTTPPort, 8080);
    ASSERT_EQ(loaded.Mirrors.size(), 2u);
    EXPECT_EQ(loaded.Mirrors[0].Name, "Asia");
    EXPECT_EQ(loaded.Mirrors[0].URL, "http://asia.test/upd");
    EXPECT_EQ(loaded.Mirrors[1].URL, "ftp://eu.test");

    // While Wine runs on the prefix the registry refuses writes, and saving says so.
    hooks.wine_running = [] { return true; };
    platform::WineRegistry busy(dir.path().string(), hooks);
    platform::ScopedServices refused(platform::Services{.registry = &busy});
    EXPECT_FALSE(SaveSettings(profile, settings));
}

TEST(RegistryProfileTest, LanguageValue) {
    platform::MemoryRegistry registry;
    platform::ScopedServices services(platform::Services{.registry = &registry});
    EXPECT_EQ(ReadLanguage(), "");
    registry.CreateKey(platform::RegistryRoot::kCurrentUser, "Software\\Quorvane\\Zel");
    registry.SetValue(platform::RegistryRoot::kCurrentUser, "Software\\Quorvane\\Zel",
                      {"Language", platform::kRegSz, std::string("ger\0", 4)});
    EXPECT_EQ(ReadLanguage(), "ger");
    registry.SetValue(platform::RegistryRoot::kCurrentUser, "Software\\Quorvane\\Zel",
                      {"Language", platform::kRegSz, std::string(20, 'x') + '\0'});
    EXPECT_EQ(ReadLanguage(), "");  // does not fit the 20-byte buffer
    EXPECT_EQ(LanguageResourcePath("C:\\Prog\\Zelupdate.exe", "ger"), "C:\\Prog\\Zelupdate.ger");
    EXPECT_EQ(LanguageResourcePath("/opt/zel.d/zelupdate", "ger"), "/opt/zel.d/zelupdate.ger");
}

TEST(UpdateAppTest, ClosesAndRestartsTheScannerAndMonitor) {
    FakeDesktop desktop;
    MemoryProfile profile;
    CUpdateApp app(desktop, profile);
    app.CloseRunningPrograms();
    EXPECT_EQ(app.m_bMonitorWasRunning, 0);
    EXPECT_EQ(app.m_bScannerWasRunning, 0);
    EXPECT_TRUE(desktop.postedTo.empty());
    app.RestartPrograms();
    EXPECT_TRUE(desktop.opened.empty());

    desktop.windows = {{"Zel Monitor", 7}, {"Zelscan", 9}, {"zelscan", 11}};
    app.CloseRunningPrograms();
    using Posted = std::vector<std::pair<platform::WindowId, unsigned>>;
    EXPECT_EQ(desktop.postedTo, (Posted{{7, kCloseMessage}, {7, kQuitMessage}, {9, kQuitMessage}}));
    app.RestartPrograms();
    app.RestartPrograms();  // the flags stay set
    using Opened = std::vector<std::pair<std::string, int>>;
    EXPECT_EQ(desktop.opened,
              (Opened{{"zelscan.exe", 10}, {"zelmon.exe", 10}, {"zelscan.exe", 10}, {"zelmon.exe", 10}}));
}

TEST(UpdateAppTest, SettingsAreWrittenOnlyAfterTheyWereLoaded) {
    FakeDesktop desktop;
    MemoryProfile profile;
    CUpdateApp app(desktop, profile);
    app.SaveSettings();
    EXPECT_TRUE(profile.writes.empty());
    app.LoadSettings();
    app.SaveSettings();
    EXPECT_EQ(profile.writes.size(), 3u + 16u);
}

}  // namespace
}  // namespace zel::updater::test
