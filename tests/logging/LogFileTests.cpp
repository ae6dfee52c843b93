// The daily log file itself: its lines, its files, its writers and what it reports when a line
// cannot be written.
#include <share.h>
#include <fstream>

#include "support/ComCheck.h"
#include "support/Steering.h"
#include "support/TestModule.h"

namespace zavtest {

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

} // namespace zavtest

namespace {

using namespace zavtest;
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
        FailingAllocations failing(0, SIZE_MAX); // the small blocks of a converted text too
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
        FailingAllocations failing(0, SIZE_MAX);
        EXPECT_FALSE(ModuleLog(module, LOG_ERROR, "%s", std::string(2000, 'm').c_str()));
    }
    EXPECT_EQ(nullptr, module.m_pLogFile) << "the broken log object is retired";
    EXPECT_EQ((Texts{"ZAVTest 1|kept 1|a0040600|unknown error",
                     "ZAVTest 1|Enter  Complie|8007000e|unknown error",
                     "ZAVTest 1|" + std::string(2000, 'm') + "|8007000e|unknown error"}),
              EventTexts(events));
}

} // namespace
