#include <gtest/gtest.h>

#include "ZAVTools.h"

namespace {

TEST(Markers, AnswerWithTheirFixedValues) {
    EXPECT_EQ(42, fnZAVTools());
    EXPECT_EQ(0, nZAVTools);
    const DWORD expected[] = {61000, 50000, 10000, 3000, 1000, 0};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(expected[i], gShutdownTimeouts[i]) << "entry " << i;

    CZAVTools a, b;
    EXPECT_EQ(&a, &(a = b));
    EXPECT_EQ(&a, &(a = std::move(b)));
    GetZAVConnectionString();
}

} // namespace
