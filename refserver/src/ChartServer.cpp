#include "ChartServer.h"

#include <cmath>

#include "ChartRun.h"
#include "ServerError.h"
#include "Text.h"

namespace refsrv {

ChartServer::ChartServer(TableView view, std::shared_ptr<const ChartModel> model,
                         std::shared_ptr<RunProgress> progress)
    : m_view(std::move(view)), m_model(std::move(model)), m_point(this),
      m_progress(progress ? std::move(progress) : std::make_shared<RunProgress>()) {
    m_statistics.samples = static_cast<long>(m_model->Samples().size());
}

size_t ChartServer::Index(long sample) const {
    long count = static_cast<long>(m_model->Samples().size());
    if (sample < 0 || sample >= count)
        Fail(DISP_E_BADINDEX,
             Format(L"Sample index %ld does not exist; the chart has the samples 0 to %ld", sample,
                    count - 1));
    return static_cast<size_t>(sample);
}

std::wstring ChartServer::Label(size_t sample) const {
    return std::to_wstring(sample + 1);
}

std::wstring ChartServer::Key(size_t sample) const {
    const Sample& s = m_model->Samples()[sample];
    const ChartOptions& o = m_model->Options();
    long column = o.chartType == kPareto ? o.categoryColumn : o.subgroupColumn;
    if (column < 0)
        return std::to_wstring(s.firstRow + 1);
    return m_view.table->Display(m_view.first + s.firstRow, static_cast<size_t>(column));
}

HRESULT ChartServer::raw_ChartType(long* result) {
    return Give(result, [&] { return m_model->Options().chartType; });
}

HRESULT ChartServer::raw_ObservationVariable(long* result) {
    return Give(result,
                [&] { return static_cast<long>(m_model->Options().observationColumn + 1); });
}

HRESULT ChartServer::raw_SpecLimitSet(long sample, long* result) {
    // One set of specification limits serves every sample: set 0, or -1 when there is none.
    return Give(result, [&] {
        Index(sample);
        return m_model->Options().spec.defined ? 0L : -1L;
    });
}

HRESULT ChartServer::raw_SampleFirstCase(long sample, double* result) {
    return Give(result, [&] { return double(m_model->Samples()[Index(sample)].firstRow); });
}

HRESULT ChartServer::raw_Launch(long flags) {
    return Call([&] {
        if (flags != 0)
            Fail(E_INVALIDARG, Format(L"Launch takes the flags 0, not %ld", flags));
        if (m_running)
            Fail(E_UNEXPECTED, L"The chart is already running: Launch was called from an event");
        return ChartRun(*this).Execute() ? S_OK : S_FALSE;
    });
}

HRESULT ChartServer::raw_FindSample(BSTR label, BSTR key, long* result) {
    return Call([&] {
        *Out(result) = -1;
        long number = 0;
        size_t count = m_model->Samples().size();
        if (ParseLong(ViewOf(label), number) && number >= 1 &&
            static_cast<size_t>(number) <= count && Key(number - 1) == ViewOf(key)) {
            *result = number - 1;
            return S_OK;
        }
        Fail(DISP_E_BADINDEX,
             Format(L"No sample has the label \"%ls\" and the key \"%ls\"",
                    std::wstring(ViewOf(label)).c_str(), std::wstring(ViewOf(key)).c_str()));
    });
}

HRESULT ChartServer::Enable(AlarmKind kind, VARIANT_BOOL enable) noexcept {
    m_enabled[kind] = enable != VARIANT_FALSE;
    return S_OK;
}

HRESULT ChartServer::put_EnableSampleOutOfControlEvent(VARIANT_BOOL enable) {
    return Enable(kOutOfControl, enable);
}
HRESULT ChartServer::put_EnableSampleOutsideWarningLimitsEvent(VARIANT_BOOL enable) {
    return Enable(kOutsideWarning, enable);
}
HRESULT ChartServer::put_EnableRunsViolationEvent(VARIANT_BOOL enable) {
    return Enable(kRunsViolation, enable);
}
HRESULT ChartServer::put_EnableObsOutsideSpecsEvent(VARIANT_BOOL enable) {
    return Enable(kObsOutsideSpecs, enable);
}

void ChartServer::CheckSpecSet(long set) const {
    if (set != 0 || !m_model->Options().spec.defined)
        Fail(DISP_E_BADINDEX, Format(L"Specification limit set %ld does not exist; %ls", set,
                                     m_model->Options().spec.defined
                                         ? L"the chart has only set 0"
                                         : L"the project gives no specification limits"));
}

HRESULT ChartServer::raw_SpecLimitType(long set, long* result) {
    return Give(result, [&] {
        CheckSpecSet(set);
        return m_model->Options().spec.type;
    });
}

HRESULT ChartServer::raw_LowerSpecLimit(long set, double* result) {
    return Give(result, [&] {
        CheckSpecSet(set);
        return m_model->Options().spec.lower;
    });
}

HRESULT ChartServer::raw_UpperSpecLimit(long set, double* result) {
    return Give(result, [&] {
        CheckSpecSet(set);
        return m_model->Options().spec.upper;
    });
}

HRESULT ChartServer::raw_XMeasure(long sample, double* result) {
    return Give(result, [&] { return m_model->Samples()[Index(sample)].x; });
}
HRESULT ChartServer::raw_RMeasure(long sample, double* result) {
    return Give(result, [&] { return m_model->Samples()[Index(sample)].r; });
}
HRESULT ChartServer::raw_XLowerControlLimit(long sample, double* result) {
    return Give(result, [&] { return m_model->XLimits(Index(sample), Band::kControl).lower; });
}
HRESULT ChartServer::raw_XUpperControlLimit(long sample, double* result) {
    return Give(result, [&] { return m_model->XLimits(Index(sample), Band::kControl).upper; });
}
HRESULT ChartServer::raw_XLowerWarningLimit(long sample, double* result) {
    return Give(result, [&] { return m_model->XLimits(Index(sample), Band::kWarning).lower; });
}
HRESULT ChartServer::raw_XUpperWarningLimit(long sample, double* result) {
    return Give(result, [&] { return m_model->XLimits(Index(sample), Band::kWarning).upper; });
}
HRESULT ChartServer::raw_RLowerControlLimit(long sample, double* result) {
    return Give(result, [&] { return m_model->RLimits(Index(sample), Band::kControl).lower; });
}
HRESULT ChartServer::raw_RUpperControlLimit(long sample, double* result) {
    return Give(result, [&] { return m_model->RLimits(Index(sample), Band::kControl).upper; });
}
HRESULT ChartServer::raw_RLowerWarningLimit(long sample, double* result) {
    return Give(result, [&] { return m_model->RLimits(Index(sample), Band::kWarning).lower; });
}
HRESULT ChartServer::raw_RUpperWarningLimit(long sample, double* result) {
    return Give(result, [&] { return m_model->RLimits(Index(sample), Band::kWarning).upper; });
}

// A limit is absent when the chart type has none, or when it is cut to its bound (zero, or one
// for a fraction) for every sample.
HRESULT ChartServer::raw_XNoLowerControlLimit(long* result) {
    return Give(result, [&] { return long(m_model->Absent(0, Band::kControl)); });
}
HRESULT ChartServer::raw_XNoUpperControlLimit(long* result) {
    return Give(result, [&] { return long(m_model->Absent(1, Band::kControl)); });
}
HRESULT ChartServer::raw_RNoLowerControlLimit(long* result) {
    return Give(result, [&] { return long(m_model->Absent(2, Band::kControl)); });
}
HRESULT ChartServer::raw_RNoUpperControlLimit(long* result) {
    return Give(result, [&] { return long(m_model->Absent(3, Band::kControl)); });
}
HRESULT ChartServer::raw_XNoLowerWarningLimit(long* result) {
    return Give(result, [&] { return long(m_model->Absent(0, Band::kWarning)); });
}
HRESULT ChartServer::raw_XNoUpperWarningLimit(long* result) {
    return Give(result, [&] { return long(m_model->Absent(1, Band::kWarning)); });
}
HRESULT ChartServer::raw_RNoLowerWarningLimit(long* result) {
    return Give(result, [&] { return long(m_model->Absent(2, Band::kWarning)); });
}
HRESULT ChartServer::raw_RNoUpperWarningLimit(long* result) {
    return Give(result, [&] { return long(m_model->Absent(3, Band::kWarning)); });
}

HRESULT ChartServer::EnumConnectionPoints(IEnumConnectionPoints** out) {
    return Call([&] {
        *Out(out) = nullptr;
        std::vector<IConnectionPointPtr> points{IConnectionPointPtr(&m_point)};
        MakeObject<Enumerator<IEnumConnectionPoints, IConnectionPoint*, IConnectionPointPtr>>(
            std::move(points))
            .CopyTo(out);
        return S_OK;
    });
}

HRESULT ChartServer::FindConnectionPoint(REFIID iid, IConnectionPoint** out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (iid != __uuidof(VELIQCVChartsLib::IQCVChartsEvents))
        return CONNECT_E_NOCONNECTION;
    *out = &m_point;
    m_point.AddRef();
    return S_OK;
}

HRESULT ChartServer::get_SampleCount(long* count) {
    return Give(count, [&] { return static_cast<long>(m_model->Samples().size()); });
}
HRESULT ChartServer::SampleSize(long sample, long* observations) {
    return Give(observations,
                [&] { return static_cast<long>(m_model->Samples()[Index(sample)].n); });
}
HRESULT ChartServer::SampleLabel(long sample, BSTR* label) {
    return Call([&] {
        *Out(label) = nullptr;
        *label = MakeBstr(Label(Index(sample)));
        return S_OK;
    });
}
HRESULT ChartServer::SampleKey(long sample, BSTR* key) {
    return Call([&] {
        *Out(key) = nullptr;
        *key = MakeBstr(Key(Index(sample)));
        return S_OK;
    });
}
HRESULT ChartServer::XCenterLine(long sample, double* value) {
    return Give(value, [&] {
        Index(sample);
        return m_model->Center();
    });
}
HRESULT ChartServer::RCenterLine(long sample, double* value) {
    return Give(value, [&] { return m_model->RCenter(Index(sample)); });
}
HRESULT ChartServer::get_Sigma(double* value) {
    return Give(value, [&] { return m_model->Sigma(); });
}
HRESULT ChartServer::GetRunStatistics(RefRunStatistics* statistics) {
    return Give(statistics, [&] { return m_statistics; });
}
HRESULT ChartServer::CusumSides(long sample, double* upper, double* lower) {
    return Call([&] {
        *Out(upper) = *Out(lower) = std::nan("");
        const size_t index = Index(sample);
        if (m_model->Options().chartType != kCusum)
            Fail(E_INVALIDARG, Format(L"Chart type %ld has no CuSum sides; only a CuSum chart "
                                      L"(type 9) has",
                                      m_model->Options().chartType));
        *upper = m_model->Cusum(index).upper;
        *lower = m_model->Cusum(index).lower;
        return S_OK;
    });
}

HRESULT ChartServer::get_PhaseISamples(long* count) {
    return Give(count, [&] { return static_cast<long>(m_model->PhaseISamples()); });
}
HRESULT ChartServer::get_RunsViolationCount(long* count) {
    return Give(count, [&] { return static_cast<long>(m_runPatterns.size()); });
}
HRESULT ChartServer::RunsViolation(long index, long* test, long* firstSample, long* lastSample) {
    return Call([&] {
        *Out(test) = *Out(firstSample) = *Out(lastSample) = -1;
        if (index < 0 || static_cast<size_t>(index) >= m_runPatterns.size())
            Fail(E_INVALIDARG, Format(L"Runs violation %ld does not exist; the last run found %zu",
                                      index, m_runPatterns.size()));
        const RunPattern& pattern = m_runPatterns[index];
        *test = pattern.test;
        *firstSample = pattern.firstSample;
        *lastSample = pattern.lastSample;
        return S_OK;
    });
}

} // namespace refsrv
