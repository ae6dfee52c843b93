// QCP compilation: every key in its order, the errors and what survives them, the sample-column
// lookup, the time-format widening, the characteristic name, the saved copies, and the log lines
// of the catch ladder.
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "ZAVTools.h"
#include "support/FakeObjectManager.h"
#include "support/FakeSpreadsheet.h"
#include "support/LoggedModule.h"
#include "support/Printers.h"
#include "support/SpecManagerTestAccess.h"

namespace {

using zavtest::DescriptionOf;

constexpr char kActivity[] = "Getting options from qcp file";

struct Compilation : ::testing::Test {
    zavtest::LoggedModule module;
    zavtest::FakeSpreadsheet sheet;
    zavtest::FakeObjectManager objects;
    std::vector<std::string> wanted{"out of control"};
    std::string qcp = module.folder / "project.qcp";

    void Write(const std::string& general) {
        zavtest::WriteTextFile(qcp, "[GENERAL]\r\n" + general);
    }
    CSpecManager Make(int charId = 7, bool findSampleColumns = false) {
        return CSpecManager(sheet.Ptr(), wanted, charId, 0, findSampleColumns, 0.0, nullptr);
    }
    // The error Complie raised, or an empty description when it returned.
    _com_error CompileFailure(CSpecManager& specs, Vexil::_ObjectManagerPtr manager = nullptr) {
        try {
            specs.Complie(&module, qcp.c_str(), manager);
        } catch (const _com_error& e) {
            return e;
        }
        ADD_FAILURE() << "Complie succeeded";
        return _com_error(S_OK);
    }
    SpecManagerImpl& State(CSpecManager& specs) { return CSpecManagerTestAccess::State(specs); }
};

TEST_F(Compilation, AFileWithOnlyASampleVariableCompilesToTheDefaults) {
    Write("SampleVar=3\r\n");
    CSpecManager specs = Make();
    EXPECT_TRUE(specs.Complie(&module, qcp.c_str(), nullptr));
    SpecManagerImpl& state = State(specs);
    EXPECT_FALSE(specs.ProcessAlarm_ObsOutOfSpecs() || specs.ProcessAlarm_RunsViolation() ||
                 specs.ProcessAlarm_SampleOutOfControl() ||
                 specs.ProcessAlarm_SampleOutsideWarningLimits());
    EXPECT_EQ(3, state.m_nCheckAlarmFor);
    EXPECT_EQ(3, state.m_nSampleVar);
    EXPECT_TRUE(state.m_runsTests.empty());
    EXPECT_TRUE(state.m_autoUpdateColumns.empty());
    EXPECT_TRUE(state.m_auxDataVars.empty());
    EXPECT_TRUE(sheet.calls.empty()) << "nothing to widen, nothing to look up";
    EXPECT_EQ(
        std::vector<std::string>({"Enter  CSpecManager::Complie", "Exit   CSpecManager::Complie"}),
        module.Messages("TRACE"));
    EXPECT_EQ(7, specs.GetCharId());
}

TEST_F(Compilation, EveryKeyOfTheTable) {
    Write("ChartOptCheckAlarmForXorRorBoth=2\r\n"
          "ChartOptAlarmOutOfSpecs=1\r\n"
          "ChartOptAlarmRunsViolation=0\r\n"
          "ChartOptAlarmOutOfControl=5\r\n"
          "ChartOptAlarmOutOfWarning=\r\n"
          "RunsTestBeyondC=1\r\n"
          "RunsTestSameSideOfCenter=1\r\n"
          "RunsTestInZoneB=0\r\n"
          "RunsTestUpAndDown=2\r\n"
          "SampleVar=0\r\n"
          "au_column_count=2\r\nau_column_0=5\r\nau_column_1=9\r\n"
          "zav_aux_data_count=3\r\nzav_aux_data_var_0=4\r\nzav_aux_data_var_1=4\r\n"
          "zav_aux_data_var_2=-1\r\n");
    sheet.variableFormats = {{5, L"0.00"}, {9, L"yyyy-mm-dd"}};
    CSpecManager specs = Make();
    State(specs).m_bProcessRunsViolation = true;
    State(specs).m_bProcessSampleOutsideWarningLimits = true;
    specs.Complie(&module, qcp.c_str(), nullptr);
    SpecManagerImpl& state = State(specs);
    EXPECT_EQ(2, state.m_nCheckAlarmFor);
    EXPECT_TRUE(specs.ProcessAlarm_ObsOutOfSpecs());
    EXPECT_FALSE(specs.ProcessAlarm_RunsViolation());
    EXPECT_TRUE(specs.ProcessAlarm_SampleOutOfControl());
    EXPECT_FALSE(specs.ProcessAlarm_SampleOutsideWarningLimits()) << "an empty value reads as 0";
    EXPECT_EQ(std::vector<int>({0, 2, 6}), state.m_runsTests) << "in the order of the codes";
    EXPECT_EQ(0, state.m_nSampleVar);
    EXPECT_EQ(std::vector<int>({5, 9}), state.m_autoUpdateColumns);
    EXPECT_EQ(std::vector<int>({4, 4, -1}), state.m_auxDataVars) << "taken unchecked";

    // A second compilation appends the runs tests again and rebuilds the lists.
    specs.Complie(&module, qcp.c_str(), nullptr);
    EXPECT_EQ(std::vector<int>({0, 2, 6, 0, 2, 6}), state.m_runsTests);
    EXPECT_EQ(std::vector<int>({5, 9}), state.m_autoUpdateColumns);

    for (const char* value : {"0", "7", "-1", "x"}) {
        Write(std::string("ChartOptCheckAlarmForXorRorBoth=") + value + "\r\nSampleVar=1\r\n");
        specs.Complie(&module, qcp.c_str(), nullptr);
        EXPECT_EQ(3, state.m_nCheckAlarmFor) << value;
    }
    Write("ChartOptCheckAlarmForXorRorBoth=1\r\nSampleVar=1\r\n");
    specs.Complie(&module, qcp.c_str(), nullptr);
    EXPECT_EQ(1, state.m_nCheckAlarmFor);
    EXPECT_TRUE(specs.ProcessAlarm_ObsOutOfSpecs()) << "absent switches stay as they were";
}

TEST_F(Compilation, AMissingIndexedKeyIsAFileErrorThatKeepsWhatWasRead) {
    Write("ChartOptAlarmOutOfControl=1\r\nRunsTestInZoneA=1\r\nSampleVar=2\r\n"
          "au_column_count=2\r\nau_column_0=6\r\n");
    CSpecManager specs = Make();
    _com_error error = CompileFailure(specs);
    EXPECT_EQ(E_FAIL, error.Error());
    EXPECT_EQ(std::string(kActivity) + " [Runner: QCP file error]", DescriptionOf(error));
    SpecManagerImpl& state = State(specs);
    EXPECT_TRUE(specs.ProcessAlarm_SampleOutOfControl());
    EXPECT_EQ(std::vector<int>({3}), state.m_runsTests);
    EXPECT_EQ(2, state.m_nSampleVar);
    EXPECT_EQ(std::vector<int>({6}), state.m_autoUpdateColumns);

    EXPECT_EQ(std::vector<std::string>({"Exception detected in [CSpecManager::Complie] while doing "
                                        "[Getting options from qcp file]; Error code 0x80004005, "
                                        "[Runner: QCP file error]"}),
              module.Messages("ERROR"));
    std::vector<std::string> traces = module.Messages("TRACE");
    ASSERT_EQ(2u, traces.size());
    EXPECT_EQ("Exit   CSpecManager::Complie", traces[1]) << "the exit is traced on the way out";

    Write("zav_aux_data_count=1\r\nSampleVar=1\r\n");
    EXPECT_EQ(std::string(kActivity) + " [Runner: QCP file error]",
              DescriptionOf(CompileFailure(specs)));
}

TEST_F(Compilation, WithoutASampleIdentityTheLookupDecides) {
    Write("au_column_count=0\r\nSampleVar=-4\r\n");
    CSpecManager off = Make(7, false);
    EXPECT_EQ(std::string(kActivity) +
                  " [Runner: No auto update column and no sample id column specified. ZAV "
                  "requires one of these.]",
              DescriptionOf(CompileFailure(off, objects.Ptr())));
    EXPECT_TRUE(objects.calls.empty());

    objects.names = {{7, L"Diameter"}};
    sheet.variableNumbers = {{L"SMPL_Diameter", 12}};
    sheet.variableFormats = {{12, L"h:mm"}};
    CSpecManager on = Make(7, true);
    EXPECT_TRUE(on.Complie(&module, qcp.c_str(), objects.Ptr()));
    EXPECT_EQ(std::vector<int>({12}), State(on).m_autoUpdateColumns);
    EXPECT_EQ(std::vector<std::string>({"Characteristics()", "Item(7)", "Name()"}), objects.calls);
    EXPECT_EQ(1u, sheet.Count("VariableNumber(SMPL_Diameter)"));
    EXPECT_EQ(1u, sheet.Count("VariableNumber(PIEC_Diameter)"));
    EXPECT_EQ(1u, sheet.Count("SetVariableFormat(12,h:mm:ss)"));
    EXPECT_EQ(0u, objects.RefCount()) << "every reference released";

    sheet.variableNumbers[L"PIEC_Diameter"] = 13;
    sheet.variableFormats[13] = L"0";
    CSpecManager both = Make(7, true);
    both.Complie(&module, qcp.c_str(), objects.Ptr());
    EXPECT_EQ(std::vector<int>({12, 13}), State(both).m_autoUpdateColumns) << "sample, then piece";

    Write("SampleVar=0\r\n");
    CSpecManager counted = Make(7, true);
    EXPECT_TRUE(counted.Complie(&module, qcp.c_str(), nullptr))
        << "a sample variable of 0 counts, so no lookup needs the object manager";

    Write("");
    CSpecManager nullManager = Make(7, true);
    EXPECT_EQ(E_POINTER, CompileFailure(nullManager, nullptr).Error());
    objects.nullItem = true;
    CSpecManager nullItem = Make(7, true);
    EXPECT_EQ(E_POINTER, CompileFailure(nullItem, objects.Ptr()).Error());
    EXPECT_EQ(0u, objects.RefCount());
}

TEST_F(Compilation, TimeFormatsOfTheSampleColumnsAreWidenedToSeconds) {
    Write("au_column_count=5\r\nau_column_0=1\r\nau_column_1=2\r\nau_column_2=3\r\n"
          "au_column_3=4\r\nau_column_4=5\r\n");
    sheet.variableFormats = {{1, L"hh:mm"},
                             {2, L"[h]:mm:ss"},
                             {3, L"0.00"},
                             {4, L"m/d/yy h:mm AM/PM"},
                             {5, L"h:mm h:mm"}};
    CSpecManager specs = Make();
    specs.Complie(&module, qcp.c_str(), nullptr);
    std::vector<std::string> writes;
    for (const std::string& call : sheet.calls)
        if (call.rfind("SetVariableFormat", 0) == 0)
            writes.push_back(call);
    EXPECT_EQ(std::vector<std::string>({"SetVariableFormat(1,hh:mm:ss)",
                                        "SetVariableFormat(4,m/d/yy h:mm:ss AM/PM)",
                                        "SetVariableFormat(5,h:mm:ss h:mm)"}),
              writes);
}

TEST_F(Compilation, ASpreadsheetErrorLeavesWithItsHresultAndOneBracketedLevel) {
    Write("au_column_count=1\r\nau_column_0=44\r\n");
    CSpecManager specs = Make();
    _com_error error = CompileFailure(specs);
    EXPECT_EQ(E_INVALIDARG, error.Error()) << "the spreadsheet's own HRESULT";
    EXPECT_EQ(std::string(kActivity) + " [The test spreadsheet has no such variable]",
              DescriptionOf(error));
    ASSERT_EQ(1u, module.Messages("ERROR").size());
    EXPECT_NE(std::string::npos, module.Messages("ERROR")[0].find("Error code 0x80070057"));

    // One level further up the description holds a bracket: logged again, passed on unchanged.
    try {
        LogAndRethrow(module, error, "Host::RunProject", "Running the project",
                      DescriptionOf(error).c_str());
    } catch (const _com_error& outer) {
        EXPECT_EQ(DescriptionOf(error), DescriptionOf(outer));
        EXPECT_EQ(E_INVALIDARG, outer.Error());
    }
    EXPECT_EQ(2u, module.Messages("ERROR").size());
}

TEST_F(Compilation, TheCharacteristicNameComesFromACopiedCharacteristicOnly) {
    struct Case {
        const char* keys;
        const char* expected;
    } cases[] = {
        {"CharID=9\r\nOriginalCharID=7\r\nCharName=  Diameter [mm] \r\n", "Diameter [mm]"},
        {"CharID=9\r\nOriginalCharID=7\r\nCharName=\r\n", ""},
        {"CharID=7\r\nOriginalCharID=7\r\nCharName=Same\r\n", "kept"},
        {"CharID=9\r\nOriginalCharID=8\r\nCharName=Other\r\n", "kept"},
        {"OriginalCharID=7\r\nCharName=NoId\r\n", "kept"},
        {"CharID=9\r\nCharName=NoOriginal\r\n", "kept"},
        {"CharID=9\r\nOriginalCharID=7\r\n", "kept"},
    };
    for (const Case& test : cases) {
        Write(std::string("SampleVar=1\r\n") + test.keys);
        CSpecManager specs = Make(7);
        State(specs).m_strCharName = "kept";
        specs.Complie(&module, qcp.c_str(), nullptr);
        EXPECT_STREQ(test.expected, State(specs).m_strCharName) << test.keys;
        EXPECT_EQ(7, specs.GetCharId());
    }
}

TEST_F(Compilation, MissingFilesAndModules) {
    qcp = module.folder / "absent.qcp";
    CSpecManager specs = Make();
    EXPECT_NE(std::string::npos, DescriptionOf(CompileFailure(specs)).find("No auto update"));
    EXPECT_EQ(3, State(specs).m_nCheckAlarmFor);
    try {
        specs.Complie(nullptr, qcp.c_str(), nullptr);
        FAIL();
    } catch (const _com_error& e) {
        EXPECT_EQ(E_POINTER, e.Error());
    }
}

// The registry values an administrator sets to keep copies of the QCP files.
class SaveFolderValue {
public:
    SaveFolderValue(const char* name, const std::string& folder, DWORD type = REG_SZ)
        : m_name(name) {
        ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Orlenco\\ZAV", 0, nullptr, 0,
                          KEY_SET_VALUE, nullptr, &m_key, nullptr);
        ::RegSetValueExA(m_key, name, 0, type, reinterpret_cast<const BYTE*>(folder.c_str()),
                         static_cast<DWORD>(folder.size() + 1));
    }
    ~SaveFolderValue() {
        ::RegDeleteValueA(m_key, m_name);
        ::RegCloseKey(m_key);
    }

private:
    const char* m_name;
    HKEY m_key = nullptr;
};

std::vector<std::string> Copies(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA entry;
    HANDLE search = ::FindFirstFileA((folder + "\\project-*.qcp").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
        do
            names.push_back(entry.cFileName);
        while (::FindNextFileA(search, &entry));
        ::FindClose(search);
    }
    return names;
}

TEST_F(Compilation, CopiesAreSavedWhereTheRegistryAsks) {
    zavtest::TempDir saved, onError;
    Write("SampleVar=1\r\n");
    {
        SaveFolderValue always("SaveQCPFile", saved.path());
        SaveFolderValue failing("SaveQCPFileOnError", onError.path());
        CSpecManager specs = Make();
        specs.Complie(&module, qcp.c_str(), nullptr);
        std::vector<std::string> copies = Copies(saved.path());
        ASSERT_EQ(1u, copies.size());
        EXPECT_EQ(std::string("project-").size() + 12 + 4, copies[0].size()) << copies[0];
        EXPECT_EQ(zavtest::ReadWholeFile(qcp), zavtest::ReadWholeFile(saved / copies[0]));
        EXPECT_TRUE(Copies(onError.path()).empty()) << "only a failing compilation";

        Write("");
        CSpecManager failingSpecs = Make();
        CompileFailure(failingSpecs);
        EXPECT_TRUE(Copies(onError.path()).empty())
            << "the first value was set, so the second is not asked";
    }
    {
        SaveFolderValue failing("SaveQCPFileOnError", onError.path(), REG_EXPAND_SZ);
        CSpecManager specs = Make();
        CompileFailure(specs);
        EXPECT_EQ(1u, Copies(onError.path()).size());
    }
    {
        SaveFolderValue nowhere("SaveQCPFile", saved / "no such folder");
        SaveFolderValue wrongType("SaveQCPFileOnError", onError.path(), REG_BINARY);
        Write("SampleVar=1\r\n");
        CSpecManager specs = Make();
        EXPECT_TRUE(specs.Complie(&module, qcp.c_str(), nullptr))
            << "a missing folder changes nothing";
        Write("");
        CSpecManager failingSpecs = Make();
        EXPECT_NE(std::string::npos,
                  DescriptionOf(CompileFailure(failingSpecs)).find("No auto update"));
        EXPECT_EQ(1u, Copies(onError.path()).size());
    }
}

} // namespace
