// A chart server in memory for tests and benchmarks: samples found by label and key, their
// measures and limits, specification limit sets and the absent-limit flags, scripted per test,
// every call recorded (ScriptedCalls). Its connection point for IQCVChartsEvents keeps the
// advised sinks and raises the chart server's events into them as the chart server passes them
// (DISPPARAMS last argument first; arrays VT_ARRAY|VT_BSTR or VT_ARRAY|VT_I4; the cancel answer
// by reference).
#pragma once

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
VARIANT BoolArgument(bool value);
VARIANT LongArgument(long value);
VARIANT ObjectArgument(IDispatch* object);
VARIANT ArrayArgument(SAFEARRAY* array);

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

    // Each call is recorded under its name without the raw_ or put_ prefix.
    STDMETHODIMP raw_ChartType(long* r) override { return Number(__func__, r); }
    STDMETHODIMP raw_ObservationVariable(long* r) override { return Number(__func__, r); }
    STDMETHODIMP raw_SpecLimitSet(long s, long* r) override;
    STDMETHODIMP raw_SampleFirstCase(long s, double* r) override { return Value(__func__, s, r); }
    STDMETHODIMP raw_Launch(long flags) override;
    STDMETHODIMP raw_FindSample(BSTR label, BSTR key, long* r) override;
    STDMETHODIMP put_EnableSampleOutOfControlEvent(VARIANT_BOOL on) override {
        return Enter(__func__ + 4, on);
    }
    STDMETHODIMP put_EnableSampleOutsideWarningLimitsEvent(VARIANT_BOOL on) override {
        return Enter(__func__ + 4, on);
    }
    STDMETHODIMP put_EnableRunsViolationEvent(VARIANT_BOOL on) override {
        return Enter(__func__ + 4, on);
    }
    STDMETHODIMP put_EnableObsOutsideSpecsEvent(VARIANT_BOOL on) override {
        return Enter(__func__ + 4, on);
    }
    STDMETHODIMP raw_SpecLimitType(long n, long* r) override { return InSet(__func__, n, r); }
    STDMETHODIMP raw_LowerSpecLimit(long n, double* r) override { return InSet(__func__, n, r); }
    STDMETHODIMP raw_UpperSpecLimit(long n, double* r) override { return InSet(__func__, n, r); }
    STDMETHODIMP raw_XMeasure(long s, double* r) override { return Value(__func__, s, r); }
    STDMETHODIMP raw_RMeasure(long s, double* r) override { return Value(__func__, s, r); }
    STDMETHODIMP raw_XLowerControlLimit(long s, double* r) override {
        return Value(__func__, s, r);
    }
    STDMETHODIMP raw_XUpperControlLimit(long s, double* r) override {
        return Value(__func__, s, r);
    }
    STDMETHODIMP raw_XLowerWarningLimit(long s, double* r) override {
        return Value(__func__, s, r);
    }
    STDMETHODIMP raw_XUpperWarningLimit(long s, double* r) override {
        return Value(__func__, s, r);
    }
    STDMETHODIMP raw_RLowerControlLimit(long s, double* r) override {
        return Value(__func__, s, r);
    }
    STDMETHODIMP raw_RUpperControlLimit(long s, double* r) override {
        return Value(__func__, s, r);
    }
    STDMETHODIMP raw_RLowerWarningLimit(long s, double* r) override {
        return Value(__func__, s, r);
    }
    STDMETHODIMP raw_RUpperWarningLimit(long s, double* r) override {
        return Value(__func__, s, r);
    }
    STDMETHODIMP raw_XNoLowerControlLimit(long* r) override { return Number(__func__, r); }
    STDMETHODIMP raw_XNoUpperControlLimit(long* r) override { return Number(__func__, r); }
    STDMETHODIMP raw_RNoLowerControlLimit(long* r) override { return Number(__func__, r); }
    STDMETHODIMP raw_RNoUpperControlLimit(long* r) override { return Number(__func__, r); }
    STDMETHODIMP raw_XNoLowerWarningLimit(long* r) override { return Number(__func__, r); }
    STDMETHODIMP raw_XNoUpperWarningLimit(long* r) override { return Number(__func__, r); }
    STDMETHODIMP raw_RNoLowerWarningLimit(long* r) override { return Number(__func__, r); }
    STDMETHODIMP raw_RNoUpperWarningLimit(long* r) override { return Number(__func__, r); }
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
    HRESULT Number(const char* function, long* result);
    HRESULT Value(const char* function, long sample, double* result);
    template <typename T> HRESULT InSet(const char* function, long set, T* result);

    std::unordered_map<std::wstring, long> m_index;
    std::map<DWORD, IDispatchPtr> m_sinks;
    DWORD m_nextCookie = 1;
};

} // namespace zavtest
