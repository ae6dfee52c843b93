// The chart options of a QC project, from the QCP file's section [REFSERVER] (and, for the runs
// tests, the library's section [GENERAL]). README.md lists every key.
#pragma once

#include <cmath>
#include <string>

#include "RunsDetector.h"
#include "Table.h"

namespace refsrv {

enum ChartTypeCode : long {
    kXBarR = 0,
    kXBarS = 1,
    kXBarV = 2,
    kIndividuals = 3,
    kIndivMS = 4,
    kMovingAverageR = 5,
    kMovingAverageS = 6,
    kEwmaR = 7,
    kEwmaS = 8,
    kCusum = 9,
    kCChart = 10,
    kUChart = 11,
    kPChart = 12,
    kNpChart = 13,
    kPareto = 14,
};

// Variables charts (0 to 9) chart the observations of ObservationVar; attribute charts (10 to
// 13) a count per case; the Pareto chart (14) ranks the categories of a text variable.
inline bool IsAttributeChart(long type) noexcept {
    return type >= kCChart && type <= kNpChart;
}

// Specification limit types: 0 both limits; 3 no lower limit ("[---, upper]"); 4 no upper
// limit ("[lower, ---]").
enum SpecLimitTypeCode : long { kSpecBoth = 0, kSpecUpperOnly = 3, kSpecLowerOnly = 4 };

struct SpecLimits {
    bool defined = false;
    long type = kSpecBoth;
    double lower = std::nan("");
    double upper = std::nan("");

    bool HasLower() const noexcept { return defined && type != kSpecUpperOnly; }
    bool HasUpper() const noexcept { return defined && type != kSpecLowerOnly; }
};

struct ChartOptions {
    long chartType = kXBarR;
    size_t observationColumn = 0;
    long subgroupSize = 5;
    long subgroupColumn = -1; // consecutive cases with equal values form a sample
    long phaseISamples = 0;   // 0: every sample
    SpecLimits spec;
    RunRules runs;
    bool sampleAddedEvents = false;
    double controlSigmas = 3; // control limits from the centre, in standard errors
    long span = 3;            // moving average and moving standard deviation
    double lambda = 0.2;      // EWMA weight of the newest sample
    double cusumK = 0.5;      // CuSum allowance, in standard errors of the sample mean
    double cusumH = 5;        // CuSum decision interval, likewise
    long countColumn = -1;    // attribute and Pareto charts
    long sizeColumn = -1;     // U, P and Np charts
    long categoryColumn = -1; // Pareto chart
};

// Raises a ServerError naming the file, the key and the problem.
ChartOptions LoadProject(const std::wstring& path, const Table& table);

} // namespace refsrv
