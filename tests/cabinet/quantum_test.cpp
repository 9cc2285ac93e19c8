// The Quantum models' rules: start frequencies, the increment, the two kinds of rescale.
#include <gtest/gtest.h>

#include "archive/cabinet/quantum_model.h"

namespace zel::cabinet {
namespace {

void ExpectConsistent(const CQuantumModel& model) {
    EXPECT_EQ(model.Cumulative(model.Count()), 0u);
    for (int i = 0; i < model.Count(); ++i) EXPECT_GT(model.Cumulative(i), model.Cumulative(i + 1)) << i;
}

TEST(QuantumModel, StartsAtFrequencyOneInSymbolOrderAndAddsEightUpToTheSymbol) {
    CQuantumModel model;
    model.Init(64, 5);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(model.Symbol(i), 64 + i);
        EXPECT_EQ(model.Cumulative(i), std::uint32_t(5 - i));
    }
    model.Update(2);
    EXPECT_EQ(model.Cumulative(0), 13u);
    EXPECT_EQ(model.Cumulative(2), 11u);
    EXPECT_EQ(model.Cumulative(3), 2u);
}

TEST(QuantumModel, RescalesHalveTheCumulativeValuesUntilTheFourthReorders) {
    CQuantumModel model;
    model.Init(0, 4);
    int rescales = 0;
    std::uint32_t before = model.Cumulative(0);
    while (rescales < 4) {
        model.Update(3);  // the last symbol becomes by far the most frequent
        ExpectConsistent(model);
        if (model.Cumulative(0) < before) {
            ++rescales;
            EXPECT_LE(model.Cumulative(0), 3800u / 2 + 8u);
            // Only the fourth rescale changes the order.
            EXPECT_EQ(model.Symbol(0), rescales < 4 ? 0 : 3) << rescales;
        }
        before = model.Cumulative(0);
    }
    // The exchange sort swaps the frequent symbol forward with the first one; equal ones stay put.
    EXPECT_EQ(model.Symbol(1), 1);
    EXPECT_EQ(model.Symbol(2), 2);
    EXPECT_EQ(model.Symbol(3), 0);
}

TEST(QuantumModel, TiesKeepTheirOrderWhenReordering) {
    CQuantumModel model;
    model.Init(0, 3);
    // Equal use of every symbol: the fourth rescale must not shuffle them.
    for (int n = 0; n < 20000; ++n) {
        model.Update(n % 3);
        ExpectConsistent(model);
    }
    EXPECT_EQ(model.Symbol(0) + model.Symbol(1) + model.Symbol(2), 3);
}

}  // namespace
}  // namespace zel::cabinet
