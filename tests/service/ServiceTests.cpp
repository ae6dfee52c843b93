// The service in-process: its configuration, the alarm store's journal and recovery, and files
// taken from a watched folder, charted once and moved on.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "AlarmStore.h"
#include "HostModule.h"
#include "Service.h"
#include "ServiceConfig.h"
#include "support/Files.h"

namespace {

using namespace zavservice;
using zavtest::FilesIn;
using zavtest::ReadWholeFile;
using zavtest::SplitLines;
using zavtest::TempDir;
using zavtest::WriteTextFile;

const std::string kQcp = ZAV_SOURCE_DIR "/sample-data/diameter-xbar-r.qcp";

// A configuration in `dir` whose [Line A] watches dir\drop; `extra` goes at the end, or into
// [Service] when it starts with "[Service]".
std::string Configure(const TempDir& dir, std::string extra = "") {
    ::CreateDirectoryA((dir / "drop").c_str(), nullptr);
    const bool service = extra.rfind("[Service]\n", 0) == 0;
    const std::string intoService = service ? extra.substr(10) : "";
    WriteTextFile(dir / "svc.ini", "[Service]\nStoreFolder=store\n" + intoService +
                                       "[Line A]\nFolder=drop\nQcp=" + kQcp +
                                       "\nProcessVars=Line\n" + (service ? "" : extra));
    return dir / "svc.ini";
}

TEST(ServiceConfig, EveryMistakeNamesTheFileTheSectionAndTheKey) {
    TempDir dir;
    const ServiceConfig good = LoadServiceConfig(Configure(dir));
    EXPECT_EQ(dir / "store", good.storeFolder);
    ASSERT_EQ(1u, good.folders.size());
    EXPECT_EQ("Line A|*.csv|Line|4", good.folders[0].name + "|" + good.folders[0].pattern + "|" +
                                         good.folders[0].processVariables.at(0) + "|" +
                                         std::to_string(good.folders[0].alarmKinds.size()));
    // Text appended to the good file | what the message must hold.
    const std::pair<const char*, const char*> rows[] = {
        {"Alarms=everything\n", "[Line A] Alarms: unknown alarm kind \"everything\""},
        {"IgnoreThreshold=high\n", "[Line A] IgnoreThreshold: \"high\" is not a number"},
        {"Colour=red\n", "[Line A] Colour: unknown key"},
        {"[Line B]\nQcp=x.qcp\n", "[Line B] Folder: missing; it is required"},
        {"[Line B]\nFolder=nowhere\n", "[Line B] Folder: \"nowhere\" is not a folder"},
        {"[Line B]\nFolder=drop\nQcp=none.qcp\n", "[Line B] Qcp: \"none.qcp\" is not a file"},
        {"[Service]\nLogLevel=LOUD\n", "[Service] LogLevel: \"LOUD\" is not one of"},
        {"[Service]\nWebhookUrl=ftp://x\n", "[Service] WebhookUrl: \"ftp://x\" is not an http"},
    };
    for (const auto& [extra, expected] : rows) {
        try {
            LoadServiceConfig(Configure(dir, extra));
            ADD_FAILURE() << "accepted: " << extra;
        } catch (const ConfigError& e) {
            EXPECT_NE(std::string::npos, std::string(e.what()).find(dir / "svc.ini " + expected))
                << e.what();
        }
    }
    WriteTextFile(dir / "bare.ini", "[Line A]\nFolder=drop\nQcp=" + kQcp + "\n");
    EXPECT_THROW(LoadServiceConfig(dir / "bare.ini"), ConfigError) << "no [Service]";
    EXPECT_THROW(LoadServiceConfig(dir / "missing.ini"), ConfigError);
}

TEST(AlarmStore, WhatNoCommitLineCoversIsCutAwayOnStart) {
    TempDir dir;
    std::string day;
    {
        AlarmStore store(dir / "store");
        store.Commit("Line A|a.csv|1|2", {"{\"a\":1}", "{\"a\":2}"});
        day = FilesIn(dir / "store", "alarms-*.jsonl").at(0);
    }
    // A kill after the next file's records and during its commit line, and a store file that
    // no commit names.
    const std::string storeFile = dir / "store" + "\\" + day;
    WriteTextFile(storeFile, ReadWholeFile(storeFile) + "{\"b\":1}\n{\"b\":");
    WriteTextFile(dir / "store\\journal.txt",
                  ReadWholeFile(dir / "store\\journal.txt") + "commit " + day + " 99");
    WriteTextFile(dir / "store\\alarms-20000101.jsonl", "{\"c\":1}\n");
    AlarmStore store(dir / "store");
    EXPECT_TRUE(store.Committed("Line A|a.csv|1|2"));
    EXPECT_EQ("{\"a\":1}\n{\"a\":2}\n", ReadWholeFile(storeFile));
    EXPECT_EQ(1u, SplitLines(ReadWholeFile(dir / "store\\journal.txt")).size());
    EXPECT_EQ("", ReadWholeFile(dir / "store\\alarms-20000101.jsonl"));
    EXPECT_EQ(AlarmId("k", 3), AlarmId("k", 3));
    EXPECT_NE(AlarmId("k", 3), AlarmId("l", 3));
}

TEST(Service, AFileIsTakenWhenItsWriterIsDoneChartedOnceAndMovedOn) {
    TempDir dir;
    const ServiceConfig config = LoadServiceConfig(Configure(dir));
    zavrun::HostModule module(dir.path(), "INFO");
    const std::string data = ReadWholeFile(ZAV_SOURCE_DIR "/sample-data/production.csv");
    WriteTextFile(dir / "drop\\a.csv", data);
    WriteTextFile(dir / "drop\\bad.csv", "a,b\n1,2\n\"open quote,3\n");
    HANDLE writer = ::CreateFileA((dir / "drop\\late.csv").c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                  nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    Service service(config, module);
    EXPECT_EQ(0, service.LookOnce()) << "sizes not yet seen twice";
    EXPECT_EQ(2, service.LookOnce()) << "late.csv is still open for writing";
    ::CloseHandle(writer);
    EXPECT_EQ(1, service.LookOnce()) << "late.csv, now closed and empty, fails";
    EXPECT_EQ((std::vector<std::string>{"a.csv"}), FilesIn(dir / "drop\\done", "*.csv"));
    EXPECT_EQ((std::vector<std::string>{"bad.csv", "bad.csv.error.txt", "late.csv",
                                        "late.csv.error.txt"}),
              FilesIn(dir / "drop\\failed", "*.csv*"));
    EXPECT_NE(std::string::npos,
              ReadWholeFile(dir / "drop\\failed\\bad.csv.error.txt").find("bad.csv"));
    const std::string day = FilesIn(dir / "store", "alarms-*.jsonl").at(0);
    const std::vector<std::string> records = SplitLines(ReadWholeFile(dir / "store\\" + day));
    ASSERT_EQ(638u, records.size()) << "as zavrun gives for the file";
    std::string source = dir / "drop\\a.csv";
    for (size_t at = 0; (at = source.find('\\', at)) != std::string::npos; at += 2)
        source.insert(at, 1, '\\'); // as JSON writes it
    EXPECT_NE(std::string::npos, records[0].find("\"sourceFile\":\"" + source + "\""));
    EXPECT_NE(std::string::npos, records.back().find("\"run\":2,\"alarmId\":\""));
    // The same file dropped again after its commit but before its move (a kill there) is only
    // moved on: its alarms are stored once.
    WriteTextFile(dir / "drop\\b.csv", data);
    WIN32_FILE_ATTRIBUTE_DATA attributes{};
    ::GetFileAttributesExA((dir / "drop\\b.csv").c_str(), GetFileExInfoStandard, &attributes);
    AlarmStore(config.storeFolder).Commit(FileKey("Line A", "b.csv", attributes), {"{}"});
    Service restarted(config, module);
    restarted.LookOnce();
    EXPECT_EQ(1, restarted.LookOnce());
    EXPECT_EQ(639u, SplitLines(ReadWholeFile(dir / "store\\" + day)).size());
    EXPECT_EQ((std::vector<std::string>{"a.csv", "b.csv"}), FilesIn(dir / "drop\\done", "*.csv"));
}

} // namespace
