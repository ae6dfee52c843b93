// The picture of a computed chart, read from the reference server's chart server.
#pragma once

#include <string>

#include <RefServer.h>

#include "SvgChart.h"

namespace zavrun {

// The X part and the dispersion part of the chart with their centre lines and limits, the runs
// patterns and specification limits, phase I and sigma; or the Pareto chart's ranking. The
// samples' identities and the anchors are the caller's to add.
ChartPicture ReadChartPicture(const VELIQCVChartsLib::_IQCVChartsPtr& chart,
                              const std::string& title);

} // namespace zavrun
