// The arguments of one outgoing event: VARIANTs in DISPPARAMS order (the last declared
// parameter first), owned until the event has been delivered to every sink. They live in the
// object itself: an event costs no allocation beyond its arrays.
#pragma once

#include <windows.h>
#include <oaidl.h>
#include <array>
#include <string>
#include <vector>

namespace refsrv {

class EventArgs {
public:
    static constexpr size_t kMaxArgs = 8;
    explicit EventArgs(size_t count);
    ~EventArgs();
    EventArgs(const EventArgs&) = delete;
    EventArgs& operator=(const EventArgs&) = delete;

    // The parameter at `index` in declaration order (0 = first).
    VARIANT& operator[](size_t index) { return m_args[m_count - 1 - index]; }
    DISPPARAMS* Params() { return &m_params; }

    void SetDispatch(size_t index, IDispatch* object);
    void SetBool(size_t index, bool value);
    void SetLong(size_t index, long value);
    // A one-dimensional SAFEARRAY, lower bound 0.
    void SetTexts(size_t index, const std::vector<std::wstring>& texts);
    void SetLongs(size_t index, const std::vector<long>& values);

private:
    std::array<VARIANT, kMaxArgs> m_args;
    size_t m_count;
    DISPPARAMS m_params{};
};

// Holds a SAFEARRAY's data locked for the life of the scope.
class SafeArrayLock {
public:
    explicit SafeArrayLock(SAFEARRAY* array);
    ~SafeArrayLock();
    SafeArrayLock(const SafeArrayLock&) = delete;
    SafeArrayLock& operator=(const SafeArrayLock&) = delete;
    template <typename T> T* Data() const { return static_cast<T*>(m_data); }

private:
    SAFEARRAY* m_array;
    void* m_data = nullptr;
};

} // namespace refsrv
