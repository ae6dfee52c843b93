// Times the sample host over a large production file: zavrun runs as its own process, as it
// would in production, and this program watches its memory while it runs.
//
//   zavrun_bench DATA.csv PROJECT.qcp
//
// Prints the cases per second of the whole run (loading, compilation, the chart, every alarm
// handed to the service and written as JSON) and the peak committed memory beside the file's size.
#include <windows.h>
#include <psapi.h>
#include <cstdio>
#include <string>

#include "BenchResult.h"

namespace {

std::string BesideThisProgram(const std::string& name) {
    char path[MAX_PATH];
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path);
    return folder.substr(0, folder.rfind('\\') + 1) + name;
}

long long FileSize(const char* path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExA(path, GetFileExInfoStandard, &data))
        return -1;
    return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

long long CountCases(const char* path) {
    FILE* file = fopen(path, "rb");
    if (!file)
        return 0;
    long long lines = 0;
    char buffer[1 << 16];
    for (size_t read; (read = fread(buffer, 1, sizeof buffer, file)) > 0;)
        for (size_t i = 0; i < read; ++i)
            lines += buffer[i] == '\n';
    fclose(file);
    return lines - 1; // the header row
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        fprintf(stderr, "usage: zavrun_bench DATA.csv PROJECT.qcp\n");
        return 2;
    }
    const long long bytes = FileSize(argv[1]);
    const long long cases = CountCases(argv[1]);
    if (bytes <= 0 || cases <= 0) {
        fprintf(stderr, "zavrun_bench: %s: no data\n", argv[1]);
        return 1;
    }
    char temp[MAX_PATH];
    ::GetTempPathA(MAX_PATH, temp);
    const std::string output = std::string(temp) + "zavrun_bench.jsonl";
    std::string command = "\"" + BesideThisProgram("..\\zavrun\\zavrun.exe") + "\" --data \"" +
                          argv[1] + "\" --qcp \"" + argv[2] + "\" --out \"" + output +
                          "\" --log-dir \"" + temp + "\" --log-level WARNING";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    LARGE_INTEGER frequency, start, end;
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&start);
    if (!::CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, &process)) {
        fprintf(stderr, "zavrun_bench: cannot start zavrun\n");
        return 1;
    }
    SIZE_T peakPrivate = 0; // committed private bytes, as the platform counts them for a process
    while (::WaitForSingleObject(process.hProcess, 20) == WAIT_TIMEOUT) {
        PROCESS_MEMORY_COUNTERS memory{};
        memory.cb = sizeof memory;
        if (::GetProcessMemoryInfo(process.hProcess, &memory, sizeof memory) &&
            memory.PagefileUsage > peakPrivate)
            peakPrivate = memory.PagefileUsage;
    }
    ::QueryPerformanceCounter(&end);
    DWORD exitCode = 1;
    ::GetExitCodeProcess(process.hProcess, &exitCode);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    const long long alarms = CountCases(output.c_str()) + 1;
    ::DeleteFileA(output.c_str());
    if (exitCode != 0) {
        fprintf(stderr, "zavrun_bench: zavrun failed with exit code %lu\n", exitCode);
        return 1;
    }
    const double seconds = static_cast<double>(end.QuadPart - start.QuadPart) / frequency.QuadPart;
    const double megabytes = peakPrivate / 1048576.0, fileMegabytes = bytes / 1048576.0;
    printf("zavrun over %lld cases (%.1f MB of CSV): %.2f s, %.0f cases/s, %lld alarms\n", cases,
           fileMegabytes, seconds, cases / seconds, alarms);
    printf("  peak committed memory %.1f MB, %.2f times the file's size\n", megabytes,
           megabytes / fileMegabytes);
    zavbench::PrintResult("zavrun: the whole QC of the file, all alarm kinds", cases / seconds,
                          "cases/s");
    zavbench::PrintResult("zavrun: peak committed memory", megabytes, "MB",
                          megabytes / fileMegabytes, "the CSV file's size (MB)");
    return 0;
}
