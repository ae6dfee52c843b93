// How fast the shared log writes, beside what the platform's calls for one line cost.
//
//   bench_log                    runs every measurement and prints the figures and ratios
//   bench_log writer DIR N EVENT one of the four concurrent writers (started by the above)
//
// Every measurement writes lines of the same length into files of one temporary folder.
#include <windows.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "BenchResult.h"
#include "ZAVTools.h"

namespace {

constexpr int kLines = 3000;
constexpr int kChunk = 50;
constexpr int kWriters = 4;
constexpr int kFilteredLines = 2000000;
constexpr int kGuardedLines = 100000;
constexpr int kRounds = 3;
// The message of every written line; with the columns before it a line is 121 bytes long.
const std::string kPadding(66, 'x');

class BenchModule : public CBaseZAVModule {
public:
    const char* GetServiceName() override { return "ZAVBench"; }
    HRESULT Start() override { return S_OK; }
    HRESULT Stop() override { return S_OK; }
    long OnFatalException(long, win32_exception*, const char*) override { return 0; }
};

class Stopwatch {
public:
    Stopwatch() {
        ::QueryPerformanceFrequency(&m_frequency);
        ::QueryPerformanceCounter(&m_start);
    }
    double Seconds() const {
        LARGE_INTEGER now;
        ::QueryPerformanceCounter(&now);
        return double(now.QuadPart - m_start.QuadPart) / double(m_frequency.QuadPart);
    }

private:
    LARGE_INTEGER m_frequency, m_start;
};

std::string MakeFolder() {
    char base[MAX_PATH];
    ::GetTempPathA(MAX_PATH, base);
    std::string folder = std::string(base) + "zavbench-" + std::to_string(::GetCurrentProcessId());
    ::CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

void RemoveFolder(const std::string& folder) {
    WIN32_FIND_DATAA entry;
    HANDLE search = ::FindFirstFileA((folder + "\\*").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
        do
            ::DeleteFileA((folder + "\\" + entry.cFileName).c_str());
        while (::FindNextFileA(search, &entry));
        ::FindClose(search);
    }
    ::RemoveDirectoryA(folder.c_str());
}

void WriteLines(const CLogFile& log, int count) {
    for (int i = 0; i < count; ++i)
        log.Log(LOG_TRACE, "%s %06d", kPadding.c_str(), i);
}

// A line exactly as long as the lines CLogFile writes.
std::string PreformattedLine() {
    std::string line = "TRACE    2024-03-07 09:05:01.123  1234  5678  " + kPadding + " 000001";
    return line + "\r\n";
}

// Lines through CLogFile::Log at level TRACE.
class LogWriter {
public:
    explicit LogWriter(const std::string& folder)
        : m_config{folder, "TRACE"}, m_log(m_config, &m_module) {
        WriteLines(m_log, 10); // the file and the mutex are opened outside the measurement
    }
    void Write(int count) { WriteLines(m_log, count); }

private:
    CZAVConfig m_config;
    BenchModule m_module;
    CLogFile m_log;
};

// The calls that one line needs, and nothing else, with a preformatted line.
class FloorWriter {
public:
    explicit FloorWriter(const std::string& folder)
        : m_mutex(::CreateMutexA(nullptr, FALSE, "{6E2D91A7-3B4C-4F85-8A10-D7C3B25E9F46}")),
          m_file(::CreateFileA((folder + "\\floor.log").c_str(), GENERIC_READ | GENERIC_WRITE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr)),
          m_line(PreformattedLine()) {}
    ~FloorWriter() {
        ::CloseHandle(m_file);
        ::CloseHandle(m_mutex);
    }
    void Write(int count) {
        for (int i = 0; i < count; ++i) {
            ::WaitForSingleObject(m_mutex, 10000);
            LARGE_INTEGER size;
            ::GetFileSizeEx(m_file, &size);
            ::SetFilePointerEx(m_file, size, nullptr, FILE_BEGIN);
            DWORD written;
            ::WriteFile(m_file, m_line.data(), static_cast<DWORD>(m_line.size()), &written,
                        nullptr);
            ::FlushFileBuffers(m_file);
            ::ReleaseMutex(m_mutex);
        }
    }

private:
    HANDLE m_mutex;
    HANDLE m_file;
    std::string m_line;
};

class BareWriter {
public:
    explicit BareWriter(const std::string& folder)
        : m_file(::CreateFileA((folder + "\\bare.log").c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                               nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)),
          m_line(PreformattedLine()) {}
    ~BareWriter() { ::CloseHandle(m_file); }
    void Write(int count) {
        for (int i = 0; i < count; ++i) {
            DWORD written;
            ::WriteFile(m_file, m_line.data(), static_cast<DWORD>(m_line.size()), &written,
                        nullptr);
            ::FlushFileBuffers(m_file);
        }
    }

private:
    HANDLE m_file;
    std::string m_line;
};

template <typename Writer> double Timed(Writer& writer, int count) {
    Stopwatch watch;
    writer.Write(count);
    return watch.Seconds();
}

struct PerLine {
    double log = 0, floor = 0, bare = 0;
};

// The three single-process measurements in alternating chunks, so that the disk's slow and
// fast moments (the flush dominates every line) fall on all three alike.
PerLine SingleProcess(const std::string& folder) {
    LogWriter log(folder);
    FloorWriter floor(folder);
    BareWriter bare(folder);
    PerLine total;
    for (int chunk = 0; chunk < kLines / kChunk; ++chunk) {
        if (chunk % 2 == 0) {
            total.log += Timed(log, kChunk);
            total.floor += Timed(floor, kChunk);
            total.bare += Timed(bare, kChunk);
        } else {
            total.bare += Timed(bare, kChunk);
            total.floor += Timed(floor, kChunk);
            total.log += Timed(log, kChunk);
        }
    }
    return {total.log / kLines, total.floor / kLines, total.bare / kLines};
}

double FilteredLine(const std::string& folder) {
    CZAVConfig config{folder, "ERROR"};
    BenchModule module;
    CLogFile log(config, &module);
    Stopwatch watch;
    for (int i = 0; i < kFilteredLines; ++i)
        log.Log(LOG_TRACE, "%s %06d", kPadding.c_str(), i);
    return watch.Seconds() / kFilteredLines;
}

// A filtered line through the host module (ModuleLog), which takes the module's log guard, a
// mutex, before the level is known: the cost of every trace of a larger operation at a level
// below TRACE.
double FilteredModuleLine(const std::string& folder) {
    CZAVConfig config{folder, "ERROR"};
    BenchModule module;
    module.m_hLogMutex = ::CreateMutexA(nullptr, FALSE, nullptr);
    module.m_pLogFile = new CLogFile(config, &module);
    Stopwatch watch;
    for (int i = 0; i < kGuardedLines; ++i)
        ModuleLog(module, LOG_TRACE, "%s %06d", kPadding.c_str(), i);
    const double seconds = watch.Seconds() / kGuardedLines;
    delete module.m_pLogFile;
    ::CloseHandle(module.m_hLogMutex);
    return seconds;
}

// Lines per second of four processes writing at once.
double LogFourProcesses(const std::string& folder) {
    char self[MAX_PATH];
    ::GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string eventName = "zavbench-start-" + std::to_string(::GetCurrentProcessId());
    HANDLE start = ::CreateEventA(nullptr, TRUE, FALSE, eventName.c_str());
    std::vector<PROCESS_INFORMATION> writers(kWriters);
    for (PROCESS_INFORMATION& writer : writers) {
        std::string line = "\"" + std::string(self) + "\" writer \"" + folder + "\" " +
                           std::to_string(kLines) + " " + eventName;
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        ::CreateProcessA(self, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                         &writer);
    }
    ::Sleep(500); // every writer is waiting for the start, its file and mutex open
    Stopwatch watch;
    ::SetEvent(start);
    for (PROCESS_INFORMATION& writer : writers) {
        ::WaitForSingleObject(writer.hProcess, INFINITE);
        ::CloseHandle(writer.hThread);
        ::CloseHandle(writer.hProcess);
    }
    double seconds = watch.Seconds();
    ::CloseHandle(start);
    return kWriters * kLines / seconds;
}

int Writer(const char* folder, int count, const char* eventName) {
    CZAVConfig config{folder, "TRACE"};
    BenchModule module;
    CLogFile log(config, &module);
    WriteLines(log, 1);
    HANDLE start = ::OpenEventA(SYNCHRONIZE, FALSE, eventName);
    ::WaitForSingleObject(start, 30000);
    ::CloseHandle(start);
    WriteLines(log, count);
    return 0;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 5 && std::string(argv[1]) == "writer")
        return Writer(argv[2], atoi(argv[3]), argv[4]);

    std::string folder = MakeFolder();
    PerLine single;
    std::vector<double> four, filtered, guarded;
    for (int round = 0; round < kRounds; ++round) {
        PerLine measured = SingleProcess(folder);
        single.log += measured.log / kRounds;
        single.floor += measured.floor / kRounds;
        single.bare += measured.bare / kRounds;
        four.push_back(LogFourProcesses(folder));
        filtered.push_back(FilteredLine(folder));
        guarded.push_back(FilteredModuleLine(folder));
    }
    RemoveFolder(folder);

    double logLine = single.log, floorLine = single.floor, bareLine = single.bare;
    printf("Log benchmark: %d lines of %zu bytes per measurement and round, %d rounds\n", kLines,
           PreformattedLine().size(), kRounds);
    printf("  CLogFile::Log, one process      %8.0f lines/s  %8.2f us/line\n", 1 / logLine,
           logLine * 1e6);
    printf("  CLogFile::Log, four processes   %8.0f lines/s  %8.2f us/line\n", Median(four),
           1e6 / Median(four));
    printf("  platform floor (mutex, size, seek, write, flush) %8.2f us/line\n", floorLine * 1e6);
    printf("  bare WriteFile + FlushFileBuffers                %8.2f us/line\n", bareLine * 1e6);
    printf("  line filtered out by the level                   %8.1f ns/line\n",
           Median(filtered) * 1e9);
    printf("  the same through ModuleLog (log guard)           %8.1f ns/line\n",
           Median(guarded) * 1e9);
    printf("  ratio Log / platform floor   %.3f  (target at most 1.15)\n", logLine / floorLine);
    printf("  ratio Log / bare write       %.3f\n", logLine / bareLine);
    printf("  ratio four processes / one   %.3f  (throughput)\n", Median(four) * logLine);

    using zavbench::PrintResult;
    PrintResult("log: CLogFile::Log, one process", logLine * 1e6, "us/line", logLine / floorLine,
                "platform floor (us/line; target at most 1.15)");
    PrintResult("log: CLogFile::Log, four processes at once", Median(four), "lines/s",
                Median(four) * logLine, "one process (lines/s)");
    PrintResult("log: platform floor (mutex, size, seek, write, flush)", floorLine * 1e6, "us/line",
                floorLine / bareLine, "bare write and flush (us/line)");
    PrintResult("log: bare WriteFile + FlushFileBuffers", bareLine * 1e6, "us/line");
    PrintResult("log: line filtered out by the level", Median(filtered) * 1e9, "ns/line");
    PrintResult("log: line filtered out by the level, through ModuleLog", Median(guarded) * 1e9,
                "ns/line", Median(guarded) / Median(filtered), "CLogFile alone (ns/line)");
    return 0;
}
