#include "ChartModel.h"

#include <algorithm>
#include <cmath>

#include "ChartConstants.h"
#include "ServerError.h"
#include "Text.h"

namespace refsrv {

namespace {

unsigned long Count(size_t value) {
    return static_cast<unsigned long>(value);
}

} // namespace

ChartModel::ChartModel(const TableView& view, const ChartOptions& options) : m_options(options) {
    if (view.count == 0)
        Fail(kBadData, L"The spreadsheet has no cases to chart");
    Group(view);
    Measure(view);
    Estimate();
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
                                   std::nan(""), std::nan("")});
        row = end;
    }
    m_samples.shrink_to_fit();
}

void ChartModel::Measure(const TableView& view) {
    const Cell* cells = view.table->At(m_options.observationColumn).cells.data() + view.first;
    const double missing = std::nan("");
    double previous = missing;
    for (Sample& s : m_samples) {
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
        s.x = s.n ? sum / s.n : missing;
        if (m_options.chartType == kIndividuals) {
            s.r = std::fabs(s.x - previous); // NaN for the first and next to a missing one
            previous = s.x;
        } else if (s.n < 2) {
            s.r = missing;
        } else if (m_options.chartType == kXBarR) {
            s.r = high - low;
        } else {
            double squares = 0;
            for (uint32_t i = 0; i < s.rows; ++i) {
                double v = cell::Number(cells[s.firstRow + i]);
                if (!std::isnan(v))
                    squares += (v - s.x) * (v - s.x);
            }
            s.r = std::sqrt(squares / (s.n - 1));
        }
    }
}

long ChartModel::StatisticSize(const Sample& s) const noexcept {
    return m_options.chartType == kIndividuals ? 2 : static_cast<long>(s.n);
}

const SizeConstants& ChartModel::ConstantsFor(uint32_t n) {
    if (m_constants.size() <= n)
        m_constants.resize(n + 1, SizeConstants{std::nan(""), std::nan("")});
    SizeConstants& c = m_constants[n];
    if (std::isnan(c.center)) {
        if (m_options.chartType == kXBarS) {
            c.center = ComputeC4(n);
            c.spread = std::sqrt(1.0 - c.center * c.center);
        } else {
            c.center = ComputeD2(n);
            c.spread = ComputeD3(n);
        }
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
        long m = StatisticSize(s);
        if (m >= 2 && !std::isnan(s.r)) {
            spread += s.r / ConstantsFor(static_cast<uint32_t>(m)).center;
            ++estimates;
        }
    }
    if (observations == 0)
        Fail(kBadData, Format(L"The first %lu samples (phase I) hold no numeric observations",
                              Count(phaseI)));
    if (estimates == 0)
        Fail(kBadData, Format(L"The first %lu samples (phase I) give no estimate of the process "
                              L"spread: they need two or more observations in a sample%ls",
                              Count(phaseI), m_options.chartType == kIndividuals ? L" pair" : L""));
    m_phaseI = phaseI;
    m_center = sum / observations;
    m_sigma = spread / estimates;
    // Every size in the chart gets its constants now, so that the limits are plain lookups.
    for (const Sample& s : m_samples) {
        long m = StatisticSize(s);
        if (m < 2)
            continue;
        const SizeConstants& c = ConstantsFor(static_cast<uint32_t>(m));
        m_rNoLower3 = m_rNoLower3 && c.center - 3 * c.spread <= 0;
        m_rNoLower2 = m_rNoLower2 && c.center - 2 * c.spread <= 0;
    }
}

double ChartModel::XSigma(size_t sample) const {
    const Sample& s = m_samples[sample];
    return s.n ? m_sigma / std::sqrt(static_cast<double>(s.n)) : std::nan("");
}

Limits ChartModel::XLimits(size_t sample, double k) const {
    double half = k * XSigma(sample);
    return Limits{m_center - half, m_center + half};
}

Limits ChartModel::RLimits(size_t sample, double k) const {
    long m = StatisticSize(m_samples[sample]);
    if (m < 2)
        return Limits{std::nan(""), std::nan("")};
    const SizeConstants& c = m_constants[m];
    return Limits{std::max(0.0, (c.center - k * c.spread) * m_sigma),
                  (c.center + k * c.spread) * m_sigma};
}

double ChartModel::RCenter(size_t sample) const {
    long m = StatisticSize(m_samples[sample]);
    return m < 2 ? std::nan("") : m_constants[m].center * m_sigma;
}

} // namespace refsrv
