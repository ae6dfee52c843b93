// The service over many files: sample production files of 4,000 cases dropped into a watched
// folder all at once, then one at a time, with zavservice running as its own process. Measures
// files per second and each file's latency from its arrival (its move into the folder) to its
// commit in the alarm store, against zavrun's time for the same file.
//
// ZAV_BENCH_SERVICE_FILES sets the number of files of each round (200 by default).
#include <windows.h>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "BenchResult.h"
#include "ZAVTools.h"
#include "support/Files.h"

namespace {

using Clock = std::chrono::steady_clock;

std::string Beside(const std::string& name) {
    char path[MAX_PATH];
    const DWORD length = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path, length);
    return folder.substr(0, folder.find_last_of('\\')) + "\\" + name;
}

// Runs a program to its end, output to `log`; its wall time in seconds.
double Run(const std::string& command, const std::string& folder, PROCESS_INFORMATION* keep) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::string line = command;
    const auto start = Clock::now();
    if (!::CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                          &startup, &process)) {
        fprintf(stderr, "cannot start %s\n", command.c_str());
        exit(1);
    }
    if (keep) {
        *keep = process;
        return 0;
    }
    ::WaitForSingleObject(process.hProcess, INFINITE);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The files the journal has committed, by name ("commit STORE END COUNT Folder|NAME|...").
std::vector<std::string> Committed(const std::string& journal) {
    std::vector<std::string> names;
    const std::string text = zavtest::ReadWholeFile(journal);
    for (size_t at = 0; (at = text.find('|', at)) != std::string::npos;) {
        const size_t end = text.find('|', at + 1);
        names.push_back(text.substr(at + 1, end - at - 1));
        at = text.find('\n', end);
    }
    return names;
}

struct Round {
    std::vector<double> latencies; // seconds, per file
    double seconds = 0;            // from the first arrival to the last commit
};

// Drops `files` copies (all at once, or each after the last one's commit) and waits for their
// commits, polling the journal.
Round Drop(const std::string& dir, const std::string& data, int files, bool atOnce,
           const std::string& prefix) {
    std::map<std::string, Clock::time_point> arrived;
    Round round;
    size_t seen = Committed(dir + "\\store\\journal.txt").size();
    const auto first = Clock::now();
    auto drop = [&](int i) {
        const std::string name = prefix + std::to_string(1000 + i) + ".csv";
        ::CopyFileA(data.c_str(), (dir + "\\" + name).c_str(), FALSE);
        arrived[name] = Clock::now();
        ::MoveFileA((dir + "\\" + name).c_str(), (dir + "\\drop\\" + name).c_str());
    };
    auto wait = [&](size_t until) {
        while (seen < until) {
            const std::vector<std::string> names = Committed(dir + "\\store\\journal.txt");
            for (; seen < names.size(); ++seen)
                round.latencies.push_back(
                    std::chrono::duration<double>(Clock::now() - arrived[names[seen]]).count());
            ::Sleep(10);
        }
    };
    const size_t base = seen;
    for (int i = 0; i < files; ++i) {
        drop(i);
        if (!atOnce)
            wait(base + i + 1);
    }
    wait(base + files);
    round.seconds = std::chrono::duration<double>(Clock::now() - first).count();
    std::sort(round.latencies.begin(), round.latencies.end());
    return round;
}

double Percentile(const std::vector<double>& sorted, double p) {
    return sorted.empty() ? NAN : sorted[std::min(sorted.size() - 1, size_t(p * sorted.size()))];
}

} // namespace

int main() {
    const int files =
        getenv("ZAV_BENCH_SERVICE_FILES") ? atoi(getenv("ZAV_BENCH_SERVICE_FILES")) : 200;
    char temp[MAX_PATH];
    ::GetTempPathA(MAX_PATH, temp);
    const std::string dir =
        std::string(temp) + "zav-service-bench-" + std::to_string(::GetCurrentProcessId());
    ::CreateDirectoryA(dir.c_str(), nullptr);
    ::CreateDirectoryA((dir + "\\drop").c_str(), nullptr);
    const std::string data = ZAV_SOURCE_DIR "/sample-data/production.csv";
    const std::string qcp = ZAV_SOURCE_DIR "/sample-data/diameter-xbar-r.qcp";
    FILE* config = fopen((dir + "\\bench.ini").c_str(), "wb");
    fprintf(config,
            "[Service]\nStoreFolder=store\nLogLevel=ERROR\n[Line]\nFolder=drop\nQcp=%s\n"
            "ProcessVars=Line\n",
            qcp.c_str());
    fclose(config);

    double zavrun = 1e9; // the best of three
    for (int i = 0; i < 3; ++i)
        zavrun = std::min(zavrun, Run("\"" + Beside("..\\zavrun\\zavrun.exe") + "\" --data \"" +
                                          data + "\" --qcp \"" + qcp +
                                          "\" --process-vars Line --out a.jsonl --quiet",
                                      dir, nullptr));
    PROCESS_INFORMATION service{};
    Run("\"" + Beside("..\\zavrun\\zavservice.exe") + "\" run --config bench.ini", dir, &service);
    ::Sleep(2000);
    const Round atOnce = Drop(dir, data, files, true, "once");
    const Round oneByOne = Drop(dir, data, files, false, "single");
    ::TerminateProcess(service.hProcess, 0); // safe at any instant: everything is committed
    ::WaitForSingleObject(service.hProcess, 10000);
    ::CloseHandle(service.hThread);
    ::CloseHandle(service.hProcess);
    RecurseRemoveDirectory(dir.c_str());

    using zavbench::PrintResult;
    const std::string n = std::to_string(files);
    PrintResult("zavrun: one sample file (4,000 cases), whole process", zavrun, "s");
    PrintResult(("service: " + n + " files dropped at once").c_str(), files / atOnce.seconds,
                "files/s", files / atOnce.seconds * zavrun, "zavrun one after another (files/s)");
    PrintResult("service: at once, latency median", Percentile(atOnce.latencies, 0.5), "s");
    PrintResult("service: at once, latency 99th percentile", Percentile(atOnce.latencies, 0.99),
                "s");
    PrintResult(("service: " + n + " files one at a time, latency median").c_str(),
                Percentile(oneByOne.latencies, 0.5), "s",
                Percentile(oneByOne.latencies, 0.5) / zavrun, "zavrun's time for the file (s)");
    PrintResult("service: one at a time, latency 99th percentile",
                Percentile(oneByOne.latencies, 0.99), "s");
    return 0;
}
