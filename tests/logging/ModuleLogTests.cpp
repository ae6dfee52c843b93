// Logging through the host module: its log object under its guard, the event log where there is
// no log object, scope traces, the log's named mutex held by another writer, and the catch
// ladder that logs an exception where it is caught.
#include <stdexcept>
#include <thread>

#include "support/ComCheck.h"
#include "support/Steering.h"
#include "support/TestModule.h"

namespace zavtest {
std::vector<std::string> EventTexts(const EventLogRecorder& events);
} // namespace zavtest

namespace {

using namespace zavtest;
using Texts = std::vector<std::string>;

// The module's guard is waited for first, without time-out, then the log's named mutex for at
// most ten seconds; a line that the level drops takes the guard alone, since the level is only
// known to the guarded log object. Without a log object, traces become information events, and
// the exit of a scope goes where its entry went. Another writer that holds the named mutex past
// the time-out loses the line, which is reported, and the module keeps its log object; a writer
// that ends owning the mutex stops nobody.
TEST(ModuleLog, LinesAndTracesGoThroughTheLogObjectUnderTheGuardOrToTheEventLog) {
    EventLogRecorder events;
    TestModule module("INFO"), without(nullptr, "Without");
    std::string waits; // the time-outs of the library's waits, in order
    {
        SteeredWaits steered;
        EXPECT_TRUE(ModuleLog(module, LOG_INFO, "case %d of %s", 3, "Line=A"));
        EXPECT_TRUE(ModuleLog(module, LOG_DEBUG, "dropped"));
        EXPECT_FALSE(ModuleLog(without, LOG_ERROR, "nowhere"));
        for (const SteeredWaits::Wait& wait : steered.Waits())
            waits += (wait.handle == module.m_hLogMutex ? "guard " : "") +
                     std::to_string(int(wait.timeout)) + ", ";
    }
    EXPECT_EQ("guard -1, 10000, guard -1, -1, ", waits);
    const HANDLE guard = std::exchange(module.m_hLogMutex, nullptr);
    EXPECT_TRUE(ModuleLog(module, LOG_INFO, "without a guard"));
    module.m_hLogMutex = guard;

    module.config.m_strLogLevel = "TRACE";
    auto traced = [&](const char* name, CLogFile* during) {
        CFunctionTrace trace(module, name);
        module.m_pLogFile = during;
        throw std::runtime_error(name);
    };
    CLogFile* log = module.m_pLogFile;
    EXPECT_THROW(traced("Complie", log), std::runtime_error);
    EXPECT_THROW(traced("Vanishing", nullptr), std::runtime_error);
    EXPECT_THROW(traced("Appearing", log), std::runtime_error);
    ModuleReportEvent(without, "%s", std::string(300, 'm').c_str());

    std::unique_ptr<void, decltype(&::CloseHandle)> mutex(
        ::CreateMutexA(nullptr, FALSE, "{6E2D91A7-3B4C-4F85-8A10-D7C3B25E9F46}"), &::CloseHandle);
    ::WaitForSingleObject(mutex.get(), INFINITE);
    {
        SteeredWaits shortened(300);
        std::thread([&] { EXPECT_TRUE(ModuleLog(module, LOG_INFO, "timed out")); }).join();
    }
    ::ReleaseMutex(mutex.get());
    std::thread([&] { ::WaitForSingleObject(mutex.get(), INFINITE); }).join(); // ends owning it
    EXPECT_TRUE(ModuleLog(module, LOG_INFO, "after its owner ended"));
    EXPECT_EQ((Texts{"case 3 of Line=A", "without a guard", "after its owner ended"}),
              module.Messages("INFO"));
    EXPECT_EQ((Texts{"Enter  Complie", "Exit   Complie", "Enter  Vanishing"}),
              module.Messages("TRACE"));
    const std::string ids = ". Process: " + std::to_string(::GetCurrentProcessId()) +
                            " Thread: " + std::to_string(::GetCurrentThreadId());
    EXPECT_EQ((Texts{"ZAVTest 4|Entered Appearing" + ids, "ZAVTest 4|Leaving Appearing" + ids,
                     "Without 4|" + std::string(255, 'm') + ids,
                     "ZAVTest 1|timed out\r\n|a0040600|CLogFile::LogV cannot get mutex "
                     "ownership due to time-out"}),
              EventTexts(events));
}

volatile int g_zero = 0;
int* volatile g_badAddress = reinterpret_cast<int*>(0x20);

// The ladder logs what it caught and passes it on: wrapped in its activity, or unchanged when an
// inner level has wrapped it already. A numeric fault gets a crash report first; any other
// structured exception is told to the module.
TEST(CatchLadder, EachKindOfExceptionIsLoggedAndLeavesAsTheLadderMakesIt) {
    PrepareExceptionHandling();
    CrashSandbox sandbox;
    TestModule module("ERROR");
    const std::function<void()> bodies[] = {
        [&] { RunGuarded(module, "G", "Inner", [] { throw std::runtime_error("Queue"); }); },
        [] { g_zero = 7 / g_zero; },
        [] { *g_badAddress = 1; },
        [] { ThrowComError(E_INVALIDARG, "Bad value"); },
        [] { throw _com_error(E_ACCESSDENIED); },
        [] { throw 42; }};
    std::vector<std::pair<HRESULT, std::string>> leaving;
    for (const std::function<void()>& body : bodies)
        leaving.push_back(ComErrorOf([&] { RunGuarded(module, "F", "A", body); }));
    const std::string denied = _com_error(E_ACCESSDENIED).ErrorMessage();
    EXPECT_EQ((std::vector<std::pair<HRESULT, std::string>>{{E_FAIL, "Inner [Queue]"},
                                                            {E_FAIL, "A [Division By Zero]"},
                                                            {E_FAIL, "A [Access Violation]"},
                                                            {E_INVALIDARG, "A [Bad value]"},
                                                            {E_ACCESSDENIED, "A [" + denied + "]"},
                                                            {E_FAIL, "A [Unknown error]"}}),
              leaving);
    const std::string ladder = "Exception detected in [F] while doing [A]; Error code 0x";
    EXPECT_EQ(
        (Texts{"Exception detected in [G] while doing [Inner]; Error code 0x80004005, [Queue]",
               ladder + "80004005, [Inner [Queue]]",
               "Process dump was generated in [" + sandbox.ErrorsFolder() + "]",
               ladder + "80004005, [Division By Zero]", ladder + "80004005, [Access Violation]",
               ladder + "80070057, [Bad value]", ladder + "80070005, [" + denied + "]",
               ladder + "80004005, [Unknown error]"}),
        module.Messages("ERROR"));
    EXPECT_EQ(2u, sandbox.Calls().size());
    EXPECT_EQ(1u, module.fatalExceptions.size());
}

} // namespace
