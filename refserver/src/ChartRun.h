// One Launch of the chart server: the samples in chart order, each with its alarm events, and
// the sinks' cancel query between samples.
//
// Per sample, in this order, each only when switched on and when the sample has something to
// report: SampleAdded (5, only with the project option SampleAddedEvents), SampleOutOfControl
// (1), SampleOutsideWarningLimits (2), RunsViolation (3, one element per runs test that fires at
// the sample), ObsOutsideSpecs (4, one element per observation outside the
// specification limits). Out-of-control and warning events carry one sample, with the chart parts
// (1 X, 2 R) that it violates; a part outside its control limits is not reported again as outside
// its warning limits. RunStarted (7) comes first and RunCompleted (8) last.
#pragma once

#include <vector>

#include "ChartServer.h"
#include "EventArgs.h"
#include "RunsDetector.h"

namespace refsrv {

class ChartRun {
public:
    explicit ChartRun(ChartServer& server);
    ~ChartRun();
    ChartRun(const ChartRun&) = delete;
    ChartRun& operator=(const ChartRun&) = delete;

    // False when a sink's answer to QueryCancel stopped the run.
    bool Execute();

private:
    void Deliver(DISPID id, DISPPARAMS* params);
    bool QueryCancel();
    void RaiseProgress(DISPID id, long value, bool withValue);
    void CheckLimits(size_t sample);
    void CheckRuns(size_t sample);
    void CheckSpecs(size_t sample);
    void RaiseSampleAlarm(DISPID id, size_t sample, long parts);
    bool InPhaseI(size_t sample) const { return sample < m_model.PhaseISamples(); }

    ChartServer& m_server;
    const ChartModel& m_model;
    IDispatch* m_chart;
    RefRunStatistics& m_statistics;
    RunsDetector m_runs;
    RunHit m_hits[RunsDetector::kTests];
    // Kept across events so that a sample without alarms allocates nothing.
    std::vector<IDispatchPtr> m_sinks;
    std::vector<std::wstring> m_labels, m_keys, m_lastLabels, m_lastKeys;
    std::vector<long> m_numbers;
};

} // namespace refsrv
