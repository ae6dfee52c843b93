// The host's objects as the library sees them: the service module, its configuration and the
// service's notification interface. They belong to the host; the library only reads the
// members and calls the operations declared here, and never owns or copies them.
#pragma once

#include <windows.h>
#include <unknwn.h>
#include <exception>
#include <string>

class CLogFile;
class win32_exception;
struct QCAlarm;

class CBaseZAVModule {
public:
    // The module's name: the source name of its event-log reports. May be null.
    virtual const char* GetServiceName() = 0;
    // The host's own start and stop; the library never calls them.
    virtual HRESULT Start() = 0;
    virtual HRESULT Stop() = 0;
    // Told of a structured exception before the library logs and rethrows it. `where` is the
    // name of the operation that caught it. The result is ignored.
    virtual long OnFatalException(long hr, win32_exception* e, const char* where) = 0;

    // The module's log, or null. Every use is guarded by m_hLogMutex.
    CLogFile* m_pLogFile = nullptr;
    HANDLE m_hLogMutex = nullptr;
    // Signalled when the module's work is to stop; null when it never asks to stop.
    HANDLE m_hStopEvent = nullptr;

protected:
    CBaseZAVModule() = default;
    CBaseZAVModule(const CBaseZAVModule&) = default;
    CBaseZAVModule& operator=(const CBaseZAVModule&) = default;
    ~CBaseZAVModule() = default;
};

// Read by CLogFile on every line, never written.
class CZAVConfig {
public:
    std::string m_strLogPath;  // folder of the daily log files
    std::string m_strLogLevel; // "ERROR", "WARNING", "INFO", "DEBUG" or "TRACE"
};

// Thrown by a host when the service shuts down in the middle of work; the chart event sink
// answers it with 0xA0040602.
class shutdown_exception : public std::exception {
public:
    explicit shutdown_exception(const char* text = "The service is shutting down") noexcept
        : m_text(text) {}
    const char* what() const noexcept override { return m_text; }

private:
    const char* m_text;
};

// The service's side of the alarm hand-over. The records stay owned by the caller: the
// service copies what it keeps before it returns.
struct IZAVServerNotify : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE NotifyAlarms(unsigned long long count,
                                                   const QCAlarm* first) = 0;
};

__CRT_UUID_DECL(IZAVServerNotify, 0xe4a8e61e, 0x8e1c, 0x49fe, 0x90, 0x00, 0x22, 0x75, 0x7e, 0xe6,
                0x57, 0x81)
