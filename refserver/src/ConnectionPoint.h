// The chart server's one connection point, for IQCVChartsEvents. It lives inside the chart
// server and shares its reference count, so a host that holds the point holds the server, and
// the server holds every advised sink until it is unadvised or the server goes away.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <vector>

#include <ZAVTools/Automation.h>

#include "ComObject.h"

namespace refsrv {

struct Connection {
    DWORD cookie;
    IDispatchPtr sink;
};

// What an enumerator hands out for what it holds, with a reference for the caller.
inline CONNECTDATA Hand(const Connection& c) {
    c.sink->AddRef();
    return CONNECTDATA{c.sink, c.cookie};
}
inline IConnectionPoint* Hand(const IConnectionPointPtr& point) {
    point->AddRef();
    return point;
}

// An enumerator over a snapshot of items, as IEnumConnections and IEnumConnectionPoints need.
template <typename IEnum, typename Element, typename Held>
class Enumerator : public ComObject<IEnum> {
public:
    explicit Enumerator(std::vector<Held> items, size_t position = 0)
        : m_items(std::move(items)), m_position(position) {}

    HRESULT __stdcall Next(ULONG count, Element* out, ULONG* fetched) override {
        if (!out || (count > 1 && !fetched))
            return E_POINTER;
        ULONG given = 0;
        for (; given < count && m_position < m_items.size(); ++given, ++m_position)
            out[given] = Hand(m_items[m_position]);
        if (fetched)
            *fetched = given;
        return given == count ? S_OK : S_FALSE;
    }
    HRESULT __stdcall Skip(ULONG count) override {
        size_t left = m_items.size() - m_position;
        m_position += count < left ? count : left;
        return count <= left ? S_OK : S_FALSE;
    }
    HRESULT __stdcall Reset() override {
        m_position = 0;
        return S_OK;
    }
    HRESULT __stdcall Clone(IEnum** out) override {
        if (!out)
            return E_POINTER;
        MakeObject<Enumerator>(m_items, m_position).CopyTo(out);
        return S_OK;
    }

private:
    std::vector<Held> m_items;
    size_t m_position;
};

class EventConnectionPoint : public IConnectionPoint {
public:
    explicit EventConnectionPoint(IConnectionPointContainer* owner) : m_owner(owner) {}

    HRESULT __stdcall QueryInterface(REFIID iid, void** out) override;
    ULONG __stdcall AddRef() override { return m_owner->AddRef(); }
    ULONG __stdcall Release() override { return m_owner->Release(); }

    HRESULT __stdcall GetConnectionInterface(IID* iid) override;
    HRESULT __stdcall GetConnectionPointContainer(IConnectionPointContainer** out) override;
    HRESULT __stdcall Advise(IUnknown* sink, DWORD* cookie) override;
    HRESULT __stdcall Unadvise(DWORD cookie) override;
    HRESULT __stdcall EnumConnections(IEnumConnections** out) override;

    // The sinks advised now, for one event: a sink that unadvises during the event still gets
    // it, and one advised during it does not.
    void Snapshot(std::vector<IDispatchPtr>& sinks) const;
    size_t Count() const noexcept { return m_connections.size(); }

private:
    IConnectionPointContainer* m_owner;
    std::vector<Connection> m_connections;
    DWORD m_lastCookie = 0;
};

} // namespace refsrv
