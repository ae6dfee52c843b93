// One machine-readable line per figure of a benchmark, which `./run bench` gathers from every
// benchmark into one table:
//
//   RESULT|what|figure|unit|ratio|baseline
//
// `ratio` is the figure set against `baseline`, a figure of the same kind measured beside it
// (or a fixed floor), and is empty when the figure has none. The fields hold no '|'.
#pragma once

#include <cmath>
#include <cstdio>

namespace zavbench {

inline void PrintResult(const char* what, double figure, const char* unit, double ratio = NAN,
                        const char* baseline = "") {
    const char* format = figure >= 1000 ? "%.0f" : figure >= 10 ? "%.1f" : "%.3g";
    char number[64];
    snprintf(number, sizeof number, format, figure);
    char ratioText[32] = "";
    if (!std::isnan(ratio))
        snprintf(ratioText, sizeof ratioText, "%.2f", ratio);
    printf("RESULT|%s|%s|%s|%s|%s\n", what, number, unit, ratioText, baseline);
    fflush(stdout);
}

} // namespace zavbench
