// A control chart as an SVG picture: the points, the centre line, the control and warning
// limits, and the samples that raised alarms, for people who would rather look than read.
#pragma once

#include <string>
#include <vector>

namespace zavrun {

// One chart part (the X chart or the dispersion chart): a value per sample and the lines drawn
// against it. A NaN limit is absent at that sample.
struct ChartPart {
    std::string name; // what the part shows: "XBar", "R", "EWMA", "P (fraction nonconforming)"...
    std::vector<double> values, center, lowerControl, upperControl, lowerWarning, upperWarning;
    std::vector<bool> alarm; // marked in red
    // A second series on the same scale, empty when there is none: a CuSum chart's lower side,
    // drawn as -C- below zero while `values` holds C+ above it.
    std::vector<double> lowerSide;
    // The names of the control limits at their right-hand end ("UCL", or "+H" on a CuSum chart).
    std::string upperName = "UCL", lowerName = "LCL";
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
};

// Long runs are drawn as one vertical stroke per pixel column (the range of the points that
// fall into it), so the file stays small whatever the number of samples.
std::string RenderSvg(const ChartPicture& picture);

} // namespace zavrun
