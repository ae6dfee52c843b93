// zavrun's service module: the daily log (owned as a host owns it, so that the library may
// retire it after a logging failure), the log guard, and the stop event that Ctrl+C sets.
#pragma once

#include <windows.h>
#include <string>

#include "ZAVTools.h"

namespace zavrun {

class HostModule : public CBaseZAVModule {
public:
    HostModule(const std::string& logFolder, const std::string& logLevel);
    ~HostModule();
    HostModule(const HostModule&) = delete;
    HostModule& operator=(const HostModule&) = delete;

    const char* GetServiceName() override { return "zavrun"; }
    HRESULT Start() override { return S_OK; }
    HRESULT Stop() override;
    long OnFatalException(long hr, win32_exception* e, const char* where) override;

    bool StopRequested() const;
    // Writes one INFO line (and nothing when the module has no log any more).
    void Info(const char* text);

private:
    CZAVConfig m_config;
};

} // namespace zavrun
