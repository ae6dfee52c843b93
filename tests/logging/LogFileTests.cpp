#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ZAVTools.h"
#include "logging/LogTestSupport.h"
#include "support/EventLogRecorder.h"
#include "support/LoggedModule.h"
#include "support/TempDir.h"
#include "support/TestModule.h"

namespace {

using zavtest::EventLogRecorder;
using zavtest::LogFilesIn;
using zavtest::LogLinesIn;
using zavtest::MakeTime;
using zavtest::ReadWholeFile;
using zavtest::SteeredClock;

std::string Padded(unsigned long value, size_t width) {
    std::string text = std::to_string(value);
    return text.size() < width ? text + std::string(width - text.size(), ' ') : text;
}

class LogFile : public ::testing::Test {
protected:
    LogFile() {
        config.m_strLogPath = folder.path();
        config.m_strLogLevel = "TRACE";
    }

    std::string Ids() const {
        return Padded(::GetCurrentProcessId(), 5) + " " + Padded(::GetCurrentThreadId(), 5) + " ";
    }
    std::string FileText(const char* name) const { return ReadWholeFile(folder / name); }

    zavtest::TempDir folder;
    CZAVConfig config;
    zavtest::TestModule module;
    EventLogRecorder events;
};

TEST_F(LogFile, LinesHaveTheExactLayout) {
    SteeredClock clock(MakeTime(2024, 3, 7, 9, 5, 1, 7));
    CLogFile log(config, &module);
    log.Log(LOG_WARNING, "value %d of %s", 42, "width");
    clock.Set(MakeTime(2024, 3, 7, 9, 5, 1, 70));
    log.Log(static_cast<LogSeverity>(-1), "no name");
    log.LogTrace("50% of CSpecManager::Complie", true);
    log.LogTrace(std::string(200, 'n').c_str(), false);
    std::string longMessage(3000, 'x');
    log.Log(LOG_NONE, "%s", longMessage.c_str());

    std::string expected =
        "WARNING  2024-03-07 09:05:01.7    " + Ids() + "value 42 of width\r\n" +
        "         2024-03-07 09:05:01.70   " + Ids() + "no name\r\n" +
        "TRACE    2024-03-07 09:05:01.70   " + Ids() + "Enter  50% of CSpecManager::Complie\r\n" +
        "TRACE    2024-03-07 09:05:01.70   " + Ids() + "Exit   " + std::string(120, 'n') + "\r\n" +
        "NONE     2024-03-07 09:05:01.70   " + Ids() + longMessage + "\r\n";
    EXPECT_EQ(std::vector<std::string>{"zav240307.log"}, LogFilesIn(folder.path()));
    EXPECT_EQ(expected, FileText("zav240307.log"));
    EXPECT_TRUE(events.Events().empty());
    EXPECT_FALSE(log.IsBuffered());
}

TEST_F(LogFile, TheLevelNameDecidesWhichSeveritiesAreWritten) {
    struct Case {
        const char* name;
        int level;
    };
    const Case cases[] = {{"ERROR", 1}, {"WARNING", 2}, {"INFO", 3},  {"DEBUG", 4},
                          {"TRACE", 5}, {"NONE", 2},    {"", 2},      {"warning", 2},
                          {"Trace", 2}, {"TRACE ", 2},  {"ERRORS", 2}};
    CLogFile log(config, &module);
    for (const Case& c : cases) {
        config.m_strLogLevel = c.name;
        EXPECT_EQ(c.level, log.GetLogLevel()) << '"' << c.name << '"';
        for (int severity = -1; severity <= 9; ++severity)
            log.Log(static_cast<LogSeverity>(severity), "%s %d", c.name, severity);
    }
    std::vector<std::string> expected;
    for (const Case& c : cases)
        for (int severity = -1; severity <= c.level; ++severity)
            expected.push_back(std::string(c.name) + " " + std::to_string(severity));
    std::vector<std::string> written;
    for (const std::string& line : LogLinesIn(folder.path()))
        written.push_back(zavtest::ParseLogLine(line).message);
    EXPECT_EQ(expected, written);
}

TEST_F(LogFile, TheFirstLineAfterMidnightStartsTheNewDaysFile) {
    SteeredClock clock(MakeTime(2099, 12, 31, 23, 59, 59, 999));
    CLogFile log(config, &module);
    log.Log(LOG_INFO, "last of the old year");
    clock.Set(MakeTime(2100, 1, 1, 0, 0, 0, 5));
    log.Log(LOG_INFO, "first of the new year");
    log.Log(LOG_INFO, "second of the new year");

    EXPECT_EQ((std::vector<std::string>{"zav000101.log", "zav991231.log"}),
              LogFilesIn(folder.path()));
    EXPECT_EQ("INFO     2099-12-31 23:59:59.999  " + Ids() + "last of the old year\r\n",
              FileText("zav991231.log"));
    EXPECT_EQ("INFO     2100-01-01 00:00:00.5    " + Ids() + "first of the new year\r\n" +
                  "INFO     2100-01-01 00:00:00.5    " + Ids() + "second of the new year\r\n",
              FileText("zav000101.log"));
}

// Each writer has its own handle and file position; every line must still land at the end
// that the file has when the line is written.
TEST_F(LogFile, LinesLandAtTheEndOthersLeft) {
    SteeredClock clock(MakeTime(2024, 3, 7, 12, 0, 0, 0));
    CLogFile first(config, &module);
    CLogFile second(config, &module);
    first.Log(LOG_INFO, "one");
    second.Log(LOG_INFO, "two");
    HANDLE other =
        ::CreateFileA((folder / "zav240307.log").c_str(), FILE_APPEND_DATA,
                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, other);
    DWORD written;
    ::WriteFile(other, "someone else\r\n", 14, &written, nullptr);
    ::CloseHandle(other);
    first.Log(LOG_INFO, "three");
    second.Log(LOG_INFO, "four");

    std::vector<std::string> messages;
    for (const std::string& line : LogLinesIn(folder.path()))
        messages.push_back(line == "someone else" ? line : zavtest::ParseLogLine(line).message);
    EXPECT_EQ((std::vector<std::string>{"one", "two", "someone else", "three", "four"}), messages);
}

// The copy owns the handles it took: destroying either object must leave the other able to
// write (a shared handle would be closed under it).
TEST_F(LogFile, ACopyTakesOverTheHandles) {
    auto original = std::make_unique<CLogFile>(config, &module);
    original->Log(LOG_INFO, "before the copy");
    {
        CLogFile copy(*original);
        original.reset();
        copy.Log(LOG_INFO, "through the copy");
        original = std::make_unique<CLogFile>(copy);
    }
    original->Log(LOG_INFO, "through the copy of the copy");
    CLogFile source(config, &module);
    source.Log(LOG_INFO, "source opened");
    { CLogFile taken(source); }
    source.Log(LOG_INFO, "source reopened");

    std::vector<std::string> messages;
    for (const std::string& line : LogLinesIn(folder.path()))
        messages.push_back(zavtest::ParseLogLine(line).message);
    EXPECT_EQ((std::vector<std::string>{"before the copy", "through the copy",
                                        "through the copy of the copy", "source opened",
                                        "source reopened"}),
              messages);
    EXPECT_TRUE(events.Events().empty());
}

TEST_F(LogFile, AnEmptyFolderNameIsReportedForEveryLine) {
    config.m_strLogPath.clear();
    CLogFile log(config, &module);
    log.Log(LOG_ERROR, "first %d", 1);
    log.Log(LOG_ERROR, "second %d", 2);

    std::vector<zavtest::ReportedEvent> reported = events.Events();
    ASSERT_EQ(2u, reported.size());
    for (size_t i = 0; i < 2; ++i) {
        const zavtest::ReportedEvent& event = reported[i];
        EXPECT_EQ("ZAVTest", event.source);
        EXPECT_EQ(EVENTLOG_ERROR_TYPE, event.type);
        EXPECT_EQ(0, event.category);
        EXPECT_EQ(0xC0000201u, event.id);
        ASSERT_EQ(3u, event.strings.size());
        zavtest::LogLineParts line = zavtest::ParseLogLine(event.strings[0]);
        EXPECT_EQ("ERROR", line.severity);
        EXPECT_EQ((i == 0 ? "first 1\r\n" : "second 2\r\n"), line.message);
        EXPECT_EQ("80004005", event.strings[1]);
        EXPECT_EQ("Log file path was not specified", event.strings[2]);
    }
    EXPECT_EQ(0, events.OpenSources()) << "every event source was deregistered";
}

TEST_F(LogFile, AFileThatCannotBeOpenedIsReported) {
    SteeredClock clock(MakeTime(2024, 3, 7, 12, 0, 0, 0));
    zavtest::WriteTextFile(folder / "plain-file", "");
    // Another program holds the day's file open without sharing it.
    zavtest::TempDir locked;
    HANDLE holder = ::CreateFileA((locked / "zav240307.log").c_str(), GENERIC_WRITE, 0, nullptr,
                                  CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, holder);
    struct Case {
        std::string folder;
        const char* code;
    };
    const Case cases[] = {{folder / "missing", "80070003"},
                          {folder / "plain-file", "80070003"},
                          {locked.path(), "80070020"}};
    for (const Case& c : cases) {
        events.Clear();
        config.m_strLogPath = c.folder;
        CLogFile log(config, &module);
        log.Log(LOG_ERROR, "lost");
        std::vector<zavtest::ReportedEvent> reported = events.Events();
        ASSERT_EQ(1u, reported.size()) << c.folder;
        const std::vector<std::string>& strings = reported[0].strings;
        ASSERT_EQ(3u, strings.size());
        EXPECT_EQ(c.code, strings[1]) << c.folder;
        std::string prefix =
            "An error occurred opening the log file [" + c.folder + "\\zav240307.log]: ";
        EXPECT_EQ(prefix, strings[2].substr(0, prefix.size()));
        EXPECT_GT(strings[2].size(), prefix.size()) << "the system's text follows";
        EXPECT_NE('\n', strings[2].back());
    }
    ::CloseHandle(holder);
}

TEST_F(LogFile, WithoutANameFailuresAreSilent) {
    config.m_strLogPath.clear();
    zavtest::TestModule nameless(nullptr);
    CLogFile(config, &nameless).Log(LOG_ERROR, "lost");
    CLogFile(config, nullptr).Log(LOG_ERROR, "lost");
    EXPECT_EQ(0, events.Registrations());

    events.RefuseSources(true);
    CLogFile(config, &module).Log(LOG_ERROR, "lost");
    EXPECT_EQ(1, events.Registrations());
    EXPECT_TRUE(events.Events().empty());
}

TEST_F(LogFile, ExceptionLinesCarryTheirTextVerbatim) {
    CLogFile log(config, &module);
    log.LogException(E_FAIL, "Bad value", "Complie");
    log.LogException(1, static_cast<const char*>(nullptr), nullptr);
    log.LogException(E_FAIL, "100% %s %d", "Complie");
    IErrorInfoPtr info = MakeErrorInfo("From the server");
    log.LogException(DISP_E_EXCEPTION, info, "Invoke");
    log.LogException(E_FAIL, static_cast<IErrorInfo*>(nullptr), "Invoke");

    EXPECT_EQ((std::vector<std::string>{
                  "Exception detected in Complie. HRESULT = 0x80004005 Description = [Bad value]",
                  "Exception detected in [unknown]. HRESULT = 0x1 Description = []",
                  "Exception detected in Complie. HRESULT = 0x80004005 Description = [100% %s %d]",
                  "Exception detected in Invoke. HRESULT = 0x80020009 Description = [From the "
                  "server]",
                  "Exception detected in Invoke. HRESULT = 0x80004005 Description = []"}),
              zavtest::MessagesIn(folder.path(), "ERROR"));
}

// When composing the line fails, a shorter line still reaches the file.
TEST_F(LogFile, ExceptionLinesFallBackWhenComposingThemFails) {
    SteeredClock clock(MakeTime(2024, 3, 7, 12, 0, 0, 0));
    CLogFile log(config, &module);
    log.Log(LOG_INFO, "opened");
    std::string opened = FileText("zav240307.log");
    std::string longText(5000, 'x');
    {
        zavtest::FailingAllocations failing(4096, size_t{1} << 20);
        log.LogException(E_FAIL, longText.c_str(), "Complie");
        EXPECT_GT(failing.Failed(), 0);
    }
    std::string direct = "ERROR: Second exception thrown while logging exception from [Complie]. "
                         "HRESULT=0x80004005, Description=[" +
                         longText;
    direct.resize(1023);
    EXPECT_EQ(opened + direct, FileText("zav240307.log"));

    // A description that cannot be converted is cut to 255 bytes, and the error information
    // stays the thread's.
    IErrorInfoPtr info = MakeErrorInfo(std::string(5000, 'y').c_str());
    ::SetErrorInfo(0, nullptr);
    {
        zavtest::FailingAllocations failing(4096, size_t{1} << 20);
        log.LogException(E_FAIL, info, "Invoke");
        EXPECT_GT(failing.Failed(), 0);
    }
    // The direct line has no line end of its own, so the next line follows it at once.
    std::string text = FileText("zav240307.log");
    std::string last = "Exception detected in Invoke. HRESULT = 0x80004005 Description = [" +
                       std::string(255, 'y') + "]\r\n";
    ASSERT_GT(text.size(), opened.size() + direct.size() + last.size());
    EXPECT_EQ("ERROR    ", text.substr(opened.size() + direct.size(), 9));
    EXPECT_EQ(last, text.substr(text.size() - last.size()));
    IErrorInfo* current = nullptr;
    ASSERT_EQ(S_OK, ::GetErrorInfo(0, &current));
    EXPECT_EQ(info.GetInterfacePtr(), current);
    current->Release();
}

} // namespace
