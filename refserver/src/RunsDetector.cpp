#include "RunsDetector.h"

#include <cmath>

namespace refsrv {

bool RunsDetector::Streak::Extend(bool condition, long sample, long length) {
    if (!condition) {
        count = 0;
        return false;
    }
    if (count++ == 0)
        first = sample;
    if (count < length)
        return false;
    count = 0;
    return true;
}

bool RunsDetector::Steps::Add(double x, long sample, long length, bool alternate) {
    int step = !hasPrevious ? 0 : x > previous ? 1 : x < previous ? -1 : 0;
    if (!hasPrevious || step == 0) {
        count = 1;
        first = sample;
        direction = 0;
    } else if (direction == 0) {
        count = 2;
        direction = step;
    } else if (alternate ? step == -direction : step == direction) {
        ++count;
        direction = step;
    } else {
        // The pattern breaks, but the last step starts a new one from the previous sample.
        count = 2;
        first = sample - 1;
        direction = step;
    }
    hasPrevious = true;
    previous = x;
    if (count < length)
        return false;
    hasPrevious = false;
    count = 0;
    return true;
}

bool RunsDetector::Window::Add(int side, long sample, long needed, long window, long& first) {
    uint64_t keep = window >= 64 ? ~0ull : (1ull << window) - 1;
    above = ((above << 1) | (side > 0 ? 1u : 0u)) & keep;
    below = ((below << 1) | (side < 0 ? 1u : 0u)) & keep;
    uint64_t bits = side > 0 ? above : side < 0 ? below : 0;
    if (!bits || __builtin_popcountll(bits) < needed)
        return false;
    // Bit k stands for the sample k places back; the highest set bit is the pattern's first.
    first = sample - (63 - __builtin_clzll(bits));
    above = below = 0;
    return true;
}

void RunsDetector::Reset() {
    m_sameSide = Streak();
    m_side = 0;
    m_trend = Steps();
    m_alternating = Steps();
    m_zoneA = Window();
    m_zoneB = Window();
    m_zoneC = Streak();
    m_beyondC = Streak();
}

int RunsDetector::Add(long sample, double x, double center, double sigma, RunHit* hits) {
    if (std::isnan(x) || std::isnan(center) || std::isnan(sigma)) {
        Reset();
        return 0;
    }
    int count = 0;
    auto hit = [&](int test, long first) { hits[count++] = RunHit{test, first}; };
    const RunRules& r = m_rules;
    double d = x - center;
    int side = d > 0 ? 1 : d < 0 ? -1 : 0;

    if (r.Enabled(0)) {
        if (side != m_side)
            m_sameSide.count = 0;
        m_side = side;
        if (m_sameSide.Extend(side != 0, sample, r.sameSide))
            hit(0, m_sameSide.first);
    }
    if (r.Enabled(1) && m_trend.Add(x, sample, r.trend, false))
        hit(1, m_trend.first);
    if (r.Enabled(2) && m_alternating.Add(x, sample, r.alternating, true))
        hit(2, m_alternating.first);
    long first = 0;
    int beyondA = std::fabs(d) > 2 * sigma ? side : 0;
    if (r.Enabled(3) && m_zoneA.Add(beyondA, sample, r.zoneA, r.zoneAWindow, first))
        hit(3, first);
    int beyondB = std::fabs(d) > sigma ? side : 0;
    if (r.Enabled(4) && m_zoneB.Add(beyondB, sample, r.zoneB, r.zoneBWindow, first))
        hit(4, first);
    if (r.Enabled(5) && m_zoneC.Extend(std::fabs(d) <= sigma, sample, r.zoneC))
        hit(5, m_zoneC.first);
    if (r.Enabled(6) && m_beyondC.Extend(std::fabs(d) > sigma, sample, r.beyondC))
        hit(6, m_beyondC.first);
    return count;
}

} // namespace refsrv
