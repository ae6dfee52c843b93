// The CSpecManager's life, the wanted alarm kinds and the hand-over of the records to the service.
#include <functional>

#include "alarms/AlarmFixture.h"
#include "support/ComObject.h"

namespace zavtest {
namespace {

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
        EXPECT_EQ("0 3",
                  std::to_string(second.RefCount()) + " " + std::to_string(first.RefCount()));
    }
    EXPECT_EQ(1u, first.RefCount()) << "each copy released its reference once";
    EXPECT_TRUE(specs.NotifyZAVServerOfAlarms(&module)) << "no alarms, no call";
    std::vector<QCAlarm>& alarms = CSpecManagerTestAccess::State(specs).m_alarms;
    alarms.resize(3);
    // The service's answer: how the notification ends.
    const std::pair<std::function<HRESULT()>, const char*> rows[] = {
        {[] { return S_OK; }, ""},
        {[] { return E_FAIL; }, "80004005 Error while notifying service of QC alarms"},
        {[] { return MakeErrorInfo("the store is full"), E_OUTOFMEMORY; },
         "8007000E the store is full"},
        {[]() -> HRESULT { throw win32_exception(nullptr); }, "80004005 0x       0"}};
    for (const auto& [answer, outcome] : rows) {
        MakeErrorInfo("stale information of an earlier call");
        service.answer = answer;
        EXPECT_EQ(outcome, Failure([&] { specs.NotifyZAVServerOfAlarms(&module); },
                                   "Notifying ZAV Service of any QC alarms that may have occured"));
    }
    EXPECT_EQ(decltype(service.calls)(4, {3, alarms.data()}), service.calls);
    EXPECT_EQ("3 0 3 CSpecManager::NotifyZAVServerOfAlarms",
              std::to_string(alarms.size()) + " " + std::to_string(service.RefCount()) + " " +
                  std::to_string(module.Messages("ERROR").size()) + " " +
                  module.fatalExceptions.at(0).where)
        << "the list left as it was, the service borrowed, one ERROR line for each refusal";
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
