// The daily log file itself: its lines, its files, its writers and what it reports when a line
// cannot be written.
#include <gtest/gtest.h>

#include <share.h>
#include <fstream>
#include <memory>

#include "support/ComCheck.h"
#include "support/Steering.h"
#include "support/TestModule.h"

namespace zavtest {

// The head of this thread's lines at the time the tests steer to, 2024-03-07 12:00:00.0.
std::string Head(const char* severity) {
    char head[80];
    snprintf(head, sizeof head, "%-8s 2024-03-07 12:00:00.0    %-5lu %-5lu ", severity,
             ::GetCurrentProcessId(), ::GetCurrentThreadId());
    return head;
}

// Each reported event as "source type id|string|string...", a log line by its message alone.
std::vector<std::string> EventTexts(const EventLogRecorder& events) {
    std::vector<std::string> texts;
    for (const ReportedEvent& event : events.Events()) {
        char head[32];
        snprintf(head, sizeof head, " %u %lX", event.type, event.id);
        texts.push_back(event.source + head);
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
TEST(LogFile, LinesDaysLevelsAndWriters) {
    EventLogRecorder events;
    TestModule module("TRACE");
    CLogFile &first = *module.m_pLogFile, second(module.config, &module);
    SteeredClock clock(MakeTime(2099, 12, 31, 23, 59, 59, 7));
    first.Log(LOG_WARNING, "value %d of %s", 42, "width");
    clock.Set(MakeTime(2099, 12, 31, 23, 59, 59, 70));
    first.Log(static_cast<LogSeverity>(-1), "no name");
    first.LogTrace(std::string(200, 'n').c_str(), false);
    clock.Set(MakeTime(2100, 1, 1, 0, 0, 0, 999));
    second.Log(LOG_NONE, "%s", std::string(3000, 'x').c_str());
    const std::string ids = Head("").substr(34);
    EXPECT_EQ("WARNING  2099-12-31 23:59:59.7    " + ids + "value 42 of width\r\n" +
                  "         2099-12-31 23:59:59.70   " + ids + "no name\r\n" +
                  "TRACE    2099-12-31 23:59:59.70   " + ids + "Exit   " + std::string(120, 'n') +
                  "\r\n",
              ReadWholeFile(module.folder / "zav991231.log"));
    EXPECT_EQ("NONE     2100-01-01 00:00:00.999  " + ids + std::string(3000, 'x') + "\r\n",
              ReadWholeFile(module.folder / "zav000101.log"));

    const std::pair<const char*, int> levels[] = {{"ERROR", 1}, {"WARNING", 2}, {"INFO", 3},
                                                  {"DEBUG", 4}, {"TRACE", 5},   {"NONE", 2},
                                                  {"", 2},      {"Trace", 2},   {"TRACE ", 2}};
    for (const auto& [name, level] : levels)
        EXPECT_EQ(level, (module.config.m_strLogLevel = name, first.GetLogLevel())) << name;
    module.config.m_strLogLevel = "INFO";
    clock.Set(MakeTime(2024, 3, 7, 12, 0, 0));
    first.Log(LOG_INFO, "one");
    second.Log(LOG_DEBUG, "dropped");
    second.Log(LOG_INFO, "two");
    std::ofstream(module.folder / "zav240307.log", std::ios::app) << Head("INFO") << "other\n";
    first.Log(LOG_INFO, "three");
    second.Log(LOG_INFO, "four");
    CLogFile(first).Log(LOG_INFO, "five");
    first.Log(LOG_INFO, "six");
    EXPECT_EQ((Texts{"one", "two", "other", "three", "four", "five", "six"}),
              module.Messages("INFO"));
    EXPECT_EQ(Texts(), module.Messages("DEBUG"));
    EXPECT_EQ(Texts(), EventTexts(events));
}

// Exception lines carry their texts verbatim. Without room for the line, a shorter one goes
// straight into the open file; a description that cannot be converted is cut to 255 bytes, and
// the error information stays the thread's. A line that cannot be written is reported under the
// module's name.
TEST(LogFile, ExceptionLinesAndLinesThatCannotBeWritten) {
    EventLogRecorder events;
    SteeredClock clock(MakeTime(2024, 3, 7, 12, 0, 0));
    TestModule module("TRACE"), nameless("TRACE", nullptr);
    CLogFile& log = *module.m_pLogFile;
    log.LogException(E_FAIL, "100% %s %d", "Complie %n");
    log.LogException(1, static_cast<const char*>(nullptr), nullptr);
    log.LogException(DISP_E_EXCEPTION, MakeErrorInfo("From the server"), "Invoke");
    IErrorInfoPtr info = MakeErrorInfo(std::string(5000, 'y').c_str());
    ::SetErrorInfo(0, nullptr);
    {
        FailingAllocations failing(4096, size_t{1} << 20);
        log.LogException(E_FAIL, std::string(5000, 'x').c_str(), "Complie");
        log.LogException(E_FAIL, info, "Invoke");
        EXPECT_GT(failing.Failed(), 1);
    }
    const std::string detected = "Exception detected in ";
    EXPECT_EQ((Texts{detected + "Complie %n. HRESULT = 0x80004005 Description = [100% %s %d]",
                     detected + "[unknown]. HRESULT = 0x1 Description = []",
                     detected + "Invoke. HRESULT = 0x80020009 Description = [From the server]"}),
              module.Messages("ERROR"));
    const std::string direct = "ERROR: Second exception thrown while logging exception from "
                               "[Complie]. HRESULT=0x80004005, Description=[" +
                               std::string(5000, 'x');
    EXPECT_EQ(direct.substr(0, 1023) + Head("ERROR") + detected +
                  "Invoke. HRESULT = 0x80004005 Description = [" + std::string(255, 'y') + "]",
              module.Lines().back());
    EXPECT_EQ(std::string(5000, 'y'), ThreadErrorDescription());

    // The next day's file is opened at the next line. Another program holds it open without
    // sharing it.
    clock.Set(MakeTime(2024, 3, 8, 12, 0, 0));
    TempDir locked;
    std::unique_ptr<FILE, decltype(&fclose)> holder(
        _fsopen((locked / "zav240308.log").c_str(), "w", _SH_DENYRW), &fclose);
    WriteTextFile(module.folder / "plain-file", "");
    const std::pair<std::string, std::string> rows[] = {{"", "80004005"},
                                                        {module.folder / "missing", "80070003"},
                                                        {module.folder / "plain-file", "80070003"},
                                                        {locked.path(), "80070020"}};
    for (const auto& [folder, code] : rows) {
        events.Clear();
        module.config.m_strLogPath = nameless.config.m_strLogPath = folder;
        log.Log(LOG_ERROR, "lost");
        log.Log(LOG_ERROR, "lost");
        nameless.m_pLogFile->Log(LOG_ERROR, "lost");
        // The system's text follows the file's name, without its line break.
        EXPECT_EQ(
            Texts(2, "ZAVTest 1 C0000201|lost\r\n|" + code + "|" +
                         (folder.empty()
                              ? "Log file path was not specified"
                              : "An error occurred opening the log file [" + folder +
                                    "\\zav240308.log]: " +
                                    _com_error(std::stoul(code, nullptr, 16)).ErrorMessage())),
            EventTexts(events));
    }
    EXPECT_EQ(0, events.OpenSources()) << "every event source was deregistered";

    // A COM error that escapes the log object (its own reporting failed) is reported again, and
    // the log object is dropped unless the error was only the mutex's time-out.
    events.Clear();
    events.onNextReport = [] { throw _com_error(static_cast<HRESULT>(0xA0040600)); };
    EXPECT_FALSE(ModuleLog(module, LOG_ERROR, "kept %d", 1));
    ASSERT_EQ(&log, module.m_pLogFile);
    events.onNextReport = [] { throw _com_error(E_OUTOFMEMORY); };
    EXPECT_FALSE(ModuleTrace(module, "Complie", true));
    EXPECT_EQ(nullptr, module.m_pLogFile);
    EXPECT_FALSE(ModuleTrace(module, "nowhere", true));
    EXPECT_EQ((Texts{"ZAVTest 1 C0000201|kept 1|a0040600|unknown error",
                     "ZAVTest 1 C0000201|Enter  Complie|8007000e|unknown error"}),
              EventTexts(events));
}

} // namespace
