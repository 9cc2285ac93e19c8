#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "database/trojan_base2.h"
#include "platform/services.h"
#include "tests/support/fake_clock.h"
#include "tests/support/temp_dir.h"

namespace {

using zel::testing::TempDir;

// The search as a plain loop over the records: what the index must always agree with.
int ReferenceFind(CTrojanBase2& base, const BYTE* buffer, int length, int start, int mode) {
    for (int i = std::max(start, 0); i < base.GetSize(); ++i) {
        if (base.GetTrojan(i)->FindMe(buffer, length, mode)) return i;
    }
    return -1;
}

class DifferentialSearch {
public:
    explicit DifferentialSearch(unsigned seed) : m_random(seed) {}

    // A database whose windows come from `source`, with a mix of ordinary, overlapping, unsorted,
    // duplicated, zeroed and hostile offsets.
    void Fill(CTrojanBase2& base, const std::vector<BYTE>& source, int records) {
        for (int r = 0; r < records; ++r) {
            int index = base.Add("T", "N" + std::to_string(r), "1", 0);
            int images = Pick(0, 3);
            for (int s = 0; s < images; ++s) {
                base.AddImage(index, "img" + std::to_string(s));
                CSignature& signature = base.GetTrojan(index)->GetSignature(s);
                int style = Pick(0, 9);
                DWORD base_offset = static_cast<DWORD>(Pick(0, static_cast<int>(source.size()) - 200));
                for (int slot = 0; slot < 3; ++slot) {
                    DWORD offset = base_offset + static_cast<DWORD>(slot * Pick(0, 60));
                    if (style == 1) offset = base_offset - static_cast<DWORD>(slot * Pick(0, 40));  // unsorted
                    if (style == 2) offset = static_cast<DWORD>(source.size() - 17 - static_cast<size_t>(Pick(0, 3)));
                    if (style == 3 && slot == 2) offset = 0xFFFFFFF0u + static_cast<DWORD>(Pick(0, 15));
                    if (std::uint64_t{offset} + 16 > source.size()) {
                        BYTE junk[16] = {};
                        signature.SetWindow(slot, junk, offset);
                    } else {
                        signature.SetWindow(slot, source.data() + offset, offset);
                    }
                }
                if (style == 4) signature.ResetSignatures();
                if (style == 5 && s > 0) signature = base.GetTrojan(index)->GetSignature(0);
            }
        }
    }

    // A buffer built from the source: as it is, shifted, cut, or spliced with noise.
    std::vector<BYTE> Buffer(const std::vector<BYTE>& source) {
        std::vector<BYTE> buffer;
        int shift = Pick(0, 4) == 0 ? 0 : Pick(0, 300);
        for (int i = 0; i < shift; ++i) buffer.push_back(static_cast<BYTE>(Pick(0, 3)));
        buffer.insert(buffer.end(), source.begin(), source.end());
        if (Pick(0, 2) == 0) buffer.resize(static_cast<size_t>(Pick(0, static_cast<int>(buffer.size()))));
        for (int i = Pick(0, 20); i > 0 && !buffer.empty(); --i) {
            buffer[static_cast<size_t>(Pick(0, static_cast<int>(buffer.size()) - 1))] ^= 1;
        }
        return buffer;
    }

    int Pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(m_random); }

private:
    std::mt19937 m_random;
};

// A small alphabet makes many near-matches, repeated anchors and windows that end at the buffer's end.
std::vector<BYTE> Source(DifferentialSearch& maker, size_t size) {
    std::vector<BYTE> source(size);
    for (auto& b : source) b = static_cast<BYTE>(maker.Pick(0, 3));
    return source;
}

TEST(SearchTest, IndexAgreesWithThePlainLoopOnRandomDatabases) {
    for (unsigned seed = 1; seed <= 60; ++seed) {
        DifferentialSearch maker(seed);
        auto source = Source(maker, static_cast<size_t>(maker.Pick(200, 3000)));
        CTrojanBase2 base;
        maker.Fill(base, source, maker.Pick(1, 40));
        for (int round = 0; round < 40; ++round) {
            auto buffer = maker.Buffer(source);
            int length = static_cast<int>(buffer.size());
            for (int mode : {0, 1}) {
                int start = 0;
                // Resume past every match, as a scanner listing all matches does.
                for (int guard = 0; guard < 50; ++guard) {
                    int expected = ReferenceFind(base, buffer.data(), length, start, mode);
                    ASSERT_EQ(base.Find(buffer.data(), length, start, mode), expected)
                        << "seed " << seed << " round " << round << " mode " << mode << " start " << start;
                    if (expected < 0) break;
                    start = expected + 1;
                }
            }
        }
    }
}

TEST(SearchTest, IndexFollowsChangesToRecordsAndSignatures) {
    DifferentialSearch maker(99);
    auto source = Source(maker, 2000);
    CTrojanBase2 base;
    maker.Fill(base, source, 10);
    auto check = [&](const char* step) {
        for (int mode : {0, 1}) {
            for (int start = 0; start <= base.GetSize(); ++start) {
                ASSERT_EQ(base.Find(source.data(), 2000, start, mode),
                          ReferenceFind(base, source.data(), 2000, start, mode))
                    << step << " mode " << mode << " start " << start;
            }
        }
    };
    check("filled");
    int added = base.Add("T", "late", "1", 0);
    base.AddImage(added, "late.exe");
    base.AddImage(added, "later.exe");
    check("added");
    // References kept across searches: each change through them must reach the next search.
    CSignature& kept = base.GetTrojan(added)->GetSignature(0);
    CSignature* by_path = base.GetTrojan(added)->GetSignature(CString("later.exe"));
    for (int slot = 0; slot < 3; ++slot) {
        kept.SetWindow(slot, source.data() + 1500 + 60 * slot, static_cast<DWORD>(1500 + 60 * slot));
        check("window set");
    }
    ASSERT_EQ(base.Find(source.data(), 2000, added, 0), added);
    kept.SetOffset(1, kept.GetOffset(1) + 1);
    check("offset moved");
    *by_path = kept;
    check("assigned");
    kept.ResetSignatures();
    check("reset");
    base.GetTrojan(added)->RemoveImage("late.exe");
    check("image removed");
    base.Remove(0);
    check("record removed");
    base.GetTrojan(1)->ResetAllSignatures();
    check("record reset");
    base.EraseContent();
    EXPECT_EQ(base.Find(source.data(), 2000, 0, 1), -1);
}

TEST(SearchTest, ResumesPastEachMatch) {
    std::vector<BYTE> content(4000);
    for (size_t i = 0; i < content.size(); ++i) content[i] = static_cast<BYTE>(i * 13 + i / 256);
    CTrojanBase2 base;
    for (int r = 0; r < 10; ++r) {
        int index = base.Add("T", "N" + std::to_string(r), "1", 0);
        base.AddImage(index, "img");
        CSignature& signature = base.GetTrojan(index)->GetSignature(0);
        for (int slot = 0; slot < 3; ++slot) {
            DWORD offset = static_cast<DWORD>(1024 + 100 * slot);
            signature.SetWindow(slot, content.data() + offset, offset);
        }
        if (r != 3 && r != 7) signature.ResetSignatures();
    }
    EXPECT_EQ(base.Find(content.data(), 4000, 0, 0), 3);
    EXPECT_EQ(base.Find(content.data(), 4000, 4, 0), 7);
    EXPECT_EQ(base.Find(content.data(), 4000, 8, 0), -1);
    EXPECT_EQ(base.Find(content.data(), 4000, 8, 1), -1);
    EXPECT_EQ(base.GetTotalSignatureCount(), 10);
    CTrojanBase2 empty;
    EXPECT_EQ(empty.Find(content.data(), 4000, 0, 1), -1);
    EXPECT_EQ(empty.GetTotalSignatureCount(), 0);
}

TEST(SearchTest, SignaturesNeverGeneratedMatchNothing) {
    // Most programs hold zeros at the offsets a fresh record's zeroed signature names.
    std::vector<BYTE> zeros(4096, 0);
    BYTE window[16];
    CTrojanBase2 base;
    int fresh = base.Add("T", "Fresh", "1", 0);
    base.AddImage(fresh, "fresh.exe");
    int moved = base.Add("T", "ZeroWindowsElsewhere", "1", 0);
    base.AddImage(moved, "moved.exe");
    std::memset(window, 0, sizeof window);
    for (int slot = 0; slot < 3; ++slot)
        base.GetTrojan(moved)->GetSignature(0).SetWindow(slot, window, 1024u + 64u * slot);
    int mixed = base.Add("T", "Mixed", "1", 0);
    base.AddImage(mixed, "ungenerated.exe");
    base.AddImage(mixed, "generated.exe");
    for (int slot = 0; slot < 3; ++slot) {
        DWORD offset = 2000u + 100u * static_cast<DWORD>(slot);
        for (int i = 0; i < 16; ++i)
            zeros[offset + static_cast<DWORD>(i)] = window[i] = static_cast<BYTE>(slot * 16 + i + 1);
        base.GetTrojan(mixed)->GetSignature(1).SetWindow(slot, window, offset);
    }
    for (int mode : {0, 1}) {
        EXPECT_EQ(base.Find(zeros.data(), 4096, 0, mode), mixed) << mode;
        EXPECT_EQ(ReferenceFind(base, zeros.data(), 4096, 0, mode), mixed) << mode;
    }
    // Neither may they stand in the way of another record's new signatures.
    const CSignature& unsearchable = base.GetTrojan(fresh)->GetSignature(0);
    EXPECT_EQ(unsearchable.AcceptAnotherSignature(base.GetTrojan(mixed)->GetSignature(0)), 1);
    EXPECT_EQ(base.GetTrojan(mixed)->AcceptAnotherTrojan(base.GetTrojan(fresh)), 1);
}

std::vector<BYTE> Pseudorandom(size_t n, unsigned seed) {
    std::mt19937 random(seed);
    std::vector<BYTE> bytes(n);
    for (auto& b : bytes) b = static_cast<BYTE>(random());
    return bytes;
}

class RecordingMessages final : public zel::platform::MessageSink {
public:
    void ShowMessage(const std::string& text) override { shown.push_back(text); }
    std::vector<std::string> shown;
};

TEST(GenerateTest, AcceptedSignaturesRecogniseOnlyTheirOwnSample) {
    TempDir dir;
    CTrojanBase2 base;
    for (int r = 0; r < 3; ++r) {
        std::string path = dir.File("sample" + std::to_string(r));
        zel::testing::WriteBytes(path, Pseudorandom(20000, static_cast<unsigned>(r + 1)));
        int index = base.Add("T", "N" + std::to_string(r), "1", 0);
        base.AddImage(index, path);
    }
    RecordingMessages messages;
    for (int r = 0; r < 3; ++r) {
        // A deadline that lies past the wrap of the 32-bit tick must not pass at once.
        zel::testing::FakeClock clock(0xFFFFFF00u, 10);
        zel::platform::ScopedServices scope({&clock, &messages});
        base.GenerateSignatures(r);
        EXPECT_EQ(base.GetTrojan(r)->IsImagesLoaded(), 0) << "images attached by the call are released";
        EXPECT_GE(base.GetTrojan(r)->GetSignature(0).GetOffset(0), 1024u);
    }
    for (int r = 0; r < 3; ++r) {
        auto content = Pseudorandom(20000, static_cast<unsigned>(r + 1));
        EXPECT_EQ(base.Find(content.data(), 20000, 0, 0), r);
        std::vector<BYTE> shifted = content;
        shifted.insert(shifted.begin(), 77, BYTE{0x5A});
        EXPECT_EQ(base.Find(shifted.data(), static_cast<int>(shifted.size()), 0, 0), -1);
        EXPECT_EQ(base.Find(shifted.data(), static_cast<int>(shifted.size()), 0, 1), r);
    }
    EXPECT_TRUE(messages.shown.empty());
}

TEST(GenerateTest, WindowsComeFromTheBytesAScanReads) {
    TempDir dir;
    std::string path = dir.File("large");
    constexpr int kScanned = CSignature::kSearchedBytes;
    auto content = Pseudorandom(4 * kScanned, 11);
    zel::testing::WriteBytes(path, content);
    CTrojanBase2 base;
    int index = base.Add("T", "Large", "1", 0);
    base.AddImage(index, path);
    base.GenerateSignatures(index);
    EXPECT_LT(base.GetTrojan(index)->GetSignature(0).GetOffset(2) + 16, static_cast<DWORD>(kScanned));
    for (int mode : {0, 1}) EXPECT_EQ(base.Find(content.data(), kScanned, 0, mode), index) << mode;
}

TEST(GenerateTest, TimeoutShowsTheMessageAndZeroesTheSignatures) {
    TempDir dir;
    std::string path = dir.File("sample");
    zel::testing::WriteBytes(path, Pseudorandom(5000, 5));
    CTrojanBase2 base;
    int target = base.Add("T", "Target", "1", 0);
    base.AddImage(target, path);
    // Another record holds the same sample file attached: whatever windows the target draws from
    // it, they recognise that file, so every attempt is refused until the deadline.
    int other = base.Add("T", "Other", "1", 0);
    base.AddImage(other, path);
    base.LoadImages(other);
    // From the second start the tick wraps between two readings just before the deadline.
    for (std::uint32_t start : {1000u, 0xFFFFC504u}) {
        zel::testing::FakeClock clock(start, 700);
        RecordingMessages messages;
        zel::platform::ScopedServices scope({&clock, &messages});
        base.GenerateSignatures(target);
        ASSERT_EQ(messages.shown, std::vector<std::string>{"Oops, timeout expired, couldn't generate signature"});
        EXPECT_LT(clock.now - start, 17000u) << start;
        const CSignature& reset = base.GetTrojan(target)->GetSignature(0);
        EXPECT_EQ(reset.GetOffset(0) + reset.GetOffset(1) + reset.GetOffset(2), 0u);
        EXPECT_EQ(base.GetTrojan(target)->IsImagesLoaded(), 1);
    }
}

}  // namespace
