// The service's work: every watched folder looked at when it changes (ReadDirectoryChangesW) and
// a few times a second, each file taken once its writer is done with it, charted, its alarms
// put in the webhook's outbox (when there is a webhook) and committed to the store, and the file
// moved to done\ (or failed\ with <name>.error.txt). The webhook's deliveries go on beside.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>

#include "AlarmStore.h"
#include "HostModule.h"
#include "ServiceConfig.h"
#include "Webhook.h"

namespace zavservice {

// The service's module: the daily log, its guard and the stop event, its event-log reports
// under the service's name.
class ServiceModule : public zavrun::HostModule {
public:
    using HostModule::HostModule;
    const char* GetServiceName() override { return "zavservice"; }
};

// The configuration loaded and the service run with a module of its own until its stop event;
// `ready` is told the module once the service can take files (`how`: "in a console"...).
// Raises ConfigError and the store's std::runtime_error before it is ready.
void RunService(
    const std::string& configFile, const char* how,
    const std::function<void(ServiceModule& module, const ServiceConfig& config)>& ready);

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
