// QCP compilation: the options a project file compiles to or the error it ends in, with the
// state left behind, the sample-column lookup and the catch ladder's log; and the hand-over of
// the kept records to the service.
#include <algorithm>
#include <cstring>
#include <sstream>
#include <functional>

#include "RefServer.h"
#include "alarms/AlarmFixture.h"
#include "support/ComObject.h"

namespace zavtest {
namespace {

const std::string kFileError = "! 80004005 Runner: QCP file error";
const std::string kNoId = "! 80004005 Runner: No auto update column and no sample id column "
                          "specified. ZAV requires one of these.";

struct Compilation : ::testing::Test {
    TestModule module{"TRACE"};
    FakeSpreadsheet sheet;
    std::vector<std::string> wanted;
    std::string qcp = module.folder / "p.qcp";

    // Compiles the text ('|' between lines, under [GENERAL] unless it opens sections of its
    // own) for characteristic 17; a leading '?' looks the sample columns up through an object
    // manager on the same file, a leading '!' through none. Sums up the state left: "!" and the
    // error, then what differs from the defaults (the switches stand at 1001 before), each
    // variable with its display format.
    std::string Compile(std::string text) {
        const int lookUp = text[0] == '?' ? 1 : text[0] == '!' ? 2 : 0;
        std::replace(text.erase(0, lookUp > 0).begin(), text.end(), '|', '\n');
        const bool sections = text[0] == '[' || text.find("\n[") != std::string::npos;
        WriteTextFile(qcp, (sections ? "" : "[GENERAL]\n") + text);
        Vexil::_ObjectManagerPtr manager;
        if (lookUp == 1)
            OpenRefObjectManager(Wide(qcp).c_str(), &manager);
        sheet.variableFormats = {{1, L"hh:mm"}, {2, L"hh:mm:ss"},  {3, L"m/d/yy h:mm AM/PM"},
                                 {4, L"0.00"},  {5, L"h:mm h:mm"}, {6, L"h:mm"}};
        sheet.variableNumbers = {{L"SMPL_Diameter", 1}, {L"PIEC_Diameter", 2}};
        CSpecManager specs(sheet.Ptr(), wanted, 17, 0, lookUp > 0, 0.0, nullptr);
        SpecManagerImpl& s = CSpecManagerTestAccess::State(specs);
        s.m_bProcessObsOutOfSpecs = s.m_bProcessSampleOutsideWarningLimits = true;
        s.m_nCheckAlarmFor = s.m_nSampleVar = 0;
        s.m_strCharName = "-";
        const std::string failure = Failure([&] { specs.Complie(&module, qcp.c_str(), manager); },
                                            "Getting options from qcp file");
        std::ostringstream out;
        out << (failure.empty() ? "" : " ! ") << failure << " xr=" << s.m_nCheckAlarmFor
            << " on=" << s.m_bProcessObsOutOfSpecs << s.m_bProcessRunsViolation
            << s.m_bProcessSampleOutOfControl << s.m_bProcessSampleOutsideWarningLimits
            << " sv=" << s.m_nSampleVar;
        for (auto [name, list] : {std::pair{" runs=", &s.m_runsTests},
                                  {" au=", &s.m_autoUpdateColumns},
                                  {" aux=", &s.m_auxDataVars}})
            for (size_t i = 0; i < list->size(); ++i) {
                out << (i ? "," : name) << (*list)[i];
                if (list != &s.m_runsTests && sheet.variableFormats.count((*list)[i]))
                    out << "(" << Narrow(sheet.variableFormats[(*list)[i]]) << ")";
            }
        std::string summary = out.str() + " name=" + s.m_strCharName.GetString();
        for (const char* byDefault : {" xr=3", " on=1001", " sv=-1", " name=-"})
            if (size_t at = summary.find(byDefault); at != std::string::npos)
                summary.erase(at, strlen(byDefault));
        return summary.substr(1);
    }
};

TEST_F(Compilation, ProjectFilesCompileToTheirOptionsOrEndInTheirError) {
    const std::pair<std::string, std::string> rows[] = {
        {"ChartOptAlarmOutOfControl=1|RunsTestInZoneA=1|SampleVar=2|au_column_count=2|"
         "au_column_0=6",
         kFileError + " on=1011 sv=2 runs=3 au=6(h:mm)"},
        {"ChartOptCheckAlarmForXorRorBoth=2|ChartOptAlarmOutOfSpecs=0|ChartOptAlarmRunsViolation=5|"
         "RunsTestSameSideOfCenter=1|RunsTestUpAndDown=2|RunsTestInZoneB=-1|RunsTestBeyondC=x|"
         "SampleVar=0|au_column_count=3|au_column_0=1|au_column_1=2|au_column_2=3|"
         "zav_aux_data_count=2|zav_aux_data_var_0=6|zav_aux_data_var_1=-1|CharID=9|"
         "OriginalCharID=17|CharName= Diameter [mm] ",
         "xr=2 on=0101 sv=0 runs=0,2,4 au=1(hh:mm:ss),2(hh:mm:ss),3(m/d/yy h:mm:ss AM/PM) "
         "aux=6(h:mm),-1 name=Diameter [mm]"},
        {"ChartOptCheckAlarmForXorRorBoth=1|chartoptcheckalarmforxorrorboth=2|"
         "ChartOptAlarmOutOfControl=1|ChartOptAlarmOutOfWarning=|RunsTestInDecreasing=1|"
         "RunsTestInZoneA=1|RunsTestInZoneC=1|SampleVar=0|CharID=17|OriginalCharID=17|CharName=S",
         "xr=1 on=1010 sv=0 runs=1,3,5"},
        {"SampleVar=1|CharID=9|OriginalCharID=17|CharName=" + std::string(10000, 'n'),
         "sv=1 name=" + std::string(127, 'n')},
        {"SampleVar=1|zav_aux_data_count=1", kFileError + " sv=1"},
        {"SampleVar=-4|au_column_count=-5|au_column_0=1", kNoId + " sv=-4"},
        {"SampleVar=_3f1b7e20_a4c6_4d19_9b2e_5c8d0f61a7b4_", kNoId},
        {"au_column_count=2147483647|au_column_0=4x", kFileError + " au=4(0.00)"},
        {"[OTHER]|SampleVar=1|[GENERAL]|au_column_count=abc|au_column_0=1", kNoId},
        {"au_column_count=1|au_column_0=44",
         "! 80070057 The test spreadsheet has no such variable au=44"},
        {"?[CHARACTERISTICS]|17=Diameter", "au=1(hh:mm:ss),2(hh:mm:ss)"},
        {"!", "! 80004003 Unknown error 0x80004003"}};
    size_t errors = 0;
    for (const auto& [text, summary] : rows) {
        EXPECT_EQ(summary, Compile(text)) << text.substr(0, 200);
        errors += summary[0] == '!';
    }
    EXPECT_EQ(2 * std::size(rows), module.Messages("TRACE").size());
    ASSERT_EQ(errors, module.Messages("ERROR").size());
    EXPECT_EQ("Exception detected in [CSpecManager::Complie] while doing [Getting options from qcp "
              "file]; Error code 0x80004005, [Runner: QCP file error]",
              module.Messages("ERROR")[0]);
}

struct Service : ComObject<IZAVServerNotify> {
    std::function<HRESULT()> answer;
    std::vector<std::pair<unsigned long long, const QCAlarm*>> calls;
    HRESULT __stdcall NotifyAlarms(unsigned long long count, const QCAlarm* first) override {
        calls.push_back({count, first});
        return answer();
    }
};

TEST(Notification, TheKeptRecordsGoToTheServiceInOneCallAndEveryRefusalIsLoggedAndRaised) {
    TestModule module("ERROR");
    Service service;
    FakeSpreadsheet sheet;
    std::vector<std::string> wanted;
    CSpecManager specs(sheet.Ptr(), wanted, 5, 0, false, 0.0, &service);
    EXPECT_TRUE(specs.NotifyZAVServerOfAlarms(&module)) << "no alarms, no call";
    std::vector<QCAlarm>& alarms = CSpecManagerTestAccess::State(specs).m_alarms;
    alarms.resize(3);
    // The service's answer: how the notification ends.
    const std::pair<std::function<HRESULT()>, const char*> rows[] = {
        {[] { return S_OK; }, ""},
        {[] { return E_FAIL; }, "80004005 Error while notifying service of QC alarms"},
        {[] { return MakeErrorInfo("the store is full"), E_OUTOFMEMORY; },
         "8007000E the store is full"},
        {[]() -> HRESULT { throw win32_exception(nullptr); }, "80004005 0x       0"}};
    for (const auto& [answer, outcome] : rows) {
        MakeErrorInfo("stale information of an earlier call");
        service.answer = answer;
        EXPECT_EQ(outcome, Failure([&] { specs.NotifyZAVServerOfAlarms(&module); },
                                   "Notifying ZAV Service of any QC alarms that may have occured"));
    }
    EXPECT_EQ(decltype(service.calls)(4, {3, alarms.data()}), service.calls);
    EXPECT_EQ("3 0 3 CSpecManager::NotifyZAVServerOfAlarms",
              std::to_string(alarms.size()) + " " + std::to_string(service.RefCount()) + " " +
                  std::to_string(module.Messages("ERROR").size()) + " " +
                  module.fatalExceptions.at(0).where)
        << "the list left as it was, the service borrowed, one ERROR line for each refusal";
    EXPECT_EQ(E_POINTER, ComErrorOf([&] { specs.NotifyZAVServerOfAlarms(nullptr); }).first);
}

} // namespace
} // namespace zavtest
