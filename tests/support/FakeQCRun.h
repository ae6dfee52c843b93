// One QC run in memory, self-contained so that several can run at once: the analysis
// application with its analysis and dialog, a chart server, a spreadsheet and a CSpecManager
// whose compiled state a test sets directly. The calls on every fake are also kept in one
// journal, in order.
#pragma once

#include <string>
#include <vector>

#include "ZAVTools.h"
#include "support/FakeApplication.h"
#include "support/FakeChartServer.h"
#include "support/FakeSpreadsheet.h"
#include "support/SpecManagerTestAccess.h"

namespace zavtest {

struct FakeQCRun {
    FakeSpreadsheet sheet;
    FakeChartServer chart;
    FakeDialog dialog;
    FakeAnalysis analysis;
    FakeApplication app;
    std::vector<std::string> wanted;
    CSpecManager specs;
    SpecManagerImpl& state;
    std::vector<std::string> journal;
    // What the sinks answered each event that ScriptLaunch raised, in order.
    std::vector<HRESULT> answers;

    explicit FakeQCRun(int charId = 17, const std::string& processName = "");
    // Every alarm kind compiled in and wanted, all seven runs tests, both chart parts; the
    // chart's label identifies a sample.
    void SwitchAllAlarmsOn();
    // One sample per label (key "k", first case on row 2 * index), outside its X and R control
    // and warning limits: X 12.7 against [10, 12] and [10.5, 11.5], R 4 against [0, 3.5] and
    // [0.5, 3.25]; specification limit set 1, [9.5, 10.5]. Every cell holds 11.
    void AddSamples(const std::vector<std::wstring>& labels);
    // Launch raises for each label an out-of-control event of both chart parts and, for every
    // `observationsEvery`th label (none for 0), its second observation outside the
    // specification limits; the cancel query between samples.
    void ScriptLaunch(std::vector<std::wstring> labels, int observationsEvery);
    bool Run(CBaseZAVModule& module, const char* projectFile = "C:\\QC\\line-a.qcp");
    // The kept records as "type|process|sample|charId".
    std::vector<std::string> Records() const;
};

} // namespace zavtest
