// One zavrun invocation: the data, the project and the analysis application, and the QC runs
// over them (one per process block, or one over all cases).
#pragma once

#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include <RefServer.h>

#include "AlarmService.h"
#include "CommandLine.h"
#include "HostModule.h"
#include "ZAVTools.h"

namespace zavrun {

// A problem with the input, worded for the person who gave it: the file and what is wrong.
class InputError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct RunSummary {
    int number = 0; // from 1, in the order of the runs
    std::string processName;
    long firstCase = 0, lastCase = 0;
    long samples = 0;
    bool cancelled = false;
    std::map<std::string, int> alarms; // per alarm type
    int totalAlarms = 0;
    std::string chartFile;      // the SVG written, if any
    std::string svg;            // the chart, kept for a report
    std::vector<AlarmRow> rows; // the first records, kept for a report
};

class QcSession {
public:
    QcSession(const RunOptions& options, HostModule& module, AlarmService& service);

    // Opens the data and the project; raises InputError.
    void Open();
    // Runs every block; raises InputError for a project the library rejects, _com_error for
    // other failures. `report` is called after each run.
    template <typename Report> void RunAll(Report report);

    // Called as each run starts, with its number, process name and cases.
    std::function<void(int run, const std::string& processName, long firstCase, long lastCase)>
        onRunStart;
    long Cases() const { return m_sheet->NumberOfCases(); }
    // The application's progress readout, for a display on another thread; null when it has none.
    IRefApplicationPtr Progress() const { return IRefApplicationPtr(m_application); }

private:
    RunSummary RunBlock(long firstCase, long lastCase, const std::string& processName);
    std::vector<int> ProcessVariables() const;
    int Variable(const std::string& nameOrNumber) const;
    void ReadRun(RunSummary& summary, const VELTRIUM::_SpreadsheetPtr& view);
    void DrawChart(RunSummary& summary, const VELIQCVChartsLib::_IQCVChartsPtr& chart,
                   const VELTRIUM::_SpreadsheetPtr& view);
    std::string Identity(const VELIQCVChartsLib::_IQCVChartsPtr& chart,
                         const VELTRIUM::_SpreadsheetPtr& view, size_t sample) const;

    const RunOptions& m_options;
    // The files as full paths: the initialization-file reader looks for a relative path in the
    // Windows folder, not in the current one.
    std::string m_dataPath, m_qcpPath;
    HostModule& m_module;
    AlarmService& m_service;
    VELTRIUM::_ApplicationPtr m_application;
    VELTRIUM::_SpreadsheetPtr m_sheet;
    Vexil::_ObjectManagerPtr m_objectManager;
    int m_charId = 1;
    int m_ignoreVariable = 0;
    // What identifies a sample in the alarm records: the sample variable, or these columns.
    int m_sampleVar = -1;
    std::vector<int> m_identityColumns;
    int m_runs = 0;
};

template <typename Report> void QcSession::RunAll(Report report) {
    const std::vector<int> variables = ProcessVariables();
    if (variables.empty()) {
        report(RunBlock(1, m_sheet->NumberOfCases(), std::string()));
        return;
    }
    ProcessBlock block{};
    for (int start = 1;
         !m_module.StopRequested() && GetProcessBlock(m_sheet, start, variables, block);
         start = block.lastCase + 1)
        report(RunBlock(block.firstCase, block.lastCase, block.processName));
}

} // namespace zavrun
