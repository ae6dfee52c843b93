// A QC run in memory: the analysis application with its analysis and dialog, a chart server
// with its connection point, a spreadsheet, a spec manager whose compiled state the test sets,
// and a host module with a real log. The calls on every fake are also kept in one journal.
#pragma once

#include <gtest/gtest.h>
#include <string>
#include <utility>
#include <vector>

#include "ZAVTools.h"
#include "support/FakeApplication.h"
#include "support/FakeChartServer.h"
#include "support/FakeSpreadsheet.h"
#include "support/ImportPatch.h"
#include "support/LoggedModule.h"
#include "support/Printers.h"
#include "support/SpecManagerTestAccess.h"

namespace zavtest {

// The library's millisecond tick count and its sleeps, steered by the test: time passes only
// when the library sleeps, by `step` per sleep (the sleep's own length when 0).
struct FakeClock {
    static inline ULONGLONG now = 0;
    static inline DWORD step = 0;
    static inline std::vector<DWORD> sleeps;

    static ULONGLONG WINAPI TickCount() { return now; }
    static void WINAPI Pause(DWORD ms) {
        sleeps.push_back(ms);
        now += step ? step : ms;
    }

    FakeClock() {
        // Far from zero, so that a deadline not measured from the start shows.
        now = 0xFFFFFFF0ull;
        step = 0;
        sleeps.clear();
    }

    ImportPatch tick{"KERNEL32.dll", "GetTickCount64", reinterpret_cast<void*>(&TickCount)};
    ImportPatch sleep{"KERNEL32.dll", "Sleep", reinterpret_cast<void*>(&Pause)};
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

inline std::vector<std::string> Strings(std::initializer_list<std::string> texts) {
    return std::vector<std::string>(texts.begin(), texts.end());
}

// The description of the thread's current error information, or "<none>"; takes it off the
// thread as GetErrorInfo does.
std::string ThreadErrorDescription();

struct QCRun : ::testing::Test {
    FakeSpreadsheet sheet;
    FakeChartServer chart;
    FakeDialog dialog;
    FakeAnalysis analysis;
    FakeApplication app;
    std::vector<std::string> wanted;
    LoggedModule module{"TRACE"};
    CSpecManager specs{sheet.Ptr(), wanted, 17, 0, false, 0.0, nullptr};
    SpecManagerImpl& state = CSpecManagerTestAccess::State(specs);
    std::vector<std::string> journal;
    FakeClock clock;

    void SetUp() override;

    bool Run(const char* projectFile = "C:\\QC\\line-a.qcp") {
        return RunDashboardProcess2(module, app.Ptr(), sheet.Ptr(), projectFile, specs);
    }
    std::pair<HRESULT, std::string> RunFailure(const char* projectFile = "C:\\QC\\line-a.qcp") {
        return ComErrorOf([&] { Run(projectFile); });
    }

    // Every alarm kind compiled in; the chart's label identifies a sample.
    void SwitchAllAlarmsOn();
    // One sample per label, found by the key "k", its first case at row 2 * index, out of its
    // control and specification limits; every cell of the spreadsheet holds 11.
    void AddSamples(std::initializer_list<const wchar_t*> labels);
    // The alarm types kept so far, in order.
    std::vector<std::wstring> AlarmTypes() const;
};

} // namespace zavtest
