#include "database/signature.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <cstring>

#include "fileio/mem_file.h"
#include "platform/services.h"
#include "tests/support/fake_clock.h"
#include "tests/support/temp_dir.h"

namespace {

using zel::testing::TempDir;

// Bytes 0, 1, 2, ... modulo 256: every window of 16 is unique.
std::vector<BYTE> Counting(size_t n, BYTE first = 0) {
    std::vector<BYTE> bytes(n);
    for (size_t i = 0; i < n; ++i) bytes[i] = static_cast<BYTE>(first + i);
    return bytes;
}

CSignature Attached(const TempDir& dir, const std::vector<BYTE>& content) {
    std::string path = dir.File("sample" + std::to_string(content.size()));
    zel::testing::WriteBytes(path, content);
    CSignature signature;
    signature.SetImagePath(path);
    EXPECT_EQ(signature.AttachFile(), 1);
    return signature;
}

TEST(SignatureTest, CountsUniqueWindowsPastTheFirstKilobyte) {
    TempDir dir;
    EXPECT_EQ(Attached(dir, Counting(1040)).GetUniqueCount(), 0);
    EXPECT_EQ(Attached(dir, Counting(1041)).GetUniqueCount(), 1);
    EXPECT_EQ(Attached(dir, Counting(3000)).GetUniqueCount(), 3000 - 16 - 1024);
    auto repeated = Counting(2000);
    repeated[1030] = repeated[1031];  // spoils the 7 candidate windows that hold both bytes
    EXPECT_EQ(Attached(dir, repeated).GetUniqueCount(), 2000 - 16 - 1024 - 7);

    // None of these is a sample, and a FIFO without a writer must not block the reader.
    std::vector<const char*> unreadables{"no-such-file", "."};
#ifndef _WIN32
    ASSERT_EQ(::mkfifo(dir.File("fifo").c_str(), 0600), 0);
    unreadables.push_back("fifo");
#endif
    for (const char* name : unreadables) {
        CSignature unreadable;
        unreadable.SetImagePath(dir.File(name));
        EXPECT_EQ(unreadable.AttachFile(), 0) << name;
        EXPECT_EQ(unreadable.IsFileAttached(), 0) << name;
    }
}

TEST(SignatureTest, DefaultWindowsAreAtZeroTwoAndFourNinths) {
    TempDir dir;
    CSignature nine = Attached(dir, Counting(1024 + 9 + 16));
    ASSERT_EQ(nine.GetUniqueCount(), 9);
    nine.ExtractDefaultSignatures();
    EXPECT_EQ(nine.GetOffset(0), 1024u);
    EXPECT_EQ(nine.GetOffset(1), 1026u);
    EXPECT_EQ(nine.GetOffset(2), 1028u);
    EXPECT_EQ(nine.GetWindow(1)[0], static_cast<BYTE>(1026));

    CSignature four = Attached(dir, Counting(1024 + 4 + 16));
    four.ExtractDefaultSignatures();
    EXPECT_EQ(four.GetOffset(0), 1024u);
    EXPECT_EQ(four.GetOffset(2), 1024u);

    CSignature none = Attached(dir, Counting(1040));
    none.ExtractSignature(0, 0);
    none.ExtractDefaultSignatures();
    EXPECT_EQ(none.GetOffset(0), 0u);
}

TEST(SignatureTest, RandomWindowsAreSortedAndSpaced) {
    TempDir dir;
    CSignature signature = Attached(dir, Counting(20000, 7));
    for (int round = 0; round < 50; ++round) {
        signature.ExtractRandomSignatures();
        ASSERT_GE(signature.GetOffset(1), signature.GetOffset(0) + 48);
        ASSERT_GE(signature.GetOffset(2), signature.GetOffset(1) + 48);
        ASSERT_GE(signature.GetOffset(0), 1024u);
        ASSERT_EQ(signature.GetWindow(2)[0], static_cast<BYTE>(7 + signature.GetOffset(2)));
    }
}

TEST(SignatureTest, RandomRetryEndsAtTheDeadlineWhenSpacingIsImpossible) {
    TempDir dir;
    // 60 unique windows, all within 96 bytes: three windows 48 apart cannot be had.
    CSignature signature = Attached(dir, Counting(1024 + 60 + 16));
    // The second start puts the deadline past the wrap of the 32-bit tick.
    for (std::uint32_t start : {0u, 0xFFFFF000u}) {
        zel::testing::FakeClock clock(start, 100);
        zel::platform::ScopedServices scope({&clock, nullptr});
        signature.ExtractRandomSignatures(start + 5000);
        EXPECT_GT(clock.now - start, 5000u) << start;
        EXPECT_LE(clock.now - start, 5300u) << start;
        EXPECT_GE(signature.GetOffset(0), 1024u);  // the last attempt stays in place
    }
}

class MatchTest : public ::testing::Test {
protected:
    void SetUp() override {
        content = Counting(4000, 3);
        signature = Attached(dir, content);
        signature.ExtractSignature(0, 100);
        signature.ExtractSignature(1, 300);
        signature.ExtractSignature(2, 900);
    }
    TempDir dir;
    std::vector<BYTE> content;
    CSignature signature;
};

TEST_F(MatchTest, StoredOffsetsNeedTheLastWindowToEndBeforeTheBuffer) {
    int end = static_cast<int>(signature.GetOffset(2)) + 16;
    EXPECT_EQ(signature.FindMe(content.data(), end), 0);
    EXPECT_EQ(signature.FindMe(content.data(), end + 1), 1);
    auto changed = content;
    changed[signature.GetOffset(1) + 15] ^= 1;
    EXPECT_EQ(signature.FindMe(changed.data(), static_cast<int>(changed.size())), 0);
}

TEST_F(MatchTest, AnywhereFindsShiftedContent) {
    for (size_t shift : {size_t{0}, size_t{1}, size_t{777}}) {
        std::vector<BYTE> shifted(shift, 0xEE);
        shifted.insert(shifted.end(), content.begin(), content.end());
        EXPECT_EQ(signature.FindMeEx(shifted.data(), static_cast<int>(shifted.size())), 1) << shift;
        if (shift) {
            EXPECT_EQ(signature.FindMe(shifted.data(), static_cast<int>(shifted.size())), 0);
        }
    }
    // Cut right after the last window: it must end before the last byte.
    int from = static_cast<int>(signature.GetOffset(0));
    int span = static_cast<int>(signature.GetOffset(2)) + 16 - from;
    EXPECT_EQ(signature.FindMeEx(content.data() + from, span), 0);
    EXPECT_EQ(signature.FindMeEx(content.data() + from, span + 1), 1);
    EXPECT_EQ(signature.FindMeEx(content.data(), 48), 0);
}

TEST(SignatureMatchTest, HostileOffsetsNeverReachOutsideTheBuffer) {
    std::vector<BYTE> buffer(200, 1);
    BYTE ones[16];
    std::memset(ones, 1, sizeof ones);
    CSignature wrap;
    wrap.SetWindow(0, ones, 0xFFFFFFF8u);  // offset + 16 wraps in 32 bits
    wrap.SetWindow(1, ones, 0xFFFFFFF8u);
    wrap.SetWindow(2, ones, 0xFFFFFFF8u);
    EXPECT_EQ(wrap.FindMe(buffer.data(), 200), 0);
    CSignature backwards;
    backwards.SetWindow(0, ones, 1000);
    backwards.SetWindow(1, ones, 100);  // lies before window 0
    backwards.SetWindow(2, ones, 1000);
    EXPECT_EQ(backwards.FindMeEx(buffer.data(), 200), 0);
    std::vector<BYTE> late(200, 2);
    std::fill(late.begin() + 150, late.begin() + 166, 1);  // a relative window before the buffer's start is no match
    EXPECT_EQ(backwards.FindMeEx(late.data(), 200), 0);
}

TEST(SignatureTest, AcceptsAnotherUnlessEqualOrRecognisingTheAttachedFile) {
    TempDir dir;
    CSignature mine = Attached(dir, Counting(5000));
    mine.ExtractDefaultSignatures();
    CSignature same = mine;
    same.DetachFile();
    EXPECT_EQ(mine.AcceptAnotherSignature(same), 0);
    EXPECT_EQ(same.AcceptAnotherSignature(same), 0);

    CSignature recogniser = mine;
    recogniser.DetachFile();
    recogniser.ExtractSignature(0, 0);  // detached: unchanged
    BYTE window[16];
    std::memcpy(window, Counting(5000).data() + 2000, 16);
    recogniser.SetWindow(2, window, 2000);
    EXPECT_EQ(mine.AcceptAnotherSignature(recogniser), 0);
    EXPECT_EQ(same.AcceptAnotherSignature(recogniser), 1);  // nothing attached to check against
    window[0] ^= 0xFF;
    recogniser.SetWindow(2, window, 2000);
    EXPECT_EQ(mine.AcceptAnotherSignature(recogniser), 1);
}

TEST(SignatureTest, SerializesWindowsOffsetsAndPathButNotTheFile) {
    TempDir dir;
    CSignature original = Attached(dir, Counting(3000));
    original.ExtractDefaultSignatures();
    CMemFile file;
    CArchive out(&file, CArchive::store);
    original.Serialize(out);
    out.Close();
    EXPECT_EQ(file.Data().size(), 48u + 12u + 1u + original.GetImagePath().size());
    EXPECT_EQ(file.Data()[48], static_cast<BYTE>(original.GetOffset(0)));

    file.Seek(0, CFile::begin);
    CArchive in(&file, CArchive::load);
    CSignature loaded;
    loaded.Serialize(in);
    EXPECT_EQ(loaded == original, 1);
    EXPECT_EQ(loaded.GetImagePath(), original.GetImagePath());
    EXPECT_EQ(loaded.IsFileAttached(), 0);
}

TEST(SignatureTest, ShowDumpsWindowsCountAndFile) {
    CSignature signature;
    signature.SetImagePath("a.exe");
    BYTE bytes[16];
    for (int i = 0; i < 16; ++i) bytes[i] = static_cast<BYTE>(0xA0 + i);
    signature.SetWindow(1, bytes, 0x1234);
    CString text;
    signature.Show(text);
    EXPECT_EQ(text,
              "From \"a.exe\" file:\r\n"
              " 00000000:  00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00\r\n"
              " 00001234:  A0 A1 A2 A3 A4 A5 A6 A7 A8 A9 AA AB AC AD AE AF\r\n"
              " 00000000:  00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00\r\n"
              "Total 0 unique signatures available\r\n");
    TempDir dir;
    CSignature attached = Attached(dir, Counting(1100));
    attached.Show(text);
    EXPECT_NE(text.find("Total 60 unique signatures available\r\nFile Attached!\r\nFile len: 44ch(1100)\r\n"),
              std::string::npos);
}

}  // namespace
