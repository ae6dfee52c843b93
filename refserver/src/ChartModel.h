// The computed chart: the samples with their measures, the centre lines and the sigma estimate
// from the phase-I samples, and the control (3 sigma) and warning (2 sigma) limits of every
// sample, which depend on its size.
//
//   XBar & R   X: mean of the sample;  R: its range;    sigma = mean of R/d2(n)
//   XBar & S   X: mean of the sample;  S: its standard deviation (n-1); sigma = mean of S/c4(n)
//   Indiv & MR X: the observation;     R: |X - previous X| (none for the first); sigma =
//   MRbar/d2(2)
// over the phase-I samples that have the statistic. The X centre line is the mean of the
// phase-I observations. X limits are centre +- k sigma/sqrt(n); R limits (d2 +- k d3) sigma
// around d2 sigma, S limits (c4 +- k sqrt(1 - c4^2)) sigma around c4 sigma, a lower limit below
// zero being cut to zero. A lower R limit that is cut for every sample size in the chart counts
// as absent.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "Project.h"
#include "Table.h"

namespace refsrv {

struct Sample {
    uint32_t firstRow; // within the view
    uint32_t rows;
    uint32_t n; // observations that carry a number
    double x;
    double r;
};

struct Limits {
    double lower;
    double upper;
};

struct SizeConstants {
    double center; // of the R (or S, or MR) chart, in units of sigma
    double spread; // sd of the statistic, in units of sigma
};

class ChartModel {
public:
    // Raises a ServerError when the data give no chart.
    ChartModel(const TableView& view, const ChartOptions& options);

    const ChartOptions& Options() const noexcept { return m_options; }
    const std::vector<Sample>& Samples() const noexcept { return m_samples; }
    double Center() const noexcept { return m_center; }
    double Sigma() const noexcept { return m_sigma; }
    size_t PhaseISamples() const noexcept { return m_phaseI; }

    // k = 3 for control limits, 2 for warning limits.
    Limits XLimits(size_t sample, double k) const;
    Limits RLimits(size_t sample, double k) const;
    double RCenter(size_t sample) const;
    // The sigma of the sample's X measure, the unit of the runs tests' zones.
    double XSigma(size_t sample) const;
    bool RLowerAbsent(double k) const noexcept { return k >= 3 ? m_rNoLower3 : m_rNoLower2; }

private:
    void Group(const TableView& view);
    void Measure(const TableView& view);
    void Estimate();
    const SizeConstants& ConstantsFor(uint32_t n);
    long StatisticSize(const Sample& s) const noexcept;

    ChartOptions m_options;
    std::vector<Sample> m_samples;
    double m_center = 0;
    double m_sigma = 0;
    size_t m_phaseI = 0;
    std::vector<SizeConstants> m_constants; // by subgroup size; NaN until needed
    bool m_rNoLower3 = true;
    bool m_rNoLower2 = true;
};

} // namespace refsrv
