#include <gtest/gtest.h>

#include "archive/cabinet/cab_checksum.h"

namespace zel::cabinet {
namespace {

TEST(CabChecksum, WordsAreXoredLittleEndianAndTheTailFoldsFirstByteHighest) {
    const BYTE data[] = {0x01, 0x02, 0x03, 0x04, 0x10, 0x20, 0x30};
    EXPECT_EQ(CabChecksum(data, 0, 0xDEADBEEF), 0xDEADBEEFu);
    EXPECT_EQ(CabChecksum(data, 1, 0), 0x01u);
    EXPECT_EQ(CabChecksum(data, 2, 0), 0x0102u);
    EXPECT_EQ(CabChecksum(data, 3, 0), 0x010203u);
    EXPECT_EQ(CabChecksum(data, 4, 0), 0x04030201u);
    EXPECT_EQ(CabChecksum(data, 7, 0), 0x04030201u ^ 0x102030u);
    EXPECT_EQ(CabChecksum(data, 4, 0x04030201u), 0u);
}

TEST(CabChecksum, ContinuingFromASeedEqualsXoringTheParts) {
    BYTE data[64];
    for (int i = 0; i < 64; ++i) data[i] = BYTE(i * 37 + 5);
    EXPECT_EQ(CabChecksum(data + 16, 12, CabChecksum(data, 16, 0)), CabChecksum(data, 28, 0));
}

}  // namespace
}  // namespace zel::cabinet
