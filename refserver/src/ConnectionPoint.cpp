#include "ConnectionPoint.h"

#include <algorithm>

namespace refsrv {

HRESULT EventConnectionPoint::QueryInterface(REFIID iid, void** out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (iid != IID_IUnknown && iid != IID_IConnectionPoint)
        return E_NOINTERFACE;
    *out = static_cast<IConnectionPoint*>(this);
    AddRef();
    return S_OK;
}

HRESULT EventConnectionPoint::GetConnectionInterface(IID* iid) {
    if (!iid)
        return E_POINTER;
    *iid = __uuidof(VELIQCVChartsLib::IQCVChartsEvents);
    return S_OK;
}

HRESULT EventConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** out) {
    if (!out)
        return E_POINTER;
    *out = m_owner;
    m_owner->AddRef();
    return S_OK;
}

HRESULT EventConnectionPoint::Advise(IUnknown* sink, DWORD* cookie) {
    if (!cookie)
        return E_POINTER;
    *cookie = 0;
    if (!sink)
        return E_POINTER;
    IDispatch* events = nullptr;
    if (FAILED(sink->QueryInterface(__uuidof(VELIQCVChartsLib::IQCVChartsEvents),
                                    reinterpret_cast<void**>(&events))) ||
        !events)
        return CONNECT_E_CANNOTCONNECT;
    try {
        m_connections.push_back(Connection{++m_lastCookie, IDispatchPtr(events, false)});
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    *cookie = m_lastCookie;
    return S_OK;
}

HRESULT EventConnectionPoint::Unadvise(DWORD cookie) {
    auto found = std::find_if(m_connections.begin(), m_connections.end(),
                              [cookie](const Connection& c) { return c.cookie == cookie; });
    if (found == m_connections.end())
        return CONNECT_E_NOCONNECTION;
    // The sink is released after it has left the list, in case its release calls back.
    IDispatchPtr leaving = std::move(found->sink);
    m_connections.erase(found);
    return S_OK;
}

HRESULT EventConnectionPoint::EnumConnections(IEnumConnections** out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    try {
        MakeObject<Enumerator<IEnumConnections, CONNECTDATA, Connection>>(m_connections)
            .CopyTo(out);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

void EventConnectionPoint::Snapshot(std::vector<IDispatchPtr>& sinks) const {
    sinks.clear();
    for (const Connection& c : m_connections)
        sinks.push_back(c.sink);
}

} // namespace refsrv
