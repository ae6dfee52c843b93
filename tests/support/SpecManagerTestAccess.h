// White-box access to a CSpecManager for tests: its state record, so that a test can set what
// the QCP compilation would, and its private description members, which the DLL exports.
#pragma once

#include "ZAVTools.h"
#include "alarms/SpecManagerImpl.h"

struct CSpecManagerTestAccess {
    static SpecManagerImpl& State(CSpecManager& specs) { return *specs.m_pImpl; }

    static CComBSTR GetSampleIdHelper(CSpecManager& specs, VELIQCVChartsLib::_IQCVChartsPtr chart,
                                      wchar_t* label, int caseNumber) {
        return specs.GetSampleIdHelper(std::move(chart), label, caseNumber);
    }
    static CString GetSampleAlarmDesc(CSpecManager& specs, VELIQCVChartsLib::_IQCVChartsPtr chart,
                                      int sampleIndex, int chartParts, int warning) {
        return specs.GetSampleAlarmDesc(std::move(chart), sampleIndex, chartParts, warning);
    }
    static CString GetAlarmAuxData(CSpecManager& specs, VELIQCVChartsLib::_IQCVChartsPtr chart,
                                   int caseNumber) {
        return specs.GetAlarmAuxData(std::move(chart), caseNumber);
    }
};
