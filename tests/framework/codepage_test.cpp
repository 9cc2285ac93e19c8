#include "framework/codepage.h"

#include <gtest/gtest.h>

namespace zel::codepage {
namespace {

TEST(CodepageTest, EveryWindows1252ByteRoundTripsThroughUtf8) {
    std::string all;
    for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
    auto utf8 = Windows1252ToUtf8(all);
    auto back = Utf8ToWindows1252(utf8);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(*back, all);
    EXPECT_EQ(Windows1252ToUtf8("\x80"), "\xE2\x82\xAC");
}

TEST(CodepageTest, RejectsWhatWindows1252CannotHoldAndMalformedUtf8) {
    EXPECT_FALSE(Utf8ToWindows1252("\xE4\xB8\xAD").has_value());  // a CJK character
    EXPECT_FALSE(Utf8ToWindows1252("\xC3").has_value());          // cut short
    EXPECT_FALSE(Utf8ToWindows1252("\xC0\xAF").has_value());      // overlong
    EXPECT_FALSE(Utf8ToWindows1252("\xED\xA0\x80").has_value());  // surrogate
    EXPECT_EQ(Utf8ToWindows1252("caf\xC3\xA9").value(), "caf\xE9");
}

}  // namespace
}  // namespace zel::codepage
