// Texts and progress values on their way into widgets.
#include <gtest/gtest.h>

#include "updater/core/download_page.h"
#include "updater/wizard/text_convert.h"

namespace zel::updater {
namespace {

TEST(TextConvertTest, Utf8StaysAndOtherBytesAreWindows1252) {
    EXPECT_EQ(ToQt("Grüße"), QString::fromUtf8("Grüße"));
    EXPECT_EQ(ToQt("Gr\xFC\xDF"
                   "e \x80"),
              QString::fromUtf8("Grüße €"));
    EXPECT_EQ(ToQt(std::string("a\0b", 3)).size(), 3);
    EXPECT_EQ(FromQt(QString::fromUtf8("Grüße")), "Grüße");
}

TEST(TextConvertTest, BarsTakeEveryThirtyTwoBitRange) {
    EXPECT_EQ(ScaleBar(0, 0), std::make_pair(1, 0));
    EXPECT_EQ(ScaleBar(0, 500), std::make_pair(1, 0));
    EXPECT_EQ(ScaleBar(52000, 1024), std::make_pair(52000, 1024));
    EXPECT_EQ(ScaleBar(100, 250), std::make_pair(100, 100));  // never past the end
    auto [max, value] = ScaleBar(0xFFFFFFFFu, 0x80000000u);
    EXPECT_GT(max, 0);
    EXPECT_NEAR(static_cast<double>(value) / max, 0.5, 1e-6);
    auto [fullMax, fullValue] = ScaleBar(0xFFFFFFFFu, 0xFFFFFFFFu);
    EXPECT_EQ(fullMax, fullValue);
    auto [edgeMax, edgeValue] = ScaleBar(0x40000000u, 0x3FFFFFFFu);
    EXPECT_LT(edgeValue, edgeMax);
}

}  // namespace
}  // namespace zel::updater
