// The service's work: every watched folder looked at when it changes (ReadDirectoryChangesW) and
// a few times a second, each file taken once its writer is done with it, charted, its alarms
// committed to the store, and the file moved to done\ (or failed\ with <name>.error.txt).
#pragma once

#include <map>
#include <string>

#include "AlarmStore.h"
#include "HostModule.h"
#include "ServiceConfig.h"

namespace zavservice {

class Service {
public:
    Service(const ServiceConfig& config, zavrun::HostModule& module);

    // Until the module's stop event: the files already there first, then each new one.
    void Run();
    // One look at every folder, taking the files that are ready; how many it took.
    int LookOnce();

private:
    bool Ready(const std::string& path, const WIN32_FILE_ATTRIBUTE_DATA& data);
    void Take(const WatchedFolder& folder, const std::string& name);

    const ServiceConfig& m_config;
    zavrun::HostModule& m_module;
    AlarmStore m_store;
    std::map<std::string, unsigned long long> m_lastSize; // per path, at the last look
};

} // namespace zavservice
