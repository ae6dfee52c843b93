#include "support/ChartEvents.h"

#include <algorithm>

namespace zavtest {

using namespace VELIQCVChartsLib;

VARIANT BoolArgument(bool value) {
    VARIANT argument;
    ::VariantInit(&argument);
    V_VT(&argument) = VT_BOOL;
    V_BOOL(&argument) = value ? VARIANT_TRUE : VARIANT_FALSE;
    return argument;
}

VARIANT LongArgument(long value) {
    VARIANT argument;
    ::VariantInit(&argument);
    V_VT(&argument) = VT_I4;
    V_I4(&argument) = value;
    return argument;
}

VARIANT ArrayArgument(SAFEARRAY* array) {
    VARIANT argument;
    ::VariantInit(&argument);
    VARTYPE element = VT_BSTR;
    if (array)
        ::SafeArrayGetVartype(array, &element);
    V_VT(&argument) = VT_ARRAY | element;
    V_ARRAY(&argument) = array;
    return argument;
}

ChartEventsPoint::ChartEventsPoint(IConnectionPointContainer* container, IDispatch* chart)
    : m_container(container), m_chart(chart) {}

std::vector<IDispatch*> ChartEventsPoint::Sinks() const {
    std::vector<IDispatch*> sinks;
    for (const auto& [cookie, sink] : m_sinks)
        sinks.push_back(sink);
    return sinks;
}

VARIANT ChartEventsPoint::Chart(IDispatch* chart) const {
    VARIANT argument;
    ::VariantInit(&argument);
    V_VT(&argument) = VT_DISPATCH;
    V_DISPATCH(&argument) = chart ? chart : m_chart;
    return argument;
}

HRESULT ChartEventsPoint::Raise(DISPID id, std::vector<VARIANT> arguments) {
    std::reverse(arguments.begin(), arguments.end());
    DISPPARAMS params = {arguments.empty() ? nullptr : arguments.data(), nullptr,
                         static_cast<UINT>(arguments.size()), 0};
    HRESULT result = S_OK;
    // A sink may unadvise itself while it handles the event.
    for (IDispatchPtr sink : Sinks()) {
        HRESULT hr = sink->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params,
                                  nullptr, nullptr, nullptr);
        if (FAILED(hr) && SUCCEEDED(result))
            result = hr;
    }
    return result;
}

HRESULT ChartEventsPoint::SampleOutOfControl(SAFEARRAY* labels, SAFEARRAY* keys, bool flag,
                                             long chartParts, IDispatch* chart) {
    return Raise(DISPID_SampleOutOfControl,
                 {Chart(chart), ArrayArgument(labels), ArrayArgument(keys), BoolArgument(flag),
                  LongArgument(chartParts)});
}

HRESULT ChartEventsPoint::SampleOutsideWarningLimits(SAFEARRAY* labels, SAFEARRAY* keys, bool flag,
                                                     long chartParts, IDispatch* chart) {
    return Raise(DISPID_SampleOutsideWarningLimits,
                 {Chart(chart), ArrayArgument(labels), ArrayArgument(keys), BoolArgument(flag),
                  LongArgument(chartParts)});
}

HRESULT ChartEventsPoint::RunsViolation(SAFEARRAY* firstLabels, SAFEARRAY* firstKeys,
                                        SAFEARRAY* lastLabels, SAFEARRAY* lastKeys,
                                        SAFEARRAY* tests, bool flag, long value, IDispatch* chart) {
    return Raise(DISPID_RunsViolation,
                 {Chart(chart), ArrayArgument(firstLabels), ArrayArgument(firstKeys),
                  ArrayArgument(lastLabels), ArrayArgument(lastKeys), ArrayArgument(tests),
                  BoolArgument(flag), LongArgument(value)});
}

HRESULT ChartEventsPoint::ObsOutsideSpecs(SAFEARRAY* labels, SAFEARRAY* keys,
                                          SAFEARRAY* observations, bool flag, long value,
                                          IDispatch* chart) {
    return Raise(DISPID_ObsOutsideSpecs,
                 {Chart(chart), ArrayArgument(labels), ArrayArgument(keys),
                  ArrayArgument(observations), BoolArgument(flag), LongArgument(value)});
}

HRESULT ChartEventsPoint::SampleAdded(long sample) {
    return Raise(DISPID_SampleAdded, {Chart(nullptr), LongArgument(sample)});
}

HRESULT ChartEventsPoint::RunStarted() {
    return Raise(DISPID_RunStarted, {Chart(nullptr)});
}

HRESULT ChartEventsPoint::RunCompleted(long samples) {
    return Raise(DISPID_RunCompleted, {Chart(nullptr), LongArgument(samples)});
}

HRESULT ChartEventsPoint::QueryCancel(VARIANT_BOOL* cancel) {
    *cancel = VARIANT_FALSE;
    VARIANT argument;
    ::VariantInit(&argument);
    V_VT(&argument) = VT_BYREF | VT_BOOL;
    V_BOOLREF(&argument) = cancel;
    return Raise(DISPID_QueryCancel, {argument});
}

HRESULT ChartEventsPoint::GetConnectionInterface(IID* iid) {
    if (!iid)
        return E_POINTER;
    *iid = __uuidof(IQCVChartsEvents);
    return S_OK;
}

HRESULT ChartEventsPoint::GetConnectionPointContainer(IConnectionPointContainer** container) {
    if (!container)
        return E_POINTER;
    *container = m_container;
    m_container->AddRef();
    return S_OK;
}

HRESULT ChartEventsPoint::Advise(IUnknown* sink, DWORD* cookie) {
    if (HRESULT hr = Enter("Advise"); FAILED(hr))
        return hr;
    if (!sink || !cookie)
        return E_POINTER;
    IQCVChartsEvents* events = nullptr;
    if (FAILED(sink->QueryInterface(__uuidof(IQCVChartsEvents), reinterpret_cast<void**>(&events))))
        return CONNECT_E_CANNOTCONNECT;
    // The connection keeps the reference that the query gave.
    m_sinks[m_nextCookie].Attach(events);
    *cookie = m_nextCookie++;
    return S_OK;
}

HRESULT ChartEventsPoint::Unadvise(DWORD cookie) {
    if (HRESULT hr = Enter("Unadvise", static_cast<long>(cookie)); FAILED(hr))
        return hr;
    return m_sinks.erase(cookie) ? S_OK : CONNECT_E_NOCONNECTION;
}

HRESULT ChartEventsPoint::EnumConnections(IEnumConnections**) {
    return E_NOTIMPL;
}

} // namespace zavtest
