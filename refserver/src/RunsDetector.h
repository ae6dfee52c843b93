// The seven runs tests of a control chart, fed one sample at a time in chart order. Each test
// keeps a few counters, so a whole chart costs O(samples) per test.
//
// Codes and default run lengths:
//   0 same side of center: 9 in a row strictly above, or strictly below, the centre line
//   1 in/decreasing: 6 in a row each strictly higher (or each strictly lower) than the one before
//   2 alternating up & down: 14 in a row, each step reversing the direction of the one before
//   3 zone A or beyond: 2 of 3 in a row more than 2 sigma from the centre, on the same side
//   4 zone B or beyond: 4 of 5 in a row more than 1 sigma from the centre, on the same side
//   5 zone C: 15 in a row within 1 sigma of the centre (either side)
//   6 beyond zone C: 8 in a row more than 1 sigma from the centre (either side)
// A point on a zone boundary counts as inside the inner zone. A test fires at the sample that
// completes its pattern (for 3 and 4 that sample must be one of the points beyond the zone),
// reporting the first sample of the pattern, and then starts afresh with the next sample: a
// pattern that goes on is reported once per run length. A sample without a measure (NaN) ends
// every pattern.
#pragma once

#include <cstdint>

namespace refsrv {

struct RunRules {
    uint8_t enabled = 0x7F; // bit n for test code n
    long sameSide = 9;
    long trend = 6;
    long alternating = 14;
    long zoneA = 2;
    long zoneAWindow = 3;
    long zoneB = 4;
    long zoneBWindow = 5;
    long zoneC = 15;
    long beyondC = 8;

    bool Enabled(int code) const noexcept { return enabled & (1u << code); }
};

struct RunHit {
    int test;
    long firstSample;
};

class RunsDetector {
public:
    static constexpr int kTests = 7;

    explicit RunsDetector(const RunRules& rules) : m_rules(rules) {}

    // Feeds the sample's measure, the centre line and the sigma of the measure (the distance
    // from the centre to the upper control limit over 3). Writes the tests that fire to `hits`
    // (at most kTests) and returns how many.
    int Add(long sample, double x, double center, double sigma, RunHit* hits);

private:
    // A count of consecutive samples that meet a condition, and where they began.
    struct Streak {
        long count = 0;
        long first = 0;
        bool Extend(bool condition, long sample, long length);
    };
    // A direction-based streak: rising/falling runs and alternating runs.
    struct Steps {
        bool hasPrevious = false;
        double previous = 0;
        int direction = 0;
        long count = 0;
        long first = 0;
        bool Add(double x, long sample, long length, bool alternate);
    };
    // The last `window` samples beyond a zone, one bit per sample, above and below the centre.
    struct Window {
        uint64_t above = 0;
        uint64_t below = 0;
        bool Add(int side, long sample, long needed, long window, long& first);
    };

    void Reset();

    RunRules m_rules;
    int m_side = 0;
    Streak m_sameSide;
    Steps m_trend;
    Steps m_alternating;
    Window m_zoneA;
    Window m_zoneB;
    Streak m_zoneC;
    Streak m_beyondC;
};

} // namespace refsrv
