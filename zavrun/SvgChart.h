// A control chart as an SVG picture: the points, the centre line, the control and warning
// limits, and the samples that raised alarms, for people who would rather look than read.
#pragma once

#include <string>
#include <vector>

namespace zavrun {

// One chart part (the X chart or the R chart): a value per sample and the lines drawn against
// it. A NaN limit is absent at that sample.
struct ChartPart {
    std::string name; // "X" or "R"
    std::vector<double> values, center, lowerControl, upperControl, lowerWarning, upperWarning;
    std::vector<bool> alarm; // marked in red
};

struct ChartPicture {
    std::string title;
    std::vector<ChartPart> parts; // drawn one above the other
};

// Long runs are drawn as one vertical stroke per pixel column (the range of the points that
// fall into it), so the file stays small whatever the number of samples.
std::string RenderSvg(const ChartPicture& picture);

} // namespace zavrun
