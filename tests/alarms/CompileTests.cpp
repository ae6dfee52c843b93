// QCP compilation: the options a project file compiles to or the error it ends in, with the
// state left behind, the sample-column lookup, the saved copies and the catch ladder's log.
#include <algorithm>
#include <cstring>
#include <iomanip>
#include <sstream>

#include "RefServer.h"
#include "alarms/AlarmFixture.h"
#include "support/TestModule.h"

namespace zavtest {
namespace {

const std::string kFileError = "! 80004005 Runner: QCP file error";
const std::string kNoIdentity = "! 80004005 Runner: No auto update column and no sample id "
                                "column specified. ZAV requires one of these.";
const char kZavKey[] = "SOFTWARE\\Orlenco\\ZAV";

// A value of the service's registry key, deleted when the scope ends.
struct ZavValue {
    const char* name;
    ~ZavValue() { ::RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, kZavKey, name); }
};

struct Compilation : ::testing::Test {
    TestModule module{"TRACE"};
    FakeSpreadsheet sheet;
    std::vector<std::string> wanted;
    std::string qcp = module.folder / "p.qcp";

    // Writes the text ('|' between lines, under [GENERAL] unless it opens sections of its own)
    // and compiles it for characteristic 17, with the sample columns looked up through an
    // object manager on the same file when `lookUp` (a null one when `lookUp` is 2). Sums up
    // the state left as the options that differ from the defaults (the switches stand at 1001
    // before), each variable with its display format, then " ! " and the error.
    std::string Compile(std::string text, int lookUp = 0) {
        std::replace(text.begin(), text.end(), '|', '\n');
        const bool sections = text.find('[') == 0 || text.find("\n[") != std::string::npos;
        WriteTextFile(qcp, (sections ? "" : "[GENERAL]\n") + text);
        Vexil::_ObjectManagerPtr manager;
        if (lookUp == 1) {
            EXPECT_EQ(S_OK, OpenRefObjectManager(Wide(qcp).c_str(), &manager));
        }
        sheet.variableFormats = {{1, L"hh:mm"},     {2, L"[h]:mm:ss"}, {3, L"m/d/yy h:mm AM/PM"},
                                 {4, L"h:mm h:mm"}, {5, L"0.00"},      {6, L"h:mm"}};
        sheet.variableNumbers = {{L"SMPL_Diameter", 1}, {L"PIEC_Diameter", 2}, {L"PIEC_Bore", 6}};
        CSpecManager specs(sheet.Ptr(), wanted, 17, 0, lookUp > 0, 0.0, nullptr);
        SpecManagerImpl& s = CSpecManagerTestAccess::State(specs);
        s.m_bProcessObsOutOfSpecs = s.m_bProcessSampleOutsideWarningLimits = true;
        s.m_nCheckAlarmFor = s.m_nSampleVar = 0;
        s.m_strCharName = "-";
        std::string error;
        try {
            EXPECT_TRUE(specs.Complie(&module, qcp.c_str(), manager));
        } catch (const _com_error& e) {
            error = " ! " + Outcome(e, "Getting options from qcp file");
        }
        std::ostringstream out;
        out << " xr=" << s.m_nCheckAlarmFor << " on=" << s.m_bProcessObsOutOfSpecs
            << s.m_bProcessRunsViolation << s.m_bProcessSampleOutOfControl
            << s.m_bProcessSampleOutsideWarningLimits << " sv=" << s.m_nSampleVar;
        for (auto [name, list] : {std::pair{" runs=", &s.m_runsTests},
                                  {" au=", &s.m_autoUpdateColumns},
                                  {" aux=", &s.m_auxDataVars}})
            for (size_t i = 0; i < list->size(); ++i) {
                out << (i ? "," : name) << (*list)[i];
                if (list != &s.m_runsTests && sheet.variableFormats.count((*list)[i]))
                    out << "(" << Narrow(sheet.variableFormats[(*list)[i]]) << ")";
            }
        out << " name=" << s.m_strCharName.GetString();
        std::string summary = out.str() + error;
        for (const char* byDefault : {" xr=3", " on=1001", " sv=-1", " name=-"})
            if (size_t at = summary.find(byDefault); at != std::string::npos)
                summary.erase(at, strlen(byDefault));
        return summary.substr(1);
    }
};

TEST_F(Compilation, ProjectFilesCompileToTheirOptionsOrEndInTheirError) {
    std::string manyKeys;
    for (int i = 0; i < 10000; ++i)
        manyKeys += "Unused" + std::to_string(i) + "=" + std::to_string(i) + "|";
    const std::pair<std::string, std::string> rows[] = {
        {"ChartOptAlarmOutOfControl=1|RunsTestInZoneA=1|SampleVar=2|au_column_count=2|"
         "au_column_0=6",
         "on=1011 sv=2 runs=3 au=6(h:mm) " + kFileError},
        {"SampleVar=3", "sv=3"},
        {"ChartOptCheckAlarmForXorRorBoth=2|SampleVar=0", "xr=2 sv=0"},
        {"ChartOptCheckAlarmForXorRorBoth=1|SampleVar=0", "xr=1 sv=0"},
        {"ChartOptCheckAlarmForXorRorBoth=-1|chartoptcheckalarmforxorrorboth=2|SampleVar=0",
         "sv=0"},
        {"ChartOptAlarmOutOfSpecs=0|ChartOptAlarmRunsViolation=5|ChartOptAlarmOutOfWarning=|"
         "SampleVar=0",
         "on=0100 sv=0"},
        {"ChartOptAlarmOutOfControl=-1|SampleVar=0", "on=1011 sv=0"},
        {"RunsTestBeyondC=1|RunsTestSameSideOfCenter=1|RunsTestInZoneB=0|SampleVar=0",
         "sv=0 runs=0,6"},
        {"RunsTestInDecreasing=1|RunsTestUpAndDown=2|RunsTestInZoneC=x|SampleVar=0",
         "sv=0 runs=1,2"},
        {"RunsTestInZoneA=-1|RunsTestInZoneB=1|RunsTestInZoneC=1|SampleVar=0", "sv=0 runs=3,4,5"},
        {"au_column_count=5|au_column_0=1|au_column_1=2|au_column_2=3|au_column_3=4|au_column_"
         "4=5",
         "au=1(hh:mm:ss),2([h]:mm:ss),3(m/d/yy h:mm:ss AM/PM),4(h:mm:ss h:mm),5(0.00)"},
        {"au_column_count=1|au_column_0=5|zav_aux_data_count=3|zav_aux_data_var_0=6|"
         "zav_aux_data_var_1=6|zav_aux_data_var_2=-1",
         "au=5(0.00) aux=6(h:mm),6(h:mm),-1"},
        {"SampleVar=1|zav_aux_data_count=1", "sv=1 " + kFileError},
        {"", kNoIdentity},
        {"SampleVar=-4|au_column_count=0", "sv=-4 " + kNoIdentity},
        {"au_column_count=2147483647|au_column_0=1", "au=1(hh:mm) " + kFileError},
        {"au_column_count=" + std::string(126, '0') + "2" + std::string(9873, '9') +
             "|au_column_0=1|au_column_1=5",
         "au=1(hh:mm:ss),5(0.00)"},
        {"au_column_count=-5|SampleVar=1", "sv=1"},
        {"au_column_count=abc|au_column_0=1|SampleVar=1", "sv=1"},
        {"SampleVar=4|SAMPLEVAR=9", "sv=4"},
        {"[OTHER]|SampleVar=1", kNoIdentity},
        {"SampleVar=1|[OTHER]", kNoIdentity},
        {"[OTHER]|SampleVar=2|[general]|SampleVar=3", "sv=3"},
        {manyKeys + "SampleVar=2", "sv=2"},
        {"au_column_count=1|au_column_0=44",
         "au=44 ! 80070057 The test spreadsheet has no such variable"},
        {"SampleVar=1|CharID=9|OriginalCharID=17|CharName= Diameter [mm] ",
         "sv=1 name=Diameter [mm]"},
        {"SampleVar=1|CharID=9|OriginalCharID=17|CharName=" + std::string(10000, 'n'),
         "sv=1 name=" + std::string(127, 'n')},
        {"SampleVar=1|CharID=9|OriginalCharID=17|CharName=", "sv=1 name="},
        {"SampleVar=1|CharID=17|OriginalCharID=17|CharName=Same", "sv=1"},
        {"SampleVar=1|CharID=9|OriginalCharID=8|CharName=Other", "sv=1"},
        {"SampleVar=1|OriginalCharID=17|CharName=NoId", "sv=1"},
        {"SampleVar=1|CharID=9|CharName=NoOriginal", "sv=1"},
        {"SampleVar=1|CharID=9|OriginalCharID=17", "sv=1"}};
    size_t errors = 0;
    for (const auto& [text, summary] : rows) {
        EXPECT_EQ(summary, Compile(text)) << text.substr(0, 200);
        errors += summary.find('!') != std::string::npos;
    }
    EXPECT_EQ(errors, module.Messages("ERROR").size());
    EXPECT_EQ(2 * std::size(rows), module.Messages("TRACE").size());
    std::vector<std::string> lines = module.Lines();
    lines.resize(3);
    for (std::string& line : lines)
        line = ParseLogLine(line).message;
    EXPECT_EQ((std::vector<std::string>{
                  "Enter  CSpecManager::Complie",
                  "Exception detected in [CSpecManager::Complie] while doing [Getting options from "
                  "qcp file]; Error code 0x80004005, [Runner: QCP file error]",
                  "Exit   CSpecManager::Complie"}),
              lines);
}

TEST_F(Compilation, WithoutASampleIdentityTheCharacteristicsColumnsAreLookedUp) {
    // The object manager reads the characteristics of the same file.
    const std::tuple<const char*, int, std::string> rows[] = {
        {"[CHARACTERISTICS]|17=Diameter", 1, "au=1(hh:mm:ss),2([h]:mm:ss)"},
        {"[CHARACTERISTICS]|17=Bore", 1, "au=6(h:mm:ss)"},
        {"[CHARACTERISTICS]|17=Weight", 1, kNoIdentity},
        {"[CHARACTERISTICS]|17=Diameter", 0, kNoIdentity},
        {"[GENERAL]|SampleVar=0|[CHARACTERISTICS]|17=Diameter", 1, "sv=0"},
        {"SampleVar=0", 2, "sv=0"},
        {"", 2, "! 80004003 Unknown error 0x80004003"}};
    for (const auto& [text, lookUp, summary] : rows)
        EXPECT_EQ(summary, Compile(text, lookUp)) << text;
    EXPECT_EQ(1u, sheet.Count("VariableNumber(PIEC_Diameter)"));
    CSpecManager specs(sheet.Ptr(), wanted, 17, 0, false, 0.0, nullptr);
    EXPECT_EQ(E_POINTER, ComErrorOf([&] { specs.Complie(nullptr, qcp.c_str(), nullptr); }).first);
}

TEST_F(Compilation, CopiesOfTheProjectGoWhereTheRegistrySays) {
    // SaveQCPFile, SaveQCPFileOnError ('A' and 'E' for two folders), the type of both values,
    // the project: the copies made in each folder.
    const std::tuple<const char*, const char*, DWORD, const char*, const char*> rows[] = {
        {"A", nullptr, REG_SZ, "SampleVar=1", "1 0"},
        {"A", "E", REG_SZ, "", "1 0"},
        {nullptr, "E", REG_SZ, "SampleVar=1", "0 0"},
        {nullptr, "%ZAV_COPIES%", REG_EXPAND_SZ, "", "0 1"},
        {"A\\none", "E", REG_SZ, "", "0 0"},
        {nullptr, "E", REG_BINARY, "", "0 0"}};
    for (const auto& [always, onError, type, project, copies] : rows) {
        const TempDir folders[2];
        const ZavValue values[] = {{"SaveQCPFile"}, {"SaveQCPFileOnError"}};
        ::SetEnvironmentVariableA("ZAV_COPIES", folders[1].path().c_str());
        for (auto [value, data] : {std::pair{values, always}, {values + 1, onError}})
            if (data) {
                const std::string path =
                    *data == '%' ? data : folders[*data == 'E'].path() + (data + 1);
                ::RegSetKeyValueA(HKEY_LOCAL_MACHINE, kZavKey, value->name, type, path.c_str(),
                                  DWORD(path.size() + 1));
            }
        Compile(project);
        std::string made;
        for (const TempDir& folder : folders) {
            const std::vector<std::string> names = FilesIn(folder.path(), "p-*.qcp");
            made += (made.empty() ? "" : " ") + std::to_string(names.size());
            for (const std::string& name : names)
                EXPECT_EQ(ReadWholeFile(qcp), ReadWholeFile(folder / name)) << name;
        }
        EXPECT_EQ(copies, made) << (always ? always : "") << " " << (onError ? onError : "");
    }
}

} // namespace
} // namespace zavtest
