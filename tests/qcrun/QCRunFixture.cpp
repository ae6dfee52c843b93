#include "qcrun/QCRunFixture.h"

namespace zavtest {

std::string ThreadErrorDescription() {
    IErrorInfo* raw = nullptr;
    if (::GetErrorInfo(0, &raw) != S_OK || !raw)
        return "<none>";
    return DescriptionOf(_com_error(E_FAIL, raw, false));
}

void QCRun::SetUp() {
    app.analysis = &analysis;
    analysis.dialog = &dialog;
    dialog.value = static_cast<IDispatch*>(static_cast<VELIQCVChartsLib::_IQCVCharts*>(&chart));
    for (ScriptedCalls* fake : std::initializer_list<ScriptedCalls*>{&sheet, &chart, &chart.events,
                                                                     &dialog, &analysis, &app})
        fake->journal = &journal;
}

void QCRun::SwitchAllAlarmsOn() {
    state.m_bProcessSampleOutOfControl = true;
    state.m_bProcessSampleOutsideWarningLimits = true;
    state.m_bProcessObsOutOfSpecs = true;
    state.m_bProcessRunsViolation = true;
    state.m_runsTests = {0, 1, 2, 3, 4, 5, 6};
    state.m_nSampleVar = 0;
}

void QCRun::AddSamples(std::initializer_list<const wchar_t*> labels) {
    for (const wchar_t* label : labels) {
        const long index = chart.AddSample(label, L"k", 2.0 * chart.samples.size());
        FakeChartServer::Sample& sample = chart.samples[index];
        sample.xMeasure = 12.7;
        sample.xControl = {10, 12};
        sample.xWarning = {10.5, 11.5};
        sample.rMeasure = 4;
        sample.rControl = {0, 3.5};
        sample.rWarning = {0.5, 3.25};
        sample.specLimitSet = 1;
    }
    chart.specLimitSets[1] = {0, 9.5, 10.5};
    chart.observationVariable = 3;
    sheet.valueOf = [](long, long) { return std::optional<double>(11.0); };
}

std::vector<std::wstring> QCRun::AlarmTypes() const {
    std::vector<std::wstring> types;
    for (const QCAlarm& alarm : state.m_alarms)
        types.push_back(alarm.alarmType ? alarm.alarmType : L"<null>");
    return types;
}

} // namespace zavtest
