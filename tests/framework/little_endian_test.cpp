#include "framework/little_endian.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

// Every buffer below is allocated exactly as long as its limit, so that AddressSanitizer reports a
// load that reads past it.
TEST(LittleEndianTest, LoadsTakeTheBytesBeforeTheLimitAndZeroForTheRest) {
    const std::vector<std::uint8_t> bytes = {0x01, 0x82, 0x03, 0x84, 0x05, 0x86, 0x07, 0x88};
    for (std::size_t length = 0; length <= bytes.size(); ++length) {
        const std::vector<std::uint8_t> cut(bytes.begin(), bytes.begin() + static_cast<long>(length));
        const std::uint8_t* end = cut.data() + cut.size();
        std::uint64_t expected = 0;
        for (std::size_t i = 0; i < length; ++i) expected |= std::uint64_t{bytes[i]} << (8 * i);
        EXPECT_EQ(zel::LoadLe16(cut.data(), end), expected & 0xFFFF) << length;
        EXPECT_EQ(zel::LoadLe32(cut.data(), end), expected & 0xFFFFFFFF) << length;
        EXPECT_EQ(zel::LoadLe64(cut.data(), end), expected) << length;
    }
    EXPECT_EQ(zel::LoadLe32(bytes.data() + 2, bytes.data() + bytes.size()), 0x86058403u);
}

}  // namespace
