// One line of progress on the console while the runs go on, rewritten in place a few times a
// second: the run, cases charted of all, alarms so far, cases per second and the time left.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>

#include <RefServer.h>

namespace zavrun {

class ProgressLine {
public:
    // Shows nothing when `enabled` is false or `source` is null; `totalCases` are all the runs'.
    ProgressLine(FILE* out, bool enabled, IRefApplicationPtr source, long totalCases);
    ~ProgressLine();
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    // A run starts with these cases; `alarmsBefore` are the earlier runs' alarms.
    void StartRun(int run, const std::string& name, long firstCase, long lastCase,
                  int alarmsBefore);
    // Takes the line off the console, so that a summary can be printed where it was; it comes
    // back with the next run.
    void Clear();

    // Whether the stream is a console (not a file or a pipe).
    static bool IsConsole(FILE* out);

private:
    void Loop();
    std::string Text();

    FILE* m_out;
    IRefApplicationPtr m_source;
    long m_totalCases;
    const std::chrono::steady_clock::time_point m_began = std::chrono::steady_clock::now();
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stopping = false, m_running = false;
    int m_run = 0, m_alarmsBefore = 0;
    std::string m_name;
    long m_firstCase = 0, m_lastCase = 0;
    RefProgress m_stale{}; // the readout of the last run, until this one's Launch starts
    size_t m_shown = 0;    // characters of the line on the console
    std::thread m_thread;
};

} // namespace zavrun
