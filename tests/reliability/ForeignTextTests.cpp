// Texts that the ANSI code page lacks in part or whole (Greek, Cyrillic, CJK, a surrogate pair,
// a lone surrogate), run again under code page 932. A sample identity is wide text and keeps
// every character; details, auxiliary data and process names are the code page's narrow text.
#include "alarms/AlarmFixture.h"

namespace zavtest {
namespace {

using Texts = AlarmEngine;

const std::wstring kTexts[] = {L"\u0394\u03b9\u03ac\u03bc\u03b5\u03c4\u03c1\u03bf\u03c2",
                               L"\u0421\u043c\u0435\u043d\u0430 2",
                               L"\u6a5f\u68b0\u00e9",
                               L"x\U0001F600y",
                               L"a\xD800z",
                               L"Caf\u00e9"};

TEST_F(Texts, IdentitiesKeepEveryCharacterAndNarrowTextsHoldTheCodePagesForm) {
    state.m_nSampleVar = -1;
    state.m_autoUpdateColumns = {1, 2};
    state.m_auxDataVars = {2, 1};
    sheet.variableNames = {{1, L"\u30e9\u30a4\u30f3"}, {2, L"\u00c9tape"}};
    for (long i = 0; i + 1 < long(std::size(kTexts)); ++i) {
        const std::wstring& first = kTexts[i];
        const std::wstring& second = kTexts[i + 1];
        sheet.SetText(i + 1, 1, first.c_str());
        sheet.SetText(i + 1, 2, second.c_str());
        state.m_strCharName = Narrow(second).c_str();
        const std::string process = MakeProcessName(sheet.Ptr(), i + 1, {1, 2});
        specs.SetProcessName(process);
        Add(first, double(i));
        Raise(0, Arrays({first}, {}));
        EXPECT_EQ(first + L"_" + second, state.m_alarms.at(i).sampleId);
        EXPECT_EQ(Wide(Narrow(second) + "; " + Narrow(second) + "; " + Narrow(first)),
                  state.m_alarms[i].charDetails);
        EXPECT_EQ(Narrow(L"\u30e9\u30a4\u30f3=" + first + L",\u00c9tape=" + second), process);
        EXPECT_EQ(Wide(process), state.m_alarms[i].processName);
    }
    state.m_nSampleVar = 0;
    Raise(0, Arrays({kTexts[4]}, {}));
    EXPECT_EQ(kTexts[4], state.m_alarms.back().sampleId) << "the label, lone surrogate and all";
}

TEST_F(Texts, ProcessBlocksFollowTheNarrowNames) {
    // Thai, Armenian and Devanagari are in neither code page: each narrows to "?".
    const wchar_t* cells[] = {L"\u0e01", L"\u0e02", L"\u0531", L"A", L"A", L"\u0915B"};
    for (long caseNumber = 1; caseNumber <= 6; ++caseNumber)
        sheet.SetText(caseNumber, 1, cells[caseNumber - 1]);
    sheet.numberOfCases = 6;
    sheet.variableNames[1] = L"\u0394";
    std::string blocks;
    ProcessBlock block{};
    for (int start = 1; GetProcessBlock(sheet.Ptr(), start, {1}, block); start = block.lastCase + 1)
        blocks += std::to_string(start) + "-" + std::to_string(block.lastCase) + " " +
                  block.processName + " ";
    const std::string name = Narrow(L"\u0394");
    EXPECT_EQ("1-3 " + name + "=? 4-5 " + name + "=A 6-6 " + name + "=?B ", blocks);
}

} // namespace
} // namespace zavtest
