#include "ChartRun.h"

namespace refsrv {

namespace {

using namespace VELIQCVChartsLib;

bool Outside(double value, const Limits& limits) {
    return value < limits.lower || value > limits.upper;
}

void ClearExcepInfo(EXCEPINFO& info) {
    ::SysFreeString(info.bstrSource);
    ::SysFreeString(info.bstrDescription);
    ::SysFreeString(info.bstrHelpFile);
}

} // namespace

ChartRun::ChartRun(ChartServer& server)
    : m_server(server), m_model(server.Model()), m_chart(static_cast<_IQCVCharts*>(&server)),
      m_statistics(server.Statistics()), m_runs(server.Model().Options().runs) {
    m_server.MarkRunning(true);
}

ChartRun::~ChartRun() {
    m_server.MarkRunning(false);
}

bool ChartRun::Execute() {
    m_statistics = RefRunStatistics{};
    m_statistics.samples = static_cast<long>(m_model.Samples().size());
    m_server.RunPatterns().clear();
    RunProgress& progress = m_server.Progress();
    progress.samples.store(m_statistics.samples, std::memory_order_relaxed);
    progress.samplesWalked.store(0, std::memory_order_relaxed);
    progress.alarmEvents.store(0, std::memory_order_relaxed);
    RaiseProgress(DISPID_RunStarted, 0, false);
    bool cancelled = false;
    for (size_t i = 0; i < m_model.Samples().size(); ++i) {
        if (i > 0 && QueryCancel()) {
            cancelled = true;
            break;
        }
        m_statistics.samplesWalked = static_cast<long>(i + 1);
        if (m_model.Options().sampleAddedEvents)
            RaiseProgress(DISPID_SampleAdded, static_cast<long>(i), true);
        CheckLimits(i);
        CheckRuns(i);
        CheckSpecs(i);
        progress.samplesWalked.store(m_statistics.samplesWalked, std::memory_order_relaxed);
        progress.alarmEvents.store(m_statistics.outOfControlEvents + m_statistics.warningEvents +
                                       m_statistics.runsViolationEvents +
                                       m_statistics.obsOutsideSpecsEvents,
                                   std::memory_order_relaxed);
    }
    m_statistics.cancelled = cancelled;
    RaiseProgress(DISPID_RunCompleted, m_statistics.samplesWalked, true);
    return !cancelled;
}

// A sink that fails, or throws, does not stop the run: the failure is only counted.
void ChartRun::Deliver(DISPID id, DISPPARAMS* params) {
    m_server.Point().Snapshot(m_sinks);
    for (const IDispatchPtr& sink : m_sinks) {
        EXCEPINFO exception{};
        UINT badArgument = 0;
        HRESULT hr = E_FAIL;
        try {
            hr = sink->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, params, nullptr,
                              &exception, &badArgument);
        } catch (...) {
        }
        ClearExcepInfo(exception);
        if (FAILED(hr))
            ++m_statistics.failedSinkCalls;
    }
}

bool ChartRun::QueryCancel() {
    m_server.Point().Snapshot(m_sinks);
    for (const IDispatchPtr& sink : m_sinks) {
        VARIANT_BOOL cancel = VARIANT_FALSE;
        VARIANT argument;
        argument.vt = VT_BYREF | VT_BOOL;
        argument.pboolVal = &cancel;
        DISPPARAMS params{&argument, nullptr, 1, 0};
        HRESULT hr = E_FAIL;
        try {
            hr = sink->Invoke(DISPID_QueryCancel, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD,
                              &params, nullptr, nullptr, nullptr);
        } catch (...) {
        }
        if (FAILED(hr))
            ++m_statistics.failedSinkCalls;
        else if (cancel != VARIANT_FALSE)
            return true;
    }
    return false;
}

void ChartRun::RaiseProgress(DISPID id, long value, bool withValue) {
    if (m_server.Point().Count() == 0)
        return;
    EventArgs args(withValue ? 2 : 1);
    args.SetDispatch(0, m_chart);
    if (withValue)
        args.SetLong(1, value);
    Deliver(id, args.Params());
}

void ChartRun::CheckLimits(size_t i) {
    const Sample& s = m_model.Samples()[i];
    long control = (Outside(s.x, m_model.XLimits(i, Band::kControl)) ? 1 : 0) |
                   (Outside(s.r, m_model.RLimits(i, Band::kControl)) ? 2 : 0);
    long warning = (!(control & 1) && Outside(s.x, m_model.XLimits(i, Band::kWarning)) ? 1 : 0) |
                   (!(control & 2) && Outside(s.r, m_model.RLimits(i, Band::kWarning)) ? 2 : 0);
    if (control && m_server.Enabled(kOutOfControl)) {
        RaiseSampleAlarm(DISPID_SampleOutOfControl, i, control);
        ++m_statistics.outOfControlEvents;
    }
    if (warning && m_server.Enabled(kOutsideWarning)) {
        RaiseSampleAlarm(DISPID_SampleOutsideWarningLimits, i, warning);
        ++m_statistics.warningEvents;
    }
}

void ChartRun::RaiseSampleAlarm(DISPID id, size_t i, long parts) {
    m_labels.assign(1, m_server.Label(i));
    m_keys.assign(1, m_server.Key(i));
    EventArgs args(5);
    args.SetDispatch(0, m_chart);
    args.SetTexts(1, m_labels);
    args.SetTexts(2, m_keys);
    args.SetBool(3, InPhaseI(i));
    args.SetLong(4, parts);
    Deliver(id, args.Params());
}

// The patterns are kept for a host that draws them even when nobody asked for their events.
void ChartRun::CheckRuns(size_t i) {
    const Sample& s = m_model.Samples()[i];
    int hits = m_runs.Add(static_cast<long>(i), s.x, m_model.Center(), m_model.XSigma(i), m_hits);
    for (int h = 0; h < hits; ++h)
        m_server.RunPatterns().push_back({m_hits[h].test, m_hits[h].firstSample, long(i)});
    if (hits == 0 || !m_server.Enabled(kRunsViolation))
        return;
    m_labels.clear();
    m_keys.clear();
    m_lastLabels.assign(hits, m_server.Label(i));
    m_lastKeys.assign(hits, m_server.Key(i));
    m_numbers.clear();
    for (int h = 0; h < hits; ++h) {
        m_labels.push_back(m_server.Label(m_hits[h].firstSample));
        m_keys.push_back(m_server.Key(m_hits[h].firstSample));
        m_numbers.push_back(m_hits[h].test);
    }
    EventArgs args(8);
    args.SetDispatch(0, m_chart);
    args.SetTexts(1, m_labels);
    args.SetTexts(2, m_keys);
    args.SetTexts(3, m_lastLabels);
    args.SetTexts(4, m_lastKeys);
    args.SetLongs(5, m_numbers);
    args.SetBool(6, InPhaseI(i));
    args.SetLong(7, 1); // the runs tests watch the X chart
    Deliver(DISPID_RunsViolation, args.Params());
    ++m_statistics.runsViolationEvents;
}

void ChartRun::CheckSpecs(size_t i) {
    const SpecLimits& spec = m_model.Options().spec;
    if (!spec.defined || !m_server.Enabled(kObsOutsideSpecs))
        return;
    const Sample& s = m_model.Samples()[i];
    const TableView& view = m_server.View();
    const Cell* cells =
        view.table->At(m_model.Options().observationColumn).cells.data() + view.first + s.firstRow;
    m_numbers.clear();
    for (uint32_t row = 0; row < s.rows; ++row) {
        double v = cell::Number(cells[row]);
        if ((spec.HasLower() && v < spec.lower) || (spec.HasUpper() && v > spec.upper))
            m_numbers.push_back(static_cast<long>(row + 1));
    }
    if (m_numbers.empty())
        return;
    m_labels.assign(m_numbers.size(), m_server.Label(i));
    m_keys.assign(m_numbers.size(), m_server.Key(i));
    EventArgs args(6);
    args.SetDispatch(0, m_chart);
    args.SetTexts(1, m_labels);
    args.SetTexts(2, m_keys);
    args.SetLongs(3, m_numbers);
    args.SetBool(4, InPhaseI(i));
    args.SetLong(5, 0); // the specification limit set
    Deliver(DISPID_ObsOutsideSpecs, args.Params());
    ++m_statistics.obsOutsideSpecsEvents;
}

} // namespace refsrv
