#include "support/FakeChartServer.h"

#include <algorithm>

namespace zavtest {

using namespace VELIQCVChartsLib;

std::vector<IDispatch*> FakeChartServer::Sinks() const {
    std::vector<IDispatch*> sinks;
    for (const auto& [cookie, sink] : m_sinks)
        sinks.push_back(sink);
    return sinks;
}

HRESULT FakeChartServer::RaiseEvent(DISPID id, std::vector<VARIANT> arguments) {
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

HRESULT FakeChartServer::Alarm(DISPID id, const std::vector<SAFEARRAY*>& arrays, long value,
                               IDispatch* chart) {
    std::vector<VARIANT> arguments = {ObjectArgument(chart ? chart : Dispatch())};
    for (SAFEARRAY* array : arrays)
        arguments.push_back(ArrayArgument(array));
    arguments.push_back(BoolArgument(false));
    arguments.push_back(LongArgument(value));
    return RaiseEvent(id, std::move(arguments));
}

HRESULT FakeChartServer::QueryCancel(VARIANT_BOOL* cancel) {
    *cancel = VARIANT_FALSE;
    VARIANT argument = {};
    V_VT(&argument) = VT_BYREF | VT_BOOL;
    V_BOOLREF(&argument) = cancel;
    return RaiseEvent(DISPID_QueryCancel, {argument});
}

HRESULT FakeChartServer::GetConnectionInterface(IID* iid) {
    *iid = __uuidof(IQCVChartsEvents);
    return S_OK;
}

HRESULT FakeChartServer::GetConnectionPointContainer(IConnectionPointContainer** container) {
    *container = this;
    AddRef();
    return S_OK;
}

HRESULT FakeChartServer::Advise(IUnknown* sink, DWORD* cookie) {
    if (HRESULT hr = Enter("Advise"); FAILED(hr))
        return hr;
    IQCVChartsEvents* events = nullptr;
    if (FAILED(sink->QueryInterface(__uuidof(IQCVChartsEvents), reinterpret_cast<void**>(&events))))
        return CONNECT_E_CANNOTCONNECT;
    // The connection keeps the reference that the query gave.
    m_sinks[m_nextCookie].Attach(events);
    *cookie = m_nextCookie++;
    return S_OK;
}

HRESULT FakeChartServer::Unadvise(DWORD cookie) {
    if (HRESULT hr = Enter("Unadvise", static_cast<long>(cookie)); FAILED(hr))
        return hr;
    return m_sinks.erase(cookie) ? S_OK : CONNECT_E_NOCONNECTION;
}

long FakeChartServer::AddSample(const std::wstring& label, const std::wstring& key,
                                double firstRow) {
    samples.push_back({});
    samples.back().firstRow = firstRow;
    return m_index[label + L'\x1F' + key] = static_cast<long>(samples.size() - 1);
}

HRESULT FakeChartServer::Number(const char* name, long* result) {
    if (HRESULT hr = Enter(name); FAILED(hr))
        return hr;
    auto found = numbers.find(name);
    *result = found == numbers.end() ? 0 : found->second;
    return S_OK;
}

HRESULT FakeChartServer::Value(const char* name, long sample, size_t offset, double* result) {
    if (HRESULT hr = Enter(name, sample); FAILED(hr))
        return hr;
    if (sample < 0 || sample >= static_cast<long>(samples.size()))
        return Raise(E_INVALIDARG, "The test chart has no such sample");
    *result =
        *reinterpret_cast<const double*>(reinterpret_cast<const char*>(&samples[sample]) + offset);
    return S_OK;
}

template <typename T> HRESULT FakeChartServer::InSet(const char* name, long set, T* result) {
    if (HRESULT hr = Enter(name, set); FAILED(hr))
        return hr;
    auto found = specLimitSets.find(set);
    if (found == specLimitSets.end())
        return Raise(E_INVALIDARG, "The test chart has no such limit set");
    const SpecLimitSet& limits = found->second;
    *result = static_cast<T>(name[0] == 'S'   ? limits.type
                             : name[0] == 'L' ? limits.lower
                                              : limits.upper);
    return S_OK;
}

HRESULT FakeChartServer::raw_SpecLimitSet(long sample, long* result) {
    if (HRESULT hr = Enter("SpecLimitSet", sample); FAILED(hr))
        return hr;
    if (sample < 0 || sample >= static_cast<long>(samples.size()))
        return Raise(E_INVALIDARG, "The test chart has no such sample");
    *result = samples[sample].specLimitSet;
    return S_OK;
}

HRESULT FakeChartServer::raw_Launch(long flags) {
    if (HRESULT hr = Enter("Launch", flags); FAILED(hr))
        return hr;
    if (onLaunch)
        onLaunch();
    return S_OK;
}

HRESULT FakeChartServer::raw_FindSample(BSTR label, BSTR key, long* result) {
    if (HRESULT hr = Enter("FindSample", label, key); FAILED(hr))
        return hr;
    auto found = m_index.find(std::wstring(label ? label : L"") + L'\x1F' + (key ? key : L""));
    if (found == m_index.end())
        return Raise(E_INVALIDARG, "The test chart has no sample with that label and key");
    *result = found->second;
    return S_OK;
}

HRESULT FakeChartServer::QueryInterface(REFIID iid, void** out) {
    if (iid == IID_IConnectionPointContainer && !offersConnectionPoints) {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    return ComObject::QueryInterface(iid, out);
}

HRESULT FakeChartServer::FindConnectionPoint(REFIID iid, IConnectionPoint** point) {
    if (HRESULT hr = Enter("FindConnectionPoint"); FAILED(hr))
        return hr;
    *point = iid == __uuidof(IQCVChartsEvents) ? this : nullptr;
    if (!*point)
        return CONNECT_E_NOCONNECTION;
    AddRef();
    return S_OK;
}

} // namespace zavtest
