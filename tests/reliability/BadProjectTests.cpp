// QCP compilation of generated project files: random bytes, huge, negative and unreadable
// counts, repeated keys, keys in other sections or in no section, values of 10,000 characters,
// 10,000 keys. Each generated file comes with what it means, so every case is checked against
// the outcome it must have: the options it compiles to, or the one clear error it must end in,
// with the state that compilation leaves behind either way. Random bytes have no meaning to
// predict; they must end in a clear error or compile.
#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "ZAVTools.h"
#include "reliability/Generator.h"
#include "support/FakeObjectManager.h"
#include "support/FakeSpreadsheet.h"
#include "support/LoggedModule.h"
#include "support/Printers.h"
#include "support/SpecManagerTestAccess.h"

namespace zavtest {
namespace {

constexpr int kCases = 600;
constexpr int kCharId = 7;
// The spreadsheet has display formats for the variables 1 to kVariables only.
constexpr int kVariables = 40;
const std::string kProlog = "Getting options from qcp file [";

const char* const kSwitchKeys[] = {"ChartOptAlarmOutOfSpecs", "ChartOptAlarmRunsViolation",
                                   "ChartOptAlarmOutOfControl", "ChartOptAlarmOutOfWarning"};
const char* const kRunsKeys[] = {
    "RunsTestSameSideOfCenter", "RunsTestInDecreasing", "RunsTestUpAndDown", "RunsTestInZoneA",
    "RunsTestInZoneB",          "RunsTestInZoneC",      "RunsTestBeyondC"};

enum class Outcome { Compiled, FileError, NoIdentity, SheetError, ManagerError };

// What a project file says: the keys of its "GENERAL" section in file order. The platform's
// reader finds the first of a name in any letter case and reads at most 127 characters.
struct Project {
    std::vector<std::pair<std::string, std::string>> keys;

    std::optional<std::string> Text(const std::string& key) const {
        for (const auto& [name, value] : keys)
            if (_stricmp(name.c_str(), key.c_str()) == 0)
                return value.substr(0, 127);
        return std::nullopt;
    }
    std::optional<int> Number(const std::string& key) const {
        std::optional<std::string> text = Text(key);
        return text ? std::optional<int>(atoi(text->c_str())) : std::nullopt;
    }
};

// What the spreadsheet and the object manager of a case hold.
struct World {
    bool findSampleColumns = false;
    std::optional<std::wstring> characteristic; // its name, when the manager knows it
    std::map<std::wstring, long> variableNumbers;
    std::map<long, std::wstring> formats;
};

// The state a compilation leaves, and how it ends.
struct Result {
    Outcome outcome = Outcome::Compiled;
    int checkFor = 3;
    bool switches[4] = {};
    std::vector<int> runsTests;
    int sampleVar = -1;
    std::vector<int> autoUpdate, auxData;
    std::string charName = "before";
};

bool ReadList(const Project& project, const char* countKey, const char* itemFormat,
              std::vector<int>& values) {
    values.clear();
    const int count = project.Number(countKey).value_or(0);
    for (int i = 0; i < count; ++i) {
        char key[32];
        snprintf(key, sizeof key, itemFormat, i);
        std::optional<int> value = project.Number(key);
        if (!value)
            return false;
        values.push_back(*value);
    }
    return true;
}

Result Expect(const Project& project, const World& world) {
    Result r;
    if (std::optional<int> v = project.Number("ChartOptCheckAlarmForXorRorBoth");
        v && (*v == 1 || *v == 2))
        r.checkFor = *v;
    for (int i = 0; i < 4; ++i)
        if (std::optional<int> v = project.Number(kSwitchKeys[i]))
            r.switches[i] = *v != 0;
    for (int code = 0; code < 7; ++code)
        if (project.Number(kRunsKeys[code]).value_or(0) != 0)
            r.runsTests.push_back(code);
    r.sampleVar = project.Number("SampleVar").value_or(-1);
    if (!ReadList(project, "au_column_count", "au_column_%d", r.autoUpdate))
        return r.outcome = Outcome::FileError, r;
    if (world.findSampleColumns && r.sampleVar < 0 && r.autoUpdate.empty()) {
        if (!world.characteristic)
            return r.outcome = Outcome::ManagerError, r;
        for (const wchar_t* prefix : {L"SMPL_", L"PIEC_"}) {
            auto found = world.variableNumbers.find(prefix + *world.characteristic);
            if (found != world.variableNumbers.end() && found->second > 0)
                r.autoUpdate.push_back(found->second);
        }
    }
    if (r.sampleVar < 0 && r.autoUpdate.empty())
        return r.outcome = Outcome::NoIdentity, r;
    if (!ReadList(project, "zav_aux_data_count", "zav_aux_data_var_%d", r.auxData))
        return r.outcome = Outcome::FileError, r;
    for (int variable : r.autoUpdate)
        if (!world.formats.count(variable))
            return r.outcome = Outcome::SheetError, r;
    std::optional<int> charId = project.Number("CharID");
    std::optional<int> original = project.Number("OriginalCharID");
    std::optional<std::string> name = project.Text("CharName");
    if (charId && *charId != kCharId && original && *original == kCharId && name)
        r.charName = *name;
    return r;
}

// The first "h:mm" becomes "h:mm:ss" unless the format shows seconds already.
std::wstring Widened(const std::wstring& format) {
    const size_t at = format.find(L"h:mm");
    if (at == std::wstring::npos || format.find(L"h:mm:ss") != std::wstring::npos)
        return format;
    return format.substr(0, at) + L"h:mm:ss" + format.substr(at + 4);
}

// The texts a number key is given: small, signed, huge, wrapped, mixed with letters, empty,
// and now and then 10,000 digits.
std::string NumberText(Generator& g) {
    switch (g.Below(12)) {
    case 0:
        return "";
    case 1:
        return g.Pick<std::string>({"2147483647", "-2147483648", "99999999999", "-99999999999"});
    case 2:
        return g.Pick<std::string>({"abc", "12abc", "+4", "0x1F", "--3", "-", "1e3", "3.9"});
    case 3:
        if (g.Chance(10))
            return std::string(1, char('1' + g.Below(9))) + std::string(9999, '7');
        return std::to_string(g.Between(-100000, 100000));
    default:
        return std::to_string(g.Between(-3, 45));
    }
}

std::string CountText(Generator& g) {
    switch (g.Below(8)) {
    case 0:
        return g.Pick<std::string>({"2147483647", "-2147483648", "-1", "0", "abc", ""});
    case 1:
        return std::string(10000, '9');
    default:
        return std::to_string(g.Between(0, 6));
    }
}

// Items 0..n-1 of a list, now and then one left out, values mostly variables with formats.
void AddList(Generator& g, Project& p, const char* countKey, const char* itemFormat) {
    if (g.Chance(40))
        return;
    p.keys.push_back({countKey, CountText(g)});
    const int items = g.Between(0, 7);
    const int gap = g.Chance(15) ? g.Between(0, items) : -1;
    for (int i = 0; i < items; ++i) {
        if (i == gap)
            continue;
        char key[32];
        snprintf(key, sizeof key, itemFormat, i);
        p.keys.push_back(
            {key, g.Chance(85) ? std::to_string(g.Between(1, kVariables + 5)) : NumberText(g)});
    }
}

Project MakeProject(Generator& g) {
    Project p;
    if (g.Chance(70))
        p.keys.push_back({"ChartOptCheckAlarmForXorRorBoth", NumberText(g)});
    for (const char* key : kSwitchKeys)
        if (g.Chance(60))
            p.keys.push_back({key, NumberText(g)});
    for (const char* key : kRunsKeys)
        if (g.Chance(50))
            p.keys.push_back({key, NumberText(g)});
    if (g.Chance(50))
        p.keys.push_back({"SampleVar", NumberText(g)});
    AddList(g, p, "au_column_count", "au_column_%d");
    AddList(g, p, "zav_aux_data_count", "zav_aux_data_var_%d");
    for (const char* key : {"CharID", "OriginalCharID"})
        if (g.Chance(60))
            p.keys.push_back({key, std::to_string(g.Chance(50) ? kCharId : g.Between(0, 9))});
    if (g.Chance(60))
        p.keys.push_back({"CharName", g.Chance(10) ? g.Printable(10000, "[]=\"'; ")
                                                   : g.Printable(g.Below(30), "[]=\"'; ")});
    // Keys repeated with other values: the first one counts.
    const size_t written = p.keys.size();
    for (size_t i = 0; i < written; ++i)
        if (g.Chance(20))
            p.keys.push_back({p.keys[i].first, NumberText(g)});
    for (size_t i = p.keys.size(); i > 1; --i)
        if (g.Chance(30))
            std::swap(p.keys[i - 1], p.keys[g.Below(i)]);
    return p;
}

// The file of a project. Lines that are no keys of this project are mixed in; the keys of
// other sections, and of a GENERAL section that comes second, must be ignored. Without a
// GENERAL section the project is empty.
std::string Render(Generator& g, Project& project) {
    const std::string eol = g.Chance(80) ? "\r\n" : "\n";
    std::string text;
    auto section = [&](const std::string& name, const Project& keys) {
        text += "[" + g.RandomCase(name) + "]" + eol;
        for (const auto& [key, value] : keys.keys) {
            if (g.Chance(10))
                text += (g.Chance(50) ? ";" : "") + g.Printable(g.Below(40), "[]=") + eol;
            text += g.RandomCase(key) + "=" + value + eol;
        }
    };
    if (g.Chance(20))
        section("PROJECT", MakeProject(g));
    switch (g.Below(10)) {
    case 0:
        section("GENERAL2", project);
        project.keys.clear();
        break;
    case 1:
        for (const auto& [key, value] : project.keys)
            text += key + "=" + value + eol;
        project.keys.clear();
        break;
    default:
        section("GENERAL", project);
        if (g.Chance(10))
            section("GENERAL", MakeProject(g));
    }
    if (g.Chance(30))
        section("REFSERVER", MakeProject(g));
    return text;
}

World MakeWorld(Generator& g) {
    World w;
    w.findSampleColumns = g.Chance(50);
    if (g.Chance(80))
        w.characteristic = g.Pick<std::wstring>({L"Diameter", L"Weight", L"Bore"});
    for (const wchar_t* name : {L"SMPL_Diameter", L"PIEC_Diameter", L"SMPL_Weight", L"PIEC_Bore"})
        if (g.Chance(50))
            w.variableNumbers[name] = g.Between(-1, kVariables);
    for (long v = 1; v <= kVariables; ++v)
        w.formats[v] = g.Pick<std::wstring>(
            {L"hh:mm", L"0.00", L"m/d/yy h:mm AM/PM", L"[h]:mm:ss", L"", L"General", L"h:mm:ss"});
    return w;
}

struct Case {
    FakeSpreadsheet sheet;
    FakeObjectManager objects;
    std::vector<std::string> wanted;
    CSpecManager specs;
    SpecManagerImpl& state;

    explicit Case(const World& world)
        : specs(sheet.Ptr(), wanted, kCharId, 0, world.findSampleColumns, 0.0, nullptr),
          state(CSpecManagerTestAccess::State(specs)) {
        sheet.record = objects.record = false;
        sheet.variableNumbers = world.variableNumbers;
        sheet.variableFormats = world.formats;
        if (world.characteristic)
            objects.names[kCharId] = *world.characteristic;
        state.m_strCharName = "before";
    }

    // How Complie ended: Compiled, or the error told apart by its code and description.
    std::pair<Outcome, std::string> Compile(LoggedModule& module, const std::string& path) {
        try {
            EXPECT_TRUE(specs.Complie(&module, path.c_str(), objects.Ptr()));
            return {Outcome::Compiled, ""};
        } catch (const _com_error& e) {
            const std::string text = DescriptionOf(e);
            const HRESULT hr = e.Error();
            if (hr == E_FAIL && text == kProlog + "Runner: QCP file error]")
                return {Outcome::FileError, text};
            if (hr == E_FAIL && text == kProlog + "Runner: No auto update column and no sample id "
                                                  "column specified. ZAV requires one of these.]")
                return {Outcome::NoIdentity, text};
            if (hr == E_INVALIDARG &&
                text == kProlog + "The test spreadsheet has no such variable]")
                return {Outcome::SheetError, text};
            if (hr == E_INVALIDARG &&
                text == kProlog + "The test object manager has no such characteristic]")
                return {Outcome::ManagerError, text};
            ADD_FAILURE() << "an unclear error: " << e;
            return {Outcome::Compiled, text};
        }
    }

    void ExpectState(const Result& r, const World& world, const std::string& where) {
        SCOPED_TRACE(where);
        EXPECT_EQ(r.checkFor, state.m_nCheckAlarmFor);
        EXPECT_EQ(r.switches[0], specs.ProcessAlarm_ObsOutOfSpecs());
        EXPECT_EQ(r.switches[1], specs.ProcessAlarm_RunsViolation());
        EXPECT_EQ(r.switches[2], specs.ProcessAlarm_SampleOutOfControl());
        EXPECT_EQ(r.switches[3], specs.ProcessAlarm_SampleOutsideWarningLimits());
        EXPECT_EQ(r.runsTests, state.m_runsTests);
        EXPECT_EQ(r.sampleVar, state.m_nSampleVar);
        EXPECT_EQ(r.autoUpdate, state.m_autoUpdateColumns);
        EXPECT_EQ(r.auxData, state.m_auxDataVars);
        EXPECT_EQ(r.charName, state.m_strCharName.GetString());
        if (r.outcome != Outcome::Compiled)
            return;
        for (int variable : r.autoUpdate)
            EXPECT_TRUE(Widened(world.formats.at(variable)) == sheet.variableFormats[variable])
                << "variable " << variable;
    }
};

const char* Name(Outcome outcome) {
    static const char* const kNames[] = {"compiled", "file error 4001", "no identity 4002",
                                         "spreadsheet error", "object manager error"};
    return kNames[static_cast<int>(outcome)];
}

TEST(BadProjects, GeneratedFilesCompileToWhatTheySayOrEndInTheirClearError) {
    const uint64_t seed = ReliabilitySeed();
    Generator g(seed);
    LoggedModule module("ERROR");
    int caseNumber = 0, failures = 0, randomBytes = 0;
    std::map<Outcome, int> tally;
    Watchdog watchdog(120000, [&] {
        return "seed " + std::to_string(seed) + ", case " + std::to_string(caseNumber);
    });
    for (caseNumber = 1; caseNumber <= kCases; ++caseNumber) {
        const std::string where =
            "seed " + std::to_string(seed) + ", case " + std::to_string(caseNumber);
        const std::string path = module.folder / ("case" + std::to_string(caseNumber) + ".qcp");
        World world = MakeWorld(g);
        Project project = MakeProject(g);
        const bool bytes = g.Chance(12);
        if (bytes) {
            ++randomBytes;
            const std::string head = g.Chance(50) ? "[GENERAL]\r\n" : "";
            WriteTextFile(path, head + g.Bytes(g.Below(g.Chance(10) ? 200000 : 3000)));
        } else {
            WriteTextFile(path, Render(g, project));
        }
        Case c(world);
        auto [outcome, text] = c.Compile(module, path);
        ++tally[outcome];
        failures += outcome != Outcome::Compiled;
        if (bytes)
            continue;
        const Result expected = Expect(project, world);
        EXPECT_EQ(Name(expected.outcome), std::string(Name(outcome))) << where << ": " << text;
        c.ExpectState(expected, world, where);
    }
    EXPECT_EQ(size_t(failures), module.Messages("ERROR").size())
        << "each failed compilation logs one error line";
    printf("bad projects: seed %llu, %d cases (%d of random bytes):", (unsigned long long)seed,
           kCases, randomBytes);
    for (const auto& [outcome, count] : tally)
        printf(" %s %d;", Name(outcome), count);
    printf("\n");
}

// 10,000 keys: the whole list read in order, and keys found behind 10,000 others.
TEST(BadProjects, TenThousandKeys) {
    LoggedModule module("ERROR");
    std::string list = "[GENERAL]\r\nSampleVar=1\r\nzav_aux_data_count=10000\r\n";
    std::vector<int> expected;
    for (int i = 0; i < 10000; ++i) {
        list += "zav_aux_data_var_" + std::to_string(i) + "=" + std::to_string(i * 7 - 3) + "\r\n";
        expected.push_back(i * 7 - 3);
    }
    WriteTextFile(module.folder / "list.qcp", list);
    std::string behind = "[GENERAL]\r\n";
    for (int i = 0; i < 10000; ++i)
        behind += "Unused" + std::to_string(i) + "=" + std::to_string(i) + "\r\n";
    behind += "SampleVar=2\r\nCharID=8\r\nOriginalCharID=7\r\nCharName=" + std::string(10000, 'n') +
              "\r\n";
    WriteTextFile(module.folder / "behind.qcp", behind);

    Watchdog watchdog(120000, [] { return std::string("ten thousand keys"); });
    World world;
    Case list10k(world);
    EXPECT_EQ(Outcome::Compiled, list10k.Compile(module, module.folder / "list.qcp").first);
    EXPECT_EQ(expected, list10k.state.m_auxDataVars);
    Case found(world);
    EXPECT_EQ(Outcome::Compiled, found.Compile(module, module.folder / "behind.qcp").first);
    EXPECT_EQ(2, found.state.m_nSampleVar);
    EXPECT_EQ(std::string(127, 'n'), found.state.m_strCharName.GetString());
}

} // namespace
} // namespace zavtest
