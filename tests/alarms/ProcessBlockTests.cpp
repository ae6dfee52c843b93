#include <gtest/gtest.h>
#include <cmath>
#include <set>
#include <string>
#include <vector>

#include "ZAVTools.h"
#include "support/ComObject.h"
#include "support/Printers.h"

namespace {

// Two variables, "Line" and "Shift", whose cells are given per case; counts the cases read.
class ProcessSheet : public zavtest::ComObject<VELTRIUM::_Spreadsheet> {
public:
    std::vector<std::string> lines, shifts;
    std::set<long> casesRead;
    int reads = 0;
    long failOnCase = 0;

    HRESULT __stdcall raw_NumberOfCases(long* count) override {
        *count = static_cast<long>(lines.size());
        return S_OK;
    }
    HRESULT __stdcall raw_VariableName(long var, BSTR* name) override {
        *name = var == 1 ? SysAllocString(L"Line") : var == 2 ? SysAllocString(L"Shift") : nullptr;
        return S_OK;
    }
    HRESULT __stdcall raw_CellText(long caseNumber, long var, BSTR* text) override {
        if (caseNumber == failOnCase)
            return DISP_E_BADINDEX;
        ++reads;
        casesRead.insert(caseNumber);
        const std::string& cell = (var == 1 ? lines : shifts).at(caseNumber - 1);
        *text = cell == "<null>" ? nullptr
                                 : SysAllocString(std::wstring(cell.begin(), cell.end()).c_str());
        return S_OK;
    }
    HRESULT __stdcall raw_VariableFormat(long, BSTR*) override { return E_NOTIMPL; }
    HRESULT __stdcall raw_CellValue(long, long, double*) override { return E_NOTIMPL; }
    HRESULT __stdcall raw_SetVariableFormat(long, BSTR) override { return E_NOTIMPL; }
    HRESULT __stdcall raw_VariableNumber(BSTR, long*) override { return E_NOTIMPL; }

    // Consecutive blocks of the given lengths, named B1, B2, ...
    void Shape(const std::vector<int>& lengths) {
        lines.clear();
        for (size_t block = 0; block < lengths.size(); ++block)
            lines.insert(lines.end(), lengths[block], "B" + std::to_string(block + 1));
        shifts.assign(lines.size(), "Day");
    }
};

TEST(ProcessNaming, JoinsNamesAndTextsWithoutQuoting) {
    ProcessSheet sheet;
    sheet.lines = {"A", "x=1,y", "<null>"};
    sheet.shifts = {"Night", "", "Day"};
    const std::vector<int> both{1, 2};
    EXPECT_EQ("Line=A,Shift=Night", MakeProcessName(&sheet, 1, both));
    EXPECT_EQ("Line=x=1,y,Shift=", MakeProcessName(&sheet, 2, both));
    EXPECT_EQ("Line=,Shift=Day", MakeProcessName(&sheet, 3, both)) << "a null text counts as empty";
    EXPECT_EQ("Shift=Night,Line=A", MakeProcessName(&sheet, 1, {2, 1}));
    EXPECT_EQ("=Night", MakeProcessName(&sheet, 1, {3})) << "an unnamed variable: empty name";
    EXPECT_EQ("", MakeProcessName(&sheet, 1, {}));
    EXPECT_EQ("", MakeProcessName(nullptr, 1, {})) << "no variables, no call";
    EXPECT_THROW(MakeProcessName(nullptr, 1, both), _com_error);
    EXPECT_EQ(0u, sheet.RefCount());
}

TEST(ProcessBlocks, EdgesOfTheSpreadsheet) {
    ProcessSheet sheet;
    sheet.Shape({37, 63});
    ProcessBlock block{-1, -1, "untouched"};
    ASSERT_TRUE(GetProcessBlock(&sheet, 1, {1, 2}, block));
    EXPECT_EQ(1, block.firstCase);
    EXPECT_EQ(37, block.lastCase);
    EXPECT_EQ("Line=B1,Shift=Day", block.processName);
    ASSERT_TRUE(GetProcessBlock(&sheet, 38, {1, 2}, block));
    EXPECT_EQ(38, block.firstCase);
    EXPECT_EQ(100, block.lastCase);

    ASSERT_TRUE(GetProcessBlock(&sheet, 100, {1}, block));
    EXPECT_EQ(100, block.firstCase);
    EXPECT_EQ(100, block.lastCase);
    block = {-1, -1, "untouched"};
    EXPECT_FALSE(GetProcessBlock(&sheet, 101, {1}, block));
    EXPECT_EQ(-1, block.firstCase);
    EXPECT_EQ("untouched", block.processName);

    ProcessSheet ten;
    ten.Shape({4, 6});
    ASSERT_TRUE(GetProcessBlock(&ten, 1, {}, block));
    EXPECT_EQ(10, block.lastCase) << "with no variables every case has the empty name";
    EXPECT_EQ("", block.processName);
    EXPECT_EQ(0u, sheet.RefCount());
}

TEST(ProcessBlocks, WalkingGivesTheSameBlocksWhateverTheirLengths) {
    const std::vector<std::vector<int>> shapes = {
        {1},    {1, 1, 1, 1}, {2, 1, 2}, {1, 2},  {2, 1},          {37, 63},    {1, 2, 3, 4, 5},
        {5, 1}, {100},        {99, 1},   {1, 99}, {3, 3, 3, 3, 1}, {64, 1, 64}, {17, 2, 1, 33}};
    for (const std::vector<int>& shape : shapes) {
        ProcessSheet sheet;
        sheet.Shape(shape);
        std::vector<int> found;
        ProcessBlock block{};
        for (int start = 1; GetProcessBlock(&sheet, start, {1}, block);
             start = block.lastCase + 1) {
            EXPECT_EQ(start, block.firstCase);
            found.push_back(block.lastCase - block.firstCase + 1);
            const long rest = static_cast<long>(sheet.lines.size()) - start;
            sheet.reads = 0;
            sheet.casesRead.clear();
            GetProcessBlock(&sheet, start, {1}, block);
            // The start case, then one probe per halving of the rest.
            const double bound = rest > 0 ? std::ceil(std::log2(static_cast<double>(rest))) + 2 : 1;
            EXPECT_LE(sheet.reads, bound) << "from case " << start << " of " << sheet.lines.size();
            EXPECT_EQ(sheet.reads, static_cast<int>(sheet.casesRead.size()))
                << "no case read twice";
            ASSERT_LE(found.size(), shape.size());
        }
        EXPECT_EQ(shape, found);
    }
}

TEST(ProcessBlocks, FailuresAreComErrors) {
    ProcessSheet sheet;
    sheet.Shape({3, 3});
    ProcessBlock block{-1, -1, ""};
    EXPECT_THROW(GetProcessBlock(nullptr, 1, {}, block), _com_error);
    sheet.failOnCase = 6;
    try {
        GetProcessBlock(&sheet, 1, {1}, block);
        FAIL();
    } catch (const _com_error& e) {
        EXPECT_EQ(DISP_E_BADINDEX, e.Error());
    }
    EXPECT_EQ(1, block.firstCase) << "the start is set before the search fails";
    EXPECT_EQ("Line=B1", block.processName);
    EXPECT_EQ(0u, sheet.RefCount());
}

} // namespace
