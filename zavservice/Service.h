// The service's work: every watched folder looked at when it changes (ReadDirectoryChangesW) and
// a few times a second, each file taken once its writer is done with it, charted, its alarms
// put in the webhook's outbox (when there is a webhook) and committed to the store, and the file
// moved to done\ (or failed\ with <name>.error.txt). The webhook's deliveries go on beside.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "AlarmStore.h"
#include "HostModule.h"
#include "ServiceConfig.h"
#include "Webhook.h"

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
    std::unique_ptr<Outbox> m_outbox;                     // when a webhook is configured
    std::map<std::string, unsigned long long> m_lastSize; // per path, at the last look
};

} // namespace zavservice
