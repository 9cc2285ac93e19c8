// CTrojanCureModule: attaching and searching content, and the order of a disinfection.
#include "cure/trojan_cure_module.h"

#include <gtest/gtest.h>

#include "sysutil/registry_functions.h"
#include "tests/cure/cure_fixture.h"

namespace {

using namespace zel::testing;
namespace fs = std::filesystem;

class CureModule : public ::testing::Test {
protected:
    std::string Plant(const std::string& name, const std::string& bytes) {
        fs::path path = m_world.Windows() / name;
        WriteText(path, bytes);
        return path.string();
    }
    CureWorld m_world;
    CTrojanBase2 m_base;
};

TEST_F(CureModule, ExecutableFilesBeginWithMZ) {
    CTrojanCureModule module(&m_base);
    EXPECT_EQ(module.IsExecutableFile(Plant("mz.exe", "MZ")), 1);
    EXPECT_EQ(module.IsExecutableFile(Plant("zm.exe", "ZM\x90")), 0);
    EXPECT_EQ(module.IsExecutableFile(Plant("m.exe", "M")), 0);
    EXPECT_EQ(module.IsExecutableFile(Plant("empty.exe", "")), 0);
    EXPECT_EQ(module.IsExecutableFile((m_world.Windows() / "missing.exe").string()), 0);
}

TEST_F(CureModule, AttachingKeepsTheFirstTwoMebibytesOfFilesFromOneKibibyte) {
    std::string bytes = TrojanBytes(5 * 1024 * 1024);
    AddTrojanRecord(m_base, bytes, 0);
    CTrojanCureModule module(&m_base);
    ASSERT_EQ(module.AttachFile(Plant("small.exe", bytes.substr(0, 1023))), 1);
    EXPECT_EQ(module.GetDataLength(), 1023);
    EXPECT_EQ(module.SearchTrojan(0, 1), -1);
    ASSERT_EQ(module.AttachFile(Plant("kib.exe", bytes.substr(0, 1024))), 1);
    EXPECT_EQ(module.GetDataLength(), 1024);
    ASSERT_EQ(module.AttachFile(Plant("big.exe", bytes)), 1);
    EXPECT_EQ(module.GetDataLength(), 2097152);
    EXPECT_EQ(module.SearchTrojan(0, 0), 0);
    EXPECT_EQ(module.AttachFile((m_world.Windows() / "missing.exe").string()), 0);
    EXPECT_EQ(module.GetDataLength(), 0);
    EXPECT_EQ(module.SearchTrojan(0, 0), -1);
}

TEST_F(CureModule, SearchStartsAtTheGivenRecordAndCopiesOwnTheirContent) {
    std::string bytes = TrojanBytes();
    AddTrojanRecord(m_base, TrojanBytes(4096, 99), 0, "Other");
    AddTrojanRecord(m_base, bytes, 0, "First");
    AddTrojanRecord(m_base, bytes, 0, "Second");
    auto module = std::make_unique<CTrojanCureModule>(&m_base);
    ASSERT_EQ(module->AttachFile(Plant("t.exe", bytes)), 1);
    EXPECT_EQ(module->SearchTrojan(0, 0), 1);
    EXPECT_EQ(module->SearchTrojan(2, 0), 2);
    EXPECT_EQ(module->SearchTrojan(3, 0), -1);
    CTrojanCureModule copy(*module);
    CTrojanCureModule assigned(&m_base);
    assigned = copy;
    module.reset();
    EXPECT_EQ(copy.SearchTrojan(0, 1), 1);
    EXPECT_EQ(assigned.SearchTrojan(2, 1), 2);
}

TEST_F(CureModule, WinIniIsCleanedTwiceAndWininitEndsWithTheRequestOnly) {
    std::string bytes = TrojanBytes();
    int index = AddTrojanRecord(m_base, bytes, 0x04 | 0x10 | 0x40);
    std::string trojan = Plant("a.exe", bytes);
    WriteText(m_world.Windows() / "win.ini", "[windows]\r\nload=a.exe\r\nrun=x.exe a.exe\r\n");
    WriteText(m_world.Windows() / "wininit.ini", "[rename]\r\nNUL=C:\\old.exe\r\n");
    CTrojanCureModule module(&m_base);
    EXPECT_NE(module.DisinfectTrojan(trojan, index), 0);
    EXPECT_FALSE(fs::exists(trojan));
    EXPECT_EQ(ReadText(m_world.Windows() / "win.ini"), "[windows]\r\nload=\r\nrun=\r\n");
    EXPECT_EQ(ReadText(m_world.Windows() / "wininit.ini"), "[rename]\r\nNUL=C:\\windows\\a.exe\r\n");
}

TEST_F(CureModule, ReadOnlyFilesAreDeletedAndMissingRecordsCleanNothing) {
    std::string bytes = TrojanBytes();
    AddTrojanRecord(m_base, bytes, 0xFF);
    std::string trojan = Plant("a.exe", bytes);
    fs::permissions(trojan, fs::perms::owner_read);
    WriteText(m_world.Windows() / "win.ini", "[windows]\r\nload=a.exe\r\n");
    CTrojanCureModule module(&m_base);
    EXPECT_NE(module.DisinfectTrojan(trojan, -1), 0);
    EXPECT_FALSE(fs::exists(trojan));
    EXPECT_EQ(ReadText(m_world.Windows() / "win.ini"), "[windows]\r\nload=a.exe\r\n");
    // A file that is gone cannot be deleted: the result says so.
    EXPECT_EQ(module.DisinfectTrojan(trojan, 5), 0);
}

TEST_F(CureModule, FlagsZeroOnlyDeletes) {
    std::string bytes = TrojanBytes();
    int index = AddTrojanRecord(m_base, bytes, 0xFF00);  // bits above 0x80 mean nothing
    std::string trojan = Plant("a.exe", bytes);
    WriteText(m_world.Windows() / "win.ini", "[windows]\r\nload=a.exe\r\n");
    WriteText(m_world.Windows() / "winstart.bat", "a.exe\r\n");
    CTrojanCureModule module(&m_base);
    EXPECT_NE(module.DisinfectTrojan(trojan, index), 0);
    EXPECT_EQ(ReadText(m_world.Windows() / "win.ini"), "[windows]\r\nload=a.exe\r\n");
    EXPECT_EQ(ReadText(m_world.Windows() / "winstart.bat"), "a.exe\r\n");
    EXPECT_FALSE(fs::exists(m_world.Windows() / "wininit.ini"));
}

}  // namespace

namespace {

// A file named in UTF-8 on disk is looked for by its ANSI name in the files and keys Windows reads.
TEST_F(CureModule, NonAsciiNamesAreLookedForInTheAnsiCodePage) {
    std::string bytes = TrojanBytes();
    int index = AddTrojanRecord(m_base, bytes, 0x04 | 0x40);
    const std::string run = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
    m_base.AddRegistry(index, HKEY_CURRENT_USER, run);
    std::string trojan = Plant(
        "\xc3\x9c"
        "ber.exe",
        bytes);  // "Über.exe"
    WriteText(m_world.Windows() / "win.ini",
              "[windows]\r\nrun=C:\\windows\\\xdc"
              "ber.exe\r\n");
    ASSERT_EQ(RegistrySetString(HKEY_CURRENT_USER, run, "U",
                                "c:\\windows\\\xdc"
                                "BER.EXE"),
              1);
    CTrojanCureModule module(&m_base);
    EXPECT_NE(module.DisinfectTrojan(trojan, index), 0);
    EXPECT_EQ(ReadText(m_world.Windows() / "win.ini"), "[windows]\r\nrun=\r\n");
    EXPECT_EQ(ReadText(m_world.Windows() / "wininit.ini"),
              "[rename]\r\nNUL=C:\\windows\\\xdc"
              "ber.exe\r\n");
    CString name, data;
    EXPECT_EQ(RegistryEnumValue(HKEY_CURRENT_USER, run, 0, name, data), -2);
}

}  // namespace
