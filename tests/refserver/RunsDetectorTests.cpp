// Each runs test at its run length and just below it, on a chart with centre 0 and sigma 1.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "RunsDetector.h"

using namespace refsrv;

namespace {

struct Fired {
    long sample;
    int test;
    long first;
    bool operator==(const Fired& o) const {
        return sample == o.sample && test == o.test && first == o.first;
    }
};

std::ostream& operator<<(std::ostream& out, const Fired& f) {
    return out << "{sample " << f.sample << ", test " << f.test << ", first " << f.first << "}";
}

std::vector<Fired> Feed(const std::vector<double>& xs, RunRules rules, int only = -1) {
    if (only >= 0)
        rules.enabled = static_cast<uint8_t>(1u << only);
    RunsDetector detector(rules);
    std::vector<Fired> fired;
    RunHit hits[RunsDetector::kTests];
    for (size_t i = 0; i < xs.size(); ++i) {
        int count = detector.Add(static_cast<long>(i), xs[i], 0.0, 1.0, hits);
        for (int h = 0; h < count; ++h)
            fired.push_back({static_cast<long>(i), hits[h].test, hits[h].firstSample});
    }
    return fired;
}

std::vector<double> Repeat(double x, size_t count) {
    return std::vector<double>(count, x);
}

std::vector<double> Join(std::vector<double> a, const std::vector<double>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

std::vector<double> Rising(size_t count, double step = 0.1) {
    std::vector<double> xs;
    for (size_t i = 0; i < count; ++i)
        xs.push_back(-0.5 + step * i);
    return xs;
}

std::vector<double> Alternating(size_t count, double a = 0.3, double b = -0.2) {
    std::vector<double> xs;
    for (size_t i = 0; i < count; ++i)
        xs.push_back(i % 2 ? b : a);
    return xs;
}

using F = std::vector<Fired>;
const RunRules kDefaults;

} // namespace

TEST(RunsTests, SameSideOfCenterNeedsNineInARow) {
    EXPECT_EQ((F{{8, 0, 0}}), Feed(Repeat(0.5, 9), kDefaults, 0));
    EXPECT_EQ(F{}, Feed(Repeat(0.5, 8), kDefaults, 0));
    EXPECT_EQ(F{}, Feed(Join(Repeat(-0.5, 8), {0.0}), kDefaults, 0)) << "the centre breaks it";
    EXPECT_EQ((F{{9, 0, 1}}), Feed(Join({0.5}, Repeat(-0.5, 9)), kDefaults, 0));
    // A run that goes on is reported once per run length, then starts afresh.
    EXPECT_EQ((F{{8, 0, 0}, {17, 0, 9}}), Feed(Repeat(0.5, 20), kDefaults, 0));
}

TEST(RunsTests, InDecreasingNeedsSixSteadilyRisingOrFalling) {
    EXPECT_EQ((F{{5, 1, 0}}), Feed(Rising(6), kDefaults, 1));
    EXPECT_EQ(F{}, Feed(Rising(5), kDefaults, 1));
    EXPECT_EQ((F{{5, 1, 0}}), Feed(Rising(6, -0.1), kDefaults, 1)) << "falling";
    EXPECT_EQ(F{}, Feed(Join(Rising(3), {0.5, 0.5, 0.6, 0.7}), kDefaults, 1)) << "a tie breaks it";
    // A reversal starts the next run at the turning point: 3 falls back to 2, then 4 5 6 7 8.
    EXPECT_EQ((F{{8, 1, 3}}), Feed({1, 2, 3, 2, 4, 5, 6, 7, 8}, kDefaults, 1));
}

TEST(RunsTests, UpAndDownNeedsFourteenAlternating) {
    EXPECT_EQ((F{{13, 2, 0}}), Feed(Alternating(14), kDefaults, 2));
    EXPECT_EQ(F{}, Feed(Alternating(13), kDefaults, 2));
    // Two steps the same way break it; the last step begins the next pattern.
    std::vector<double> broken = Join(Alternating(13), {0.4});
    EXPECT_EQ(F{}, Feed(broken, kDefaults, 2));
    EXPECT_EQ((F{{25, 2, 12}}), Feed(Join(broken, Alternating(12, -0.4, 0.4)), kDefaults, 2));
}

TEST(RunsTests, ZoneANeedsTwoOfThreeBeyondTwoSigmaOnOneSide) {
    EXPECT_EQ((F{{2, 3, 0}}), Feed({2.5, 0, 2.5}, kDefaults, 3));
    EXPECT_EQ((F{{1, 3, 0}}), Feed({-2.5, -2.1}, kDefaults, 3));
    EXPECT_EQ(F{}, Feed({2.5, 0, 0, 2.5}, kDefaults, 3)) << "only one of the last three";
    EXPECT_EQ(F{}, Feed({2.5, -2.5, 2.0}, kDefaults, 3)) << "other side, and 2 sigma itself";
}

TEST(RunsTests, ZoneBNeedsFourOfFiveBeyondOneSigmaOnOneSide) {
    EXPECT_EQ((F{{4, 4, 0}}), Feed({1.5, 1.5, 0, 1.5, 1.5}, kDefaults, 4));
    EXPECT_EQ(F{}, Feed({1.5, 1.5, 0, 0, 1.5, 1.5}, kDefaults, 4));
    EXPECT_EQ(F{}, Feed({1.5, 1.5, 1.5, -1.5, 1.0}, kDefaults, 4));
    // The point that completes the pattern must be one of its points.
    EXPECT_EQ((F{{3, 4, 0}}), Feed({1.5, 1.5, 1.5, 1.5, 0}, kDefaults, 4));
}

TEST(RunsTests, ZoneCNeedsFifteenWithinOneSigma) {
    EXPECT_EQ((F{{14, 5, 0}}), Feed(Alternating(15, 0.5, -1.0), kDefaults, 5))
        << "one sigma itself counts as within";
    EXPECT_EQ(F{}, Feed(Join(Repeat(0.2, 14), {1.2}), kDefaults, 5));
}

TEST(RunsTests, BeyondZoneCNeedsEightBeyondOneSigmaOnEitherSide) {
    EXPECT_EQ((F{{7, 6, 0}}), Feed(Alternating(8, 1.5, -1.5), kDefaults, 6));
    EXPECT_EQ(F{}, Feed(Join(Alternating(7, 1.5, -1.5), {0.5}), kDefaults, 6));
}

TEST(RunsTests, RunLengthsCanBeSet) {
    RunRules rules;
    rules.sameSide = 3;
    rules.trend = 3;
    rules.zoneA = 3;
    rules.zoneAWindow = 4;
    EXPECT_EQ((F{{2, 0, 0}}), Feed(Repeat(-0.5, 3), rules, 0));
    EXPECT_EQ(F{}, Feed(Repeat(-0.5, 2), rules, 0));
    EXPECT_EQ((F{{2, 1, 0}}), Feed(Rising(3), rules, 1));
    EXPECT_EQ((F{{3, 3, 0}}), Feed({2.5, 2.5, 0, 2.5}, rules, 3));
    EXPECT_EQ(F{}, Feed({2.5, 2.5, 0, 0, 2.5}, rules, 3));
}

TEST(RunsTests, AllTestsTogetherAndAMissingMeasureEndsEveryPattern) {
    // Nine points 2.5 sigma above: zone A fires every second point (then starts afresh),
    // zone B every fourth, beyond C at the eighth, same side at the ninth.
    F fired = Feed(Repeat(2.5, 9), kDefaults);
    EXPECT_EQ(
        (F{{1, 3, 0}, {3, 3, 2}, {3, 4, 0}, {5, 3, 4}, {7, 3, 6}, {7, 4, 4}, {7, 6, 0}, {8, 0, 0}}),
        fired);
    std::vector<double> gap = Join(Repeat(0.5, 5), {std::nan("")});
    EXPECT_EQ(F{}, Feed(Join(gap, Repeat(0.5, 4)), kDefaults, 0));
    EXPECT_EQ(F{}, Feed(Repeat(0.5, 20), RunRules{0}));
}
