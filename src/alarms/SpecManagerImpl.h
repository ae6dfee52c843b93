// The private state of a CSpecManager. Every member of the alarm engine works on it.
#pragma once

#include <atlstr.h>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "ZAVTools/Automation.h"
#include "ZAVTools/Host.h"
#include "ZAVTools/QCAlarm.h"

struct SpecManagerImpl {
    SpecManagerImpl(VELTRIUM::_SpreadsheetPtr spreadsheet,
                    std::vector<std::string>& wantedReturnCodes, int charId, int ignoreVar,
                    bool findSampleColumns, double ignoreThreshold, IZAVServerNotify* serverNotify)
        : m_spSpreadsheet(std::move(spreadsheet)), m_wantedReturnCodes(wantedReturnCodes),
          m_nCharId(charId), m_pServerNotify(serverNotify), m_nIgnoreVar(ignoreVar),
          m_dIgnoreThreshold(ignoreThreshold), m_bFindSampleColumns(findSampleColumns) {}
    SpecManagerImpl(const SpecManagerImpl&) = default;
    SpecManagerImpl& operator=(const SpecManagerImpl&) = default;

    // Members are destroyed in reverse order, so the spreadsheet reference goes last.
    VELTRIUM::_SpreadsheetPtr m_spSpreadsheet;
    std::pair<int, int> m_caseRange{0, 0};
    std::string m_strProcessName;
    CString m_strCharName;
    // Borrowed from the host, which keeps it alive for the object's life.
    std::reference_wrapper<std::vector<std::string>> m_wantedReturnCodes;
    int m_nCharId;
    // Borrowed: neither AddRef nor Release is called on it.
    IZAVServerNotify* m_pServerNotify;
    std::vector<int> m_autoUpdateColumns;
    std::vector<int> m_auxDataVars;
    int m_nSampleVar = -1;
    int m_nIgnoreVar;
    double m_dIgnoreThreshold;
    bool m_bFindSampleColumns;
    std::vector<QCAlarm> m_alarms;
    bool m_bProcessObsOutOfSpecs = false;
    bool m_bProcessRunsViolation = false;
    bool m_bProcessSampleOutOfControl = false;
    bool m_bProcessSampleOutsideWarningLimits = false;
    // Which chart of a two-chart analysis raises sample alarms: bit 1 the X chart, bit 2 the R.
    int m_nCheckAlarmFor = 3;
    std::vector<int> m_runsTests;
};
