#include <gtest/gtest.h>

#include "ZAVTools.h"
#include "support/ComObject.h"

namespace {

class IdleSpreadsheet : public zavtest::ComObject<VELTRIUM::_Spreadsheet> {
public:
    HRESULT __stdcall raw_NumberOfCases(long*) override { return Touched(); }
    HRESULT __stdcall raw_VariableName(long, BSTR*) override { return Touched(); }
    HRESULT __stdcall raw_VariableFormat(long, BSTR*) override { return Touched(); }
    HRESULT __stdcall raw_CellValue(long, long, double*) override { return Touched(); }
    HRESULT __stdcall raw_CellText(long, long, BSTR*) override { return Touched(); }
    HRESULT __stdcall raw_SetVariableFormat(long, BSTR) override { return Touched(); }
    HRESULT __stdcall raw_VariableNumber(BSTR, long*) override { return Touched(); }
    int calls = 0;

private:
    HRESULT Touched() {
        ++calls;
        return E_NOTIMPL;
    }
};

class CountingNotify : public zavtest::ComObject<IZAVServerNotify> {
public:
    HRESULT __stdcall NotifyAlarms(unsigned long long, const QCAlarm*) override {
        ++calls;
        return S_OK;
    }
    int calls = 0;
};

struct SpecManagerLifecycle : ::testing::Test {
    IdleSpreadsheet sheet;
    CountingNotify notify;
    std::vector<std::string> wanted{"out of control", "runs violation"};
};

TEST_F(SpecManagerLifecycle, HoldsTheSpreadsheetOnceAndNeverTouchesTheService) {
    {
        CSpecManager specs(&sheet, wanted, 17, 4, true, 2.5, &notify);
        EXPECT_EQ(1u, sheet.RefCount());
        EXPECT_EQ(17, specs.GetCharId());
        EXPECT_FALSE(specs.ProcessAlarm_ObsOutOfSpecs());
        EXPECT_FALSE(specs.ProcessAlarm_RunsViolation());
        EXPECT_FALSE(specs.ProcessAlarm_SampleOutOfControl());
        EXPECT_FALSE(specs.ProcessAlarm_SampleOutsideWarningLimits());
        EXPECT_TRUE(specs.OnEndAlarmChecking());

        specs.SetCaseRange({3, 9});
        specs.SetProcessName("Line=A");
        EXPECT_TRUE(specs.OnEndAlarmChecking());
    }
    EXPECT_EQ(0u, sheet.RefCount()) << "released exactly once";
    EXPECT_EQ(0, sheet.calls);
    EXPECT_EQ(0, notify.calls);
    EXPECT_EQ(0u, notify.RefCount()) << "the service interface is borrowed, not counted";
}

TEST_F(SpecManagerLifecycle, NullArgumentsAreStoredAndOnlyFailWhenUsed) {
    CSpecManager specs(nullptr, wanted, 1, 0, false, 0.0, nullptr);
    EXPECT_EQ(1, specs.GetCharId());
    EXPECT_TRUE(specs.OnEndAlarmChecking());
}

TEST_F(SpecManagerLifecycle, WantedCodesMatchWholeCaseSensitiveStrings) {
    CSpecManager specs(&sheet, wanted, 1, 0, false, 0.0, &notify);
    EXPECT_TRUE(specs.CheckWantedReturnCode("runs violation"));
    EXPECT_TRUE(specs.CheckWantedReturnCode("out of control"));
    EXPECT_FALSE(specs.CheckWantedReturnCode("Runs violation"));
    EXPECT_FALSE(specs.CheckWantedReturnCode("runs"));
    EXPECT_FALSE(specs.CheckWantedReturnCode("runs violation "));
    EXPECT_FALSE(specs.CheckWantedReturnCode(nullptr));

    wanted.push_back("outside specs"); // the list is the caller's, read on every query
    EXPECT_TRUE(specs.CheckWantedReturnCode("outside specs"));
    wanted.clear();
    EXPECT_FALSE(specs.CheckWantedReturnCode("runs violation"));
}

TEST_F(SpecManagerLifecycle, CopiesOwnTheirStateSoEachIsFreedOnce) {
    IdleSpreadsheet other;
    {
        CSpecManager first(&sheet, wanted, 5, 0, false, 0.0, &notify);
        CSpecManager second(&other, wanted, 6, 0, false, 0.0, &notify);
        second = first;
        EXPECT_EQ(0u, other.RefCount()) << "the replaced state released its spreadsheet";
        EXPECT_EQ(2u, sheet.RefCount());
        EXPECT_EQ(5, second.GetCharId());

        second = second;
        EXPECT_EQ(2u, sheet.RefCount());

        CSpecManager third(second);
        EXPECT_EQ(3u, sheet.RefCount());
        EXPECT_EQ(5, third.GetCharId());
    }
    EXPECT_EQ(0u, sheet.RefCount());
    EXPECT_EQ(0u, other.RefCount());
}

} // namespace
