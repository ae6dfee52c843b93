// The alarm handlers: the chart server's alarm events become described alarm records.
#include <algorithm>
#include <cstdint>

#include "ZAVTools/SpecManager.h"
#include "alarms/EventAlarms.h"
#include "alarms/SpecManagerImpl.h"
#include "common/FormattedError.h"
#include "common/SafeArrayData.h"
#include "res/StringIds.h"

namespace {

using VELIQCVChartsLib::_IQCVChartsPtr;
using zav::SafeArrayData;

// Where a sample of the event lies: the chart's index and the 1-based spreadsheet case on
// which it starts.
struct SampleLocation {
    long index;
    int caseNumber;
};

// A copy for the duration of one automation call; only a null source gives null.
CComBSTR CopyForCall(const wchar_t* text) {
    CComBSTR copy;
    if (text && !(copy.m_str = ::SysAllocString(text)))
        _com_issue_error(E_OUTOFMEMORY);
    return copy;
}

long FindSample(const _IQCVChartsPtr& chart, const wchar_t* label, const wchar_t* key) {
    const CComBSTR keyCopy = CopyForCall(key);
    const CComBSTR labelCopy = CopyForCall(label);
    long index = 0;
    const HRESULT hr = chart->raw_FindSample(labelCopy, keyCopy, &index);
    if (FAILED(hr))
        _com_issue_errorex(hr, chart.GetInterfacePtr(), __uuidof(VELIQCVChartsLib::_IQCVCharts));
    return index;
}

// The chart server counts rows from 0 as a double; cases count from 1.
int CaseOfFirstRow(double firstRow) {
    if (!(firstRow > -2147483649.0 && firstRow < 2147483647.0))
        zav::ThrowFormattedComError(DISP_E_OVERFLOW,
                                    "The chart server placed a sample on row %g, which no case has",
                                    firstRow);
    return static_cast<int>(firstRow) + 1;
}

SampleLocation Locate(const _IQCVChartsPtr& chart, const wchar_t* label, const wchar_t* key) {
    const long index = FindSample(chart, label, key);
    return {index, CaseOfFirstRow(chart->SampleFirstCase(index))};
}

// Observation 1 lies on the sample's first case.
long ObservationCase(int firstCase, int observation) {
    const int64_t caseNumber = static_cast<int64_t>(firstCase) - 1 + observation;
    if (caseNumber < INT32_MIN || caseNumber > INT32_MAX)
        zav::ThrowFormattedComError(
            DISP_E_OVERFLOW, "Observation %d of the sample on case %d lies beyond the last case",
            observation, firstCase);
    return static_cast<long>(caseNumber);
}

// The observation against the specification limits of the sample's set. The four chart calls
// are one statement each so that the server sees them in this order.
CString ObservationText(const _IQCVChartsPtr& chart, long sample, int observation, double x) {
    const long set = chart->SpecLimitSet(sample);
    const double lower = chart->LowerSpecLimit(set);
    const double upper = chart->UpperSpecLimit(set);
    const long type = chart->SpecLimitType(set);
    CString text;
    // One-sided sets: type 3 has no lower limit in force, type 4 no upper limit.
    if (type == 3)
        text.Format(IDS_OBS_OUT_OF_SPEC_NO_LOWER, observation, x, upper);
    else if (type == 4)
        text.Format(IDS_OBS_OUT_OF_SPEC_NO_UPPER, observation, x, lower);
    else
        text.Format(IDS_OBS_OUT_OF_SPEC, observation, x, lower, upper);
    return text;
}

int BitCount(int parts) {
    return (parts & 1) + ((parts >> 1) & 1);
}

} // namespace

bool CSpecManager::ShouldIgnoreAlarm(int caseNumber) {
    const SpecManagerImpl& state = *m_pImpl;
    if (state.m_nIgnoreVar <= 0 || !(state.m_dIgnoreThreshold > 0.0))
        return false;
    const double value = state.m_spSpreadsheet->CellValue(caseNumber, state.m_nIgnoreVar);
    // Strict: a value equal to the threshold, or NaN, keeps the alarm.
    return state.m_dIgnoreThreshold > value;
}

void CSpecManager::OnSampleOutOfControl(_IQCVChartsPtr chart, SAFEARRAY* labels, SAFEARRAY* keys,
                                        bool flag, long chartParts) {
    if (m_pImpl->m_bProcessSampleOutOfControl)
        OnSpecLimitAlarm(std::move(chart), labels, keys, flag, chartParts, 0);
}

void CSpecManager::OnSampleOutsideWarningLimits(_IQCVChartsPtr chart, SAFEARRAY* labels,
                                                SAFEARRAY* keys, bool flag, long chartParts) {
    if (m_pImpl->m_bProcessSampleOutsideWarningLimits)
        OnSpecLimitAlarm(std::move(chart), labels, keys, flag, chartParts, 1);
}

void CSpecManager::OnSpecLimitAlarm(_IQCVChartsPtr chart, SAFEARRAY* labels, SAFEARRAY* keys,
                                    bool /*flag*/, long chartParts, int warning) {
    SpecManagerImpl& state = *m_pImpl;
    const SafeArrayData labelData(labels, "labels", VT_BSTR);
    const long count = labelData.Count();
    const SafeArrayData keyData(keys, "keys", VT_BSTR);
    keyData.RequireAtLeast(count, "labels");

    const int parts = static_cast<int>(chartParts) & state.m_nCheckAlarmFor & 3;
    zav::EventAlarms alarms(state, warning ? L"SampleOutsideWarningLimits" : L"SampleOutOfControl",
                            static_cast<size_t>(count) * BitCount(parts));
    for (long i = 0; i < count; ++i) {
        const BSTR label = labelData.At<BSTR>(i);
        const SampleLocation at = Locate(chart, label, keyData.At<BSTR>(i));
        // The ignore test comes first: its cell is read even for a sample the charts drop.
        if (ShouldIgnoreAlarm(at.caseNumber) || parts == 0)
            continue;
        QCAlarm alarm = alarms.Start();
        alarms.FillSampleId(alarm, label, at.caseNumber);
        alarms.FillCharDetails(alarm, at.caseNumber);
        // Both texts are built before either record is kept, so a failure on the R text leaves
        // nothing of this sample behind.
        CString xText, rText;
        if (parts & 1)
            xText = GetSampleAlarmDesc(chart, at.index, 1, warning);
        if (parts & 2)
            rText = GetSampleAlarmDesc(chart, at.index, 2, warning);
        if (parts == 3) {
            QCAlarm::SetString(alarm.description, xText.GetString());
            QCAlarm xAlarm(alarm);
            QCAlarm::SetString(alarm.description, rText.GetString());
            alarms.Keep(std::move(xAlarm), std::move(alarm));
        } else {
            QCAlarm::SetString(alarm.description, (parts & 1 ? xText : rText).GetString());
            alarms.Keep(std::move(alarm));
        }
    }
}

void CSpecManager::OnObsOutsideSpecs(_IQCVChartsPtr chart, SAFEARRAY* labels, SAFEARRAY* keys,
                                     SAFEARRAY* observations, bool /*flag*/, long /*value*/) {
    SpecManagerImpl& state = *m_pImpl;
    if (!state.m_bProcessObsOutOfSpecs)
        return;
    const SafeArrayData labelData(labels, "labels", VT_BSTR);
    const long count = labelData.Count();
    const SafeArrayData keyData(keys, "keys", VT_BSTR);
    keyData.RequireAtLeast(count, "labels");
    const SafeArrayData observationData(observations, "observations", VT_I4);
    observationData.RequireAtLeast(count, "labels");

    // Asked once per event, also when the event lists nothing.
    const long observationVar = chart->ObservationVariable();
    zav::EventAlarms alarms(state, L"ObsOutsideSpecs", static_cast<size_t>(count));
    for (long i = 0; i < count; ++i) {
        const BSTR label = labelData.At<BSTR>(i);
        const SampleLocation at = Locate(chart, label, keyData.At<BSTR>(i));
        if (ShouldIgnoreAlarm(at.caseNumber))
            continue;
        QCAlarm alarm = alarms.Start();
        alarms.FillSampleId(alarm, label, at.caseNumber);
        const int observation = observationData.At<int32_t>(i);
        const double x = state.m_spSpreadsheet->CellValue(
            ObservationCase(at.caseNumber, observation), observationVar);
        QCAlarm::SetString(alarm.description,
                           ObservationText(chart, at.index, observation, x).GetString());
        alarms.FillCharDetails(alarm, at.caseNumber);
        alarms.Keep(std::move(alarm));
    }
}

void CSpecManager::OnRunsViolation(_IQCVChartsPtr chart, SAFEARRAY* firstLabels,
                                   SAFEARRAY* firstKeys, SAFEARRAY* lastLabels, SAFEARRAY* lastKeys,
                                   SAFEARRAY* tests, bool /*flag*/, long /*value*/) {
    SpecManagerImpl& state = *m_pImpl;
    if (!state.m_bProcessRunsViolation)
        return;
    const SafeArrayData firstLabelData(firstLabels, "first labels", VT_BSTR);
    const long count = firstLabelData.Count();
    const SafeArrayData firstKeyData(firstKeys, "first keys", VT_BSTR);
    firstKeyData.RequireAtLeast(count, "first labels");
    const SafeArrayData lastLabelData(lastLabels, "last labels", VT_BSTR);
    lastLabelData.RequireAtLeast(count, "first labels");
    const SafeArrayData lastKeyData(lastKeys, "last keys", VT_BSTR);
    lastKeyData.RequireAtLeast(count, "first labels");
    const SafeArrayData testData(tests, "tests", VT_I4);
    testData.RequireAtLeast(count, "first labels");

    const std::vector<int>& enabled = state.m_runsTests;
    zav::EventAlarms alarms(state, L"RunsViolation",
                            enabled.empty() ? 0 : static_cast<size_t>(count));
    for (long i = 0; i < count; ++i) {
        const BSTR firstLabel = firstLabelData.At<BSTR>(i);
        const BSTR lastLabel = lastLabelData.At<BSTR>(i);
        // Both ends are looked up before any test.
        const SampleLocation first = Locate(chart, firstLabel, firstKeyData.At<BSTR>(i));
        const SampleLocation last = Locate(chart, lastLabel, lastKeyData.At<BSTR>(i));
        if (ShouldIgnoreAlarm(first.caseNumber))
            continue;
        const int test = testData.At<int32_t>(i);
        if (std::find(enabled.begin(), enabled.end(), test) == enabled.end())
            continue;
        QCAlarm alarm = alarms.Start();
        alarms.FillRunId(alarm, firstLabel, first.caseNumber, lastLabel, last.caseNumber);
        alarms.FillRunsTestName(alarm, test);
        alarms.FillCharDetails(alarm, first.caseNumber);
        alarms.Keep(std::move(alarm));
    }
}
