// zavrun: runs QC on production data the way a ZAV service module does, with ZAVTools.dll and the
// reference analysis server, and hands the alarms to a service that writes them as JSON Lines.
#include <windows.h>
#include <objbase.h>
#include <cstdio>
#include <string>
#include <vector>

#include "AlarmService.h"
#include "CommandLine.h"
#include "HostModule.h"
#include "HtmlReport.h"
#include "ProgressLine.h"
#include "QcSession.h"

namespace {

using namespace zavrun;

void PrintSummary(FILE* out, int run, const RunSummary& summary) {
    fprintf(out, "run %d: %s, cases %ld to %ld, %ld samples: %d alarm%s", run,
            summary.processName.empty() ? "all cases" : summary.processName.c_str(),
            summary.firstCase, summary.lastCase, summary.samples, summary.totalAlarms,
            summary.totalAlarms == 1 ? "" : "s");
    const char* separator = " (";
    for (const auto& [type, count] : summary.alarms) {
        fprintf(out, "%s%s %d", separator, type.c_str(), count);
        separator = ", ";
    }
    fprintf(out, "%s%s\n", summary.alarms.empty() ? "" : ")",
            summary.cancelled ? "; stopped by Ctrl+C" : "");
    if (!summary.chartFile.empty())
        fprintf(out, "  chart: %s\n", summary.chartFile.c_str());
}

int Run(const RunOptions& options) {
    FILE* alarms = stdout;
    if (!options.outputFile.empty() && !(alarms = fopen(options.outputFile.c_str(), "wb")))
        throw InputError(options.outputFile + ": cannot be written");
    if (!options.svgFolder.empty())
        ::CreateDirectoryA(options.svgFolder.c_str(), nullptr);
    FILE* report = alarms == stdout ? stderr : stdout;

    HostModule module(options.logFolder.empty() ? "." : options.logFolder, options.logLevel);
    AlarmService service(alarms);
    service.KeepRows(options.reportFolder.empty() ? 0 : kReportRowsPerRun);
    QcSession session(options, module, service);
    session.Open();
    int runs = 0, total = 0;
    std::vector<RunSummary> summaries;
    module.Info("zavrun started");
    {
        ProgressLine progress(stderr, !options.quiet && ProgressLine::IsConsole(stderr),
                              session.Progress(), session.Cases());
        session.onRunStart = [&](int run, const std::string& name, long firstCase, long lastCase) {
            progress.StartRun(run, name, firstCase, lastCase, total);
        };
        session.RunAll([&](RunSummary summary) {
            progress.Clear();
            PrintSummary(report, ++runs, summary);
            total += summary.totalAlarms;
            if (!options.reportFolder.empty())
                summaries.push_back(std::move(summary));
        });
        session.onRunStart = nullptr; // it shows on the line that ends here
    }
    if (alarms != stdout)
        fclose(alarms);
    if (!options.reportFolder.empty()) {
        WriteHtmlReport(options, summaries);
        fprintf(report, "report: %s\\index.html\n", options.reportFolder.c_str());
    }
    fprintf(report, "%d run%s, %d alarm%s%s%s\n", runs, runs == 1 ? "" : "s", total,
            total == 1 ? "" : "s", options.outputFile.empty() ? "" : " written to ",
            options.outputFile.c_str());
    module.Info("zavrun finished");
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    PrepareExceptionHandling();
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    int result = 1;
    try {
        RunOptions options = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
        if (options.help) {
            fputs(kUsage, stdout);
            result = 0;
        } else {
            result = Run(options);
        }
    } catch (const UsageError& e) {
        fprintf(stderr, "zavrun: %s\n%s", e.what(), kUsage);
        result = 2;
    } catch (const InputError& e) {
        fprintf(stderr, "zavrun: %s\n", e.what());
    } catch (const _com_error& e) {
        fprintf(stderr, "zavrun: %s (0x%08lX)\n",
                e.Description().length() ? static_cast<const char*>(e.Description())
                                         : e.ErrorMessage(),
                static_cast<unsigned long>(e.Error()));
    } catch (const std::exception& e) {
        fprintf(stderr, "zavrun: %s\n", e.what());
    }
    ::CoUninitialize();
    return result;
}
