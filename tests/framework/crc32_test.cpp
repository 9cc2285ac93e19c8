#include "framework/crc32.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(Crc32Test, ContinuingOverPiecesGivesTheCrcOfTheWhole) {
    const std::string text = "The quick brown fox jumps over the lazy dog";
    const std::uint32_t whole = zel::Crc32(text.data(), text.size());
    EXPECT_EQ(whole, 0x414FA339u);
    for (std::size_t cut = 0; cut <= text.size(); cut += 7) {
        EXPECT_EQ(zel::Crc32(text.data() + cut, text.size() - cut, zel::Crc32(text.data(), cut)), whole) << cut;
    }
}

}  // namespace
