#include "support/FakeChartServer.h"

namespace zavtest {

namespace {

// Label and key as one lookup key; a null BSTR reads as empty.
std::wstring SampleKey(const wchar_t* label, const wchar_t* key) {
    std::wstring joined = label ? label : L"";
    joined += L'\x1F';
    joined += key ? key : L"";
    return joined;
}

} // namespace

long FakeChartServer::AddSample(const std::wstring& label, const std::wstring& key,
                                double firstRow) {
    const long index = static_cast<long>(samples.size());
    samples.push_back({});
    samples.back().firstRow = firstRow;
    m_index[SampleKey(label.c_str(), key.c_str())] = index;
    return index;
}

const FakeChartServer::Sample* FakeChartServer::Find(long sample) const {
    return sample >= 0 && sample < static_cast<long>(samples.size()) ? &samples[sample] : nullptr;
}

const FakeChartServer::SpecLimitSet* FakeChartServer::FindSet(long set) const {
    auto found = specLimitSets.find(set);
    return found == specLimitSets.end() ? nullptr : &found->second;
}

HRESULT FakeChartServer::SampleValue(const char* name, long sample, double Sample::*field,
                                     double* result) {
    if (HRESULT hr = Enter(name, sample); FAILED(hr))
        return hr;
    const Sample* found = Find(sample);
    if (!found)
        return Raise(E_INVALIDARG, "The test chart has no such sample");
    *result = found->*field;
    return S_OK;
}

HRESULT FakeChartServer::SampleLimit(const char* name, long sample, Limits Sample::*limits,
                                     double Limits::*side, double* result) {
    if (HRESULT hr = Enter(name, sample); FAILED(hr))
        return hr;
    const Sample* found = Find(sample);
    if (!found)
        return Raise(E_INVALIDARG, "The test chart has no such sample");
    *result = (found->*limits).*side;
    return S_OK;
}

HRESULT FakeChartServer::SetLimit(const char* name, long set, double SpecLimitSet::*field,
                                  double* result) {
    if (HRESULT hr = Enter(name, set); FAILED(hr))
        return hr;
    const SpecLimitSet* found = FindSet(set);
    if (!found)
        return Raise(E_INVALIDARG, "The test chart has no such limit set");
    *result = found->*field;
    return S_OK;
}

HRESULT FakeChartServer::Flag(const char* name, long AbsentLimits::*field, long* result) {
    if (HRESULT hr = Enter(name); FAILED(hr))
        return hr;
    *result = absent.*field;
    return S_OK;
}

HRESULT FakeChartServer::Switch(const char* name, VARIANT_BOOL enable, VARIANT_BOOL& field) {
    if (HRESULT hr = Enter(name, enable); FAILED(hr))
        return hr;
    field = enable;
    return S_OK;
}

HRESULT FakeChartServer::raw_ChartType(long* result) {
    if (HRESULT hr = Enter("ChartType"); FAILED(hr))
        return hr;
    *result = chartType;
    return S_OK;
}

HRESULT FakeChartServer::raw_ObservationVariable(long* result) {
    if (HRESULT hr = Enter("ObservationVariable"); FAILED(hr))
        return hr;
    *result = observationVariable;
    return S_OK;
}

HRESULT FakeChartServer::raw_SpecLimitSet(long sample, long* result) {
    if (HRESULT hr = Enter("SpecLimitSet", sample); FAILED(hr))
        return hr;
    const Sample* found = Find(sample);
    if (!found)
        return Raise(E_INVALIDARG, "The test chart has no such sample");
    *result = found->specLimitSet;
    return S_OK;
}

HRESULT FakeChartServer::raw_SampleFirstCase(long sample, double* result) {
    return SampleValue("SampleFirstCase", sample, &Sample::firstRow, result);
}

HRESULT FakeChartServer::raw_Launch(long flags) {
    if (HRESULT hr = Enter("Launch", flags); FAILED(hr))
        return hr;
    launches.push_back(flags);
    if (onLaunch)
        onLaunch();
    return S_OK;
}

HRESULT FakeChartServer::raw_FindSample(BSTR label, BSTR key, long* result) {
    if (HRESULT hr = Enter("FindSample", label, key); FAILED(hr))
        return hr;
    auto found = m_index.find(SampleKey(label, key));
    if (found == m_index.end())
        return Raise(E_INVALIDARG, "The test chart has no sample with that label and key");
    *result = found->second;
    return S_OK;
}

HRESULT FakeChartServer::put_EnableSampleOutOfControlEvent(VARIANT_BOOL enable) {
    return Switch("EnableSampleOutOfControlEvent", enable, sampleOutOfControlEvent);
}

HRESULT FakeChartServer::put_EnableSampleOutsideWarningLimitsEvent(VARIANT_BOOL enable) {
    return Switch("EnableSampleOutsideWarningLimitsEvent", enable, sampleOutsideWarningLimitsEvent);
}

HRESULT FakeChartServer::put_EnableRunsViolationEvent(VARIANT_BOOL enable) {
    return Switch("EnableRunsViolationEvent", enable, runsViolationEvent);
}

HRESULT FakeChartServer::put_EnableObsOutsideSpecsEvent(VARIANT_BOOL enable) {
    return Switch("EnableObsOutsideSpecsEvent", enable, obsOutsideSpecsEvent);
}

HRESULT FakeChartServer::raw_SpecLimitType(long set, long* result) {
    if (HRESULT hr = Enter("SpecLimitType", set); FAILED(hr))
        return hr;
    const SpecLimitSet* found = FindSet(set);
    if (!found)
        return Raise(E_INVALIDARG, "The test chart has no such limit set");
    *result = found->type;
    return S_OK;
}

HRESULT FakeChartServer::raw_LowerSpecLimit(long set, double* result) {
    return SetLimit("LowerSpecLimit", set, &SpecLimitSet::lower, result);
}

HRESULT FakeChartServer::raw_UpperSpecLimit(long set, double* result) {
    return SetLimit("UpperSpecLimit", set, &SpecLimitSet::upper, result);
}

HRESULT FakeChartServer::raw_XMeasure(long sample, double* result) {
    return SampleValue("XMeasure", sample, &Sample::xMeasure, result);
}

HRESULT FakeChartServer::raw_RMeasure(long sample, double* result) {
    return SampleValue("RMeasure", sample, &Sample::rMeasure, result);
}

HRESULT FakeChartServer::raw_XLowerControlLimit(long sample, double* result) {
    return SampleLimit("XLowerControlLimit", sample, &Sample::xControl, &Limits::lower, result);
}

HRESULT FakeChartServer::raw_XUpperControlLimit(long sample, double* result) {
    return SampleLimit("XUpperControlLimit", sample, &Sample::xControl, &Limits::upper, result);
}

HRESULT FakeChartServer::raw_XLowerWarningLimit(long sample, double* result) {
    return SampleLimit("XLowerWarningLimit", sample, &Sample::xWarning, &Limits::lower, result);
}

HRESULT FakeChartServer::raw_XUpperWarningLimit(long sample, double* result) {
    return SampleLimit("XUpperWarningLimit", sample, &Sample::xWarning, &Limits::upper, result);
}

HRESULT FakeChartServer::raw_RLowerControlLimit(long sample, double* result) {
    return SampleLimit("RLowerControlLimit", sample, &Sample::rControl, &Limits::lower, result);
}

HRESULT FakeChartServer::raw_RUpperControlLimit(long sample, double* result) {
    return SampleLimit("RUpperControlLimit", sample, &Sample::rControl, &Limits::upper, result);
}

HRESULT FakeChartServer::raw_RLowerWarningLimit(long sample, double* result) {
    return SampleLimit("RLowerWarningLimit", sample, &Sample::rWarning, &Limits::lower, result);
}

HRESULT FakeChartServer::raw_RUpperWarningLimit(long sample, double* result) {
    return SampleLimit("RUpperWarningLimit", sample, &Sample::rWarning, &Limits::upper, result);
}

HRESULT FakeChartServer::raw_XNoLowerControlLimit(long* result) {
    return Flag("XNoLowerControlLimit", &AbsentLimits::xLowerControl, result);
}

HRESULT FakeChartServer::raw_XNoUpperControlLimit(long* result) {
    return Flag("XNoUpperControlLimit", &AbsentLimits::xUpperControl, result);
}

HRESULT FakeChartServer::raw_RNoLowerControlLimit(long* result) {
    return Flag("RNoLowerControlLimit", &AbsentLimits::rLowerControl, result);
}

HRESULT FakeChartServer::raw_RNoUpperControlLimit(long* result) {
    return Flag("RNoUpperControlLimit", &AbsentLimits::rUpperControl, result);
}

HRESULT FakeChartServer::raw_XNoLowerWarningLimit(long* result) {
    return Flag("XNoLowerWarningLimit", &AbsentLimits::xLowerWarning, result);
}

HRESULT FakeChartServer::raw_XNoUpperWarningLimit(long* result) {
    return Flag("XNoUpperWarningLimit", &AbsentLimits::xUpperWarning, result);
}

HRESULT FakeChartServer::raw_RNoLowerWarningLimit(long* result) {
    return Flag("RNoLowerWarningLimit", &AbsentLimits::rLowerWarning, result);
}

HRESULT FakeChartServer::raw_RNoUpperWarningLimit(long* result) {
    return Flag("RNoUpperWarningLimit", &AbsentLimits::rUpperWarning, result);
}

HRESULT FakeChartServer::InterfaceSupportsErrorInfo(REFIID iid) {
    return iid == __uuidof(VELIQCVChartsLib::_IQCVCharts) ? S_OK : S_FALSE;
}

HRESULT FakeChartServer::QueryInterface(REFIID iid, void** out) {
    if (out && iid == IID_IConnectionPointContainer && !offersConnectionPoints) {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    return ComObject::QueryInterface(iid, out);
}

HRESULT FakeChartServer::EnumConnectionPoints(IEnumConnectionPoints**) {
    return E_NOTIMPL;
}

HRESULT FakeChartServer::FindConnectionPoint(REFIID iid, IConnectionPoint** point) {
    if (HRESULT hr = Enter("FindConnectionPoint"); FAILED(hr))
        return hr;
    if (!point)
        return E_POINTER;
    *point = nullptr;
    if (iid != __uuidof(VELIQCVChartsLib::IQCVChartsEvents))
        return CONNECT_E_NOCONNECTION;
    *point = &events;
    events.AddRef();
    return S_OK;
}

} // namespace zavtest
