// The application, the QC analysis and its dialog as the library drives them, and the SPC
// object manager.
#include <gtest/gtest.h>

#include "RefServerSupport.h"
#include "support/Printers.h"

using namespace reftest;

namespace {

_ApplicationPtr NewApplication(const wchar_t* options = nullptr) {
    VELTRIUM::_Application* app = nullptr;
    EXPECT_EQ(S_OK, CreateRefApplication(options, &app)) << TakeErrorText();
    return _ApplicationPtr(app, false);
}

struct Analysis : ::testing::Test {
    zavtest::TempDir dir;
    _SpreadsheetPtr sheet = OpenSheet(WriteFile(dir, "d.csv", "x\n1\n2\n3\n4\n"));
    _variant_t data{static_cast<IDispatch*>(sheet)};
    std::wstring project =
        WriteFile(dir, "p.qcp", "[REFSERVER]\nObservationVar=x\nSubgroupSize=2\n");
};

} // namespace

TEST_F(Analysis, TheFirstCallsFailTheHandshakeWhenAskedTo) {
    _ApplicationPtr app = NewApplication(L"handshakefailures = 2");
    for (int attempt = 0; attempt < 2; ++attempt) {
        try {
            app->Analysis(3251, data);
            ADD_FAILURE() << "attempt " << attempt << " succeeded";
        } catch (const _com_error& e) {
            EXPECT_EQ(static_cast<HRESULT>(0x80040200), e.Error());
            EXPECT_EQ("bad encryption handshake", zavtest::DescriptionOf(e));
        }
    }
    EXPECT_TRUE(app->Analysis(3251, data));
    EXPECT_TRUE(NewApplication(L"")->Analysis(3251, data)) << "no failures by default";

    VELTRIUM::_Application* raw = reinterpret_cast<VELTRIUM::_Application*>(1);
    EXPECT_EQ(E_INVALIDARG, CreateRefApplication(L"Handshake=1", &raw));
    EXPECT_EQ(nullptr, raw);
    EXPECT_NE(std::string::npos, TakeErrorText().find("Unknown application option \"Handshake\""));
    EXPECT_EQ(E_INVALIDARG, CreateRefApplication(L"HandshakeFailures=-1", &raw));
}

TEST_F(Analysis, OnlyTheQCAnalysisOfAServerSpreadsheetIsGiven) {
    _ApplicationPtr app = NewApplication();
    VELTRIUM::_Analysis* analysis = nullptr;
    EXPECT_EQ(E_INVALIDARG, app->raw_Analysis(3250, data, &analysis));
    EXPECT_NE(std::string::npos, TakeErrorText().find("Analysis type 3250 is not supported"));
    EXPECT_EQ(E_INVALIDARG, app->raw_Analysis(3251, _variant_t(7L), &analysis));
    zavtest::ComObject<IDispatch> stranger;
    EXPECT_EQ(E_INVALIDARG,
              app->raw_Analysis(3251, _variant_t(static_cast<IDispatch*>(&stranger)), &analysis));
    EXPECT_NE(std::string::npos, TakeErrorText().find("not a spreadsheet of the reference"));
    EXPECT_EQ(nullptr, analysis);
    EXPECT_EQ(0u, stranger.RefCount());
    EXPECT_EQ(E_POINTER, app->raw_Analysis(3251, data, nullptr));
}

TEST_F(Analysis, TheDialogIsReachedByNameOnly) {
    _AnalysisPtr analysis = NewApplication()->Analysis(3251, data);
    IDispatchPtr dialog = analysis->GetDialog();
    EXPECT_EQ(static_cast<IDispatch*>(dialog), analysis->GetDialog()) << "one dialog";

    LPOLESTR names[] = {const_cast<LPOLESTR>(L"Nonsense")};
    DISPID id = 0;
    EXPECT_EQ(DISP_E_UNKNOWNNAME, dialog->GetIDsOfNames(IID_NULL, names, 1, 0x400, &id));
    EXPECT_EQ(DISPID_UNKNOWN, id);

    _variant_t value;
    ASSERT_EQ(S_OK, GetByName(dialog, L"AutoUpdateMode", value));
    EXPECT_EQ(VT_BOOL, value.vt);
    EXPECT_EQ(S_OK, PutByName(dialog, L"autoupdatemode", _variant_t(false)));
    EXPECT_EQ(S_OK, PutByName(dialog, L"MakeDefaultSummaryChart", _variant_t(false)));
    GetByName(dialog, L"AutoUpdateMode", value);
    EXPECT_EQ(VARIANT_FALSE, value.boolVal);
    GetByName(dialog, L"MakeDefaultSummaryChart", value);
    EXPECT_EQ(VARIANT_FALSE, value.boolVal);

    // A reference put is refused for these values; the library then puts the value itself.
    _variant_t path(project.c_str());
    EXPECT_EQ(DISP_E_MEMBERNOTFOUND,
              PutByName(dialog, L"DropProjectFile", path, DISPATCH_PROPERTYPUTREF));
    EXPECT_EQ(S_OK, PutByName(dialog, L"DropProjectFile", path));
    GetByName(dialog, L"DropProjectFile", value);
    EXPECT_EQ(_bstr_t(project.c_str()), _bstr_t(value));

    // By reference, as a VARIANT can carry it.
    VARIANT_BOOL on = VARIANT_TRUE;
    VARIANT byRef;
    byRef.vt = VT_BYREF | VT_BOOL;
    byRef.pboolVal = &on;
    EXPECT_EQ(S_OK, PutByName(dialog, L"AutoUpdateMode", _variant_t(byRef)));
    GetByName(dialog, L"AutoUpdateMode", value);
    EXPECT_EQ(VARIANT_TRUE, value.boolVal);

    EXPECT_EQ(DISP_E_TYPEMISMATCH,
              PutByName(dialog, L"AutoUpdateMode", _variant_t(static_cast<IDispatch*>(dialog))));
    DISPPARAMS unnamed{&path, nullptr, 1, 0};
    EXPECT_EQ(DISP_E_PARAMNOTOPTIONAL, dialog->Invoke(3, IID_NULL, 0x400, DISPATCH_PROPERTYPUT,
                                                      &unnamed, nullptr, nullptr, nullptr));
    EXPECT_EQ(DISP_E_MEMBERNOTFOUND, dialog->Invoke(99, IID_NULL, 0x400, DISPATCH_PROPERTYGET,
                                                    &unnamed, nullptr, nullptr, nullptr));

    EXPECT_EQ(E_UNEXPECTED, GetByName(dialog, L"ChartServer", value));
    EXPECT_NE(std::string::npos, TakeErrorText().find("the analysis has not run"));
    EXPECT_EQ(2, analysis->Run()) << "two samples of two";
    ASSERT_EQ(S_OK, GetByName(dialog, L"ChartServer", value));
    EXPECT_EQ(VT_DISPATCH, value.vt);
    EXPECT_TRUE(_IQCVChartsPtr(value.pdispVal));
    EXPECT_EQ(DISP_E_MEMBERNOTFOUND, PutByName(dialog, L"ChartServer", value));

    // The chart server itself has no names.
    LPOLESTR launch[] = {const_cast<LPOLESTR>(L"Launch")};
    EXPECT_EQ(DISP_E_UNKNOWNNAME, value.pdispVal->GetIDsOfNames(IID_NULL, launch, 1, 0x400, &id));
}

TEST_F(Analysis, TheApplicationKeepsTheChartServerOfTheLatestRun) {
    _ApplicationPtr app = NewApplication();
    IRefApplicationPtr extra(app);
    ASSERT_TRUE(extra);
    VELIQCVChartsLib::_IQCVCharts* chart = nullptr;
    EXPECT_EQ(S_FALSE, extra->get_LastChartServer(&chart));
    EXPECT_EQ(nullptr, chart);

    _AnalysisPtr first = app->Analysis(3251, data);
    _AnalysisPtr second = app->Analysis(3251, data);
    EXPECT_EQ(S_FALSE, extra->get_LastChartServer(&chart)) << "no analysis has run yet";
    _variant_t path(project.c_str());
    PutByName(second->GetDialog(), L"DropProjectFile", path);
    second->Run();
    ASSERT_EQ(S_OK, extra->get_LastChartServer(&chart));
    _IQCVChartsPtr last(chart, false);
    _variant_t fromDialog;
    GetByName(second->GetDialog(), L"ChartServer", fromDialog);
    EXPECT_EQ(_IQCVChartsPtr(fromDialog.pdispVal).GetInterfacePtr(), last.GetInterfacePtr())
        << "the chart of the latest analysis";
}

TEST_F(Analysis, RunNeedsAProjectFile) {
    _AnalysisPtr analysis = NewApplication()->Analysis(3251, data);
    long samples = 7;
    EXPECT_EQ(E_UNEXPECTED, analysis->raw_Run(&samples));
    EXPECT_EQ(0, samples);
    EXPECT_NE(std::string::npos, TakeErrorText().find("No project file was dropped"));
    PutByName(analysis->GetDialog(), L"DropProjectFile", _variant_t(L""));
    EXPECT_EQ(E_UNEXPECTED, analysis->raw_Run(&samples));
}

TEST(ObjectManager, GivesTheCharacteristicsOfTheFile) {
    zavtest::TempDir dir;
    std::wstring path = WriteFile(dir, "chars.qcp",
                                  "[GENERAL]\nCharID=2\n[CHARACTERISTICS]\n; comment\n"
                                  "1=Diameter\n2 = \"Outer weight\"\n-5=Scrap\n");
    Vexil::_ObjectManager* raw = nullptr;
    ASSERT_EQ(S_OK, OpenRefObjectManager(path.c_str(), &raw)) << TakeErrorText();
    Vexil::_ObjectManagerPtr manager(raw, false);
    Vexil::_CharacteristicsPtr characteristics = manager->GetCharacteristics();
    EXPECT_EQ(_bstr_t(L"Diameter"), characteristics->Item(1)->Name());
    EXPECT_EQ(_bstr_t(L"Outer weight"), characteristics->Item(2)->Name());
    EXPECT_EQ(_bstr_t(L"Scrap"), characteristics->Item(-5)->Name());
    Vexil::_Characteristic* item = nullptr;
    EXPECT_EQ(DISP_E_BADINDEX, characteristics->raw_Item(3, &item));
    EXPECT_NE(std::string::npos, TakeErrorText().find("Characteristic 3 is not in the section"));

    std::wstring bad = WriteFile(dir, "bad.qcp", "[CHARACTERISTICS]\nfirst=Diameter\n");
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_INVALID_DATA), OpenRefObjectManager(bad.c_str(), &raw));
    EXPECT_NE(std::string::npos, TakeErrorText().find("\"first\" is not a characteristic id"));
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND),
              OpenRefObjectManager(Wide(dir / "none.qcp").c_str(), &raw));
    EXPECT_EQ(nullptr, raw);
}
