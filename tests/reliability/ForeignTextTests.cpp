// Texts that the ANSI code page lacks in part or whole (Greek, Cyrillic, CJK, a surrogate pair,
// a lone surrogate), run again under code page 932. A sample identity is wide text and keeps
// every character; details, auxiliary data and process names are the code page's narrow text.
#include "alarms/AlarmFixture.h"

namespace zavtest {
namespace {

using Texts = AlarmEngine;

TEST_F(Texts, IdentitiesKeepEveryCharacterAndNarrowTextsHoldTheCodePagesForm) {
    const std::wstring texts[] = {L"\u0394\u03b9", L"\u0421\u043c 2", L"\u6a5f\u00e9",
                                  L"x\U0001F600y", L"a\xD800z",       L"Caf\u00e9"};
    state.m_autoUpdateColumns = {1, 2};
    state.m_auxDataVars = {2, 1};
    sheet.variableNames = {{1, L"\u30e9\u30a4"}, {2, L"\u00c9t"}};
    sheet.textOf = [&](long caseNumber, long var) { return texts[caseNumber + var - 2]; };
    for (long i = 0; i < 5; ++i) {
        const std::wstring &first = texts[i], &second = texts[i + 1];
        state.m_nSampleVar = i == 4 ? 0 : -1; // the label, a lone surrogate in it
        state.m_strCharName = Narrow(second).c_str();
        specs.SetProcessName(MakeProcessName(sheet.Ptr(), i + 1, {1, 2}));
        Add(first, double(i));
        Raise(0, {{first}, {L"K"}});
        const QCAlarm& alarm = state.m_alarms.at(i);
        EXPECT_EQ((i == 4 ? first : first + L"_" + second) + L"|" +
                      Wide(Narrow(L"\u30e9\u30a4=" + first + L",\u00c9t=" + second)) + L"|" +
                      Wide(Narrow(second) + "; " + Narrow(second) + "; " + Narrow(first)),
                  std::wstring(alarm.sampleId) + L"|" + alarm.processName + L"|" +
                      alarm.charDetails);
    }
}

// Thai, Armenian and Devanagari are in neither code page: each narrows to "?", so those cases
// are one process.
TEST_F(Texts, ProcessBlocksFollowTheNarrowNames) {
    const wchar_t* cells[] = {L"\u0e01", L"\u0e02", L"\u0531", L"A", L"A", L"\u0915B"};
    sheet.textOf = [&](long caseNumber, long) { return cells[caseNumber - 1]; };
    sheet.numberOfCases = 6;
    sheet.variableNames[1] = L"\u0394";
    std::string blocks, name = Narrow(L"\u0394");
    ProcessBlock block{};
    for (int start = 1; GetProcessBlock(sheet.Ptr(), start, {1}, block); start = block.lastCase + 1)
        blocks += std::to_string(start) + "-" + std::to_string(block.lastCase) + " " +
                  block.processName + " ";
    EXPECT_EQ("1-3 " + name + "=? 4-5 " + name + "=A 6-6 " + name + "=?B ", blocks);
}

} // namespace
} // namespace zavtest
