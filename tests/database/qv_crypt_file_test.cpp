#include "database/qv_crypt_file.h"

#include <gtest/gtest.h>

#include <numeric>

#include "tests/support/temp_dir.h"

namespace {

using zel::testing::ReadBytes;
using zel::testing::TempDir;

std::vector<BYTE> Counting(size_t n) {
    std::vector<BYTE> bytes(n);
    std::iota(bytes.begin(), bytes.end(), BYTE{0});
    return bytes;
}

void WriteThrough(const std::string& path, const std::vector<BYTE>& plain, const CString& key, int on) {
    CQVCryptFile file;
    file.SetKey(key);
    file.EnableCipher(on);
    ASSERT_TRUE(file.Open(path, CFile::modeWrite | CFile::modeCreate));
    std::vector<BYTE> copy = plain;
    file.Write(copy.data(), static_cast<UINT>(copy.size()));
    EXPECT_EQ(copy, plain) << "the caller's buffer must stay untouched";
}

TEST(CryptFileTest, EnciphersByAbsolutePositionWithTheDatabaseKey) {
    TempDir dir;
    auto plain = Counting(300);
    WriteThrough(dir.File("db"), plain, CQVCryptFile::kDatabaseKey, 1);
    auto disk = ReadBytes<std::vector<BYTE>>(dir.File("db"));
    ASSERT_EQ(disk.size(), plain.size());
    const std::string key = CQVCryptFile::kDatabaseKey;
    for (size_t p = 0; p < plain.size(); ++p) {
        ASSERT_EQ(disk[p], plain[p] ^ static_cast<BYTE>(key[p % 64])) << p;
    }

    // Whole, in small pieces, and after a seek: the same plain bytes.
    CQVCryptFile in;
    in.SetKey(key);
    in.EnableCipher(1);
    ASSERT_TRUE(in.Open(dir.File("db"), CFile::modeRead));
    std::vector<BYTE> whole(300);
    EXPECT_EQ(in.Read(whole.data(), 300), 300u);
    EXPECT_EQ(whole, plain);
    in.Seek(100, CFile::begin);
    std::vector<BYTE> pieces;
    BYTE chunk[7];
    while (UINT n = in.Read(chunk, sizeof chunk)) pieces.insert(pieces.end(), chunk, chunk + n);
    EXPECT_EQ(pieces, std::vector<BYTE>(plain.begin() + 100, plain.end()));
    EXPECT_EQ(in.Read(chunk, sizeof chunk), 0u);
}

TEST(CryptFileTest, CipherOffOrEmptyKeyPassesBytesThrough) {
    TempDir dir;
    auto plain = Counting(100);
    WriteThrough(dir.File("off"), plain, CQVCryptFile::kDatabaseKey, 0);
    WriteThrough(dir.File("empty"), plain, "", 1);
    EXPECT_EQ(ReadBytes<std::vector<BYTE>>(dir.File("off")), plain);
    EXPECT_EQ(ReadBytes<std::vector<BYTE>>(dir.File("empty")), plain);
}

TEST(CryptFileTest, XorRoutineRestartsTheKeyAndIgnoresBadStartIndex) {
    CQVCryptFile file;
    file.SetKey("AB");
    BYTE buffer[5] = {0, 0, 0, 0, 0};
    file.EncryptBuffer(buffer, 5, 1);
    EXPECT_EQ(std::vector<BYTE>(buffer, buffer + 5), (std::vector<BYTE>{'B', 'A', 'B', 'A', 'B'}));
    file.DecryptBuffer(buffer, 5, 1);
    EXPECT_EQ(std::vector<BYTE>(buffer, buffer + 5), std::vector<BYTE>(5, 0));
    file.EncryptBuffer(buffer, 2, 99);  // out of range: starts at the key's beginning
    EXPECT_EQ(buffer[0], 'A');
}

}  // namespace
