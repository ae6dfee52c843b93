// Several processes of the service share one day's file and one named mutex. The other
// processes here are real: zavchild.exe, started by the test.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ZAVTools.h"
#include "logging/LogTestSupport.h"
#include "support/ChildProcess.h"
#include "support/EventLogRecorder.h"
#include "support/LoggedModule.h"

namespace {

using zavtest::ChildProcess;
using zavtest::NamedEvent;

std::string Child() {
    return zavtest::BesideThisExecutable("zavchild.exe");
}

// A child that owns the log's named mutex until told what to do.
class MutexHolder {
public:
    explicit MutexHolder(const char* then)
        : m_owned("owned"), m_release("release"),
          m_child(Child(), "hold " + m_owned.name() + " " + m_release.name() + " " + then) {}

    bool WaitUntilOwned() { return m_owned.Wait(30000); }
    void Release() { m_release.Set(); }
    ChildProcess& process() { return m_child; }

private:
    NamedEvent m_owned;
    NamedEvent m_release;
    ChildProcess m_child;
};

TEST(CrossProcess, ConcurrentWritersKeepEveryLineWholeAndInOrder) {
    const int writers = 4, count = 250;
    zavtest::TempDir folder;
    NamedEvent start("start");
    std::vector<std::unique_ptr<ChildProcess>> children;
    std::map<unsigned long, std::string> tagOfProcess;
    for (int i = 0; i < writers; ++i) {
        std::string tag = "writer" + std::to_string(i);
        children.push_back(std::make_unique<ChildProcess>(
            Child(), "write \"" + folder.path() + "\" " + std::to_string(count) + " " + tag + " " +
                         start.name()));
        tagOfProcess[children.back()->Id()] = tag;
    }
    start.Set();
    for (auto& child : children) {
        ASSERT_TRUE(child->Wait(120000));
        EXPECT_EQ(0u, child->ExitCode());
    }

    std::vector<std::string> files = zavtest::LogFilesIn(folder.path());
    ASSERT_FALSE(files.empty());
    std::string text = zavtest::ReadWholeFile(folder / files.back());
    ASSERT_EQ(std::string("\r\n"), text.substr(text.size() - 2)) << "the last line is whole";
    std::map<std::string, int> lastOfTag;
    int total = 0;
    for (const std::string& line : zavtest::LogLinesIn(folder.path())) {
        zavtest::LogLineParts parts = zavtest::ParseLogLine(line);
        ASSERT_EQ("INFO", parts.severity) << line;
        ASSERT_EQ(1u, tagOfProcess.count(parts.process)) << line;
        const std::string& tag = tagOfProcess[parts.process];
        ASSERT_EQ(tag.size() + 7, parts.message.size()) << line;
        ASSERT_EQ(tag + " ", parts.message.substr(0, tag.size() + 1)) << line;
        int number = std::stoi(parts.message.substr(tag.size() + 1));
        ASSERT_EQ(lastOfTag[tag] + 1, number) << "lines of one process stay in order: " << line;
        lastOfTag[tag] = number;
        ++total;
    }
    EXPECT_EQ(writers * count, total);
}

TEST(CrossProcess, AWriterThatDiesOwningTheMutexDoesNotStopTheOthers) {
    zavtest::EventLogRecorder events;
    zavtest::LoggedModule module("TRACE");
    for (const char* end : {"terminate", "exit", "crash"}) {
        MutexHolder holder(end);
        ASSERT_TRUE(holder.WaitUntilOwned()) << end;
        if (std::string(end) == "terminate")
            holder.process().Terminate(9);
        else
            holder.Release();
        ASSERT_TRUE(holder.process().Wait(30000)) << end;
        ModuleLog(module, LOG_INFO, "after %s", end);
    }
    ChildProcess writer(Child(), "write \"" + module.folder.path() + "\" 3 child");
    ASSERT_TRUE(writer.Wait(30000));
    ModuleLog(module, LOG_INFO, "last");

    EXPECT_EQ((std::vector<std::string>{"after terminate", "after exit", "after crash",
                                        "child 000001", "child 000002", "child 000003", "last"}),
              module.Messages("INFO"));
    EXPECT_TRUE(events.Events().empty());
}

TEST(CrossProcess, AMutexHeldPastTheTimeOutDropsTheLineAndReportsIt) {
    zavtest::EventLogRecorder events;
    zavtest::LoggedModule module("TRACE");
    MutexHolder holder("release");
    ASSERT_TRUE(holder.WaitUntilOwned());
    {
        zavtest::SteeredWaits waits(300);
        ModuleLog(module, LOG_ERROR, "dropped");
    }
    holder.Release();
    ASSERT_TRUE(holder.process().Wait(30000));
    ModuleLog(module, LOG_ERROR, "written");

    EXPECT_EQ(std::vector<std::string>{"written"}, module.Messages("ERROR"));
    std::vector<zavtest::ReportedEvent> reported = events.Events();
    ASSERT_EQ(1u, reported.size());
    EXPECT_EQ(0xC0000201u, reported[0].id);
    ASSERT_EQ(3u, reported[0].strings.size());
    EXPECT_EQ("dropped\r\n", zavtest::ParseLogLine(reported[0].strings[0]).message);
    EXPECT_EQ("a0040600", reported[0].strings[1]);
    EXPECT_EQ("CLogFile::LogV cannot get mutex ownership due to time-out", reported[0].strings[2]);
    EXPECT_NE(nullptr, module.m_pLogFile) << "a time-out keeps the log object";
}

} // namespace
