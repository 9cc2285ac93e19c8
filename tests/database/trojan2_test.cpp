#include "database/trojan2.h"

#include <gtest/gtest.h>

#include "fileio/mem_file.h"

namespace {

std::vector<WORD> Regentries(const CTrojan2& record) {
    std::vector<WORD> entries;
    for (int i = 0; i < record.GetRegentryCount(); ++i) entries.push_back(record.GetRegentry(i));
    return entries;
}

TEST(Trojan2Test, ImagesAreUniqueByExactPath) {
    CTrojan2 record;
    record.AddImage("C:\\a.exe");
    record.AddImage("C:\\a.exe");
    record.AddImage("C:\\A.exe");
    record.AddImage("C:\\b.exe");
    ASSERT_EQ(record.GetSignatureCount(), 3);
    record.RemoveImage("C:\\a.exe");
    record.RemoveImage("C:\\missing.exe");
    ASSERT_EQ(record.GetSignatureCount(), 2);
    EXPECT_EQ(record.GetSignature(0).GetImagePath(), "C:\\A.exe");
    EXPECT_EQ(record.GetSignature(1).GetImagePath(), "C:\\b.exe");
    EXPECT_EQ(record.GetSignature(CString("C:\\b.exe")), &record.GetSignature(1));
    EXPECT_EQ(record.GetSignature(CString("nope")), nullptr);
    for (int i = 0; i < 300; ++i) record.AddImage("img" + std::to_string(i));
    EXPECT_EQ(record.GetSignatureCount(), CTrojan2::kMaxSignatures);
}

TEST(Trojan2Test, RegentriesFormASetAndRemovalMovesTheLastIntoThePlace) {
    CTrojan2 record;
    record.AddRegentry(0x0301);
    record.AddRegentry(0x0202);
    record.AddRegentry(0x0301);
    record.AddRegentry(0x0003);
    EXPECT_EQ(Regentries(record), (std::vector<WORD>{0x0301, 0x0202, 0x0003}));
    record.RemoveRegentry(0x0301);
    record.RemoveRegentry(0x7777);
    EXPECT_EQ(Regentries(record), (std::vector<WORD>{0x0003, 0x0202}));
    EXPECT_EQ(record.FindRegentry(0x0202), 1);
    EXPECT_EQ(record.FindRegentry(0x0301), 0);
    CTrojan2 copy = record;
    copy.AddRegentry(0x0404);
    record = copy;
    EXPECT_EQ(Regentries(record), (std::vector<WORD>{0x0003, 0x0202, 0x0404}));
}

TEST(Trojan2Test, StoresAndLoadsAFullRecord) {
    CTrojan2 record;
    record.m_typeIndex = 7;
    record.m_nameIndex = 0x1234;
    record.m_version = "2.0b";
    record.m_cureFlags = 0x01A5;
    for (int i = 0; i < 300; ++i) record.AddRegentry(static_cast<WORD>(i * 3));
    ASSERT_EQ(record.GetRegentryCount(), 255);
    BYTE window[16];
    for (int s = 0; s < 3; ++s) {
        record.AddImage("image" + std::to_string(s));
        for (int i = 0; i < 16; ++i) window[i] = static_cast<BYTE>(s * 16 + i);
        record.GetSignature(s).SetWindow(s % 3, window, static_cast<DWORD>(5000 + s));
    }
    CMemFile file;
    CArchive out(&file, CArchive::store);
    record.Serialize(out);
    out.Close();
    // type, name, version, flags, count, 255 entries, signature count, 3 signatures
    EXPECT_EQ(file.Data().size(), 1 + 2 + 5 + 2 + 1 + 510 + 1 + 3 * (60 + 7));

    file.Seek(0, CFile::begin);
    CArchive in(&file, CArchive::load);
    CTrojan2 loaded;
    loaded.Serialize(in);
    EXPECT_EQ(loaded.m_typeIndex, 7);
    EXPECT_EQ(loaded.m_nameIndex, 0x1234);
    EXPECT_EQ(loaded.m_version, "2.0b");
    EXPECT_EQ(loaded.m_cureFlags, 0x01A5);
    EXPECT_EQ(Regentries(loaded), Regentries(record));
    ASSERT_EQ(loaded.GetSignatureCount(), 3);
    for (int s = 0; s < 3; ++s) {
        EXPECT_EQ(loaded.GetSignature(s) == record.GetSignature(s), 1);
        EXPECT_EQ(loaded.GetSignature(s).GetImagePath(), record.GetSignature(s).GetImagePath());
    }
}

TEST(Trojan2Test, MatchesInEitherModeAndEmptyRecordsAcceptEverything) {
    std::vector<BYTE> content(3000);
    for (size_t i = 0; i < content.size(); ++i) content[i] = static_cast<BYTE>(i * 7);
    CTrojan2 record;
    record.AddImage("x");
    CSignature& signature = record.GetSignature(0);
    for (int slot = 0; slot < 3; ++slot) {
        DWORD offset = 1100 + 200 * static_cast<DWORD>(slot);
        signature.SetWindow(slot, content.data() + offset, offset);
    }
    std::vector<BYTE> shifted(33, 0);
    shifted.insert(shifted.end(), content.begin(), content.end());
    EXPECT_EQ(record.FindMe(content.data(), 3000, 0), 1);
    EXPECT_EQ(record.FindMe(shifted.data(), 3033, 0), 0);
    EXPECT_EQ(record.FindMe(shifted.data(), 3033, 1), 1);

    CTrojan2 empty;
    EXPECT_EQ(empty.FindMe(content.data(), 3000, 1), 0);
    EXPECT_EQ(empty.AcceptAnotherTrojan(&record), 1);
    EXPECT_EQ(record.AcceptAnotherTrojan(&empty), 1);
    EXPECT_EQ(record.AcceptAnotherTrojan(&record), 0);
    EXPECT_EQ(empty.IsImagesLoaded(), 1);
}

}  // namespace
