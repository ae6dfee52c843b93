// One owner type for every kind of kernel and system handle. Null-invalid and
// INVALID_HANDLE_VALUE-invalid handles are different types, so they cannot be mixed up.
#pragma once

#include <windows.h>
#include <utility>

namespace zav {

template <typename Traits> class UniqueHandle {
public:
    using pointer = typename Traits::pointer;

    UniqueHandle() noexcept = default;
    explicit UniqueHandle(pointer value) noexcept : m_value(value) {}
    UniqueHandle(UniqueHandle&& other) noexcept : m_value(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() { reset(); }

    explicit operator bool() const noexcept { return m_value != Traits::invalid(); }
    pointer get() const noexcept { return m_value; }
    // For APIs that return the handle through an out parameter.
    pointer* put() noexcept {
        reset();
        return &m_value;
    }
    pointer release() noexcept { return std::exchange(m_value, Traits::invalid()); }
    // Closing keeps the caller's last-error value, so a failure can be read after clean-up.
    void reset(pointer value = Traits::invalid()) noexcept {
        if (m_value != Traits::invalid()) {
            DWORD error = ::GetLastError();
            Traits::close(m_value);
            ::SetLastError(error);
        }
        m_value = value;
    }

private:
    pointer m_value = Traits::invalid();
};

struct NullHandleTraits {
    using pointer = HANDLE;
    static pointer invalid() noexcept { return nullptr; }
    static void close(pointer value) noexcept { ::CloseHandle(value); }
};

struct FileHandleTraits {
    using pointer = HANDLE;
    static pointer invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void close(pointer value) noexcept { ::CloseHandle(value); }
};

struct FindHandleTraits {
    using pointer = HANDLE;
    static pointer invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void close(pointer value) noexcept { ::FindClose(value); }
};

struct ModuleTraits {
    using pointer = HMODULE;
    static pointer invalid() noexcept { return nullptr; }
    static void close(pointer value) noexcept { ::FreeLibrary(value); }
};

struct RegKeyTraits {
    using pointer = HKEY;
    static pointer invalid() noexcept { return nullptr; }
    static void close(pointer value) noexcept { ::RegCloseKey(value); }
};

struct EventSourceTraits {
    using pointer = HANDLE;
    static pointer invalid() noexcept { return nullptr; }
    static void close(pointer value) noexcept { ::DeregisterEventSource(value); }
};

// Blocks that the system allocated with LocalAlloc (security descriptors, message texts).
struct LocalMemoryTraits {
    using pointer = void*;
    static pointer invalid() noexcept { return nullptr; }
    static void close(pointer value) noexcept { ::LocalFree(value); }
};

using UniqueHandleNull = UniqueHandle<NullHandleTraits>;
using UniqueFile = UniqueHandle<FileHandleTraits>;
using UniqueFind = UniqueHandle<FindHandleTraits>;
using UniqueModule = UniqueHandle<ModuleTraits>;
using UniqueRegKey = UniqueHandle<RegKeyTraits>;
using UniqueEventSource = UniqueHandle<EventSourceTraits>;
using UniqueLocal = UniqueHandle<LocalMemoryTraits>;

} // namespace zav
