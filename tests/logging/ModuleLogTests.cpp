#include <gtest/gtest.h>

#include <stdexcept>
#include <thread>
#include <string>
#include <vector>

#include "ZAVTools.h"
#include "logging/LogTestSupport.h"
#include "support/EventLogRecorder.h"
#include "support/LoggedModule.h"
#include "support/TestModule.h"

namespace {

using zavtest::EventLogRecorder;
using zavtest::LoggedModule;
using zavtest::ReportedEvent;

std::string ProcessAndThread() {
    return ". Process: " + std::to_string(::GetCurrentProcessId()) +
           " Thread: " + std::to_string(::GetCurrentThreadId());
}

std::vector<std::string> InformationTexts(const EventLogRecorder& events) {
    std::vector<std::string> texts;
    for (const ReportedEvent& event : events.Events()) {
        EXPECT_EQ(EVENTLOG_INFORMATION_TYPE, event.type);
        EXPECT_EQ(0x40000202u, event.id);
        EXPECT_EQ(1u, event.strings.size());
        texts.push_back(event.strings.empty() ? "" : event.strings[0]);
    }
    return texts;
}

void TracedScope(CBaseZAVModule& module, bool fail) {
    CFunctionTrace trace(module, "CSpecManager::Complie");
    if (fail)
        throw std::runtime_error("leaving early");
}

TEST(FunctionTrace, EntryAndExitAreTraceLinesOfTheSameThread) {
    EventLogRecorder events;
    LoggedModule module("TRACE");
    TracedScope(module, false);
    EXPECT_THROW(TracedScope(module, true), std::runtime_error);

    std::vector<std::string> lines = module.Lines();
    ASSERT_EQ(4u, lines.size());
    const char* expected[] = {"Enter  CSpecManager::Complie", "Exit   CSpecManager::Complie"};
    for (size_t i = 0; i < lines.size(); ++i) {
        zavtest::LogLineParts parts = zavtest::ParseLogLine(lines[i]);
        EXPECT_EQ("TRACE", parts.severity);
        EXPECT_EQ(expected[i % 2], parts.message);
        EXPECT_EQ(::GetCurrentThreadId(), parts.thread);
    }
    EXPECT_TRUE(events.Events().empty());
}

TEST(FunctionTrace, FilteredTracesGoNowhere) {
    EventLogRecorder events;
    LoggedModule module("WARNING");
    TracedScope(module, false);
    EXPECT_TRUE(module.Lines().empty());
    EXPECT_TRUE(events.Events().empty()) << "the entry counts as traced";
}

TEST(FunctionTrace, WithoutALogObjectEntryAndExitAreInformationEvents) {
    EventLogRecorder events;
    zavtest::TestModule module;
    TracedScope(module, false);
    EXPECT_THROW(TracedScope(module, true), std::runtime_error);
    std::string entered = "Entered CSpecManager::Complie" + ProcessAndThread();
    std::string leaving = "Leaving CSpecManager::Complie" + ProcessAndThread();
    EXPECT_EQ((std::vector<std::string>{entered, leaving, entered, leaving}),
              InformationTexts(events));
    EXPECT_EQ("ZAVTest", events.Events()[0].source);
}

// Where the exit goes is decided at the entry.
TEST(FunctionTrace, TheExitFollowsTheEntry) {
    EventLogRecorder events;
    LoggedModule module("TRACE");
    CLogFile* log = module.m_pLogFile;
    {
        module.m_pLogFile = nullptr;
        CFunctionTrace trace(module, "Appearing");
        module.m_pLogFile = log;
    }
    {
        CFunctionTrace trace(module, "Vanishing");
        module.m_pLogFile = nullptr;
    }
    module.m_pLogFile = log;
    EXPECT_EQ((std::vector<std::string>{"Entered Appearing" + ProcessAndThread(),
                                        "Leaving Appearing" + ProcessAndThread()}),
              InformationTexts(events));
    EXPECT_EQ(std::vector<std::string>{"Enter  Vanishing"}, module.Messages("TRACE"));
}

TEST(ModuleLogging, LinesGoThroughTheModulesLogObject) {
    EventLogRecorder events;
    LoggedModule module("INFO");
    EXPECT_TRUE(ModuleLog(module, LOG_INFO, "case %d of %s", 3, "Line=A"));
    EXPECT_TRUE(ModuleLog(module, LOG_DEBUG, "filtered"));
    EXPECT_TRUE(ModuleTrace(module, "filtered", true));
    EXPECT_EQ(std::vector<std::string>{"case 3 of Line=A"}, module.Messages("INFO"));
    EXPECT_EQ(1u, module.Lines().size());

    zavtest::TestModule without;
    EXPECT_FALSE(ModuleLog(without, LOG_ERROR, "nowhere"));
    EXPECT_FALSE(ModuleTrace(without, "nowhere", true));
    EXPECT_TRUE(events.Events().empty());
}

// The module's guard first, then the log's named mutex: the fixed lock order.
TEST(ModuleLogging, TheModuleGuardIsTakenBeforeTheNamedMutex) {
    LoggedModule module("TRACE");
    zavtest::SteeredWaits waits;
    ASSERT_TRUE(ModuleLog(module, LOG_ERROR, "ordered"));
    std::vector<zavtest::SteeredWaits::Wait> seen = waits.Waits();
    ASSERT_EQ(2u, seen.size());
    EXPECT_EQ(module.m_hLogMutex, seen[0].handle);
    EXPECT_EQ(INFINITE, seen[0].timeout);
    EXPECT_NE(module.m_hLogMutex, seen[1].handle);
    EXPECT_EQ(10000u, seen[1].timeout);
    // Both were released: another thread can take them at once.
    DWORD guardFree = 0;
    std::thread([&] {
        guardFree = ::WaitForSingleObject(module.m_hLogMutex, 0);
        ::ReleaseMutex(module.m_hLogMutex);
    }).join();
    EXPECT_EQ(WAIT_OBJECT_0, guardFree);
}

TEST(ModuleLogging, AGuardThatCannotBeWaitedForDoesNotStopTheLine) {
    LoggedModule module("TRACE");
    HANDLE guard = module.m_hLogMutex;
    module.m_hLogMutex = nullptr;
    EXPECT_TRUE(ModuleLog(module, LOG_ERROR, "unguarded"));
    module.m_hLogMutex = guard;
    EXPECT_EQ(std::vector<std::string>{"unguarded"}, module.Messages("ERROR"));
}

// A COM error that escapes the log object (its own failure handling failed) is reported, and a
// log object that failed that way is dropped, unless it only timed out.
TEST(ModuleLogging, ALogObjectThatFailsIsReportedAndDropped) {
    EventLogRecorder events;
    LoggedModule module("TRACE");
    module.config.m_strLogPath.clear();
    events.OnNextReport([] { throw _com_error(static_cast<HRESULT>(0xA0040600)); });
    EXPECT_FALSE(ModuleLog(module, LOG_ERROR, "kept %d", 1));
    ASSERT_NE(nullptr, module.m_pLogFile) << "a time-out keeps the log object";

    events.OnNextReport([] { throw _com_error(E_OUTOFMEMORY); });
    EXPECT_FALSE(ModuleTrace(module, "CSpecManager::Complie", true));
    EXPECT_EQ(nullptr, module.m_pLogFile);
    EXPECT_FALSE(ModuleLog(module, LOG_ERROR, "nowhere"));

    std::vector<ReportedEvent> reported = events.Events(EVENTLOG_ERROR_TYPE);
    ASSERT_EQ(2u, reported.size());
    EXPECT_EQ((std::vector<std::string>{"kept 1", "a0040600", "unknown error"}),
              reported[0].strings);
    EXPECT_EQ(
        (std::vector<std::string>{"Enter  CSpecManager::Complie", "8007000e", "unknown error"}),
        reported[1].strings);
}

TEST(ModuleLogging, ReportedEventsAreCutTo255Characters) {
    EventLogRecorder events;
    zavtest::TestModule module;
    std::string longText(300, 'm');
    ModuleReportEvent(module, "%s", longText.c_str());
    ModuleReportEvent(module, "%d alarms", 3);
    EXPECT_EQ((std::vector<std::string>{std::string(255, 'm') + ProcessAndThread(),
                                        "3 alarms" + ProcessAndThread()}),
              InformationTexts(events));

    events.Clear();
    zavtest::TestModule nameless(nullptr);
    ModuleReportEvent(nameless, "unnamed");
    ASSERT_EQ(1u, events.Events().size()) << "the null name goes to the event log as it is";
    EXPECT_EQ("(null)", events.Events()[0].source);
}

} // namespace
