// The service in-process: its configuration, the alarm store's journal and recovery, and files
// taken from a watched folder, charted once and moved on.
#include <gtest/gtest.h>

#include <winsock2.h>
#include <windows.h>

#include <chrono>
#include <map>
#include <random>
#include <regex>
#include <thread>
#include <memory>
#include <string>
#include <vector>

#include "AlarmStore.h"
#include "FileCharting.h"
#include "HostModule.h"
#include "Service.h"
#include "ServiceControl.h"
#include "ServiceConfig.h"
#include "Webhook.h"
#include "support/ChildProcess.h"
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
                                         good.folders[0].options.processVariables.at(0) + "|" +
                                         std::to_string(good.folders[0].options.alarmKinds.size()));
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

// build/zavrun/zavservice.exe with these arguments; its exit code and what it printed.
std::pair<DWORD, std::string> Zavservice(const TempDir& dir, const std::string& arguments) {
    zavtest::ChildProcess child(zavtest::BesideThisExecutable("..\\zavrun\\zavservice.exe"),
                                arguments, dir.path(), dir / "output.txt");
    EXPECT_TRUE(child.Wait(60000)) << arguments;
    return {child.ExitCode(), ReadWholeFile(dir / "output.txt")};
}

struct ServiceHandleCloser {
    void operator()(SC_HANDLE handle) const { ::CloseServiceHandle(handle); }
};
using ServiceHandle = std::unique_ptr<std::remove_pointer_t<SC_HANDLE>, ServiceHandleCloser>;

// Polls the service's state until it is `wanted` (at most `seconds`); the seconds it took.
double WaitForState(SC_HANDLE service, DWORD wanted, double seconds) {
    const auto start = std::chrono::steady_clock::now();
    SERVICE_STATUS status{};
    auto elapsed = [&] {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    while (::QueryServiceStatus(service, &status) && status.dwCurrentState != wanted &&
           elapsed() < seconds)
        ::Sleep(20);
    return status.dwCurrentState == wanted ? elapsed() : -1;
}

TEST(ServiceControl, InstalledItRunsUnderTheManagerTakesFilesAndStops) {
    TempDir dir;
    const std::string config = Configure(dir);
    // Installed and removed from this process, as `zavservice install` and `uninstall` do. The
    // manager of a new Wine prefix can lose a service made in its first seconds (the service's
    // key is there, the manager does not know it): then it is made again.
    // Wine starts its manager for the first process that asks, and the manager keeps that
    // process's standard handles: asked first by a child whose output goes nowhere, it does not
    // hold the test runner's output open after the test.
    zavtest::ChildProcess first("C:\\windows\\system32\\sc.exe", "query", "", "NUL");
    ASSERT_TRUE(first.Wait(60000));
    const std::string exe = zavtest::BesideThisExecutable("..\\zavrun\\zavservice.exe");
    ServiceHandle manager, service;
    for (int attempt = 0; attempt < 4 && !service; ++attempt) {
        try {
            InstallService(config, exe);
        } catch (const std::runtime_error&) { // left over, or lost
            try {
                UninstallService();
            } catch (const std::runtime_error&) {
            }
            ::Sleep(2000);
            continue;
        }
        manager.reset(::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
        service.reset(::OpenServiceA(manager.get(), "zavservice", SERVICE_ALL_ACCESS));
    }
    ASSERT_TRUE(service) << ::GetLastError();
    // The manager of a new Wine prefix keeps its database locked while it starts its own
    // services, and gives the first service it starts more time to come up than it waits: it
    // is asked again until the service runs.
    for (int start = 0; start < 60 && WaitForState(service.get(), SERVICE_RUNNING, 0) < 0;
         ++start, ::Sleep(500))
        if (::StartServiceA(service.get(), 0, nullptr) ||
            ::GetLastError() == ERROR_SERVICE_ALREADY_RUNNING)
            WaitForState(service.get(), SERVICE_RUNNING, 20);
    ASSERT_LE(0, WaitForState(service.get(), SERVICE_RUNNING, 0)) << ::GetLastError();
    ::CopyFileA(ZAV_SOURCE_DIR "/sample-data/production.csv", (dir / "drop\\a.csv").c_str(), FALSE);
    for (int i = 0; i < 300 && FilesIn(dir / "drop\\done", "*.csv").empty(); ++i)
        ::Sleep(100);
    EXPECT_EQ((std::vector<std::string>{"a.csv"}), FilesIn(dir / "drop\\done", "*.csv"));
    // A stop while a long file is charted: the chart ends at its next cancel query, and the
    // file stays for the next start with nothing of it stored.
    const std::vector<std::string> rows =
        SplitLines(ReadWholeFile(ZAV_SOURCE_DIR "/sample-data/production.csv"));
    std::string big = rows[0] + "\n";
    for (int copy = 0; copy < 10; ++copy)
        for (size_t row = 1; row < rows.size(); ++row)
            big += rows[row] + "\n";
    WriteTextFile(dir / "big.part", big);
    ::MoveFileA((dir / "big.part").c_str(), (dir / "drop\\big.csv").c_str());
    ::Sleep(1500);
    SERVICE_STATUS status{};
    ASSERT_TRUE(::ControlService(service.get(), SERVICE_CONTROL_STOP, &status));
    const double stopped = WaitForState(service.get(), SERVICE_STOPPED, 20);
    EXPECT_LE(0, stopped) << "stopped";
    printf("the service stopped %.2f s after the manager's stop\n", stopped);
    EXPECT_EQ((std::vector<std::string>{"big.csv"}), FilesIn(dir / "drop", "*.csv"));
    EXPECT_NE(std::string::npos, ReadWholeFile(dir / FilesIn(dir.path(), "zav*.log").at(0))
                                     .find("big.csv: stopped, it stays for the next start"));
    EXPECT_EQ(1u, SplitLines(ReadWholeFile(dir / "store\\journal.txt")).size());
    service.reset();
    EXPECT_NO_THROW(UninstallService());
    EXPECT_FALSE(ServiceHandle(::OpenServiceA(manager.get(), "zavservice", SERVICE_QUERY_STATUS)));
    const auto bad = Zavservice(dir, "install --config missing.ini");
    EXPECT_EQ("1 zavservice: missing.ini: no such file",
              std::to_string(bad.first) + " " + SplitLines(bad.second).at(0));
}

// Forty files of 1,000 cases each (from the sample data, each from another batch on), the service
// killed at a dozen seeded instants while it works and started again each time: at the end every
// file is in done\, and the store holds each file's alarms once, as many as zavrun's core gives.
TEST(ServiceCrash, KilledAnywhereItNeitherLosesNorRepeatsAFilesAlarms) {
    TempDir dir;
    const ServiceConfig config = LoadServiceConfig(Configure(dir));
    const std::vector<std::string> lines =
        SplitLines(ReadWholeFile(ZAV_SOURCE_DIR "/sample-data/production.csv"));
    // Per file, its records as zavrun's core gives them (the fields before the service's own).
    std::map<std::string, std::vector<std::string>> expected;
    auto ownFields = [](const std::string& record) {
        return record.substr(0, record.find(",\"sourceFile\":"));
    };
    {
        zavrun::HostModule module(dir.path(), "ERROR");
        for (int i = 0; i < 40; ++i) {
            std::string text = lines[0] + "\n";
            for (int row = 1 + i * 75; row < 1 + i * 75 + 1000; ++row)
                text += lines[row] + "\n";
            const std::string name = "f" + std::to_string(100 + i) + ".csv";
            WriteTextFile(dir / name, text);
            for (const std::string& record :
                 ChartFile(config.folders[0], dir / name, "", module).records)
                expected[name].push_back(ownFields(record));
            ::MoveFileA((dir / name).c_str(), (dir / "drop\\" + name).c_str());
        }
    }
    std::mt19937 random(20241206);
    for (int kill = 0; kill <= 12; ++kill) {
        zavtest::ChildProcess service(zavtest::BesideThisExecutable("..\\zavrun\\zavservice.exe"),
                                      "run --config \"" + dir / "svc.ini" + "\"", dir.path(),
                                      dir / "service.txt");
        if (kill < 12) {
            ::Sleep(std::uniform_int_distribution<DWORD>(200, 1000)(random));
            service.Terminate(9);
            continue;
        }
        printf("%zu of 40 files done after 12 kills\n",
               FilesIn(dir / "drop\\done", "*.csv").size());
        for (int i = 0; i < 600 && !FilesIn(dir / "drop", "*.csv").empty(); ++i)
            ::Sleep(100);
        ::Sleep(500); // a last commit's move
    }
    EXPECT_EQ(40u, FilesIn(dir / "drop\\done", "*.csv").size());
    EXPECT_EQ(40u, SplitLines(ReadWholeFile(dir / "store\\journal.txt")).size())
        << "one commit per file";
    EXPECT_TRUE(FilesIn(dir / "drop\\failed", "*").size() <= 2) << "only . and ..";
    std::map<std::string, std::map<int, std::string>> stored; // per file, by alarm number
    const std::regex fields(
        ".*\"sourceFile\":\".*\\\\(f\\d+\\.csv)\".*\"alarmId\":\"[0-9a-f]+-(\\d+)\"\\}");
    for (const std::string& day : FilesIn(dir / "store", "alarms-*.jsonl"))
        for (const std::string& record : SplitLines(ReadWholeFile(dir / "store\\" + day))) {
            std::smatch match;
            ASSERT_TRUE(std::regex_match(record, match, fields)) << record;
            EXPECT_TRUE(stored[match[1]].emplace(std::stoi(match[2]), ownFields(record)).second)
                << "stored twice: " << record;
        }
    for (const auto& [name, records] : expected) {
        std::vector<std::string> got;
        for (const auto& [number, record] : stored[name])
            got.push_back(std::to_string(number) + " " + record);
        std::vector<std::string> want;
        for (size_t i = 0; i < records.size(); ++i)
            want.push_back(std::to_string(i + 1) + " " + records[i]);
        EXPECT_EQ(want, got) << name;
    }
}

// An HTTP receiver on 127.0.0.1: it answers 503 to the first `refusals` requests and 200 after,
// keeping the bodies it took; while down nothing listens.
class Receiver {
public:
    explicit Receiver(int refusals) : m_refusals(refusals) {
        WSADATA data;
        ::WSAStartup(MAKEWORD(2, 2), &data);
        Up();
    }
    ~Receiver() {
        Down();
        ::WSACleanup();
    }
    unsigned short Port() const { return m_port; }
    void Up() {
        m_listener = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        const BOOL reuse = TRUE;
        ::setsockopt(m_listener, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&reuse),
                     sizeof reuse);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(m_port);
        ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
        int length = sizeof address;
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length);
        m_port = ntohs(address.sin_port);
        ::listen(m_listener, 4);
        m_thread = std::thread([this] { Serve(); });
    }
    void Down() {
        ::closesocket(m_listener);
        if (m_thread.joinable())
            m_thread.join();
    }
    std::string Taken() const { return m_taken; }

private:
    void Serve() {
        for (SOCKET client; (client = ::accept(m_listener, nullptr, nullptr)) != INVALID_SOCKET;) {
            std::string request;
            char buffer[4096];
            size_t headers = std::string::npos, needed = 0;
            for (int got; (got = ::recv(client, buffer, sizeof buffer, 0)) > 0;) {
                request.append(buffer, got);
                if (headers == std::string::npos &&
                    (headers = request.find("\r\n\r\n")) != std::string::npos) {
                    const size_t at = request.find("Content-Length: ");
                    needed = headers + 4 + (at < headers ? std::stoul(request.substr(at + 16)) : 0);
                }
                if (headers != std::string::npos && request.size() >= needed)
                    break;
            }
            const bool refuse = m_refusals-- > 0;
            if (!refuse)
                m_taken += request.substr(headers + 4);
            const std::string answer = refuse ? "HTTP/1.1 503 Busy\r\n" : "HTTP/1.1 200 OK\r\n";
            const std::string reply = answer + "Content-Length: 0\r\nConnection: close\r\n\r\n";
            ::send(client, reply.data(), static_cast<int>(reply.size()), 0);
            ::closesocket(client);
        }
    }

    int m_refusals;
    unsigned short m_port = 0;
    SOCKET m_listener = INVALID_SOCKET;
    std::thread m_thread;
    std::string m_taken;
};

TEST(Webhook, EveryAlarmArrivesThoughTheReceiverRefusesAndIsDownAWhile) {
    TempDir dir;
    Receiver receiver(2);
    {
        Outbox outbox(dir / "store");
        outbox.Add("Line A|a.csv|1|2", dir / "a.csv",
                   {"{\"alarmId\":\"a-1\"}", "{\"alarmId\":\"a-2\"}"});
        outbox.Add("Line A|b.csv|1|2", dir / "b.csv", {"{\"alarmId\":\"b-1\"}"});
    }
    Outbox outbox(dir / "store"); // the documents wait across a restart
    WebhookSender sender("http://127.0.0.1:" + std::to_string(receiver.Port()) + "/alarms", outbox);
    std::string error, errors;
    for (int attempt = 0; attempt < 2; ++attempt) {
        EXPECT_EQ(0, sender.SendPending(error));
        errors += error + "; ";
    }
    receiver.Down();
    EXPECT_EQ(0, sender.SendPending(error));
    EXPECT_NE(std::string::npos, error.find("sending failed")) << error;
    receiver.Up();
    EXPECT_EQ(2, sender.SendPending(error)) << error;
    EXPECT_EQ("the receiver answered 503; the receiver answered 503; ", errors);
    EXPECT_TRUE(outbox.Pending().empty());
    const std::string taken = receiver.Taken();
    for (const std::string id : {"\"a-1\"", "\"a-2\"", "\"b-1\""}) {
        size_t times = 0;
        for (size_t at = 0; (at = taken.find(id, at)) != std::string::npos; at += id.size())
            ++times;
        EXPECT_EQ(1u, times) << id << " in " << taken;
    }
    EXPECT_NE(std::string::npos, taken.find("{\"sourceFile\":\"")) << taken;
}

} // namespace
