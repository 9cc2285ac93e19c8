// The Wine registry backend on the files of a freshly made prefix.
#include "platform/wine/wine_registry.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <csignal>
#include <filesystem>
#include <fstream>

#include "platform/wine/wine_registry_file.h"
#include "platform/wine/wine_server.h"
#include "tests/platform/registry_backend_suite.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace zel::platform;
namespace fs = std::filesystem;

const fs::path kFresh = fs::path(ZEL_SHARED_DIR) / "wine-prefix" / "fresh";
// A time stamp Wine wrote: 1796621410 in seconds.
constexpr std::uint64_t kStamp = 0x1dd860c071a037eull;

void Replace(std::string& text, const std::string& from, const std::string& to) {
    auto at = text.find(from);
    ASSERT_NE(at, std::string::npos) << from;
    text.replace(at, from.size(), to);
}

class WinePrefix : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"system.reg", "user.reg", "userdef.reg"}) {
            fs::copy_file(kFresh / name, m_dir / name);
            fs::permissions(m_dir / name, fs::perms::owner_write, fs::perm_options::add);
        }
        WineRegistry::Hooks hooks;
        hooks.now = [] { return kStamp; };
        hooks.wine_running = [this] { return m_running; };
        m_registry = std::make_unique<WineRegistry>(m_dir.string(), hooks);
    }

    zel::testing::TempDir m_temp;
    fs::path m_dir = m_temp.path();
    bool m_running = false;
    std::unique_ptr<WineRegistry> m_registry;
};

TEST_F(WinePrefix, RealFilesReadBackByteForByte) {
    for (const char* name : {"system.reg", "user.reg", "userdef.reg"}) {
        std::string bytes = zel::testing::ReadBytes(kFresh / name);
        std::string error;
        auto file = WineRegistryFile::Parse(bytes, error);
        ASSERT_TRUE(file) << error;
        EXPECT_EQ(file->Serialize(), bytes) << name;
        EXPECT_GE(file->BlockCount(), 1u);
    }
}

TEST_F(WinePrefix, ReadsTheValuesWineWrote) {
    RegistryValue value;
    ASSERT_EQ(m_registry->QueryValue(RegistryRoot::kCurrentUser,
                                     "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", "startup",
                                     value),
              RegistryStatus::kOk);
    EXPECT_EQ(
        value.data,
        std::string("C:\\users\\root\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\StartUp\0", 76));
    ASSERT_EQ(m_registry->QueryValue(RegistryRoot::kClassesRoot, "exefile\\shell\\open\\command", "", value),
              RegistryStatus::kOk);
    EXPECT_EQ(value, (RegistryValue{"", kRegSz, std::string("\"%1\" %*\0", 8)}));
    ASSERT_EQ(
        m_registry->QueryValue(RegistryRoot::kLocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion\\RunServices",
                               "winemenubuilder", value),
        RegistryStatus::kOk);
    EXPECT_EQ(std::string(value.data.c_str()), "C:\\windows\\system32\\winemenubuilder.exe -a -r");
    EXPECT_EQ(
        m_registry->OpenKey(RegistryRoot::kUsers, ".Default\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer"),
        RegistryStatus::kOk);
    EXPECT_EQ(m_registry->OpenKey(RegistryRoot::kClassesRoot, "batfile"), RegistryStatus::kNotFound);
    EXPECT_EQ(m_registry->LoadProblem(), "");
}

TEST_F(WinePrefix, EditsChangeOnlyTheValueAndItsKeysTimeStamp) {
    const std::string key = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
    std::string original = zel::testing::ReadBytes(m_dir / "user.reg");
    ASSERT_EQ(m_registry->SetValue(RegistryRoot::kCurrentUser, key,
                                   RegistryValue{"Trojan", kRegSz, std::string("C:\\evil\\a.exe /q\0", 17)}),
              RegistryStatus::kOk);
    std::string expected = original;
    Replace(expected, "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Run] 1796621271\n#time=1dd860bb406b88a\n",
            "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Run] 1796621410\n#time=1dd860c071a037e\n"
            "\"Trojan\"=\"C:\\\\evil\\\\a.exe /q\"\n");
    EXPECT_EQ(zel::testing::ReadBytes(m_dir / "user.reg"), expected);

    ASSERT_EQ(m_registry->DeleteValue(RegistryRoot::kCurrentUser, key, "TROJAN"), RegistryStatus::kOk);
    expected = original;
    Replace(expected, "Run] 1796621271\n#time=1dd860bb406b88a\n", "Run] 1796621410\n#time=1dd860c071a037e\n");
    EXPECT_EQ(zel::testing::ReadBytes(m_dir / "user.reg"), expected);
    EXPECT_EQ(zel::testing::ReadBytes(m_dir / "system.reg"), zel::testing::ReadBytes(kFresh / "system.reg"));
}

TEST_F(WinePrefix, NewKeysTakeWinesFormAndPlace) {
    std::string original = zel::testing::ReadBytes(m_dir / "system.reg");
    ASSERT_EQ(m_registry->SetValue(RegistryRoot::kClassesRoot, "comfile\\shell\\open\\command",
                                   RegistryValue{"", kRegSz, std::string("x\0", 2)}),
              RegistryStatus::kNotFound);
    ASSERT_EQ(m_registry->CreateKey(RegistryRoot::kClassesRoot, "comfile\\shell\\open\\command"), RegistryStatus::kOk);
    ASSERT_EQ(m_registry->SetValue(RegistryRoot::kClassesRoot, "comfile\\shell\\open\\command",
                                   RegistryValue{"", kRegSz, std::string("\"%1\" %*\0", 8)}),
              RegistryStatus::kOk);
    std::string block =
        "[Software\\\\Classes\\\\comfile\\\\shell\\\\open\\\\command] 1796621410\n#time=1dd860c071a037e\n"
        "@=\"\\\"%1\\\" %*\"\n\n";
    std::string saved = zel::testing::ReadBytes(m_dir / "system.reg");
    ASSERT_EQ(saved.size(), original.size() + block.size());
    auto at = saved.find(block);
    ASSERT_NE(at, std::string::npos);
    EXPECT_EQ(saved.substr(0, at) + saved.substr(at + block.size()), original);
    // Sorted among its siblings: after the last "cmdfile"-ish key, before "CompressedFolder".
    std::string before = saved.substr(0, at);
    std::string after = saved.substr(at + block.size());
    EXPECT_EQ(after.rfind("[Software\\\\Classes\\\\C", 0), 0u);
    EXPECT_NE(before.rfind("[Software\\\\Classes\\\\c"), std::string::npos);
}

TEST_F(WinePrefix, EscapesAndWrappingMatchWine) {
    std::string text =
        "WINE REGISTRY Version 2\n\n[Software\\\\Br\\[ack\\]et] 1\n#time=1\n"
        "\"Ctl\"=\"a\\nb\\rc\\td\\36\\0017\\ez\x7f \\x20ac \\x20ac1\"\n"
        "\"Multi1\"=str(7):\"a\\0b\\0\"\n"
        "\"NonAscii\"=\"Gr\\xfc\\x00dfe caf\\xe9\"\n"
        "\"Bin\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,16,\\\n"
        "  17,18,19,1a,1b,1c,1d,1e,1f,20,21,22,23,24,25,26,27,28,29,2a,2b,2c,2d,2e,2f\n";
    std::string error;
    auto file = WineRegistryFile::Parse(text, error);
    ASSERT_TRUE(file);
    EXPECT_TRUE(file->HasKey("Software\\Br[ack]et"));
    for (std::size_t i = 0; i < 4; ++i) {
        RegistryValue value;
        ASSERT_TRUE(file->EnumValue("software\\br[ack]et", i, value));
        // Writing the value back gives the line Wine wrote, except the units outside the code page.
        if (value.name == "Ctl") {
            EXPECT_EQ(value.data, std::string("a\nb\rc\td\x1e\x01"
                                              "7\x1bz\x7f \x80 \x80"
                                              "1\0",
                                              19));
            EXPECT_EQ(WineRegistryFile::FormatValue(value, "\n"),
                      "\"Ctl\"=\"a\\nb\\rc\\td\\36\\0017\\ez\x7f \\x20ac \\x20ac1\"");
        } else if (value.name == "Multi1") {
            EXPECT_EQ(value.data, std::string("a\0b\0\0", 5));
            EXPECT_EQ(WineRegistryFile::FormatValue(value, "\n"), "\"Multi1\"=str(7):\"a\\0b\\0\"");
        } else if (value.name == "NonAscii") {
            EXPECT_EQ(value.data, std::string("Gr\xfc\xdf"
                                              "e caf\xe9\0",
                                              11));
            EXPECT_EQ(WineRegistryFile::FormatValue(value, "\n"), "\"NonAscii\"=\"Gr\\xfc\\x00dfe caf\\xe9\"");
        } else {
            EXPECT_EQ(value.data.size(), 48u);
            EXPECT_EQ(WineRegistryFile::FormatValue(value, "\n") + "\n", text.substr(text.find("\"Bin\"")));
        }
    }
}

TEST_F(WinePrefix, MalformedLinesSurviveAndBadValuesReadAsEmpty) {
    std::string text =
        "WINE REGISTRY Version 2\r\n\r\n[A] 1\r\n#time=1\r\n\"BadHex\"=hex:zz,01\r\nthis line is garbage\r\n"
        "\"NoClose=dword:1\r\n\"Dw\"=dword:DEADBEEF\r\n\"Cut\"=hex:01,\\";
    std::string error;
    auto file = WineRegistryFile::Parse(text, error);
    ASSERT_TRUE(file);
    EXPECT_EQ(file->Serialize(), text);
    RegistryValue value;
    ASSERT_TRUE(file->QueryValue("A", "BadHex", value));
    EXPECT_EQ(value, (RegistryValue{"BadHex", kRegNone, ""}));
    ASSERT_TRUE(file->QueryValue("A", "dw", value));
    EXPECT_EQ(value.data, std::string("\xef\xbe\xad\xde", 4));
    EXPECT_FALSE(file->QueryValue("A", "NoClose", value));
    ASSERT_TRUE(file->SetValue("A", RegistryValue{"B", kRegSz, std::string("x\0", 2)}, kStamp));
    EXPECT_NE(file->Serialize().find("\"B\"=\"x\"\r\n\"BadHex\""), std::string::npos);
    EXPECT_NE(file->Serialize().find("[A] 1796621410\r\n#time=1dd860c071a037e\r\n"), std::string::npos);
}

// Wine merges a repeated key and a repeated value name (any letter case): the first spelling, the
// last data. Edits must act on every appearance, or the one Wine reads survives.
TEST_F(WinePrefix, RepeatedNamesReadAsWineReadsThemAndAreEditedEverywhere) {
    std::string text =
        "WINE REGISTRY Version 2\n\n[Run] 1\n\"Evil\"=\"a.exe\"\n\"Keep\"=\"k.exe\"\n\"EVIL\"=\"b.exe\"\n\n"
        "[Other] 1\n\"Evil\"=\"o.exe\"\n\n[RUN] 1\n\"evil\"=\"c.exe\"\n";
    std::string error;
    auto file = WineRegistryFile::Parse(text, error);
    ASSERT_TRUE(file);
    EXPECT_EQ(file->Values("run"), (std::vector<RegistryValue>{{"Evil", kRegSz, std::string("c.exe\0", 6)},
                                                               {"Keep", kRegSz, std::string("k.exe\0", 6)}}));
    auto edited = *file;
    ASSERT_TRUE(edited.SetValue("Run", RegistryValue{"evil", kRegSz, std::string("d.exe\0", 6)}, kStamp));
    EXPECT_EQ(edited.Values("Run")[0], (RegistryValue{"Evil", kRegSz, std::string("d.exe\0", 6)}));
    EXPECT_EQ(edited.Serialize().find("c.exe"), std::string::npos);
    ASSERT_TRUE(file->DeleteValue("Run", "EVIL", kStamp));
    EXPECT_EQ(file->Values("Run"), (std::vector<RegistryValue>{{"Keep", kRegSz, std::string("k.exe\0", 6)}}));
    EXPECT_TRUE(file->QueryValue("Other", "Evil", *std::make_unique<RegistryValue>()));
}

// A hive cut short inside hex data (as a file cut short by a full disk is) ends in a continuation
// mark (perhaps followed by stray carriage returns): a value added after it must stay a line of its
// own, and the saved hive must read back.
TEST_F(WinePrefix, ValuesAddedAfterACutContinuationStayApart) {
    const std::string metrics = "Control Panel\\Desktop\\WindowMetrics";
    std::string whole = zel::testing::ReadBytes(kFresh / "user.reg");
    std::size_t cut = whole.find(",\\\n", whole.find("\"CaptionFont\"=hex:")) + 2;
    for (const std::string& end : {std::string(), std::string("\n"), std::string("\r\r")}) {
        std::ofstream(m_dir / "user.reg", std::ios::binary | std::ios::trunc) << whole.substr(0, cut) + end;
        RegistryValue added{"CaptionGone", kRegSz, std::string("z.exe\0", 6)};
        ASSERT_EQ(m_registry->SetValue(RegistryRoot::kCurrentUser, metrics, added), RegistryStatus::kOk);
        std::string error;
        auto saved = WineRegistryFile::Parse(zel::testing::ReadBytes(m_dir / "user.reg"), error);
        ASSERT_TRUE(saved);
        RegistryValue read;
        ASSERT_TRUE(saved->QueryValue(metrics, "CaptionGone", read));
        EXPECT_EQ(read, added);
        EXPECT_EQ(saved->Values(metrics).size(), 3u);  // BorderWidth, the cut CaptionFont, CaptionGone
    }
}

TEST_F(WinePrefix, UnreadableHivesAreNeverWritten) {
    std::string bad = "\xef\xbb\xbfWINE REGISTRY Version 2\n\n[Software\\\\Run] 1\n";
    std::ofstream(m_dir / "user.reg", std::ios::binary | std::ios::trunc) << bad;
    EXPECT_NE(m_registry->LoadProblem(), "");
    EXPECT_EQ(m_registry->CreateKey(RegistryRoot::kCurrentUser, "Software\\X"), RegistryStatus::kFailed);
    EXPECT_EQ(m_registry->OpenKey(RegistryRoot::kCurrentUser, "Software\\Run"), RegistryStatus::kFailed);
    EXPECT_NE(m_registry->FailureReason().find("user.reg: not a Wine registry file"), std::string::npos);
    EXPECT_EQ(zel::testing::ReadBytes(m_dir / "user.reg"), bad);
}

TEST_F(WinePrefix, NewHivesNameTheArchitectureOfTheOthers) {
    std::string system = zel::testing::ReadBytes(m_dir / "system.reg");
    Replace(system, "#arch=win64", "#arch=win32");
    std::ofstream(m_dir / "system.reg", std::ios::binary | std::ios::trunc) << system;
    fs::remove(m_dir / "user.reg");
    fs::remove(m_dir / "userdef.reg");
    ASSERT_EQ(m_registry->CreateKey(RegistryRoot::kCurrentUser, "Software\\Run"), RegistryStatus::kOk);
    EXPECT_EQ(zel::testing::ReadBytes(m_dir / "user.reg"),
              "WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\User\\\\S-1-5-21-0-0-0-1000\n\n"
              "#arch=win32\n\n[Software\\\\Run] 1796621410\n#time=1dd860c071a037e\n\n");
    EXPECT_FALSE(fs::exists(m_dir / "userdef.reg"));
}

TEST_F(WinePrefix, WritesWaitForWineToStop) {
    m_running = true;
    EXPECT_NE(m_registry->WriteRefusal(), "");
    EXPECT_EQ(m_registry->CreateKey(RegistryRoot::kCurrentUser, "Software\\X"), RegistryStatus::kLocked);
    EXPECT_EQ(zel::testing::ReadBytes(m_dir / "user.reg"), zel::testing::ReadBytes(kFresh / "user.reg"));
    m_running = false;
    EXPECT_EQ(m_registry->CreateKey(RegistryRoot::kCurrentUser, "Software\\X"), RegistryStatus::kOk);
}

// A child process that holds a write lock on `path` (as a running wineserver does) until killed.
pid_t HoldLock(const std::string& path) {
    int ready[2];
    if (::pipe(ready) != 0) return -1;
    pid_t child = ::fork();
    if (child == 0) {
        int fd = ::open(path.c_str(), O_RDWR);
        struct flock lock {};
        lock.l_type = F_WRLCK;
        lock.l_whence = SEEK_SET;
        ::fcntl(fd, F_SETLK, &lock);
        char byte = 1;
        (void)!::write(ready[1], &byte, 1);
        ::pause();
        ::_exit(0);
    }
    char byte = 0;
    (void)!::read(ready[0], &byte, 1);
    ::close(ready[0]);
    ::close(ready[1]);
    return child;
}

void Release(pid_t child) {
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
}

TEST_F(WinePrefix, ServerLockIsDetectedWhileAnotherProcessHoldsIt) {
    fs::path temp_root = m_dir / "tmp";
    std::ofstream(m_dir / "wineserver") << "wine-test";
    auto paths = WineServerLockPaths(m_dir.string(), temp_root.string());
    ASSERT_EQ(paths.size(), 2u);
    EXPECT_EQ(fs::path(paths[0]).parent_path().parent_path(), temp_root / "wine-test");
    fs::create_directories(fs::path(paths[0]).parent_path());
    std::ofstream(paths[0]).close();
    EXPECT_FALSE(IsWineServerRunning(m_dir.string(), temp_root.string()));

    pid_t server = HoldLock(paths[0]);
    ASSERT_GT(server, 0);
    EXPECT_TRUE(IsWineServerRunning(m_dir.string(), temp_root.string()));
    Release(server);
    EXPECT_FALSE(IsWineServerRunning(m_dir.string(), temp_root.string()));
}

// Root cleaning a user's prefix: that user's server keeps its lock under the user's own folder.
TEST_F(WinePrefix, ServerOfThePrefixOwnerIsFoundByAnotherUser) {
    constexpr uid_t kOwner = 4321;
    if (::geteuid() != 0 || ::chown(m_dir.c_str(), kOwner, kOwner) != 0) GTEST_SKIP() << "needs root";
    fs::path temp_root = m_dir / "tmp";
    auto paths = WineServerLockPaths(m_dir.string(), temp_root.string());
    ASSERT_EQ(paths.size(), 2u);
    EXPECT_EQ(fs::path(paths[0]).parent_path().parent_path(), temp_root / ".wine-4321");
    fs::create_directories(fs::path(paths[0]).parent_path());
    std::ofstream(paths[0]).close();
    pid_t server = HoldLock(paths[0]);
    ASSERT_GT(server, 0);
    EXPECT_TRUE(IsWineServerRunning(m_dir.string(), temp_root.string()));
    Release(server);
}

// The registry suite on the files of an empty prefix, refused while Wine is said to run on it.
using zel::testing::RegistryBackend;
INSTANTIATE_TEST_SUITE_P(Wine, RegistryBackend,
                         ::testing::Values(zel::testing::RegistryBackendParam{
                             "wine",
                             [](const fs::path& dir, bool* refuse) -> std::unique_ptr<Registry> {
                                 WineRegistry::Hooks hooks;
                                 hooks.now = [] { return 0x1dd860bb398a340ull; };
                                 hooks.wine_running = [refuse] { return *refuse; };
                                 return std::make_unique<WineRegistry>(dir.string(), hooks);
                             },
                             nullptr}),
                         zel::testing::RegistryBackendName);

}  // namespace
