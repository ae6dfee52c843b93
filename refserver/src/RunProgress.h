// How far a chart's Launch has come, shared by the application with every chart server it makes
// so that a host may show progress from another thread while its own thread runs the chart.
#pragma once

#include <atomic>

namespace refsrv {

struct RunProgress {
    std::atomic<long> samples{0};
    std::atomic<long> samplesWalked{0};
    std::atomic<long> alarmEvents{0};
};

} // namespace refsrv
