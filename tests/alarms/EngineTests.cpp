// The rest of the alarm engine: the QCP readers, process names and blocks, the hand-over to the
// service, the CSpecManager's life and the alarm record.
#include <cmath>
#include <functional>
#include <set>
#include <stdexcept>

#include "alarms/AlarmFixture.h"
#include "support/ComObject.h"
#include "support/TestModule.h"

namespace zavtest {
namespace {

TEST(ProjectFileReaders, KeysOfTheGeneralSectionReadAsTextAndAsAtoiWould) {
    TempDir temp;
    const std::string path = temp / "p.qcp", missing = temp / "none.qcp";
    WriteTextFile(path, "[OTHER]\nElsewhere=5\n[general]\nEmpty=\nMixed=12abc\nLetters=abc\n"
                        "Negative=  -42  \nQuoted=\"a b\"\n"
                        "Sentinel=_3f1b7e20_a4c6_4d19_9b2e_5c8d0f61a7b4_\nLong=" +
                            std::string(200, 'v'));
    const char *p = path.c_str(), *none = missing.c_str();
    // Key, file: whether each reader found it, then the number and the text, -7 when untouched.
    const std::tuple<const char*, const char*, std::string> rows[] = {
        {"Empty", p, "11 0 "},          {"MIXED", p, "11 12 12abc"},
        {"Letters", p, "11 0 abc"},     {"negative", p, "11 -42 -42"},
        {"Quoted", p, "11 0 a b"},      {"Sentinel", p, "00 -7 -7"},
        {"Missing", p, "00 -7 -7"},     {"Elsewhere", p, "00 -7 -7"},
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

TEST(ProcessNames, NamesAndTextsJoinedInTheOrderGiven) {
    FakeSpreadsheet sheet;
    sheet.variableNames = {{1, L"Line"}, {2, L"Shift"}};
    const wchar_t* cells[][2] = {{L"A", L"Night"}, {L"x=1,y", L""}, {nullptr, L"Day"}};
    for (int caseNumber = 1; caseNumber <= 3; ++caseNumber)
        for (int var = 1; var <= 2; ++var)
            sheet.SetText(caseNumber, var, cells[caseNumber - 1][var - 1]);
    const std::tuple<int, std::vector<int>, const char*> rows[] = {
        {1, {1, 2}, "Line=A,Shift=Night"},
        {2, {1, 2}, "Line=x=1,y,Shift="},
        {3, {1, 2}, "Line=,Shift=Day"},
        {1, {2, 1}, "Shift=Night,Line=A"},
        {1, {}, ""}};
    for (const auto& [caseNumber, variables, name] : rows)
        EXPECT_EQ(name, MakeProcessName(sheet.Ptr(), caseNumber, variables));
    EXPECT_THROW(MakeProcessName(nullptr, 1, {1}), _com_error);
}

TEST(ProcessBlocks, WalkingASheetGivesEveryBlockWithFewReadsOfEachCase) {
    for (const std::vector<int>& shape : std::vector<std::vector<int>>{{1},
                                                                       {1, 1, 1, 1},
                                                                       {2, 1, 2},
                                                                       {37, 63},
                                                                       {99, 1},
                                                                       {1, 99},
                                                                       {64, 1, 64},
                                                                       {17, 2, 1, 33}}) {
        FakeSpreadsheet sheet;
        std::vector<int> blockOf; // of each case
        for (size_t block = 0; block < shape.size(); ++block)
            blockOf.insert(blockOf.end(), shape[block], int(block));
        const int last = sheet.numberOfCases = long(blockOf.size());
        sheet.variableNames[1] = L"Block";
        sheet.textOf = [&](long caseNumber, long) {
            return std::to_wstring(blockOf[caseNumber - 1]);
        };
        std::vector<int> found;
        ProcessBlock block{};
        for (int start = 1; GetProcessBlock(sheet.Ptr(), start, {1}, block);
             start = block.lastCase + 1) {
            const std::set<std::string> calls(sheet.calls.begin(), sheet.calls.end());
            const size_t reads = sheet.Count("CellText");
            EXPECT_EQ(reads + 2, calls.size()) << "no case read twice";
            EXPECT_LE(reads, last > start ? std::ceil(std::log2(last - start)) + 2 : 1);
            EXPECT_EQ(start, block.firstCase);
            found.push_back(block.lastCase - start + 1);
            sheet.calls.clear();
        }
        EXPECT_EQ(shape, found);
        EXPECT_EQ(last, block.lastCase) << "a start past the end leaves the block as it was";
        EXPECT_TRUE(GetProcessBlock(sheet.Ptr(), 1, {}, block));
        EXPECT_EQ(last, block.lastCase) << "without variables every case is in the one block";
        sheet.Fail("CellText", DISP_E_BADINDEX);
        EXPECT_THROW(GetProcessBlock(sheet.Ptr(), 1, {1}, block), _com_error);
    }
}

struct Service : ComObject<IZAVServerNotify> {
    std::function<HRESULT()> answer;
    std::vector<std::pair<unsigned long long, const QCAlarm*>> calls;
    HRESULT __stdcall NotifyAlarms(unsigned long long count, const QCAlarm* first) override {
        calls.push_back({count, first});
        return answer();
    }
};

TEST(Notification, OneCallWithTheKeptRecordsAndEveryRefusalLoggedAndRaised) {
    TestModule module("ERROR");
    Service service;
    std::vector<std::string> wanted;
    CSpecManager specs(nullptr, wanted, 4, 0, false, 0.0, &service), orphan(specs);
    CSpecManagerTestAccess::State(orphan).m_pServerNotify = nullptr;
    std::vector<QCAlarm>& alarms = CSpecManagerTestAccess::State(specs).m_alarms;
    EXPECT_TRUE(specs.NotifyZAVServerOfAlarms(&module) && orphan.NotifyZAVServerOfAlarms(&module));
    EXPECT_TRUE(service.calls.empty()) << "no alarms, no call";
    alarms.resize(3);
    CSpecManagerTestAccess::State(orphan).m_alarms.resize(1);
    // The service's answer: how the notification ends.
    const std::pair<std::function<HRESULT()>, const char*> rows[] = {
        {[] { return S_OK; }, ""},
        {[] { return E_FAIL; }, "80004005 Error while notifying service of QC alarms"},
        {[] { return MakeErrorInfo("the store is full"), E_OUTOFMEMORY; },
         "8007000E the store is full"},
        {[]() -> HRESULT { throw std::runtime_error("Queue full"); }, "80004005 Queue full"},
        {[]() -> HRESULT { throw 42; }, "80004005 Unknown error"},
        {[]() -> HRESULT { throw win32_exception(nullptr); }, "80004005 0x       0"}};
    for (const auto& [answer, outcome] : rows) {
        MakeErrorInfo("stale information of an earlier call");
        service.answer = answer;
        std::string result;
        try {
            EXPECT_TRUE(specs.NotifyZAVServerOfAlarms(&module));
        } catch (const _com_error& e) {
            result = Outcome(e, "Notifying ZAV Service of any QC alarms that may have occured");
        }
        EXPECT_EQ(outcome, result);
    }
    EXPECT_EQ(decltype(service.calls)(6, {3, alarms.data()}), service.calls);
    EXPECT_EQ(3u, alarms.size());
    EXPECT_EQ(0u, service.RefCount()) << "borrowed, never counted";
    ASSERT_EQ(5u, module.Messages("ERROR").size());
    EXPECT_EQ(
        "Exception detected in [CSpecManager::NotifyZAVServerOfAlarms] while doing [Notifying "
        "ZAV Service of any QC alarms that may have occured]; Error code 0x80004005, [Error "
        "while notifying service of QC alarms]",
        module.Messages("ERROR")[0]);
    ASSERT_EQ(1u, module.fatalExceptions.size());
    EXPECT_EQ("CSpecManager::NotifyZAVServerOfAlarms", module.fatalExceptions[0].where);
    EXPECT_EQ(E_POINTER, ComErrorOf([&] { specs.NotifyZAVServerOfAlarms(nullptr); }).first);
    EXPECT_EQ(E_POINTER, ComErrorOf([&] { orphan.NotifyZAVServerOfAlarms(&module); }).first);
}

TEST(SpecManager, CopiesOwnTheirStateAndTheWantedCodesAreTheHostsListReadLive) {
    FakeSpreadsheet first, second;
    std::vector<std::string> wanted{"out of control", "runs violation"};
    {
        CSpecManager a(first.Ptr(), wanted, 5, 0, false, 0.0, nullptr);
        CSpecManager b(second.Ptr(), wanted, 6, 0, false, 0.0, nullptr);
        QCAlarm::SetString(CSpecManagerTestAccess::State(a).m_alarms.emplace_back().sampleId, "S");
        b = a;
        b = b;
        CSpecManager c(b);
        EXPECT_EQ("0 3 5", std::to_string(second.RefCount()) + " " +
                               std::to_string(first.RefCount()) + " " +
                               std::to_string(c.GetCharId()));
        const wchar_t* kept = CSpecManagerTestAccess::State(a).m_alarms[0].sampleId;
        EXPECT_NE(kept, CSpecManagerTestAccess::State(c).m_alarms.at(0).sampleId);
        for (auto [code, known] : {std::pair{"runs violation", true},
                                   {"Runs violation", false},
                                   {"runs", false},
                                   {"runs violation ", false},
                                   {nullptr, false}})
            EXPECT_EQ(known, c.CheckWantedReturnCode(code)) << (code ? code : "null");
        wanted.push_back("outside specs");
        EXPECT_TRUE(c.CheckWantedReturnCode("outside specs"));
    }
    EXPECT_EQ(0u, first.RefCount());
    EXPECT_TRUE(first.calls.empty() && second.calls.empty());
}

TEST(QCAlarmRecord, StringsAreOwnedCopiedAndTakenOver) {
    QCAlarm alarm;
    alarm.charId = 12;
    QCAlarm::SetString(alarm.alarmType, "Caf\xE9");
    QCAlarm::SetString(alarm.processName, "P");
    QCAlarm::SetString(alarm.sampleId, L"S");
    QCAlarm::SetString(alarm.description, "");
    QCAlarm::SetString(alarm.charDetails, L"D");
    QCAlarm copy(alarm), assigned;
    for (auto field : {&QCAlarm::alarmType, &QCAlarm::processName, &QCAlarm::sampleId,
                       &QCAlarm::description, &QCAlarm::charDetails})
        EXPECT_NE(alarm.*field, copy.*field);
    QCAlarm::SetString(alarm.processName, static_cast<const char*>(nullptr));
    QCAlarm::SetString(alarm.sampleId, static_cast<const wchar_t*>(nullptr));
    const wchar_t* taken = copy.sampleId;
    QCAlarm moved(std::move(copy));
    assigned = alarm;
    assigned = assigned;
    EXPECT_EQ(taken, moved.sampleId);
    EXPECT_EQ(L"12|Caf\u00e9|P|S||D / 12|Caf\u00e9|~|~||D / 0|~|~|~|~|~",
              Render({moved, assigned, copy}));
    moved.Clear();
    assigned = std::move(moved);
    EXPECT_EQ(L"0|~|~|~|~|~", Render({assigned}));
}

} // namespace
} // namespace zavtest
