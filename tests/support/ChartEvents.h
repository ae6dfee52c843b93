// The chart server's connection point for IQCVChartsEvents: it keeps the sinks advised to it
// and raises the chart server's events into them through IDispatch::Invoke, with the arguments
// in DISPPARAMS exactly as the chart server passes them (last argument first; arrays as
// VT_ARRAY|VT_BSTR or VT_ARRAY|VT_I4; the cancel answer by reference).
#pragma once

#include <map>
#include <vector>

#include "ZAVTools/Automation.h"
#include "support/ComObject.h"
#include "support/ScriptedCalls.h"

namespace zavtest {

class ChartEventsPoint : public ComObject<IConnectionPoint>, public ScriptedCalls {
public:
    // `container` is the chart server that owns the point, and `chart` the object that the
    // alarm events carry as their first argument.
    ChartEventsPoint(IConnectionPointContainer* container, IDispatch* chart);

    // The sinks advised and not yet unadvised, in the order of their cookies.
    std::vector<IDispatch*> Sinks() const;

    // Each raises one event into every sink and answers the first failure of a sink (S_OK when
    // all succeeded or none is advised). `chart` null raises the event with this point's chart.
    HRESULT SampleOutOfControl(SAFEARRAY* labels, SAFEARRAY* keys, bool flag, long chartParts,
                               IDispatch* chart = nullptr);
    HRESULT SampleOutsideWarningLimits(SAFEARRAY* labels, SAFEARRAY* keys, bool flag,
                                       long chartParts, IDispatch* chart = nullptr);
    HRESULT RunsViolation(SAFEARRAY* firstLabels, SAFEARRAY* firstKeys, SAFEARRAY* lastLabels,
                          SAFEARRAY* lastKeys, SAFEARRAY* tests, bool flag, long value,
                          IDispatch* chart = nullptr);
    HRESULT ObsOutsideSpecs(SAFEARRAY* labels, SAFEARRAY* keys, SAFEARRAY* observations, bool flag,
                            long value, IDispatch* chart = nullptr);
    HRESULT SampleAdded(long sample);
    HRESULT RunStarted();
    HRESULT RunCompleted(long samples);
    // Asks the sinks whether to stop the run; `cancel` gets what they left in the by-reference
    // argument, which starts as VARIANT_FALSE.
    HRESULT QueryCancel(VARIANT_BOOL* cancel);
    // Any DISPID, with the arguments in declaration order.
    HRESULT Raise(DISPID id, std::vector<VARIANT> arguments);

    HRESULT __stdcall GetConnectionInterface(IID* iid) override;
    HRESULT __stdcall GetConnectionPointContainer(IConnectionPointContainer** container) override;
    // Recorded as "Advise()"; the sink must give IQCVChartsEvents.
    HRESULT __stdcall Advise(IUnknown* sink, DWORD* cookie) override;
    // Recorded as "Unadvise(cookie)".
    HRESULT __stdcall Unadvise(DWORD cookie) override;
    HRESULT __stdcall EnumConnections(IEnumConnections** connections) override;

private:
    VARIANT Chart(IDispatch* chart) const;

    IConnectionPointContainer* m_container;
    IDispatch* m_chart;
    std::map<DWORD, IDispatchPtr> m_sinks;
    DWORD m_nextCookie = 1;
};

// Event arguments as the chart server types them.
VARIANT BoolArgument(bool value);
VARIANT LongArgument(long value);
// VT_ARRAY|VT_BSTR or VT_ARRAY|VT_I4 by the array's element type; the array stays the caller's.
VARIANT ArrayArgument(SAFEARRAY* array);

} // namespace zavtest
