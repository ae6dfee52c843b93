// Spreadsheets whose names and cells hold characters that the ANSI code page lacks (Greek,
// Cyrillic, CJK, characters beyond the BMP, half surrogate pairs), and cells that are empty or
// null. The sample identity is wide text and keeps every character; the auxiliary data, the
// characteristic details and process names are narrow text of the ANSI code page, so they hold
// what the code page makes of a text, and a record shows that narrow text widened again. The
// same cases run once more under a Japanese locale, where the ANSI code page has two bytes for
// most of these characters.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "alarms/AlarmFixture.h"
#include "reliability/Generator.h"
#include "support/SafeArrays.h"

namespace zavtest {
namespace {

// A cell: null (no text at all), empty, or foreign text.
std::optional<std::wstring> MakeCell(Generator& g) {
    const uint64_t kind = g.Below(100);
    if (kind < 15)
        return std::nullopt;
    if (kind < 25)
        return std::wstring();
    return g.ForeignText(g.Between(1, 12));
}

std::string Trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return std::string();
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::wstring Field(const wchar_t* text) {
    return text ? text : L"<null>";
}

struct Texts : AlarmEngine {
    Generator g{ReliabilitySeed()};

    void SetUp() override {
        AlarmEngine::SetUp();
        state.m_bProcessSampleOutOfControl = true;
        state.m_nCheckAlarmFor = 1;
        sheet.record = chart.record = false;
    }

    // Picks `count` of the variables and gives each a generated cell on the case; returns the
    // variables in the order picked.
    std::vector<int> Cells(long caseNumber, std::vector<int> pool, int count,
                           std::vector<std::optional<std::wstring>>& cells) {
        std::vector<int> picked;
        for (int i = 0; i < count; ++i) {
            const size_t at = g.Below(pool.size());
            picked.push_back(pool[at]);
            pool.erase(pool.begin() + at);
            cells.push_back(MakeCell(g));
            sheet.SetText(caseNumber, picked.back(),
                          cells.back() ? cells.back()->c_str() : nullptr);
        }
        return picked;
    }
};

TEST_F(Texts, IdentitiesKeepEveryCharacterAndNarrowTextsHoldTheCodePagesForm) {
    constexpr int kCases = 400;
    for (long n = 1; n <= kCases; ++n) {
        const std::string where = "seed " + std::to_string(ReliabilitySeed()) + ", case " +
                                  std::to_string(n) + ", code page " + std::to_string(::GetACP());
        SCOPED_TRACE(where);
        const std::wstring label = g.ForeignText(g.Between(1, 8));
        const long index = chart.AddSample(label, L"K" + std::to_wstring(n), double(n - 1));
        chart.samples[index].xMeasure = 12.7;
        chart.samples[index].xControl = {10, 12};

        // The identity: the label, or the auto-update cells joined by "_", a null cell adding
        // nothing; null when there is nothing at all.
        std::optional<std::wstring> identity;
        std::vector<std::optional<std::wstring>> idCells, auxCells, processCells;
        if (g.Chance(30)) {
            state.m_nSampleVar = 0;
            state.m_autoUpdateColumns.clear();
            identity = label;
        } else {
            state.m_nSampleVar = -1;
            state.m_autoUpdateColumns = Cells(n, {11, 12, 13, 14}, g.Between(1, 3), idCells);
            for (size_t i = 0; i < idCells.size(); ++i) {
                if (idCells[i])
                    identity = identity.value_or(L"") + *idCells[i];
                if (i + 1 < idCells.size())
                    identity = identity.value_or(L"") + L"_";
            }
        }

        // The details: the name, "; " and the auxiliary cells joined by "; ", all narrow.
        state.m_auxDataVars = Cells(n, {21, 22, 23, 24}, g.Between(0, 3), auxCells);
        const std::string name = g.Chance(50) ? Narrow(g.ForeignText(g.Between(1, 6))) : "";
        state.m_strCharName = name.c_str();
        std::string aux;
        for (size_t i = 0; i < auxCells.size(); ++i)
            aux +=
                (auxCells[i] ? Narrow(*auxCells[i]) : "") + (i + 1 < auxCells.size() ? "; " : "");
        const std::string details =
            Trimmed(name + (!name.empty() && !aux.empty() ? "; " : "") + aux);

        // The process name from foreign variable names and cells, as a host makes it.
        std::string expectedProcess;
        for (long var : {31L, 32L}) {
            sheet.variableNames[var] = g.ForeignText(g.Between(1, 5));
            std::optional<std::wstring> cell = MakeCell(g);
            sheet.SetText(n, var, cell ? cell->c_str() : nullptr);
            expectedProcess += (var == 31 ? "" : ",") + Narrow(sheet.variableNames[var]) + "=" +
                               (cell ? Narrow(*cell) : "");
        }
        const std::string process = MakeProcessName(sheet.Ptr(), n, {31, 32});
        EXPECT_EQ(expectedProcess, process);
        specs.SetProcessName(process);

        const SafeArray labels = SafeArray::OfBstrs({label});
        const SafeArray keys = SafeArray::OfBstrs({L"K" + std::to_wstring(n)});
        specs.OnSampleOutOfControl(chart.Ptr(), labels.get(), keys.get(), false, 1);
        ASSERT_EQ(size_t(n), Alarms().size());
        const QCAlarm& alarm = Alarms().back();
        EXPECT_TRUE(identity ? Field(alarm.sampleId) == *identity : !alarm.sampleId);
        EXPECT_TRUE(Field(alarm.charDetails) == Wide(details));
        EXPECT_TRUE(Field(alarm.processName) == Wide(process));
    }
    printf("foreign texts: seed %llu, %d cases, ANSI code page %u\n",
           (unsigned long long)ReliabilitySeed(), kCases, ::GetACP());
}

// Process names of cases whose texts differ only in characters the code page lacks are one
// process: blocks are told apart by their narrow names. Each block's cells are foreign, null or
// empty (null and empty read alike).
TEST_F(Texts, ProcessBlocksFollowTheNarrowNames) {
    constexpr int kSheets = 60;
    int blocksSeen = 0;
    for (int n = 1; n <= kSheets; ++n) {
        SCOPED_TRACE("seed " + std::to_string(ReliabilitySeed()) + ", sheet " + std::to_string(n));
        FakeSpreadsheet blocks;
        blocks.record = false;
        blocks.variableNames[1] = g.ForeignText(3);
        // Runs of equal narrow names; a run never comes back once another has begun.
        std::vector<std::string> seen;
        std::vector<std::pair<long, long>> expected;
        long caseNumber = 0;
        const int runs = g.Between(1, 6);
        for (int run = 0; run < runs; ++run) {
            std::optional<std::wstring> cell;
            do
                cell = MakeCell(g);
            while (std::find(seen.begin(), seen.end(), Narrow(cell.value_or(L""))) != seen.end() &&
                   !(seen.size() && seen.back() == Narrow(cell.value_or(L""))));
            const std::string narrow = Narrow(cell.value_or(L""));
            const long length = g.Between(1, 9);
            if (seen.empty() || seen.back() != narrow) {
                seen.push_back(narrow);
                expected.push_back({caseNumber + 1, caseNumber + length});
            } else {
                expected.back().second += length;
            }
            for (long i = 0; i < length; ++i)
                blocks.SetText(++caseNumber, 1, cell ? cell->c_str() : nullptr);
        }
        blocks.numberOfCases = caseNumber;
        std::vector<std::pair<long, long>> found;
        ProcessBlock block{};
        for (int start = 1; GetProcessBlock(blocks.Ptr(), start, {1}, block);
             start = block.lastCase + 1)
            found.push_back({block.firstCase, block.lastCase});
        EXPECT_EQ(expected, found);
        blocksSeen += int(found.size());
    }
    printf("foreign process blocks: %d sheets, %d blocks\n", kSheets, blocksSeen);
}

// Empty cells read as NaN where a number is wanted: the ignore test keeps the alarm and the
// observation text shows whatever the runtime prints for it.
TEST_F(Texts, EmptyCellsReadAsNaNKeepTheirAlarms) {
    const double nan = std::nan("");
    state.m_bProcessObsOutOfSpecs = true;
    state.m_nSampleVar = 0;
    state.m_nIgnoreVar = 5;
    state.m_dIgnoreThreshold = 3.0;
    chart.observationVariable = 4;
    chart.specLimitSets[0] = {0, 1.0, 2.0};
    const long index = chart.AddSample(L"1", L"K", 0.0);
    chart.samples[index].xMeasure = nan;
    chart.samples[index].xControl = {nan, nan};
    sheet.valueOf = [nan](long, long) { return nan; };
    const SafeArray labels = SafeArray::OfBstrs({L"1"}), keys = SafeArray::OfBstrs({L"K"});
    const SafeArray observations = SafeArray::OfInts({1});
    specs.OnSampleOutOfControl(chart.Ptr(), labels.get(), keys.get(), false, 1);
    specs.OnObsOutsideSpecs(chart.Ptr(), labels.get(), keys.get(), observations.get(), false, 0);
    ASSERT_EQ(2u, Alarms().size()) << "a NaN ignore value keeps both alarms";
    const std::wstring text = Field(Alarms()[1].description);
    const std::wstring head = L"Obs. 1 is out of spec; x=", tail = L"; Limits: [1, 2]";
    ASSERT_GT(text.size(), head.size() + tail.size()) << "the value is shown";
    EXPECT_TRUE(text.compare(0, head.size(), head) == 0);
    EXPECT_TRUE(text.compare(text.size() - tail.size(), tail.size(), tail) == 0);
}

} // namespace
} // namespace zavtest
