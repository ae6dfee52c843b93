// The pieces of a chart picture that its parts' renderers share.
#pragma once

#include <string>
#include <vector>

#include "SvgChart.h"

namespace zavrun {

// The Pareto chart's band below the parts (its height depends on whether the names are turned),
// and its summary lines.
double ParetoHeight(const ParetoPart& pareto);
void AppendPareto(std::string& svg, const ParetoPart& pareto, double top);
std::vector<std::string> ParetoSummary(const ParetoPart& pareto);

} // namespace zavrun
