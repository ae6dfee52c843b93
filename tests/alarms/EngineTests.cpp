// The rest of the alarm engine: the QCP readers, process names and blocks, the hand-over to the
// service, the CSpecManager's life and the alarm record.
#include <functional>
#include <set>
#include <stdexcept>

#include "alarms/AlarmFixture.h"
#include "support/ComObject.h"

namespace zavtest {
namespace {

TEST(ProjectFileReaders, KeysOfTheGeneralSectionReadAsTextAndAsAtoiWould) {
    TempDir temp;
    const std::string path = temp / "p.qcp", missing = temp / "none.qcp";
    WriteTextFile(path, "[OTHER]\nElsewhere=5\n[general]\nEmpty=\nMixed=12abc\nSentinel="
                        "_3f1b7e20_a4c6_4d19_9b2e_5c8d0f61a7b4_\nLong=" +
                            std::string(200, 'v'));
    const char *p = path.c_str(), *none = missing.c_str();
    // Key, file: whether each reader found it, then the number and the text (-7 untouched).
    const std::tuple<const char*, const char*, std::string> rows[] = {
        {"empty", p, "11 0 "},          {"MIXED", p, "11 12 12abc"},
        {"Sentinel", p, "00 -7 -7"},    {"Elsewhere", p, "00 -7 -7"},
        {"Empty", none, "00 -7 -7"},    {nullptr, p, "00 -7 -7"},
        {"Empty", nullptr, "00 -7 -7"}, {"Long", p, "11 0 " + std::string(127, 'v')}};
    for (const auto& [key, file, expected] : rows) {
        int value = -7;
        std::string text = "-7";
        const bool number = GetValueFromQCPFile(key, file, value);
        const bool found = GetStringFromQCPFile(key, file, text);
        EXPECT_EQ(expected, std::to_string(number) + std::to_string(found) + " " +
                                std::to_string(value) + " " + text);
    }
}

TEST(ProcessNames, NamesAndTextsJoinedInTheOrderGivenAndBlocksFoundByBisection) {
    FakeSpreadsheet sheet;
    sheet.variableNames = {{1, L"Line"}, {2, L"Shift"}, {3, L"Block"}};
    sheet.SetText(1, 1, L"x=1,y");
    sheet.SetText(1, 2, nullptr);
    EXPECT_EQ("Line=x=1,y,Shift= Shift=,Line=x=1,y ",
              MakeProcessName(sheet.Ptr(), 1, {1, 2}) + " " +
                  MakeProcessName(sheet.Ptr(), 1, {2, 1}) + " " + MakeProcessName(nullptr, 1, {}));
    // Blocks of these lengths, walked from case 1: each found with few reads, none twice.
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
        EXPECT_TRUE(GetProcessBlock(sheet.Ptr(), 1, {}, block) && block.lastCase == last);
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
    std::vector<std::string> wanted{"out of control", "runs violation"};
    CSpecManager specs(first.Ptr(), wanted, 5, 0, false, 0.0, &service);
    {
        CSpecManager other(second.Ptr(), wanted, 6, 0, false, 0.0, nullptr), copy(specs);
        other = copy;
        other = other;
        EXPECT_EQ("0 3 5", std::to_string(second.RefCount()) + " " +
                               std::to_string(first.RefCount()) + " " +
                               std::to_string(other.GetCharId()));
        CSpecManagerTestAccess::State(other).m_alarms.resize(1);
        EXPECT_TRUE(specs.NotifyZAVServerOfAlarms(&module)) << "nothing kept here, no call";
        CSpecManagerTestAccess::State(other).m_pServerNotify = nullptr;
        EXPECT_EQ(E_POINTER, ComErrorOf([&] { other.NotifyZAVServerOfAlarms(&module); }).first);
    }
    EXPECT_EQ(1u, first.RefCount());
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
    for (auto [code, known] : {std::pair{"runs violation", true},
                               {"Runs violation", false},
                               {"runs violation ", false},
                               {nullptr, false}})
        EXPECT_EQ(known, specs.CheckWantedReturnCode(code)) << (code ? code : "null");
    wanted.push_back("outside specs");
    EXPECT_TRUE(specs.CheckWantedReturnCode("outside specs"));
    EXPECT_TRUE(first.calls.empty() && second.calls.empty());
}

TEST(QCAlarmRecord, StringsAreOwnedCopiedAndTakenOver) {
    QCAlarm alarm, assigned;
    alarm.charId = 12;
    QCAlarm::SetString(alarm.alarmType, "Caf\xE9");
    QCAlarm::SetString(alarm.sampleId, L"S");
    QCAlarm::SetString(alarm.description, static_cast<const char*>(nullptr));
    QCAlarm::SetString(alarm.charDetails, static_cast<const wchar_t*>(nullptr));
    QCAlarm copy(alarm);
    EXPECT_TRUE(copy.alarmType != alarm.alarmType && copy.sampleId != alarm.sampleId);
    const wchar_t* taken = copy.sampleId;
    QCAlarm moved(std::move(copy));
    assigned = alarm;
    assigned = assigned;
    EXPECT_EQ(taken, moved.sampleId);
    EXPECT_EQ(L"12|Caf\u00e9|~|S|~|~ / 12|Caf\u00e9|~|S|~|~ / 0|~|~|~|~|~",
              Render({moved, assigned, copy}));
    alarm.Clear();
    EXPECT_EQ(L"0|~|~|~|~|~", Render({alarm}));
}

} // namespace
} // namespace zavtest
