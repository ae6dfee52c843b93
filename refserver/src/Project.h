// The chart options of a QC project, from the QCP file's section [REFSERVER] (and, for the runs
// tests, the library's section [GENERAL]). README.md lists every key.
#pragma once

#include <cmath>
#include <string>

#include "RunsDetector.h"
#include "Table.h"

namespace refsrv {

enum ChartTypeCode : long { kXBarR = 0, kXBarS = 1, kIndividuals = 3 };

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
};

// Raises a ServerError naming the file, the key and the problem.
ChartOptions LoadProject(const std::wstring& path, const Table& table);

} // namespace refsrv
