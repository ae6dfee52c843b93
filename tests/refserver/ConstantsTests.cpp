// The computed chart constants against the published tables (d2, d3 to three decimals,
// c4 to four), and their closed forms where there is one.
#include <gtest/gtest.h>

#include <cmath>

#include "ChartConstants.h"

using namespace refsrv;

TEST(ChartConstants, AgreeWithThePublishedTables) {
    struct Row {
        long n;
        double d2, d3, c4;
    } rows[] = {
        {2, 1.128, 0.853, 0.7979},  {3, 1.693, 0.888, 0.8862}, {4, 2.059, 0.880, 0.9213},
        {5, 2.326, 0.864, 0.9400},  {6, 2.534, 0.848, 0.9515}, {7, 2.704, 0.833, 0.9594},
        {8, 2.847, 0.820, 0.9650},  {9, 2.970, 0.808, 0.9693}, {10, 3.078, 0.797, 0.9727},
        {25, 3.931, 0.708, 0.9896},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.n);
        EXPECT_NEAR(r.d2, ComputeD2(r.n), 0.0005);
        EXPECT_NEAR(r.d3, ComputeD3(r.n), 0.0005);
        EXPECT_NEAR(r.c4, ComputeC4(r.n), 0.00005);
    }
}

TEST(ChartConstants, MatchTheClosedFormsForSmallSubgroups) {
    const double pi = 3.14159265358979323846;
    EXPECT_NEAR(2 / std::sqrt(pi), ComputeD2(2), 1e-9);
    EXPECT_NEAR(3 / std::sqrt(pi), ComputeD2(3), 1e-9);
    EXPECT_NEAR(std::sqrt(2 - 4 / pi), ComputeD3(2), 1e-6);
    EXPECT_NEAR(std::sqrt(2 / pi), ComputeC4(2), 1e-12);
    EXPECT_NEAR(2 * std::sqrt(2.0 / 3.0) / std::sqrt(pi), ComputeC4(4), 1e-12);
}

TEST(ChartConstants, StayMeaningfulForLargeSubgroups) {
    // d2 grows like the expected range of n normals, d3 shrinks slowly, c4 tends to 1.
    double d2 = ComputeD2(1000);
    EXPECT_NEAR(6.483, d2, 0.002);
    EXPECT_GT(ComputeD3(1000), 0.4);
    EXPECT_LT(ComputeD3(1000), ComputeD3(25));
    EXPECT_NEAR(1 - 1 / (4.0 * 1000), ComputeC4(1000), 1e-6);
    EXPECT_EQ(0.0, ComputeD2(1));
    EXPECT_EQ(0.0, ComputeC4(1));
}
