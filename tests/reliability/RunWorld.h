// One QC run in memory, self-contained so that several can run at once: the analysis
// application with its analysis and dialog, a chart server whose Launch raises the events a
// test scripts, a spreadsheet, and a spec manager compiled to forward every alarm kind, with
// the chart's label as the sample identity. Nothing is recorded (the fakes only answer).
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "ZAVTools.h"
#include "support/FakeApplication.h"
#include "support/FakeChartServer.h"
#include "support/FakeSpreadsheet.h"
#include "support/SafeArrays.h"
#include "support/SpecManagerTestAccess.h"

namespace zavtest {

struct RunWorld {
    FakeSpreadsheet sheet;
    FakeChartServer chart;
    FakeDialog dialog;
    FakeAnalysis analysis;
    FakeApplication app;
    std::vector<std::string> wanted{"out of control", "outside warning limits", "runs violation",
                                    "outside specs"};
    CSpecManager specs;
    SpecManagerImpl& state;
    // What the sink answered each event the chart raised, in order.
    std::vector<HRESULT> answers;

    RunWorld(int charId, const std::string& processName)
        : specs(sheet.Ptr(), wanted, charId, 0, false, 0.0, nullptr),
          state(CSpecManagerTestAccess::State(specs)) {
        app.analysis = &analysis;
        analysis.dialog = &dialog;
        dialog.value = static_cast<IDispatch*>(static_cast<VELIQCVChartsLib::_IQCVCharts*>(&chart));
        for (ScriptedCalls* fake : std::initializer_list<ScriptedCalls*>{
                 &sheet, &chart, &chart.events, &dialog, &analysis, &app})
            fake->record = false;
        state.m_bProcessSampleOutOfControl = true;
        state.m_bProcessSampleOutsideWarningLimits = true;
        state.m_bProcessObsOutOfSpecs = true;
        state.m_bProcessRunsViolation = true;
        state.m_runsTests = {0, 1, 2, 3, 4, 5, 6};
        state.m_nCheckAlarmFor = 3;
        state.m_nSampleVar = 0;
        specs.SetProcessName(processName);
        chart.specLimitSets[1] = {0, 9.5, 10.5};
        chart.observationVariable = 3;
        sheet.valueOf = [](long, long) { return std::optional<double>(11.0); };
    }

    // Samples with these labels (key "k"), out of their X and R control limits and of their
    // specification limits; the first case of sample i is on row 2i.
    void AddSamples(const std::vector<std::wstring>& labels) {
        for (const std::wstring& label : labels) {
            const long index = chart.AddSample(label, L"k", 2.0 * chart.samples.size());
            FakeChartServer::Sample& sample = chart.samples[index];
            sample.xMeasure = 12.7;
            sample.xControl = {10, 12};
            sample.rMeasure = 4;
            sample.rControl = {0, 3.5};
            sample.specLimitSet = 1;
        }
    }

    // The chart run raises, for each label, an out-of-control event of both chart parts
    // (two records) and, for every `observationsEvery`th sample, an event of its second
    // observation outside the specification limits (one record); the cancel query between
    // samples.
    void ScriptLaunch(std::vector<std::wstring> labels, int observationsEvery) {
        chart.onLaunch = [this, labels = std::move(labels), observationsEvery] {
            const SafeArray keys = SafeArray::OfBstrs({L"k"});
            const SafeArray second = SafeArray::OfInts({2});
            for (size_t i = 0; i < labels.size(); ++i) {
                const SafeArray label = SafeArray::OfBstrs({labels[i].c_str()});
                answers.push_back(
                    chart.events.SampleOutOfControl(label.get(), keys.get(), false, 3));
                if (observationsEvery && i % observationsEvery == 0)
                    answers.push_back(chart.events.ObsOutsideSpecs(label.get(), keys.get(),
                                                                   second.get(), false, 1));
                VARIANT_BOOL cancel = VARIANT_FALSE;
                chart.events.QueryCancel(&cancel);
            }
        };
    }

    bool Run(CBaseZAVModule& module) {
        return RunDashboardProcess2(module, app.Ptr(), sheet.Ptr(), "C:\\QC\\line.qcp", specs);
    }

    // The kept records as "type|process|sample|charId".
    std::vector<std::string> Records() const {
        std::vector<std::string> records;
        for (const QCAlarm& alarm : state.m_alarms)
            records.push_back(Narrow(alarm.alarmType) + "|" + Narrow(alarm.processName) + "|" +
                              Narrow(alarm.sampleId) + "|" + std::to_string(alarm.charId));
        return records;
    }

private:
    static std::string Narrow(const wchar_t* text) {
        return text ? std::string(_bstr_t(text)) : "<null>";
    }
};

} // namespace zavtest
