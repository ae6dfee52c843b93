// zavservice under the service control manager: installing and removing it, and running as the
// service the manager starts.
#pragma once

#include <string>

namespace zavservice {

constexpr char kServiceName[] = "zavservice";

// Installed for automatic start with `executable` (this one when empty) and the configuration's
// full path (which must load); raises std::runtime_error with the manager's refusal.
void InstallService(const std::string& configFile, const std::string& executable = "");
// Stopped when running, then removed; raises std::runtime_error.
void UninstallService();
// Called by the manager's start (the command line `service --config FILE`): runs until the
// manager stops it. Returns the process exit code.
int RunAsService(const std::string& configFile);

} // namespace zavservice
