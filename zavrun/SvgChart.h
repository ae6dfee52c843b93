// A control chart as an SVG picture that a quality engineer reads at a glance: the points, the
// centre line and the limits labelled with their values, phase I set apart, the samples that
// signal marked by kind, sample labels and round axis values, a legend and a summary.
#pragma once

#include <cmath>
#include <functional>
#include <string>
#include <vector>

namespace zavrun {

// A pattern of a runs test on the X part: the test's code (0 to 6) and the samples it spans.
struct RunsMark {
    long test;
    size_t first, last;
};

// One chart part (the X chart or the dispersion chart): a value per sample and the lines drawn
// against it. A NaN limit is absent at that sample.
struct ChartPart {
    std::string name; // what the part shows: "XBar", "R", "EWMA", "P (fraction nonconforming)"...
    std::vector<double> values, center, lowerControl, upperControl, lowerWarning, upperWarning;
    // A second series on the same scale, empty when there is none: a CuSum chart's lower side,
    // drawn as -C- below zero while `values` holds C+ above it.
    std::vector<double> lowerSide;
    // The names of the control limits at their right-hand end ("UCL", or "+H" on a CuSum chart).
    std::string upperName = "UCL", lowerName = "LCL";
    std::vector<RunsMark> runs;
    // Drawn as lines on a part whose points are observations, given as a note on the others.
    double lowerSpec = NAN, upperSpec = NAN;
    bool specLines = false;
};

// A Pareto chart: the categories' counts as bars, most frequent first, and the cumulative
// percentage as a line against a right-hand axis of 0 to 100%.
struct ParetoPart {
    std::vector<std::string> categories;
    std::vector<double> counts, cumulativePercent;
};

struct ChartPicture {
    std::string title;
    std::vector<ChartPart> parts; // drawn one above the other
    ParetoPart pareto;            // drawn below the parts when it has categories
    size_t phaseI = 0;            // the first samples, which estimated the centre and limits
    double sigma = NAN;           // the process standard deviation from phase I
    // The sample's identity as the alarm records give it; empty text falls back to its number.
    std::function<std::string(size_t sample)> identity;
    // Samples that get an element with the id `anchorPrefix` + "s" + index, so that a page can
    // link to them (a report's alarm rows); the band it draws shows when it is the target.
    std::string anchorPrefix;
    std::vector<size_t> anchors;
};

// The names of the runs tests by code, as the legend and the summary give them.
extern const char* const kRunsTestNames[7];

// Long runs are drawn as one vertical stroke per pixel column (the range of the points that
// fall into it) with at most one signal marker of each kind per column, so the picture stays
// readable and small whatever the number of samples.
std::string RenderSvg(const ChartPicture& picture);

} // namespace zavrun
