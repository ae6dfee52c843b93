// A chart server in memory for tests and benchmarks: samples found by label and key, their
// measures and limits, specification limit sets and the absent-limit flags, scripted per test,
// every call recorded (ScriptedCalls). Its connection point for IQCVChartsEvents keeps the
// advised sinks and raises the chart server's events into them as the chart server passes them
// (DISPPARAMS last argument first; arrays VT_ARRAY|VT_BSTR or VT_ARRAY|VT_I4; the cancel answer
// by reference).
#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

#include "ZAVTools/Automation.h"
#include "support/ComObject.h"
#include "support/ScriptedCalls.h"

namespace zavtest {

// Event arguments as the chart server types them; an array stays the caller's.
inline VARIANT BoolArgument(bool value) {
    VARIANT argument{};
    V_VT(&argument) = VT_BOOL;
    V_BOOL(&argument) = value ? VARIANT_TRUE : VARIANT_FALSE;
    return argument;
}
inline VARIANT LongArgument(long value) {
    VARIANT argument{};
    V_VT(&argument) = VT_I4;
    V_I4(&argument) = value;
    return argument;
}
inline VARIANT ObjectArgument(IDispatch* object) {
    VARIANT argument{};
    V_VT(&argument) = VT_DISPATCH;
    V_DISPATCH(&argument) = object;
    return argument;
}
inline VARIANT ArrayArgument(SAFEARRAY* array) {
    VARTYPE element = VT_BSTR;
    if (array)
        ::SafeArrayGetVartype(array, &element);
    VARIANT argument{};
    V_VT(&argument) = VT_ARRAY | element;
    V_ARRAY(&argument) = array;
    return argument;
}

class FakeChartServer : public ComObject<VELIQCVChartsLib::_IQCVCharts, ISupportErrorInfo,
                                         IConnectionPointContainer, IConnectionPoint>,
                        public ScriptedCalls {
public:
    struct Limits {
        double lower = 0, upper = 0;
    };
    struct Sample {
        double firstRow = 0; // 0-based spreadsheet row of the sample's first case
        double xMeasure = 0, rMeasure = 0;
        Limits xControl, xWarning, rControl, rWarning;
        long specLimitSet = 0;
    };
    struct SpecLimitSet {
        long type = 0; // 3 and 4 are one-sided
        double lower = 0, upper = 0;
    };

    // A sample that FindSample finds by (label, key); returns its index. Any other pair fails
    // FindSample with E_INVALIDARG, as does an unknown sample or limit set elsewhere.
    long AddSample(const std::wstring& label, const std::wstring& key, double firstRow);

    std::vector<Sample> samples;
    std::map<long, SpecLimitSet> specLimitSets;
    // ChartType, ObservationVariable and the absent-limit flags (XNoLowerControlLimit, ...) by
    // name; 0 for a name not set.
    std::map<std::string, long> numbers;
    // Called by Launch once recorded: the place to raise the run's events.
    std::function<void()> onLaunch;
    // Off: no IConnectionPointContainer.
    bool offersConnectionPoints = true;

    // The sinks advised and not yet unadvised, in the order of their cookies.
    std::vector<IDispatch*> Sinks() const;
    // Raises an alarm event (DISPIDs 1 to 4) into every sink: this chart (or `chart`), the
    // arrays in order, VT_BOOL false (phase II) and `value`, the chart parts or the limit set.
    // Answers the first failure of a sink (S_OK when all succeeded or none is advised).
    HRESULT Alarm(DISPID id, const std::vector<SAFEARRAY*>& arrays, long value = 1,
                  IDispatch* chart = nullptr);
    // `cancel` gets what the sinks left in the by-reference argument, VARIANT_FALSE at first.
    HRESULT QueryCancel(VARIANT_BOOL* cancel);
    // Any DISPID, with the arguments in declaration order.
    HRESULT RaiseEvent(DISPID id, std::vector<VARIANT> arguments);

    VELIQCVChartsLib::_IQCVChartsPtr Ptr() { return Chart(); }
    IDispatch* Dispatch() { return Chart(); }

    STDMETHODIMP raw_SpecLimitSet(long s, long* r) override;
    STDMETHODIMP raw_Launch(long flags) override;
    STDMETHODIMP raw_FindSample(BSTR label, BSTR key, long* r) override;
    STDMETHODIMP InterfaceSupportsErrorInfo(REFIID) override { return S_OK; }
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints**) override { return E_NOTIMPL; }
    // Recorded as "FindConnectionPoint()"; only IQCVChartsEvents has a point, the server itself.
    STDMETHODIMP FindConnectionPoint(REFIID iid, IConnectionPoint** point) override;
    STDMETHODIMP GetConnectionInterface(IID* iid) override;
    STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** container) override;
    // Recorded as "Advise()"; the sink must give IQCVChartsEvents.
    STDMETHODIMP Advise(IUnknown* sink, DWORD* cookie) override;
    STDMETHODIMP Unadvise(DWORD cookie) override;
    STDMETHODIMP EnumConnections(IEnumConnections**) override { return E_NOTIMPL; }

private:
    VELIQCVChartsLib::_IQCVCharts* Chart() { return this; }
    HRESULT Number(const char* name, long* result);
    // The double at `offset` in the sample.
    HRESULT Value(const char* name, long sample, size_t offset, double* result);
    template <typename T> HRESULT InSet(const char* name, long set, T* result);

    std::unordered_map<std::wstring, long> m_index;
    std::map<DWORD, IDispatchPtr> m_sinks;
    DWORD m_nextCookie = 1;

public:
    // Each call is recorded under its name without the raw_ or put_ prefix.
    // clang-format off
#define ZAV_FAKE_NUMBER(name) STDMETHODIMP raw_##name(long* r) override { return Number(#name, r); }
#define ZAV_FAKE_VALUE(name, field) \
    STDMETHODIMP raw_##name(long s, double* r) override { \
        return Value(#name, s, offsetof(Sample, field), r); \
    }
#define ZAV_FAKE_ENABLE(name) \
    STDMETHODIMP put_##name(VARIANT_BOOL on) override { return Enter(#name, on); }
#define ZAV_FAKE_IN_SET(name, type) \
    STDMETHODIMP raw_##name(long n, type* r) override { return InSet(#name, n, r); }
    ZAV_FAKE_NUMBER(ChartType)
    ZAV_FAKE_NUMBER(ObservationVariable)
    ZAV_FAKE_NUMBER(XNoLowerControlLimit)
    ZAV_FAKE_NUMBER(XNoUpperControlLimit)
    ZAV_FAKE_NUMBER(RNoLowerControlLimit)
    ZAV_FAKE_NUMBER(RNoUpperControlLimit)
    ZAV_FAKE_NUMBER(XNoLowerWarningLimit)
    ZAV_FAKE_NUMBER(XNoUpperWarningLimit)
    ZAV_FAKE_NUMBER(RNoLowerWarningLimit)
    ZAV_FAKE_NUMBER(RNoUpperWarningLimit)
    ZAV_FAKE_VALUE(SampleFirstCase, firstRow)
    ZAV_FAKE_VALUE(XMeasure, xMeasure)
    ZAV_FAKE_VALUE(RMeasure, rMeasure)
    ZAV_FAKE_VALUE(XLowerControlLimit, xControl.lower)
    ZAV_FAKE_VALUE(XUpperControlLimit, xControl.upper)
    ZAV_FAKE_VALUE(XLowerWarningLimit, xWarning.lower)
    ZAV_FAKE_VALUE(XUpperWarningLimit, xWarning.upper)
    ZAV_FAKE_VALUE(RLowerControlLimit, rControl.lower)
    ZAV_FAKE_VALUE(RUpperControlLimit, rControl.upper)
    ZAV_FAKE_VALUE(RLowerWarningLimit, rWarning.lower)
    ZAV_FAKE_VALUE(RUpperWarningLimit, rWarning.upper)
    ZAV_FAKE_ENABLE(EnableSampleOutOfControlEvent)
    ZAV_FAKE_ENABLE(EnableSampleOutsideWarningLimitsEvent)
    ZAV_FAKE_ENABLE(EnableRunsViolationEvent)
    ZAV_FAKE_ENABLE(EnableObsOutsideSpecsEvent)
    ZAV_FAKE_IN_SET(SpecLimitType, long)
    ZAV_FAKE_IN_SET(LowerSpecLimit, double)
    ZAV_FAKE_IN_SET(UpperSpecLimit, double)
#undef ZAV_FAKE_NUMBER
#undef ZAV_FAKE_VALUE
#undef ZAV_FAKE_ENABLE
#undef ZAV_FAKE_IN_SET
    // clang-format on
};

} // namespace zavtest
