// CSpecManager: the QC alarm engine's object for one QC run of one characteristic.
#pragma once

#include <windows.h>
#include <atlcomcli.h>
#include <atlstr.h>
#include <string>
#include <utility>
#include <vector>

#include "Automation.h"
#include "Export.h"
#include "Host.h"
#include "QCAlarm.h"

struct SpecManagerImpl;

class ZAVTOOLS_API CSpecManager {
public:
    // Borrows `wantedReturnCodes` and `serverNotify` for the object's life; holds one reference
    // on the spreadsheet. No argument is checked: a null pointer fails when it is used.
    CSpecManager(VELTRIUM::_SpreadsheetPtr spreadsheet, std::vector<std::string>& wantedReturnCodes,
                 int charId, int ignoreVar, bool findSampleColumns, double ignoreThreshold,
                 IZAVServerNotify* serverNotify);
    // Both copies own their state: the alarm records are duplicated, the spreadsheet
    // gets one more reference, and the borrowed objects are shared.
    CSpecManager(const CSpecManager& other);
    CSpecManager& operator=(const CSpecManager& other);
    ~CSpecManager();

    void SetCaseRange(const std::pair<int, int>& range);
    void SetProcessName(const std::string& name);
    int GetCharId();

    bool ProcessAlarm_ObsOutOfSpecs();
    bool ProcessAlarm_RunsViolation();
    bool ProcessAlarm_SampleOutOfControl();
    bool ProcessAlarm_SampleOutsideWarningLimits();

    // Marks the end of a run's alarm checking; changes nothing.
    bool OnEndAlarmChecking();

    // True when `code` is one of the alarm kinds the host asked for (whole, case-sensitive).
    bool CheckWantedReturnCode(const char* code);

    // Reads the alarm options of the QC project file `qcpFile` (section "GENERAL"): the alarm
    // switches, the X/R chart selection, the runs tests, the sample identity and auxiliary
    // variables, and the characteristic's name. `objectManager` is asked for the
    // characteristic's name only when the file names no sample variable and the constructor
    // asked to look for the sample columns. Returns true; every failure is logged through
    // `module` and leaves as _com_error (program errors 4001 and 4002 for a bad file). A null
    // module is refused with E_POINTER.
    bool Complie(CBaseZAVModule* module, const char* qcpFile,
                 Vexil::_ObjectManagerPtr objectManager);

    // Hands every alarm kept so far to the service in one NotifyAlarms call (none when there
    // are none); the list stays as it is. Returns true; a refusal by the service is logged
    // through `module` and leaves as _com_error.
    bool NotifyZAVServerOfAlarms(CBaseZAVModule* module);

    // Alarm handlers, called by the chart event sink for the chart server's alarm events. Each
    // appends the alarms it keeps to the list handed to the service later. The arrays belong to
    // the caller; the element count is that of the first array, and every other array must
    // hold at least as many (else E_INVALIDARG, before anything is kept). `flag` and `value`
    // come with the event and mean nothing here. Failures leave as exceptions; the alarms kept
    // for earlier elements of the event stay.
    //
    // chartParts: the charts the samples violated, 1 the X chart, 2 the R chart, 3 both.
    void OnSampleOutOfControl(VELIQCVChartsLib::_IQCVChartsPtr chart, SAFEARRAY* labels,
                              SAFEARRAY* keys, bool flag, long chartParts);
    void OnSampleOutsideWarningLimits(VELIQCVChartsLib::_IQCVChartsPtr chart, SAFEARRAY* labels,
                                      SAFEARRAY* keys, bool flag, long chartParts);
    // warning: 0 for control limits, non-zero for warning limits.
    void OnSpecLimitAlarm(VELIQCVChartsLib::_IQCVChartsPtr chart, SAFEARRAY* labels,
                          SAFEARRAY* keys, bool flag, long chartParts, int warning);
    // observations: 32-bit numbers of the observations within their samples, from 1.
    void OnObsOutsideSpecs(VELIQCVChartsLib::_IQCVChartsPtr chart, SAFEARRAY* labels,
                           SAFEARRAY* keys, SAFEARRAY* observations, bool flag, long value);
    // tests: 32-bit runs-test codes, 0 to 6.
    void OnRunsViolation(VELIQCVChartsLib::_IQCVChartsPtr chart, SAFEARRAY* firstLabels,
                         SAFEARRAY* firstKeys, SAFEARRAY* lastLabels, SAFEARRAY* lastKeys,
                         SAFEARRAY* tests, bool flag, long value);
    // True when the ignore variable's value on the case lies below the ignore threshold.
    bool ShouldIgnoreAlarm(int caseNumber);

private:
    // The sample's identity: the chart's label, or the auto-update cells of the case joined
    // by "_". Null when there is nothing to join.
    CComBSTR GetSampleIdHelper(VELIQCVChartsLib::_IQCVChartsPtr chart, wchar_t* label,
                               int caseNumber);
    // The chart type's name with the X and/or R measure text against the control limits
    // (warning 0) or the warning limits.
    CString GetSampleAlarmDesc(VELIQCVChartsLib::_IQCVChartsPtr chart, int sampleIndex,
                               int chartParts, int warning);
    // The auxiliary data cells of the case joined by "; ".
    CString GetAlarmAuxData(VELIQCVChartsLib::_IQCVChartsPtr chart, int caseNumber);

    friend struct CSpecManagerTestAccess;

    SpecManagerImpl* m_pImpl;
};
