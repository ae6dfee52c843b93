// A spec manager on an in-memory spreadsheet, with an in-memory chart server, and the state
// that QCP compilation would set reachable for the test. The calls on both fakes are also
// kept in one journal, so that a test can assert their order across the two.
#pragma once

#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "ZAVTools.h"
#include "support/FakeChartServer.h"
#include "support/FakeSpreadsheet.h"
#include "support/Printers.h"
#include "support/SpecManagerTestAccess.h"

namespace zavtest {

struct AlarmEngine : ::testing::Test {
    FakeSpreadsheet sheet;
    FakeChartServer chart;
    std::vector<std::string> wanted;
    // Characteristic 17; the ignore test is off until a test sets it.
    CSpecManager specs{sheet.Ptr(), wanted, 17, 0, false, 0.0, nullptr};
    SpecManagerImpl& state = CSpecManagerTestAccess::State(specs);
    std::vector<std::string> journal;

    void SetUp() override { sheet.journal = chart.journal = &journal; }

    const std::vector<QCAlarm>& Alarms() const { return state.m_alarms; }

    CComBSTR SampleId(const wchar_t* label, int caseNumber) {
        return CSpecManagerTestAccess::GetSampleIdHelper(specs, chart.Ptr(),
                                                         const_cast<wchar_t*>(label), caseNumber);
    }
    std::string Description(int sampleIndex, int chartParts, int warning) {
        return CSpecManagerTestAccess::GetSampleAlarmDesc(specs, chart.Ptr(), sampleIndex,
                                                          chartParts, warning)
            .GetString();
    }
    std::string AuxData(int caseNumber) {
        return CSpecManagerTestAccess::GetAlarmAuxData(specs, chart.Ptr(), caseNumber).GetString();
    }
};

// The HRESULT and description of the _com_error that `action` raises; fails the test when it
// raises none.
template <typename Action> std::pair<HRESULT, std::string> ComErrorOf(Action action) {
    try {
        action();
    } catch (const _com_error& error) {
        return {error.Error(), DescriptionOf(error)};
    }
    ADD_FAILURE() << "no _com_error was raised";
    return {S_OK, ""};
}

inline std::vector<std::string> Strings(std::initializer_list<const char*> texts) {
    return std::vector<std::string>(texts.begin(), texts.end());
}

} // namespace zavtest
