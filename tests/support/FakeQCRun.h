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
#include "support/Files.h"
#include "support/SafeArrays.h"
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

    explicit FakeQCRun(int charId = 17, const std::string& processName = "")
        : specs(sheet.Ptr(), wanted, charId, 0, false, 0.0, nullptr),
          state(CSpecManagerTestAccess::State(specs)) {
        app.analysis = &analysis;
        analysis.dialog = &dialog;
        dialog.value = chart.Dispatch();
        for (ScriptedCalls* fake :
             std::initializer_list<ScriptedCalls*>{&sheet, &chart, &dialog, &analysis, &app})
            fake->journal = &journal;
        specs.SetProcessName(processName);
    }
    // Every alarm kind compiled in and wanted, all seven runs tests, both chart parts; the
    // chart's label identifies a sample.
    void SwitchAllAlarmsOn() {
        state.m_bProcessSampleOutOfControl = true;
        state.m_bProcessSampleOutsideWarningLimits = true;
        state.m_bProcessObsOutOfSpecs = true;
        state.m_bProcessRunsViolation = true;
        state.m_runsTests = {0, 1, 2, 3, 4, 5, 6};
        state.m_nCheckAlarmFor = 3;
        state.m_nSampleVar = 0;
        wanted = {"out of control", "outside warning limits", "runs violation", "outside specs"};
    }
    // One sample per label (key "k", first case on row 2 * index), outside its X and R control
    // and warning limits: X 12.7 against [10, 12] and [10.5, 11.5], R 4 against [0, 3.5] and
    // [0.5, 3.25]; specification limit set 1, [9.5, 10.5]. Every cell holds 11.
    void AddSamples(const std::vector<std::wstring>& labels) {
        for (const std::wstring& label : labels) {
            FakeChartServer::Sample& sample =
                chart.samples[chart.AddSample(label, L"k", 2.0 * chart.samples.size())];
            sample.xMeasure = 12.7;
            sample.xControl = {10, 12};
            sample.xWarning = {10.5, 11.5};
            sample.rMeasure = 4;
            sample.rControl = {0, 3.5};
            sample.rWarning = {0.5, 3.25};
            sample.specLimitSet = 1;
        }
        chart.specLimitSets[1] = {0, 9.5, 10.5};
        chart.numbers["ObservationVariable"] = 3;
        sheet.valueOf = [](long, long) { return std::optional<double>(11.0); };
    }
    // Launch raises for each label an out-of-control event of both chart parts and, for every
    // `observationsEvery`th label (none for 0), its second observation outside the
    // specification limits; the cancel query between samples.
    void ScriptLaunch(std::vector<std::wstring> labels, int observationsEvery) {
        chart.onLaunch = [this, labels = std::move(labels), observationsEvery] {
            const SafeArray keys = SafeArray::OfBstrs({L"k"});
            const SafeArray second = SafeArray::OfInts({2});
            for (size_t i = 0; i < labels.size(); ++i) {
                const SafeArray label = SafeArray::OfBstrs({labels[i]});
                answers.push_back(chart.Alarm(VELIQCVChartsLib::DISPID_SampleOutOfControl,
                                              {label.get(), keys.get()}, 3));
                if (observationsEvery && i % observationsEvery == 0)
                    answers.push_back(chart.Alarm(VELIQCVChartsLib::DISPID_ObsOutsideSpecs,
                                                  {label.get(), keys.get(), second.get()}));
                VARIANT_BOOL cancel = VARIANT_FALSE;
                chart.QueryCancel(&cancel);
            }
        };
    }
    bool Run(CBaseZAVModule& module, const char* projectFile = "C:\\QC\\line-a.qcp") {
        return RunDashboardProcess2(module, app.Ptr(), sheet.Ptr(), projectFile, specs);
    }
    // The kept records as "type|process|sample|charId".
    std::vector<std::string> Records() const {
        auto narrow = [](const wchar_t* text) { return text ? Narrow(text) : "<null>"; };
        std::vector<std::string> records;
        for (const QCAlarm& alarm : state.m_alarms)
            records.push_back(narrow(alarm.alarmType) + "|" + narrow(alarm.processName) + "|" +
                              narrow(alarm.sampleId) + "|" + std::to_string(alarm.charId));
        return records;
    }
};

} // namespace zavtest
