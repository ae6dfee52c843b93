// The rest of the alarm engine: process names and blocks, the CSpecManager's life, the wanted
// alarm kinds and the hand-over of the records to the service.
#include <functional>
#include <set>
#include <stdexcept>

#include "alarms/AlarmFixture.h"
#include "support/ComObject.h"

namespace zavtest {
namespace {

// Blocks of these lengths, walked from case 1: each is found by bisection, with few reads and
// none twice.
TEST(ProcessBlocks, NamesJoinTheTextsAsGivenAndWalkingFindsEveryBlock) {
    FakeSpreadsheet sheet;
    sheet.variableNames = {{1, L"Line"}, {2, L"Shift"}, {3, L"Block"}};
    sheet.SetText(1, 1, L"x=1,y");
    sheet.SetText(1, 2, nullptr);
    EXPECT_EQ("Line=x=1,y,Shift= Shift=,Line=x=1,y ",
              MakeProcessName(sheet.Ptr(), 1, {1, 2}) + " " +
                  MakeProcessName(sheet.Ptr(), 1, {2, 1}) + " " + MakeProcessName(nullptr, 1, {}));
    ProcessBlock block{};
    const std::vector<int> shapes[] = {{1},     {1, 1, 1, 1}, {2, 1, 2},   {37, 63},
                                       {99, 1}, {1, 99},      {64, 1, 64}, {17, 2, 1, 33}};
    for (const std::vector<int>& shape : shapes) {
        std::vector<int> blockOf, found;
        for (size_t n = 0; n < shape.size(); ++n)
            blockOf.insert(blockOf.end(), shape[n], int(n));
        const int last = sheet.numberOfCases = long(blockOf.size());
        sheet.textOf = [&](long caseNumber, long) {
            return std::to_wstring(blockOf[caseNumber - 1]);
        };
        for (int start = 1; sheet.calls.clear(), GetProcessBlock(sheet.Ptr(), start, {3}, block);
             start = block.lastCase + 1) {
            const size_t reads = sheet.Count("CellText");
            EXPECT_EQ(reads,
                      std::set<std::string>(sheet.calls.begin(), sheet.calls.end()).size() - 2);
            EXPECT_LE(reads, last > start ? std::ceil(std::log2(last - start)) + 2 : 1);
            found.push_back(block.lastCase - block.firstCase + 1);
        }
        EXPECT_EQ(shape, found);
        EXPECT_EQ(last, block.lastCase) << "a start past the end leaves the block as it was";
    }
    sheet.Fail("CellText", DISP_E_BADINDEX);
    EXPECT_THROW(GetProcessBlock(sheet.Ptr(), 1, {3}, block), _com_error);
    EXPECT_THROW(MakeProcessName(nullptr, 1, {1}), _com_error);
}

struct Service : ComObject<IZAVServerNotify> {
    std::function<HRESULT()> answer;
    std::vector<std::pair<unsigned long long, const QCAlarm*>> calls;
    HRESULT __stdcall NotifyAlarms(unsigned long long count, const QCAlarm* first) override {
        calls.push_back({count, first});
        return answer();
    }
};

TEST(SpecManager, CopiesOwnTheirStateAndTheKeptRecordsGoToTheServiceInOneCall) {
    TestModule module("ERROR");
    Service service;
    FakeSpreadsheet first, second;
    std::vector<std::string> wanted{"runs violation"};
    CSpecManager specs(first.Ptr(), wanted, 5, 0, false, 0.0, &service);
    {
        CSpecManager other(second.Ptr(), wanted, 6, 0, false, 0.0, nullptr), copy(specs);
        other = copy;
        other = other;
        CSpecManagerTestAccess::State(other).m_alarms.resize(1);
        CSpecManagerTestAccess::State(other).m_pServerNotify = nullptr;
        EXPECT_EQ("0 3 5 80004003",
                  std::to_string(second.RefCount()) + " " + std::to_string(first.RefCount()) + " " +
                      std::to_string(other.GetCharId()) + " " +
                      Failure([&] { other.NotifyZAVServerOfAlarms(&module); }).substr(0, 8));
    }
    EXPECT_EQ(1u, first.RefCount());
    EXPECT_TRUE(specs.NotifyZAVServerOfAlarms(&module)) << "no alarms, no call";
    std::vector<QCAlarm>& alarms = CSpecManagerTestAccess::State(specs).m_alarms;
    alarms.resize(3);
    // The service's answer: how the notification ends.
    const std::pair<std::function<HRESULT()>, const char*> rows[] = {
        {[] { return S_OK; }, ""},
        {[] { return E_FAIL; }, "80004005 Error while notifying service of QC alarms"},
        {[] { return MakeErrorInfo("the store is full"), E_OUTOFMEMORY; },
         "8007000E the store is full"},
        {[]() -> HRESULT { throw std::runtime_error("Queue full"); }, "80004005 Queue full"},
        {[]() -> HRESULT { throw win32_exception(nullptr); }, "80004005 0x       0"}};
    for (const auto& [answer, outcome] : rows) {
        MakeErrorInfo("stale information of an earlier call");
        service.answer = answer;
        EXPECT_EQ(outcome, Failure([&] { specs.NotifyZAVServerOfAlarms(&module); },
                                   "Notifying ZAV Service of any QC alarms that may have occured"));
    }
    EXPECT_EQ(decltype(service.calls)(5, {3, alarms.data()}), service.calls);
    EXPECT_EQ(3u, alarms.size());
    EXPECT_EQ(0u, service.RefCount()) << "borrowed, never counted";
    EXPECT_EQ(5u, module.Messages("ERROR").size()) << "one line for each failure";
    EXPECT_EQ("CSpecManager::NotifyZAVServerOfAlarms", module.fatalExceptions.at(0).where);
    EXPECT_EQ(E_POINTER, ComErrorOf([&] { specs.NotifyZAVServerOfAlarms(nullptr); }).first);
    const std::string codes = std::to_string(specs.CheckWantedReturnCode("runs violation")) +
                              std::to_string(specs.CheckWantedReturnCode("Runs violation")) +
                              std::to_string(specs.CheckWantedReturnCode("runs violation ")) +
                              std::to_string(specs.CheckWantedReturnCode(nullptr));
    wanted.push_back("outside specs");
    EXPECT_EQ("10001", codes + std::to_string(specs.CheckWantedReturnCode("outside specs")));
    EXPECT_TRUE(first.calls.empty() && second.calls.empty());
}

} // namespace
} // namespace zavtest
