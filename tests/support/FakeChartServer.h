// An in-memory chart server for tests and benchmarks: samples found by label and key, their
// measures and limits, specification limit sets and the absent-limit flags, scripted per
// test; every call recorded in order (ScriptedCalls). It is a connection point container whose
// point for IQCVChartsEvents keeps the advised sinks and raises the chart server's events.
#pragma once

#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "ZAVTools/Automation.h"
#include "support/ChartEvents.h"
#include "support/ComObject.h"
#include "support/ScriptedCalls.h"

namespace zavtest {

class FakeChartServer
    : public ComObject<VELIQCVChartsLib::_IQCVCharts, ISupportErrorInfo, IConnectionPointContainer>,
      public ScriptedCalls {
public:
    struct Limits {
        double lower = 0;
        double upper = 0;
    };
    struct Sample {
        double firstRow = 0; // 0-based spreadsheet row of the sample's first case
        double xMeasure = 0;
        double rMeasure = 0;
        Limits xControl, xWarning, rControl, rWarning;
        long specLimitSet = 0;
    };
    struct SpecLimitSet {
        long type = 0; // 3 and 4 are one-sided
        double lower = 0;
        double upper = 0;
    };
    // Non-zero: that limit is absent (the server's XNoLowerControlLimit and friends).
    struct AbsentLimits {
        long xLowerControl = 0, xUpperControl = 0, rLowerControl = 0, rUpperControl = 0;
        long xLowerWarning = 0, xUpperWarning = 0, rLowerWarning = 0, rUpperWarning = 0;
    };

    // Adds a sample that FindSample finds by (label, key); returns its index. A pair that was
    // never added fails FindSample with E_INVALIDARG.
    long AddSample(const std::wstring& label, const std::wstring& key, double firstRow);

    std::vector<Sample> samples;
    // By set number; an unknown set fails with E_INVALIDARG.
    std::unordered_map<long, SpecLimitSet> specLimitSets;
    AbsentLimits absent;
    long chartType = 0;
    long observationVariable = 0;

    // What the runner switched and launched.
    VARIANT_BOOL sampleOutOfControlEvent = VARIANT_FALSE;
    VARIANT_BOOL sampleOutsideWarningLimitsEvent = VARIANT_FALSE;
    VARIANT_BOOL runsViolationEvent = VARIANT_FALSE;
    VARIANT_BOOL obsOutsideSpecsEvent = VARIANT_FALSE;
    std::vector<long> launches;
    // Called by Launch after it was recorded: the place to raise the run's events.
    std::function<void()> onLaunch;

    // The point for IQCVChartsEvents; the events' chart argument is this server.
    ChartEventsPoint events{this, static_cast<VELIQCVChartsLib::_IQCVCharts*>(this)};
    // Off: the server gives no IConnectionPointContainer.
    bool offersConnectionPoints = true;

    VELIQCVChartsLib::_IQCVChartsPtr Ptr() {
        return VELIQCVChartsLib::_IQCVChartsPtr(static_cast<VELIQCVChartsLib::_IQCVCharts*>(this));
    }

    HRESULT __stdcall raw_ChartType(long* result) override;
    HRESULT __stdcall raw_ObservationVariable(long* result) override;
    HRESULT __stdcall raw_SpecLimitSet(long sample, long* result) override;
    HRESULT __stdcall raw_SampleFirstCase(long sample, double* result) override;
    HRESULT __stdcall raw_Launch(long flags) override;
    HRESULT __stdcall raw_FindSample(BSTR label, BSTR key, long* result) override;
    HRESULT __stdcall put_EnableSampleOutOfControlEvent(VARIANT_BOOL enable) override;
    HRESULT __stdcall put_EnableSampleOutsideWarningLimitsEvent(VARIANT_BOOL enable) override;
    HRESULT __stdcall put_EnableRunsViolationEvent(VARIANT_BOOL enable) override;
    HRESULT __stdcall put_EnableObsOutsideSpecsEvent(VARIANT_BOOL enable) override;
    HRESULT __stdcall raw_SpecLimitType(long set, long* result) override;
    HRESULT __stdcall raw_LowerSpecLimit(long set, double* result) override;
    HRESULT __stdcall raw_UpperSpecLimit(long set, double* result) override;
    HRESULT __stdcall raw_XMeasure(long sample, double* result) override;
    HRESULT __stdcall raw_RMeasure(long sample, double* result) override;
    HRESULT __stdcall raw_XLowerControlLimit(long sample, double* result) override;
    HRESULT __stdcall raw_XUpperControlLimit(long sample, double* result) override;
    HRESULT __stdcall raw_XLowerWarningLimit(long sample, double* result) override;
    HRESULT __stdcall raw_XUpperWarningLimit(long sample, double* result) override;
    HRESULT __stdcall raw_RLowerControlLimit(long sample, double* result) override;
    HRESULT __stdcall raw_RUpperControlLimit(long sample, double* result) override;
    HRESULT __stdcall raw_RLowerWarningLimit(long sample, double* result) override;
    HRESULT __stdcall raw_RUpperWarningLimit(long sample, double* result) override;
    HRESULT __stdcall raw_XNoLowerControlLimit(long* result) override;
    HRESULT __stdcall raw_XNoUpperControlLimit(long* result) override;
    HRESULT __stdcall raw_RNoLowerControlLimit(long* result) override;
    HRESULT __stdcall raw_RNoUpperControlLimit(long* result) override;
    HRESULT __stdcall raw_XNoLowerWarningLimit(long* result) override;
    HRESULT __stdcall raw_XNoUpperWarningLimit(long* result) override;
    HRESULT __stdcall raw_RNoLowerWarningLimit(long* result) override;
    HRESULT __stdcall raw_RNoUpperWarningLimit(long* result) override;

    HRESULT __stdcall InterfaceSupportsErrorInfo(REFIID iid) override;

    HRESULT __stdcall QueryInterface(REFIID iid, void** out) override;
    HRESULT __stdcall EnumConnectionPoints(IEnumConnectionPoints** points) override;
    // Recorded as "FindConnectionPoint()"; only IQCVChartsEvents has a point.
    HRESULT __stdcall FindConnectionPoint(REFIID iid, IConnectionPoint** point) override;

private:
    // Answers a per-sample value after recording the call.
    HRESULT SampleValue(const char* name, long sample, double Sample::*field, double* result);
    HRESULT SampleLimit(const char* name, long sample, Limits Sample::*limits, double Limits::*side,
                        double* result);
    HRESULT SetLimit(const char* name, long set, double SpecLimitSet::*field, double* result);
    HRESULT Flag(const char* name, long AbsentLimits::*field, long* result);
    HRESULT Switch(const char* name, VARIANT_BOOL enable, VARIANT_BOOL& field);
    const Sample* Find(long sample) const;
    const SpecLimitSet* FindSet(long set) const;

    std::unordered_map<std::wstring, long> m_index;
};

} // namespace zavtest
