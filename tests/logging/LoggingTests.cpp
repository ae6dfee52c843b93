// The daily log file shared by every process, logging through the host module under its guard
// or to the event log, scope traces, and the catch ladder that logs an exception where it is
// caught.
#include <share.h>
#include <fstream>
#include <stdexcept>
#include <thread>

#include "support/ComCheck.h"
#include "support/Steering.h"
#include "support/TestModule.h"

namespace zavtest {
namespace {

// Each reported event as "source type|string|string...", a log line by its message alone.
std::vector<std::string> EventTexts(const EventLogRecorder& events) {
    std::vector<std::string> texts;
    for (const ReportedEvent& event : events.Events()) {
        texts.push_back(event.source + " " + std::to_string(event.type));
        for (const std::string& text : event.strings)
            texts.back() +=
                "|" + (ParseLogLine(text).severity.empty() ? text : ParseLogLine(text).message);
    }
    return texts;
}

using Texts = std::vector<std::string>;

// Only the exact level names count. Each writer has its own handle and file position, and
// another process may write too: every line must land at the end that the file has when it is
// written. A copy owns the handles it took, so neither object closes a handle under the other.
// Exception lines carry their texts verbatim. Without room for the line, a shorter one goes
// straight into the open file; a description that cannot be converted is cut to 255 bytes, and
// the error information stays the thread's.
TEST(LogFile, LinesDaysLevelsWritersAndExceptions) {
    TestModule module("TRACE");
    CLogFile &first = *module.m_pLogFile, second(module.config, &module);
    SteeredClock clock(MakeTime(2099, 12, 31, 23, 59, 59, 7));
    first.Log(LOG_WARNING, "value %d of %s", 42, "width");
    first.Log(static_cast<LogSeverity>(-1), "no name");
    first.LogTrace(std::string(200, 'n').c_str(), false);
    clock.Set(MakeTime(2100, 1, 1, 0, 0, 0, 999));
    second.Log(LOG_NONE, "%s", std::string(3000, 'x').c_str());
    char ids[32];
    snprintf(ids, sizeof ids, "%-5lu %-5lu ", ::GetCurrentProcessId(), ::GetCurrentThreadId());
    EXPECT_EQ("WARNING  2099-12-31 23:59:59.7    " + std::string(ids) + "value 42 of width\r\n" +
                  "         2099-12-31 23:59:59.7    " + ids + "no name\r\n" +
                  "TRACE    2099-12-31 23:59:59.7    " + ids + "Exit   " + std::string(120, 'n') +
                  "\r\n",
              ReadWholeFile(module.folder / "zav991231.log"));
    EXPECT_EQ("NONE     2100-01-01 00:00:00.999  " + std::string(ids) + std::string(3000, 'x') +
                  "\r\n",
              ReadWholeFile(module.folder / "zav000101.log"));

    const std::pair<const char*, int> levels[] = {{"ERROR", 1}, {"WARNING", 2}, {"DEBUG", 4},
                                                  {"TRACE", 5}, {"NONE", 2},    {"", 2},
                                                  {"Trace", 2}, {"TRACE ", 2},  {"INFO", 3}};
    for (const auto& [name, level] : levels)
        EXPECT_EQ(level, (module.config.m_strLogLevel = name, first.GetLogLevel())) << name;
    clock.Set(MakeTime(2024, 3, 7, 12, 0, 0));
    first.Log(LOG_INFO, "one");
    second.Log(LOG_INFO, "two");
    std::ofstream(module.folder / "zav240307.log", std::ios::app)
        << "INFO     2024-03-07 12:00:00.0    1     1     other\n";
    first.Log(LOG_INFO, "three");
    second.Log(LOG_INFO, "four");
    CLogFile(first).Log(LOG_INFO, "five");
    first.Log(LOG_INFO, "six");
    EXPECT_EQ((Texts{"one", "two", "other", "three", "four", "five", "six"}),
              module.Messages("INFO"));

    first.LogException(E_FAIL, "100% %s %d", "Complie %n");
    first.LogException(1, static_cast<const char*>(nullptr), nullptr);
    IErrorInfoPtr info = MakeErrorInfo(std::string(5000, 'y').c_str());
    ::SetErrorInfo(0, nullptr);
    {
        FailingAllocations failing(4096, size_t{1} << 20);
        first.LogException(E_FAIL, std::string(5000, 'x').c_str(), "Complie");
        first.LogException(E_FAIL, info, "Invoke");
    }
    const std::string detected = "Exception detected in ";
    EXPECT_EQ((Texts{detected + "Complie %n. HRESULT = 0x80004005 Description = [100% %s %d]",
                     detected + "[unknown]. HRESULT = 0x1 Description = []"}),
              module.Messages("ERROR"));
    const std::string direct = "ERROR: Second exception thrown while logging exception from "
                               "[Complie]. HRESULT=0x80004005, Description=[" +
                               std::string(5000, 'x');
    EXPECT_EQ(direct.substr(0, 1023) + "ERROR    2024-03-07 12:00:00.0    " + ids + detected +
                  "Invoke. HRESULT = 0x80004005 Description = [" + std::string(255, 'y') + "]",
              SplitLines(ReadWholeFile(module.folder / "zav240307.log")).back());
    EXPECT_EQ(std::string(5000, 'y'), ThreadErrorDescription());
    {
        FailingAllocations failing(16, 64); // the small blocks of a converted text too
        first.LogException(E_FAIL, info, "Invoke");
    }
    EXPECT_EQ(direct.substr(0, 60) + "[Invoke]. HRESULT=0x80004005, Description=[" +
                  std::string(255, 'y') + "]",
              SplitLines(ReadWholeFile(module.folder / "zav240307.log")).back());
    EXPECT_EQ(std::string(5000, 'y'), ThreadErrorDescription()) << "made the thread's again";
}

// A line that cannot be written is reported under the module's name, with the line, the code and
// the text. A COM error that escapes the log object (its own reporting failed) is reported
// again, and the log object is dropped unless the error was only the mutex's time-out.
TEST(LogFile, EveryLineThatCannotBeWrittenIsReported) {
    EventLogRecorder events;
    SteeredClock clock(MakeTime(2024, 3, 8, 12, 0, 0));
    TestModule module("TRACE"), nameless("TRACE", nullptr);
    TempDir locked;
    // Another program holds the day's file open without sharing it.
    std::unique_ptr<FILE, decltype(&fclose)> holder(
        _fsopen((locked / "zav240308.log").c_str(), "w", _SH_DENYRW), &fclose);
    // The system's text follows the file's name, without its line break.
    const std::string missing = module.folder / "missing";
    const std::string opening = "An error occurred opening the log file [";
    const std::pair<std::string, std::string> rows[] = {
        {"", "80004005|Log file path was not specified"},
        {missing, "80070003|" + opening + missing +
                      "\\zav240308.log]: " + _com_error(0x80070003).ErrorMessage()},
        {locked.path(), "80070020|" + opening +
                            locked / "zav240308.log]: " + _com_error(0x80070020).ErrorMessage()}};
    for (const auto& [folder, failure] : rows) {
        events.Clear();
        module.config.m_strLogPath = nameless.config.m_strLogPath = folder;
        module.m_pLogFile->Log(LOG_ERROR, "lost");
        module.m_pLogFile->Log(LOG_ERROR, "lost");
        nameless.m_pLogFile->Log(LOG_ERROR, "lost");
        EXPECT_EQ(Texts(2, "ZAVTest 1|lost\r\n|" + failure), EventTexts(events));
    }
    EXPECT_EQ(0, events.OpenSources()) << "every event source was deregistered";

    events.Clear();
    events.onNextReport = [] { throw _com_error(static_cast<HRESULT>(0xA0040600)); };
    EXPECT_FALSE(ModuleLog(module, LOG_ERROR, "kept %d", 1));
    ASSERT_NE(nullptr, module.m_pLogFile);
    events.onNextReport = [] { throw _com_error(E_OUTOFMEMORY); };
    EXPECT_FALSE(ModuleTrace(module, "Complie", true));
    EXPECT_EQ(nullptr, module.m_pLogFile);
    // With memory gone, the message is formatted again without the heap, and whole.
    module.m_pLogFile = new CLogFile(module.config, &module);
    events.onNextReport = [] { throw _com_error(E_OUTOFMEMORY); };
    {
        FailingAllocations failing(1024, size_t{1} << 20);
        EXPECT_FALSE(ModuleLog(module, LOG_ERROR, "%s", std::string(2000, 'm').c_str()));
    }
    EXPECT_EQ(nullptr, module.m_pLogFile) << "the broken log object is retired";
    EXPECT_EQ((Texts{"ZAVTest 1|kept 1|a0040600|unknown error",
                     "ZAVTest 1|Enter  Complie|8007000e|unknown error",
                     "ZAVTest 1|" + std::string(2000, 'm') + "|8007000e|unknown error"}),
              EventTexts(events));
}

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
} // namespace zavtest
