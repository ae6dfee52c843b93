// The picture of a computed chart, read from the reference server's chart server.
#pragma once

#include <string>

#include <RefServer.h>

#include "SvgChart.h"

namespace zavrun {

// The X part and the dispersion part of the chart with their centre lines and limits; points
// outside the control limits are marked as alarms.
ChartPicture ReadChartPicture(const VELIQCVChartsLib::_IQCVChartsPtr& chart,
                              const std::string& title);

} // namespace zavrun
