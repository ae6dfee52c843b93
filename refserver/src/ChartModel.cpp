#include "ChartModel.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>

#include "ChartConstants.h"
#include "ServerError.h"
#include "Text.h"

namespace refsrv {

namespace {

unsigned long Count(size_t value) {
    return static_cast<unsigned long>(value);
}

const double kMissing = std::nan("");

Dispersion DispersionOf(const ChartOptions& o) {
    if (IsAttributeChart(o.chartType) || o.chartType == kPareto)
        return Dispersion::kNone;
    bool single = o.subgroupColumn < 0 && o.subgroupSize == 1;
    switch (o.chartType) {
    case kXBarV:
        return Dispersion::kVariance;
    case kIndividuals:
        return Dispersion::kMovingRange;
    case kIndivMS:
        return Dispersion::kMovingStdDev;
    case kXBarS:
    case kMovingAverageS:
    case kEwmaS:
        return single ? Dispersion::kMovingRange : Dispersion::kStdDev;
    default: // XBar & R, moving average & R, EWMA & R; CuSum estimates sigma from ranges
        return single ? Dispersion::kMovingRange : Dispersion::kRange;
    }
}

} // namespace

ChartModel::ChartModel(const TableView& view, const ChartOptions& options)
    : m_options(options), m_dispersion(DispersionOf(options)) {
    if (view.count == 0)
        Fail(kBadData, L"The spreadsheet has no cases to chart");
    if (m_options.chartType == kPareto) {
        RankCategories(view);
    } else if (IsAttributeChart(m_options.chartType)) {
        CountAttributes(view);
    } else {
        Group(view);
        Measure(view);
        Estimate();
        Smooth();
    }
    FindAbsentLimits();
}

void ChartModel::Group(const TableView& view) {
    const std::vector<Cell>* key =
        m_options.subgroupColumn >= 0 ? &view.table->At(m_options.subgroupColumn).cells : nullptr;
    size_t size = static_cast<size_t>(m_options.subgroupSize);
    m_samples.reserve(key ? view.count / 4 + 1 : view.count / size + 1);
    for (size_t row = 0; row < view.count;) {
        size_t end = row + 1;
        if (key) {
            Cell value = (*key)[view.first + row];
            while (end < view.count && (*key)[view.first + end] == value)
                ++end;
        } else {
            end = std::min(view.count, row + size);
        }
        if (end - row > static_cast<size_t>(kMaxSubgroupSize))
            Fail(kBadData,
                 Format(
                     L"Sample %lu (cases %lu to %lu) has %lu cases, more than the %ld a sample "
                     L"may have: does SubgroupVar name the variable that tells the samples apart?",
                     Count(m_samples.size() + 1), Count(row + 1), Count(end), Count(end - row),
                     kMaxSubgroupSize));
        m_samples.push_back(Sample{static_cast<uint32_t>(row), static_cast<uint32_t>(end - row), 0,
                                   0, std::nan(""), std::nan(""), std::nan("")});
        row = end;
    }
    m_samples.shrink_to_fit();
}

void ChartModel::Measure(const TableView& view) {
    const Cell* cells = view.table->At(m_options.observationColumn).cells.data() + view.first;
    double previous = kMissing;
    std::vector<double> window(
        m_dispersion == Dispersion::kMovingStdDev ? static_cast<size_t>(m_options.span) : 0,
        kMissing);
    for (size_t index = 0; index < m_samples.size(); ++index) {
        Sample& s = m_samples[index];
        double sum = 0, low = HUGE_VAL, high = -HUGE_VAL;
        for (uint32_t i = 0; i < s.rows; ++i) {
            double v = cell::Number(cells[s.firstRow + i]);
            if (std::isnan(v))
                continue;
            ++s.n;
            sum += v;
            low = std::min(low, v);
            high = std::max(high, v);
        }
        s.x = s.n ? sum / s.n : kMissing;
        if (m_dispersion == Dispersion::kMovingRange) {
            s.r = std::fabs(s.x - previous); // NaN for the first and next to a missing one
            s.m = 2;
            previous = s.x;
        } else if (m_dispersion == Dispersion::kMovingStdDev) {
            MovingStdDev(s, window, index);
        } else if (s.n < 2) {
            s.r = kMissing;
        } else if (m_dispersion == Dispersion::kRange) {
            s.r = high - low;
            s.m = s.n;
        } else {
            double squares = 0;
            for (uint32_t i = 0; i < s.rows; ++i) {
                double v = cell::Number(cells[s.firstRow + i]);
                if (!std::isnan(v))
                    squares += (v - s.x) * (v - s.x);
            }
            double variance = squares / (s.n - 1);
            s.r = m_dispersion == Dispersion::kVariance ? variance : std::sqrt(variance);
            s.m = s.n;
        }
    }
}

// The standard deviation of the observations among the last `span` samples (fewer at the start;
// a missing observation drops out of its window).
void ChartModel::MovingStdDev(Sample& s, std::vector<double>& window, size_t index) const {
    window[index % window.size()] = s.x;
    double sum = 0, squares = 0;
    uint32_t count = 0;
    for (double v : window)
        if (!std::isnan(v))
            sum += v, ++count;
    for (double v : window)
        if (!std::isnan(v))
            squares += (v - sum / count) * (v - sum / count);
    s.m = count;
    s.r = count >= 2 ? std::sqrt(squares / (count - 1)) : kMissing;
}

const SizeConstants& ChartModel::ConstantsFor(uint32_t m) {
    if (m_constants.size() <= m)
        m_constants.resize(m + 1, SizeConstants{kMissing, {}, {}});
    SizeConstants& c = m_constants[m];
    if (!std::isnan(c.center))
        return c;
    auto band = [](double center, double spread, double k) {
        return Limits{std::max(0.0, center - k * spread), center + k * spread};
    };
    if (m_dispersion == Dispersion::kVariance) {
        // Probability limits: the normal tail areas beyond the bands' sigmas, each side.
        const double df = m - 1.0;
        auto probability = [df](double k) {
            return Limits{ChiSquareQuantile(NormalCdf(-k), df) / df,
                          ChiSquareQuantile(NormalCdf(k), df) / df};
        };
        c = SizeConstants{1.0, probability(Sigmas(Band::kControl)),
                          probability(Sigmas(Band::kWarning))};
    } else if (m_dispersion == Dispersion::kStdDev || m_dispersion == Dispersion::kMovingStdDev) {
        double c4 = ComputeC4(m), spread = std::sqrt(1.0 - c4 * c4);
        c = SizeConstants{c4, band(c4, spread, Sigmas(Band::kControl)),
                          band(c4, spread, Sigmas(Band::kWarning))};
    } else {
        double d2 = ComputeD2(m), d3 = ComputeD3(m);
        c = SizeConstants{d2, band(d2, d3, Sigmas(Band::kControl)),
                          band(d2, d3, Sigmas(Band::kWarning))};
    }
    return c;
}

void ChartModel::Estimate() {
    size_t phaseI = m_samples.size();
    if (m_options.phaseISamples > 0)
        phaseI = std::min(phaseI, static_cast<size_t>(m_options.phaseISamples));
    double sum = 0, spread = 0;
    size_t observations = 0, estimates = 0;
    for (size_t i = 0; i < phaseI; ++i) {
        const Sample& s = m_samples[i];
        if (s.n) {
            sum += s.x * s.n;
            observations += s.n;
        }
        if (s.m >= 2 && !std::isnan(s.r)) {
            spread += s.r / ConstantsFor(s.m).center;
            ++estimates;
        }
    }
    if (observations == 0)
        Fail(kBadData, Format(L"The first %lu samples (phase I) hold no numeric observations",
                              Count(phaseI)));
    if (estimates == 0)
        Fail(kBadData,
             Format(L"The first %lu samples (phase I) give no estimate of the process "
                    L"spread: they need two or more observations in a sample%ls",
                    Count(phaseI), m_dispersion == Dispersion::kMovingRange ? L" pair" : L""));
    m_phaseI = phaseI;
    m_center = sum / observations;
    // The mean of the variances estimates sigma^2 without bias; the other statistics estimate
    // sigma through their expected value in units of sigma.
    m_rScale = spread / estimates;
    m_sigma = m_dispersion == Dispersion::kVariance ? std::sqrt(m_rScale) : m_rScale;
    // Every size in the chart gets its constants now, so that the limits are plain lookups.
    for (const Sample& s : m_samples)
        if (s.m >= 2)
            ConstantsFor(s.m);
}

// The X measure of the time-weighted charts from the sample means, and the standard error of
// every X measure.
void ChartModel::Smooth() {
    const ChartOptions& o = m_options;
    const bool moving = o.chartType == kMovingAverageR || o.chartType == kMovingAverageS;
    const bool ewma = o.chartType == kEwmaR || o.chartType == kEwmaS;
    // The last `span` sample means and the reciprocals of their sizes, for the moving average.
    std::vector<double> means(moving ? static_cast<size_t>(o.span) : 0, kMissing);
    std::vector<double> reciprocals(means.size(), 0.0);
    double z = m_center, decay = 1, upper = 0, lower = 0;
    for (size_t i = 0; i < m_samples.size(); ++i) {
        Sample& s = m_samples[i];
        double error = s.n ? m_sigma / std::sqrt(static_cast<double>(s.n)) : kMissing;
        if (moving) {
            means[i % means.size()] = s.x;
            reciprocals[i % means.size()] = s.n ? 1.0 / s.n : 0.0;
            double sum = 0, reciprocal = 0;
            long averaged = 0;
            for (size_t j = 0; j < means.size(); ++j)
                if (!std::isnan(means[j]))
                    sum += means[j], reciprocal += reciprocals[j], ++averaged;
            // The variance of a mean of w means is sigma^2 (sum of 1/n) / w^2.
            if (s.n) {
                s.x = sum / averaged;
                error = m_sigma * std::sqrt(reciprocal) / averaged;
            }
        } else if (ewma) {
            decay *= (1 - o.lambda) * (1 - o.lambda);
            if (s.n)
                s.x = z = o.lambda * s.x + (1 - o.lambda) * z;
            error *= std::sqrt(o.lambda / (2 - o.lambda) * (1 - decay));
        } else if (o.chartType == kCusum) {
            if (s.n) {
                double standard = (s.x - m_center) / error;
                upper = std::max(0.0, upper + standard - o.cusumK);
                lower = std::max(0.0, lower - standard - o.cusumK);
                s.x = upper >= lower ? upper : -lower;
            }
            m_cusum.push_back(s.n ? Limits{lower, upper} : Limits{kMissing, kMissing});
            error = o.cusumH / 3; // the runs tests' zones split the decision interval
            s.r = kMissing;
            s.m = 0;
        }
        s.xError = error;
    }
    if (o.chartType == kCusum) {
        m_center = 0;
        m_dispersion = Dispersion::kNone;
    }
}

void ChartModel::CountAttributes(const TableView& view) {
    const ChartOptions& o = m_options;
    const long type = o.chartType;
    const Cell* counts = view.table->At(static_cast<size_t>(o.countColumn)).cells.data();
    const Cell* sizes = o.sizeColumn >= 0
                            ? view.table->At(static_cast<size_t>(o.sizeColumn)).cells.data()
                            : nullptr;
    double onlySize = kMissing;
    // False for a case without a count or size: a sample without a measure.
    auto read = [&](size_t row, double& count, double& size) {
        count = cell::Number(counts[view.first + row]);
        size = sizes ? cell::Number(sizes[view.first + row]) : 1.0;
        if (std::isnan(count) || std::isnan(size))
            return false;
        if (count < 0 || size <= 0 || (type >= kPChart && count > size))
            Fail(kBadData,
                 Format(L"Case %lu has the count %ls and the size %ls; counts must be "
                        L"0 or more, sizes above 0%ls",
                        Count(row + 1), FormatGeneral(count).c_str(), FormatGeneral(size).c_str(),
                        type >= kPChart ? L", and no count above its size" : L""));
        if (type == kNpChart && std::isnan(onlySize))
            onlySize = size;
        if (type == kNpChart && size != onlySize)
            Fail(kBadData, Format(L"Case %lu has the size %ls, another than the %ls before: an "
                                  L"Np chart needs one sample size (a P chart takes any)",
                                  Count(row + 1), FormatGeneral(size).c_str(),
                                  FormatGeneral(onlySize).c_str()));
        return true;
    };
    size_t phaseI = view.count;
    if (o.phaseISamples > 0)
        phaseI = std::min(phaseI, static_cast<size_t>(o.phaseISamples));
    double countSum = 0, sizeSum = 0, count = 0, size = 0;
    size_t measured = 0;
    for (size_t row = 0; row < phaseI; ++row)
        if (read(row, count, size))
            countSum += count, sizeSum += size, ++measured;
    if (measured == 0)
        Fail(kBadData, Format(L"The first %lu samples (phase I) hold no counts", Count(phaseI)));
    // The sigma of one count (C, Np) or of one unit's count or fraction (U, P).
    double rate = countSum / sizeSum;
    m_center = type == kCChart ? countSum / measured : type == kNpChart ? onlySize * rate : rate;
    m_sigma = std::sqrt(type == kCChart || type == kUChart ? m_center
                        : type == kPChart                  ? rate * (1 - rate)
                                                           : m_center * (1 - rate));
    m_phaseI = phaseI;
    m_samples.reserve(view.count);
    for (size_t row = 0; row < view.count; ++row) {
        bool measure = read(row, count, size);
        bool perUnit = type == kUChart || type == kPChart;
        m_samples.push_back(Sample{static_cast<uint32_t>(row), 1, measure ? 1u : 0u, 0,
                                   !measure  ? kMissing
                                   : perUnit ? count / size
                                             : count,
                                   kMissing,
                                   !measure  ? kMissing
                                   : perUnit ? m_sigma / std::sqrt(size)
                                             : m_sigma});
    }
}

// One sample per category, in the order of their counts (ties in the order they first appear):
// the sample's first row is the category's first case, `rows` and `n` its cases.
void ChartModel::RankCategories(const TableView& view) {
    const ChartOptions& o = m_options;
    const Cell* categories =
        view.table->At(static_cast<size_t>(o.categoryColumn)).cells.data() + view.first;
    const Cell* counts =
        o.countColumn >= 0
            ? view.table->At(static_cast<size_t>(o.countColumn)).cells.data() + view.first
            : nullptr;
    std::unordered_map<Cell, uint32_t> index; // equal texts share their cell
    for (size_t row = 0; row < view.count; ++row) {
        double count = counts ? cell::Number(counts[row]) : 1.0;
        if (cell::IsEmpty(categories[row]) || std::isnan(count))
            continue;
        if (count < 0)
            Fail(kBadData, Format(L"Case %lu has the count %ls; counts must be 0 or more",
                                  Count(row + 1), FormatGeneral(count).c_str()));
        auto [at, added] = index.try_emplace(categories[row], uint32_t(m_samples.size()));
        if (added)
            m_samples.push_back(
                Sample{static_cast<uint32_t>(row), 0, 0, 0, 0.0, kMissing, kMissing});
        Sample& s = m_samples[at->second];
        ++s.rows, ++s.n, s.x += count;
    }
    if (m_samples.empty())
        Fail(kBadData, L"No case has both a category and a count");
    std::stable_sort(m_samples.begin(), m_samples.end(),
                     [](const Sample& a, const Sample& b) { return a.x > b.x; });
    double total = 0, cumulative = 0;
    for (const Sample& s : m_samples)
        total += s.x;
    for (Sample& s : m_samples)
        s.r = 100 * (cumulative += s.x) / total;
    m_center = m_sigma = kMissing;
}

void ChartModel::FindAbsentLimits() {
    const long type = m_options.chartType;
    for (Band band : {Band::kControl, Band::kWarning}) {
        bool* absent = m_absent[band == Band::kControl ? 0 : 1];
        std::fill(absent, absent + 4, true);
        for (size_t i = 0; i < m_samples.size(); ++i) {
            Limits x = XLimits(i, band), r = RLimits(i, band);
            absent[0] =
                absent[0] && (std::isnan(x.lower) || (IsAttributeChart(type) && x.lower <= 0));
            absent[1] = absent[1] && (std::isnan(x.upper) || (type == kPChart && x.upper >= 1));
            absent[2] = absent[2] && (std::isnan(r.lower) || r.lower <= 0);
            absent[3] = absent[3] && std::isnan(r.upper);
        }
    }
}

Limits ChartModel::XLimits(size_t sample, Band band) const {
    const long type = m_options.chartType;
    if (type == kCusum && band == Band::kControl)
        return Limits{-m_options.cusumH, m_options.cusumH};
    double half = Sigmas(band) * m_samples[sample].xError;
    if (type == kPareto || type == kCusum || std::isnan(half))
        return Limits{kMissing, kMissing};
    Limits limits{m_center - half, m_center + half};
    if (IsAttributeChart(type))
        limits.lower = std::max(0.0, limits.lower);
    if (type == kPChart)
        limits.upper = std::min(1.0, limits.upper);
    return limits;
}

Limits ChartModel::RLimits(size_t sample, Band band) const {
    uint32_t m = m_samples[sample].m;
    if (m_dispersion == Dispersion::kNone || m < 2)
        return Limits{kMissing, kMissing};
    const Limits& factor = band == Band::kControl ? m_constants[m].control : m_constants[m].warning;
    return Limits{factor.lower * m_rScale, factor.upper * m_rScale};
}

double ChartModel::RCenter(size_t sample) const {
    uint32_t m = m_samples[sample].m;
    return m_dispersion == Dispersion::kNone || m < 2 ? kMissing : m_constants[m].center * m_rScale;
}

} // namespace refsrv
