// Handing the kept alarms to the service: one call with the count and the first record, the
// list left as it is, and every way the service can refuse logged and raised.
#include <gtest/gtest.h>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "ZAVTools.h"
#include "support/ComObject.h"
#include "support/FakeSpreadsheet.h"
#include "support/LoggedModule.h"
#include "support/Printers.h"
#include "support/SpecManagerTestAccess.h"

namespace {

using zavtest::DescriptionOf;

constexpr char kActivity[] = "Notifying ZAV Service of any QC alarms that may have occured";

// A service that copies every record it is handed while the call lasts, as a real one must.
class CopyingService : public zavtest::ComObject<IZAVServerNotify> {
public:
    HRESULT __stdcall NotifyAlarms(unsigned long long count, const QCAlarm* first) override {
        counts.push_back(count);
        firsts.push_back(first);
        for (unsigned long long i = 0; i < count; ++i)
            received.push_back(first[i]);
        return behaviour ? behaviour() : S_OK;
    }

    std::vector<unsigned long long> counts;
    std::vector<const QCAlarm*> firsts;
    std::vector<QCAlarm> received;
    std::function<HRESULT()> behaviour;
};

struct Notification : ::testing::Test {
    zavtest::LoggedModule module;
    zavtest::FakeSpreadsheet sheet;
    CopyingService service;
    std::vector<std::string> wanted;
    CSpecManager specs{sheet.Ptr(), wanted, 4, 0, false, 0.0, &service};

    void Keep(const char* description) {
        QCAlarm alarm;
        alarm.charId = 4;
        QCAlarm::SetString(alarm.alarmType, "SampleOutOfControl");
        QCAlarm::SetString(alarm.description, description);
        CSpecManagerTestAccess::State(specs).m_alarms.push_back(std::move(alarm));
    }
    _com_error NotifyFailure() {
        try {
            specs.NotifyZAVServerOfAlarms(&module);
        } catch (const _com_error& e) {
            return e;
        }
        ADD_FAILURE() << "the notification succeeded";
        return _com_error(S_OK);
    }
};

TEST_F(Notification, NoAlarmsNoCall) {
    EXPECT_TRUE(specs.NotifyZAVServerOfAlarms(&module));
    EXPECT_TRUE(service.counts.empty());
    EXPECT_EQ(std::vector<std::string>({"Enter  CSpecManager::NotifyZAVServerOfAlarms",
                                        "Exit   CSpecManager::NotifyZAVServerOfAlarms"}),
              module.Messages("TRACE"));
}

TEST_F(Notification, OneCallWithTheCountAndTheFirstOfAdjacentRecords) {
    Keep("first");
    Keep("second");
    Keep("third");
    const std::vector<QCAlarm>& kept = CSpecManagerTestAccess::State(specs).m_alarms;
    EXPECT_TRUE(specs.NotifyZAVServerOfAlarms(&module));
    ASSERT_EQ(std::vector<unsigned long long>({3}), service.counts);
    EXPECT_EQ(&kept[0], service.firsts[0]);
    ASSERT_EQ(3u, service.received.size());
    EXPECT_STREQ(L"first", service.received[0].description);
    EXPECT_STREQ(L"third", service.received[2].description);
    EXPECT_NE(kept[0].description, service.received[0].description) << "the service's own copy";

    Keep("fourth");
    specs.NotifyZAVServerOfAlarms(&module);
    EXPECT_EQ(std::vector<unsigned long long>({3, 4}), service.counts)
        << "the same records again, then the ones kept since";
    EXPECT_EQ(4u, kept.size());
    EXPECT_EQ(0u, service.RefCount()) << "the service is borrowed, never counted";
}

TEST_F(Notification, ARefusalIsLoggedOnceAndRaisedWithTheActivity) {
    Keep("one");
    service.behaviour = [] { return E_FAIL; };
    _com_error plain = NotifyFailure();
    EXPECT_EQ(E_FAIL, plain.Error());
    EXPECT_EQ(std::string(kActivity) + " [Error while notifying service of QC alarms]",
              DescriptionOf(plain));
    EXPECT_EQ(std::vector<std::string>(
                  {"Exception detected in [CSpecManager::NotifyZAVServerOfAlarms] while doing "
                   "[Notifying ZAV Service of any QC alarms that may have occured]; Error code "
                   "0x80004005, [Error while notifying service of QC alarms]"}),
              module.Messages("ERROR"));

    MakeErrorInfo("stale information of an earlier call");
    service.behaviour = [] {
        MakeErrorInfo("the alarm store is full");
        return static_cast<HRESULT>(0x8007000E);
    };
    _com_error described = NotifyFailure();
    EXPECT_EQ(static_cast<HRESULT>(0x8007000E), described.Error());
    EXPECT_EQ(std::string(kActivity) + " [the alarm store is full]", DescriptionOf(described));
    EXPECT_EQ(1u, CSpecManagerTestAccess::State(specs).m_alarms.size()) << "nothing is lost";
}

TEST_F(Notification, ExceptionsOfTheServiceLeaveAsComErrors) {
    Keep("one");
    service.behaviour = []() -> HRESULT { throw std::runtime_error("Queue full"); };
    _com_error standard = NotifyFailure();
    EXPECT_EQ(E_FAIL, standard.Error());
    EXPECT_EQ(std::string(kActivity) + " [Queue full]", DescriptionOf(standard));

    service.behaviour = []() -> HRESULT { throw 42; };
    EXPECT_EQ(std::string(kActivity) + " [Unknown error]", DescriptionOf(NotifyFailure()));

    service.behaviour = []() -> HRESULT { throw win32_exception(nullptr); };
    EXPECT_EQ(std::string(kActivity) + " [0x       0]", DescriptionOf(NotifyFailure()));
    ASSERT_EQ(1u, module.fatalExceptions.size()) << "the module hears of a structured exception";
    EXPECT_EQ("CSpecManager::NotifyZAVServerOfAlarms", module.fatalExceptions[0].where);
    EXPECT_EQ(static_cast<long>(E_FAIL), module.fatalExceptions[0].hr);

    service.behaviour = []() -> HRESULT { throw std::runtime_error("already [wrapped]"); };
    try {
        specs.NotifyZAVServerOfAlarms(&module);
        FAIL();
    } catch (const std::exception& e) {
        EXPECT_STREQ("already [wrapped]", e.what()) << "a bracketed text passes on as it is";
    }
    EXPECT_EQ(4u, module.Messages("ERROR").size());
    EXPECT_EQ(8u, module.Messages("TRACE").size()) << "entry and exit traced every time";
}

TEST_F(Notification, NullArguments) {
    try {
        specs.NotifyZAVServerOfAlarms(nullptr);
        FAIL();
    } catch (const _com_error& e) {
        EXPECT_EQ(E_POINTER, e.Error());
    }
    CSpecManager orphan(sheet.Ptr(), wanted, 4, 0, false, 0.0, nullptr);
    EXPECT_TRUE(orphan.NotifyZAVServerOfAlarms(&module)) << "no alarms, no service needed";
    CSpecManagerTestAccess::State(orphan).m_alarms.emplace_back();
    try {
        orphan.NotifyZAVServerOfAlarms(&module);
        FAIL();
    } catch (const _com_error& e) {
        EXPECT_EQ(E_POINTER, e.Error());
    }
}

} // namespace
