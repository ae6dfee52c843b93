// The server's computations on their own: chart constants against the published tables, and
// each runs test at its run length and just below it (centre 0, sigma 1).
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "ChartConstants.h"
#include "RunsDetector.h"

using namespace refsrv;

TEST(ChartConstants, AgreeWithThePublishedTablesAndClosedForms) {
    struct Row {
        long n;
        double d2, d3, c4;
    } rows[] = {{2, 1.128, 0.853, 0.7979}, {3, 1.693, 0.888, 0.8862}, {4, 2.059, 0.880, 0.9213},
                {5, 2.326, 0.864, 0.9400}, {7, 2.704, 0.833, 0.9594}, {10, 3.078, 0.797, 0.9727},
                {25, 3.931, 0.708, 0.9896}};
    for (const Row& r : rows) {
        EXPECT_NEAR(r.d2, ComputeD2(r.n), 0.0005) << r.n;
        EXPECT_NEAR(r.d3, ComputeD3(r.n), 0.0005) << r.n;
        EXPECT_NEAR(r.c4, ComputeC4(r.n), 0.00005) << r.n;
    }
    const double pi = 3.14159265358979323846;
    EXPECT_NEAR(3 / std::sqrt(pi), ComputeD2(3), 1e-9);
    EXPECT_NEAR(std::sqrt(2 - 4 / pi), ComputeD3(2), 1e-6);
    EXPECT_NEAR(2 * std::sqrt(2.0 / 3.0) / std::sqrt(pi), ComputeC4(4), 1e-12);
    // The largest subgroup: d2 is the expected range of 1000 normals, c4 close to 1.
    EXPECT_NEAR(6.483, ComputeD2(1000), 0.002);
    EXPECT_NEAR(1 - 1 / 4000.0, ComputeC4(1000), 1e-6);
    EXPECT_EQ(0.0, ComputeD2(1));
}

namespace {

// The firings as "sample:test:first".
std::vector<std::string> Feed(const std::vector<double>& xs, RunRules rules, int only = -1) {
    if (only >= 0)
        rules.enabled = static_cast<uint8_t>(1u << only);
    RunsDetector detector(rules);
    std::vector<std::string> fired;
    RunHit hits[RunsDetector::kTests];
    for (size_t i = 0; i < xs.size(); ++i)
        for (int h = 0, n = detector.Add(long(i), xs[i], 0.0, 1.0, hits); h < n; ++h)
            fired.push_back(std::to_string(i) + ":" + std::to_string(hits[h].test) + ":" +
                            std::to_string(hits[h].firstSample));
    return fired;
}

std::vector<double> Series(size_t count, double first, double step = 0, double other = NAN) {
    std::vector<double> xs;
    for (size_t i = 0; i < count; ++i)
        xs.push_back(std::isnan(other) ? first + step * i : (i % 2 ? other : first));
    return xs;
}

std::vector<double> Join(std::vector<double> a, const std::vector<double>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

using Fired = std::vector<std::string>;

} // namespace

TEST(RunsTests, EachFiresAtItsRunLengthAndNotBelow) {
    const RunRules d;
    struct Row {
        int test;
        std::vector<double> xs;
        Fired fired;
    } rows[] = {
        {0, Series(9, 0.5), {"8:0:0"}},
        {0, Series(8, 0.5), {}},
        {0, Join(Series(8, -0.5), {0.0}), {}}, // the centre breaks it
        {0, Join({0.5}, Series(9, -0.5)), {"9:0:1"}},
        {0, Series(20, 0.5), {"8:0:0", "17:0:9"}}, // once per run length, then afresh
        {1, Series(6, -0.5, 0.1), {"5:1:0"}},
        {1, Series(5, -0.5, 0.1), {}},
        {1, Series(6, 0.5, -0.1), {"5:1:0"}},
        {1, {-0.5, -0.4, -0.3, 0.5, 0.5, 0.6, 0.7}, {}}, // a tie breaks it
        {1, {1, 2, 3, 2, 4, 5, 6, 7, 8}, {"8:1:3"}},     // the turning point starts anew
        {2, Series(14, 0.3, 0, -0.2), {"13:2:0"}},
        {2, Series(13, 0.3, 0, -0.2), {}},
        {2, Join(Join(Series(13, 0.3, 0, -0.2), {0.4}), Series(12, -0.4, 0, 0.4)), {"25:2:12"}},
        {3, {2.5, 0, 2.5}, {"2:3:0"}},
        {3, {-2.5, -2.1}, {"1:3:0"}},
        {3, {2.5, 0, 0, 2.5}, {}},
        {3, {2.5, -2.5, 2.0}, {}}, // the other side, and 2 sigma itself
        {4, {1.5, 1.5, 0, 1.5, 1.5}, {"4:4:0"}},
        {4, {1.5, 1.5, 0, 0, 1.5, 1.5}, {}},
        {4, {1.5, 1.5, 1.5, 1.5, 0}, {"3:4:0"}},
        {5, Series(15, 0.5, 0, -1.0), {"14:5:0"}}, // 1 sigma itself counts as within
        {5, Join(Series(14, 0.2), {1.2}), {}},
        {6, Series(8, 1.5, 0, -1.5), {"7:6:0"}},
        {6, Join(Series(7, 1.5, 0, -1.5), {0.5}), {}},
        {0, Join(Join(Series(5, 0.5), {NAN}), Series(4, 0.5)), {}}, // a gap ends every pattern
    };
    for (const Row& row : rows)
        EXPECT_EQ(row.fired, Feed(row.xs, d, row.test))
            << "test " << row.test << ", " << row.xs.size() << " samples";
    EXPECT_EQ((Fired{"1:3:0", "3:3:2", "3:4:0", "5:3:4", "7:3:6", "7:4:4", "7:6:0", "8:0:0"}),
              Feed(Series(9, 2.5), d))
        << "all tests at once";
    RunRules shorter;
    shorter.sameSide = shorter.trend = shorter.zoneA = 3;
    shorter.zoneAWindow = 4;
    EXPECT_EQ(Fired{"2:0:0"}, Feed(Series(3, -0.5), shorter, 0));
    EXPECT_EQ(Fired{"2:1:0"}, Feed(Series(3, -0.5, 0.1), shorter, 1));
    EXPECT_EQ(Fired{"3:3:0"}, Feed({2.5, 2.5, 0, 2.5}, shorter, 3));
    EXPECT_EQ(Fired{}, Feed(Series(20, 0.5), RunRules{0}));
}
