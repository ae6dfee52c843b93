// The hand-over of the kept alarm records to the service.
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

TEST(Notification, TheKeptRecordsGoToTheServiceInOneCallAndEveryRefusalIsLoggedAndRaised) {
    TestModule module("ERROR");
    Service service;
    FakeSpreadsheet sheet;
    std::vector<std::string> wanted;
    CSpecManager specs(sheet.Ptr(), wanted, 5, 0, false, 0.0, &service);
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
}

} // namespace
} // namespace zavtest
