// The chart server of one analysis run: the computed chart behind _IQCVCharts, its event
// connection point, and IRefChart for what the automation interface leaves out.
//
// Samples are indexed from 0 in chart order. A sample's label is its number as the chart shows
// it, from 1 ("1", "2", ...); its key is the displayed value of the subgroup variable on its
// first case when samples are formed by a variable, and otherwise the number of its first case
// in the spreadsheet (1-based). FindSample takes both and gives the index.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <RefServer.h>

#include "ChartModel.h"
#include "ComObject.h"
#include "ConnectionPoint.h"
#include "RunProgress.h"
#include "ServerError.h"

namespace refsrv {

// The four alarm kinds the server raises, in the order of their DISPIDs.
enum AlarmKind { kOutOfControl, kOutsideWarning, kRunsViolation, kObsOutsideSpecs, kAlarmKinds };

// A pattern found by a runs test: the test's code and the samples it spans.
struct RunPattern {
    long test, firstSample, lastSample;
};

class ChartServer
    : public ComObject<VELIQCVChartsLib::_IQCVCharts, IConnectionPointContainer, IRefChart> {
public:
    ChartServer(TableView view, std::shared_ptr<const ChartModel> model,
                std::shared_ptr<RunProgress> progress);

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

    HRESULT __stdcall EnumConnectionPoints(IEnumConnectionPoints** out) override;
    HRESULT __stdcall FindConnectionPoint(REFIID iid, IConnectionPoint** out) override;

    HRESULT __stdcall get_SampleCount(long* count) override;
    HRESULT __stdcall SampleSize(long sample, long* observations) override;
    HRESULT __stdcall SampleLabel(long sample, BSTR* label) override;
    HRESULT __stdcall SampleKey(long sample, BSTR* key) override;
    HRESULT __stdcall XCenterLine(long sample, double* value) override;
    HRESULT __stdcall RCenterLine(long sample, double* value) override;
    HRESULT __stdcall get_Sigma(double* value) override;
    HRESULT __stdcall GetRunStatistics(RefRunStatistics* statistics) override;
    HRESULT __stdcall CusumSides(long sample, double* upper, double* lower) override;
    HRESULT __stdcall get_PhaseISamples(long* count) override;
    HRESULT __stdcall get_RunsViolationCount(long* count) override;
    HRESULT __stdcall RunsViolation(long index, long* test, long* firstSample,
                                    long* lastSample) override;

    const ChartModel& Model() const noexcept { return *m_model; }
    const TableView& View() const noexcept { return m_view; }
    std::wstring Label(size_t sample) const;
    std::wstring Key(size_t sample) const;
    bool Enabled(AlarmKind kind) const noexcept { return m_enabled[kind]; }
    EventConnectionPoint& Point() noexcept { return m_point; }
    RefRunStatistics& Statistics() noexcept { return m_statistics; }
    RunProgress& Progress() noexcept { return *m_progress; }
    std::vector<RunPattern>& RunPatterns() noexcept { return m_runPatterns; }
    void MarkRunning(bool running) noexcept { m_running = running; }

private:
    template <typename Body> HRESULT Call(Body&& body) noexcept {
        return Guard(__uuidof(VELIQCVChartsLib::_IQCVCharts), L"RefServer.ChartServer", body);
    }
    template <typename T, typename Value> HRESULT Give(T* result, Value&& value) noexcept {
        return Call([&] {
            *Out(result) = value();
            return S_OK;
        });
    }
    HRESULT Enable(AlarmKind kind, VARIANT_BOOL enable) noexcept;
    size_t Index(long sample) const;
    void CheckSpecSet(long set) const;

    TableView m_view;
    std::shared_ptr<const ChartModel> m_model;
    EventConnectionPoint m_point;
    bool m_enabled[kAlarmKinds] = {};
    bool m_running = false;
    RefRunStatistics m_statistics{};
    std::shared_ptr<RunProgress> m_progress;
    std::vector<RunPattern> m_runPatterns;
};

} // namespace refsrv
