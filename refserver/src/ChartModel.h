// The computed chart: the samples with their measures, the centre lines and the sigma estimate
// from the phase-I samples, and the control (k sigma, 3 unless the project says otherwise) and
// warning (2 sigma) limits of every sample, which depend on its size (and, for EWMA and moving
// averages, on its place).
//
// Variables charts (sigma from the phase-I samples that have the dispersion statistic):
//   XBar & R, & S, & V square  X: sample mean; R: range, S: sd (n-1), V: variance S^2;
//                              sigma = mean R/d2(n), mean S/c4(n), sqrt(mean S^2)
//   Indiv & MR, & MS           X: observation; MR |X - previous X|, MS the sd of the last
//                              `span` observations; sigma = mean MR/d2(2), mean MS/c4(w)
//   Moving average, EWMA       X: the mean of the last `span` sample means, or
//                              z = lambda mean + (1 - lambda) z-1 from the centre line
//   CuSum                      X: C+ when C+ >= C-, else -C-, of the standardised sample means
// Charts 5 to 9 of single observations take the moving range as their dispersion statistic.
// The X centre line is the mean of the phase-I observations (0 on a CuSum chart). X limits are
// centre +- k times the standard error of the X measure; R limits (d2 +- k d3) sigma, S and MS
// limits (c4 +- k sqrt(1 - c4^2)) sigma, V limits sigma^2 chi2(n-1, tail)/(n-1) with the normal
// tail areas of k sigma. A lower limit below zero is cut to zero.
//
// Attribute charts (one case per sample; n_i its size): C c +- k sqrt(cbar); U u +- k
// sqrt(ubar/n_i); P p +- k sqrt(pbar(1 - pbar)/n_i); Np count +- k sqrt(n pbar(1 - pbar)), with
// the lower limit cut to 0 and P's upper to 1. The Pareto chart has one sample per category,
// most frequent first: X its count, R the cumulative percentage; it has no limits.
//
// A limit cut for every sample, or missing for the chart type, counts as absent.
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
    uint32_t n; // observations that carry a number (a category: its cases)
    uint32_t m; // observations behind the dispersion statistic
    double x;
    double r;
    double xError; // standard error of x, the unit of its limits and the runs tests' zones
};

struct Limits {
    double lower;
    double upper;
};

// The dispersion chart for one statistic size, in units of sigma (of sigma^2 for variances).
struct SizeConstants {
    double center;
    Limits control;
    Limits warning;
};

// The control limits, or the warning limits.
enum class Band { kControl, kWarning };

enum class Dispersion { kRange, kStdDev, kVariance, kMovingRange, kMovingStdDev, kNone };

class ChartModel {
public:
    // Raises a ServerError when the data give no chart.
    ChartModel(const TableView& view, const ChartOptions& options);

    const ChartOptions& Options() const noexcept { return m_options; }
    const std::vector<Sample>& Samples() const noexcept { return m_samples; }
    double Center() const noexcept { return m_center; }
    double Sigma() const noexcept { return m_sigma; }
    size_t PhaseISamples() const noexcept { return m_phaseI; }

    // Standard errors from the centre to the limits of the band.
    double Sigmas(Band band) const noexcept {
        return band == Band::kControl ? m_options.controlSigmas : 2;
    }
    Limits XLimits(size_t sample, Band band) const;
    Limits RLimits(size_t sample, Band band) const;
    double RCenter(size_t sample) const;
    double XSigma(size_t sample) const { return m_samples[sample].xError; }
    // C+ (upper) and C- (lower) of a CuSum chart at the sample.
    Limits Cusum(size_t sample) const { return m_cusum[sample]; }
    // [X lower, X upper, R lower, R upper] absent, for the band.
    bool Absent(int limit, Band band) const noexcept {
        return m_absent[band == Band::kControl ? 0 : 1][limit];
    }

private:
    void Group(const TableView& view);
    void Measure(const TableView& view);
    void MovingStdDev(Sample& s, std::vector<double>& window, size_t index) const;
    void Estimate();
    void Smooth();
    void CountAttributes(const TableView& view);
    void RankCategories(const TableView& view);
    void FindAbsentLimits();
    const SizeConstants& ConstantsFor(uint32_t m);

    ChartOptions m_options;
    Dispersion m_dispersion = Dispersion::kNone;
    std::vector<Sample> m_samples;
    double m_center = 0;
    double m_sigma = 0;
    double m_rScale = 0; // sigma, or sigma^2 for variances
    size_t m_phaseI = 0;
    std::vector<Limits> m_cusum;            // a CuSum chart's sides, by sample
    std::vector<SizeConstants> m_constants; // by statistic size; NaN until needed
    bool m_absent[2][4] = {};               // control, warning
};

} // namespace refsrv
