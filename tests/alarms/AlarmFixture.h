// A CSpecManager on an in-memory spreadsheet and chart server, its state set as the QCP
// compilation would set it, and the calls on both fakes in one journal, so that a test sees
// their order across the two.
#pragma once

#include <cmath>

#include "support/ComCheck.h"
#include "support/FakeChartServer.h"
#include "support/FakeSpreadsheet.h"
#include "support/SafeArrays.h"
#include "support/SpecManagerTestAccess.h"
#include "support/Steering.h"
#include "support/TestModule.h"

namespace zavtest {

using Wides = std::vector<std::wstring>;

// "" when `action` raises nothing, else "<HRESULT> <description>" of the _com_error it raises,
// the description without `activity` and the brackets that the catch ladder puts around it.
template <typename Action> std::string Failure(Action&& action, const std::string& activity = "") {
    try {
        action();
        return "";
    } catch (const _com_error& error) {
        char hr[12];
        snprintf(hr, sizeof hr, "%08lX ", static_cast<unsigned long>(error.Error()));
        const std::string text = DescriptionOf(error),
                          head = activity.empty() ? "" : activity + " [";
        EXPECT_EQ(0u, text.find(head)) << text;
        return hr + text.substr(head.size(), text.size() - head.size() - !head.empty());
    }
}

// Records as "charId|alarmType|processName|sampleId|description|charDetails", or only the field
// asked for, joined by " / "; "~" stands for a null field.
inline std::wstring Render(const std::vector<QCAlarm>& alarms, wchar_t* QCAlarm::*only = nullptr) {
    std::wstring text;
    for (const QCAlarm& alarm : alarms) {
        text += (text.empty() ? L"" : L" / ") + (only ? L"" : std::to_wstring(alarm.charId));
        for (auto field : {&QCAlarm::alarmType, &QCAlarm::processName, &QCAlarm::sampleId,
                           &QCAlarm::description, &QCAlarm::charDetails})
            if (!only || field == only)
                text += (only ? L"" : L"|") + std::wstring(alarm.*field ? alarm.*field : L"~");
    }
    return text;
}

// Every alarm kind on, the chart label as the identity, and the ignore test on variable 7 with
// threshold 5, whose cells read 9 (kept); other cells read their case number.
struct AlarmEngine : ::testing::Test {
    BstrLedger ledger;
    FakeSpreadsheet sheet;
    FakeChartServer chart;
    std::vector<std::string> wanted, journal;
    CSpecManager specs{sheet.Ptr(), wanted, 17, 7, false, 5.0, nullptr};
    SpecManagerImpl& state = CSpecManagerTestAccess::State(specs);

    void SetUp() override {
        sheet.journal = chart.journal = &journal;
        state.m_bProcessObsOutOfSpecs = state.m_bProcessRunsViolation = true;
        state.m_bProcessSampleOutOfControl = state.m_bProcessSampleOutsideWarningLimits = true;
        state.m_nSampleVar = 0;
        state.m_strCharName = "Bore";
        specs.SetProcessName("Line=A");
        chart.numbers["ObservationVariable"] = 6;
        chart.specLimitSets[0] = {0, 1.5, 2.5};
        sheet.valueOf = [](long caseNumber, long var) { return var == 7 ? 9.0 : caseNumber; };
    }
    // A sample with key "K" on `row`: X 1e6 against [0.3, 100000] (warning [10.5, 11.5]) and R
    // NaN against [-inf, 3.5] (warning [0.5, 3.25]), odd numbers that show how they are printed.
    void Add(const std::wstring& label, double row) {
        const long index = chart.AddSample(label, L"K", row);
        chart.samples[index] = {
            row, 1e6, NAN, {0.1 + 0.2, 1e5}, {10.5, 11.5}, {-INFINITY, 3.5}, {0.5, 3.25}, 0};
    }
    // Raises event `kind` (0 out of control, 1 warning, 2 observations, 3 runs) on arrays of
    // these texts and, last, of the numbers.
    void Raise(int kind, std::initializer_list<Wides> texts, std::vector<int32_t> numbers = {},
               long parts = 1) {
        std::vector<SafeArray> arrays;
        for (const Wides& list : texts)
            arrays.push_back(SafeArray::OfBstrs(list));
        arrays.push_back(SafeArray::OfInts(numbers));
        Raise(kind, arrays, parts);
    }
    void Raise(int kind, const std::vector<SafeArray>& a, long parts = 1) {
        if (kind < 2)
            (specs.*(kind ? &CSpecManager::OnSampleOutsideWarningLimits
                          : &CSpecManager::OnSampleOutOfControl))(chart.Ptr(), a[0].get(),
                                                                  a[1].get(), false, parts);
        else if (kind == 2)
            specs.OnObsOutsideSpecs(chart.Ptr(), a[0].get(), a[1].get(), a.back().get(), false, 0);
        else
            specs.OnRunsViolation(chart.Ptr(), a[0].get(), a[1].get(), a[2].get(), a[3].get(),
                                  a.back().get(), false, 0);
    }
    // The calls since the last look, each followed by a blank.
    std::string Calls() {
        std::string text;
        for (const std::string& call : journal)
            text += call + " ";
        journal.clear();
        return text;
    }
};

} // namespace zavtest
