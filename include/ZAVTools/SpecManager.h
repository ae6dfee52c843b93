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

private:
    SpecManagerImpl* m_pImpl;
};
