// zavservice: the monitoring service. It watches drop folders, runs QC on every new data file
// with ZAVTools.dll and the reference analysis server, and keeps each file's alarms in the
// alarm store once.
//
//   zavservice install --config FILE    installs it for automatic start (the configuration
//                                       must load)
//   zavservice uninstall                stops and removes it
//   zavservice run --config FILE        runs it in this console until Ctrl+C
#include <windows.h>
#include <objbase.h>
#include <cstdio>
#include <string>

#include "HostModule.h"
#include "Service.h"
#include "ServiceConfig.h"
#include "ServiceControl.h"

namespace {

const char kUsage[] = "usage: zavservice install --config FILE | uninstall | run --config FILE\n";

int RunInConsole(const std::string& configFile) {
    zavservice::RunService(configFile, "in a console",
                           [](zavservice::ServiceModule&, const zavservice::ServiceConfig& config) {
                               fprintf(stderr, "zavservice: watching %zu folder(s); Ctrl+C stops\n",
                                       config.folders.size());
                           });
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    PrepareExceptionHandling();
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    int result = 2;
    try {
        const std::string command = argc > 1 ? argv[1] : "";
        const bool config = argc == 4 && std::string(argv[2]) == "--config";
        if (command == "run" && config) {
            result = RunInConsole(argv[3]);
        } else if (command == "service" && config) {
            result = zavservice::RunAsService(argv[3]);
        } else if (command == "install" && config) {
            zavservice::InstallService(argv[3]);
            fprintf(stderr, "zavservice: installed for automatic start\n");
            result = 0;
        } else if (command == "uninstall" && argc == 2) {
            zavservice::UninstallService();
            fprintf(stderr, "zavservice: removed\n");
            result = 0;
        } else {
            fputs(kUsage, stderr);
        }
    } catch (const std::exception& e) {
        fprintf(stderr, "zavservice: %s\n", e.what());
        result = 1;
    }
    ::CoUninitialize();
    return result;
}
