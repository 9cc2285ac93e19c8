#include "database/trojan_base2.h"

#include <gtest/gtest.h>

#include "database/qv_crypt_file.h"
#include "tests/support/temp_dir.h"

namespace {

using zel::testing::ReadBytes;
using zel::testing::TempDir;
using zel::testing::WriteBytes;

// Enciphers plain database bytes as the file holds them.
std::vector<BYTE> Encipher(std::vector<BYTE> plain) {
    const std::string key = CQVCryptFile::kDatabaseKey;
    for (size_t p = 0; p < plain.size(); ++p) plain[p] ^= static_cast<BYTE>(key[p % key.size()]);
    return plain;
}

void BuildSample(CTrojanBase2& base) {
    base.SetHeaderText("Zel trojan database");
    int a = base.Add("Backdoor", "Alpha", "1.0", 0x21);
    int b = base.Add("Backdoor", "Alpha", "1.1", 0x00);
    int c = base.Add("Keylogger", "Beta", "0", 0xFF);
    base.AddImage(a, "C:\\alpha.exe");
    base.AddImage(c, "C:\\beta.exe");
    base.AddImage(c, "C:\\beta2.exe");
    base.AddRegistry(a, HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Run");
    base.AddRegistry(b, HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Run");
    BYTE window[16];
    for (int i = 0; i < 16; ++i) window[i] = static_cast<BYTE>(i * 11);
    base.GetTrojan(c)->GetSignature(1).SetWindow(2, window, 4096);
}

TEST(TrojanBaseTest, AddSharesTextsAndFindsExistingRecords) {
    CTrojanBase2 base;
    EXPECT_EQ(base.Add("Backdoor", "Alpha", "1.0", 1), 0);
    EXPECT_EQ(base.Add("Backdoor", "Alpha", "1.0", 9), 0);
    EXPECT_EQ(base.GetTrojan(0)->m_cureFlags, 1);
    EXPECT_EQ(base.Add("Backdoor", "Alpha", "2.0", 0), 1);
    EXPECT_EQ(base.GetTrojan(1)->m_nameIndex, base.GetTrojan(0)->m_nameIndex);
    EXPECT_EQ(base.Add("Worm", "Gamma", "0", 0), 2);
    EXPECT_EQ(base.GetTrojan(2)->m_typeIndex, 1);
    EXPECT_EQ(base.GetTrojan(2)->m_nameIndex, 1);
    EXPECT_EQ(base.GetSize(), 3);
    EXPECT_EQ(base.FindTrojan("Backdoor", "Alpha", "2.0"), 1);
    EXPECT_EQ(base.FindTrojan("Backdoor", "Alpha", "2.0B"), -1);
    EXPECT_EQ(base.FindTrojan("backdoor", "Alpha", "2.0"), -1);
    EXPECT_EQ(base.GetTrojanType(2), "Worm");
    EXPECT_EQ(base.GetTrojanName(7), "<invalid>");
    EXPECT_EQ(base.GetTrojanVer(-1), "<invalid>");
    base.GetTrojan(0)->m_typeIndex = 200;
    EXPECT_EQ(base.GetTrojanType(0), "<invalid>");
    base.Remove(0);
    EXPECT_EQ(base.GetSize(), 2);
    EXPECT_EQ(base.GetTrojanVer(0), "2.0");
    EXPECT_EQ(base.GetNameTable().size(), 2u);  // texts stay in the tables
}

TEST(TrojanBaseTest, TypeTableFullRefusesANewType) {
    CTrojanBase2 base;
    for (int i = 0; i < 256; ++i) ASSERT_EQ(base.Add("T" + std::to_string(i), "N", "1", 0), i);
    EXPECT_EQ(base.Add("T256", "N", "1", 0), -1);
    EXPECT_EQ(base.Add("T5", "N", "2", 0), 256);
}

TEST(TrojanBaseTest, RegistryEntriesPackRootAndSubkey) {
    CTrojanBase2 base;
    int index = base.Add("T", "N", "1", 0);
    for (int i = 0; i < 5; ++i) base.AddRegistry(99, HKEY_USERS, "k" + std::to_string(i));
    EXPECT_EQ(base.GetSubkeyTable().size(), 5u);
    base.AddRegistry(index, HKEY_LOCAL_MACHINE, "Software\\Run");
    ASSERT_EQ(base.GetTrojan(index)->GetRegentryCount(), 1);
    EXPECT_EQ(base.GetTrojan(index)->GetRegentry(0), 0x0305);
    HKEY root = 0;
    CString subkey;
    EXPECT_EQ(base.GetRegistry(0x0305, root, subkey), 1);
    EXPECT_EQ(root, HKEY_LOCAL_MACHINE);
    EXPECT_EQ(subkey, "Software\\Run");
    EXPECT_EQ(base.GetRegistry(0x0705, root, subkey), 0);
    EXPECT_EQ(root, nullptr);
    base.AddRegistry(index, reinterpret_cast<HKEY>(std::uintptr_t{0x12345678}), "odd root");
    EXPECT_EQ(base.GetTrojan(index)->GetRegentry(1), 0x0006);  // unknown roots count as the first
    base.RemoveRegistry(index, HKEY_CLASSES_ROOT, "never used");
    EXPECT_EQ(base.GetSubkeyTable().size(), 8u);
    EXPECT_EQ(base.GetTrojan(index)->GetRegentryCount(), 2);
    for (int i = 8; i < 300; ++i) base.AddRegistry(index, HKEY_USERS, "x" + std::to_string(i));
    for (int i = 0; i < base.GetTrojan(index)->GetRegentryCount(); ++i) {
        EXPECT_LT(base.GetTrojan(index)->GetRegentry(i) & 0xFF00, 0x0700);
    }
}

TEST(TrojanBaseTest, IteratesAndStopsAtTheSize) {
    CTrojanBase2 base;
    int position = 5;
    EXPECT_EQ(base.GetFirstTrojan(position), nullptr);
    EXPECT_EQ(position, 0);
    base.Add("T", "A", "1", 0);
    base.Add("T", "B", "1", 0);
    EXPECT_EQ(base.GetFirstTrojan(position), base.GetTrojan(0));
    EXPECT_EQ(base.GetNextTrojan(position), base.GetTrojan(1));
    EXPECT_EQ(base.GetNextTrojan(position), nullptr);
    EXPECT_EQ(base.GetNextTrojan(position), nullptr);
    EXPECT_EQ(position, 2);
}

TEST(TrojanBaseFileTest, SavesAndLoadsEverything) {
    TempDir dir;
    CTrojanBase2 original;
    BuildSample(original);
    ASSERT_EQ(original.SaveToCryptFile(dir.File("default.tdb")), 1);
    CTrojanBase2 loaded;
    ASSERT_EQ(loaded.LoadFromCryptFile(dir.File("default.tdb")), 1);
    EXPECT_EQ(loaded.GetHeaderText(), original.GetHeaderText());
    EXPECT_EQ(loaded.GetTypeTable(), original.GetTypeTable());
    EXPECT_EQ(loaded.GetNameTable(), original.GetNameTable());
    EXPECT_EQ(loaded.GetSubkeyTable(), original.GetSubkeyTable());
    ASSERT_EQ(loaded.GetSize(), original.GetSize());
    for (int i = 0; i < loaded.GetSize(); ++i) {
        const CTrojan2& a = *original.GetTrojan(i);
        const CTrojan2& b = *loaded.GetTrojan(i);
        EXPECT_EQ(b.m_version, a.m_version);
        EXPECT_EQ(b.m_cureFlags, a.m_cureFlags);
        ASSERT_EQ(b.GetSignatureCount(), a.GetSignatureCount());
        for (int s = 0; s < a.GetSignatureCount(); ++s) EXPECT_EQ(b.GetSignature(s) == a.GetSignature(s), 1);
        ASSERT_EQ(b.GetRegentryCount(), a.GetRegentryCount());
    }
    // The plain layout: header string first, then the reserved table's 16-bit count.
    auto plain = Encipher(ReadBytes<std::vector<BYTE>>(dir.File("default.tdb")));
    EXPECT_EQ(plain[0], 19);
    EXPECT_EQ(std::string(plain.begin() + 1, plain.begin() + 20), "Zel trojan database");
    EXPECT_EQ(plain[20], 0);
    EXPECT_EQ(plain[21], 0);
}

TEST(TrojanBaseFileTest, EveryTruncationLoadsAsAnEmptyDatabase) {
    TempDir dir;
    CTrojanBase2 original;
    BuildSample(original);
    ASSERT_EQ(original.SaveToCryptFile(dir.File("full.tdb")), 1);
    auto bytes = ReadBytes<std::vector<BYTE>>(dir.File("full.tdb"));
    for (size_t length = 0; length < bytes.size(); ++length) {
        WriteBytes(dir.File("cut.tdb"), std::vector<BYTE>(bytes.begin(), bytes.begin() + static_cast<long>(length)));
        CTrojanBase2 base;
        base.Add("Pre", "Existing", "1", 0);
        ASSERT_EQ(base.LoadFromCryptFile(dir.File("cut.tdb")), 0) << length;
        ASSERT_EQ(base.GetSize(), 0) << length;
        ASSERT_TRUE(base.GetTypeTable().empty()) << length;
    }
}

TEST(TrojanBaseFileTest, HugeCountsAndLengthsAreTruncationsNotAllocations) {
    TempDir dir;
    // Empty header, four empty tables, then a record count of 4 billion.
    WriteBytes(dir.File("count.tdb"), Encipher({0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xF0}));
    // A header whose 32-bit length claims 4 GiB.
    WriteBytes(dir.File("length.tdb"), Encipher({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 'a'}));
    // A table of 65535 strings in a file of 12 bytes.
    WriteBytes(dir.File("table.tdb"), Encipher({0, 0xFF, 0xFF, 1, 'a', 0, 0, 0, 0, 0, 0, 0}));
    for (const char* name : {"count.tdb", "length.tdb", "table.tdb"}) {
        CTrojanBase2 base;
        EXPECT_EQ(base.LoadFromCryptFile(dir.File(name)), 0) << name;
        EXPECT_EQ(base.GetSize(), 0);
    }
}

TEST(TrojanBaseFileTest, ReadsTheWideStringFormAndAMissingFileChangesNothing) {
    TempDir dir;
    // Header "Hi" in 16-bit characters, four empty tables, no records.
    WriteBytes(dir.File("wide.tdb"),
               Encipher({0xFF, 0xFE, 0xFF, 2, 'H', 0, 'i', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    CTrojanBase2 base;
    ASSERT_EQ(base.LoadFromCryptFile(dir.File("wide.tdb")), 1);
    EXPECT_EQ(base.GetHeaderText(), "Hi");
    base.Add("T", "N", "1", 0);
    EXPECT_EQ(base.LoadFromCryptFile(dir.File("missing.tdb")), 0);
    EXPECT_EQ(base.GetSize(), 1);
}

TEST(TrojanBaseFileTest, AFailedSaveLeavesTheOldFileAndNoTemporary) {
    TempDir dir;
    CTrojanBase2 base;
    BuildSample(base);
    ASSERT_EQ(base.SaveToCryptFile(dir.File("default.tdb")), 1);
    auto before = ReadBytes<std::vector<BYTE>>(dir.File("default.tdb"));
    EXPECT_EQ(base.SaveToCryptFile(dir.File("missing-folder/default.tdb")), 0);
    EXPECT_EQ(ReadBytes<std::vector<BYTE>>(dir.File("default.tdb")), before);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

}  // namespace
