#include "ProgressLine.h"

#include <windows.h>
#include <io.h>

namespace zavrun {
namespace {

constexpr auto kInterval = std::chrono::milliseconds(250);
constexpr auto kQuietStart = std::chrono::milliseconds(500); // short runs show no line at all
constexpr size_t kWidest = 79;

std::string Thousands(long long value) {
    std::string digits = std::to_string(value), text;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0 && digits[i - 1] != '-')
            text += ',';
        text += digits[i];
    }
    return text;
}

std::string Duration(double seconds) {
    const long long whole = static_cast<long long>(seconds + 0.5);
    char text[32];
    if (whole >= 3600)
        snprintf(text, sizeof text, "%lld:%02lld:%02lld", whole / 3600, whole / 60 % 60,
                 whole % 60);
    else
        snprintf(text, sizeof text, "%lld:%02lld", whole / 60, whole % 60);
    return text;
}

} // namespace

bool ProgressLine::IsConsole(FILE* out) {
    DWORD mode = 0;
    const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(out)));
    return handle != INVALID_HANDLE_VALUE && ::GetConsoleMode(handle, &mode);
}

ProgressLine::ProgressLine(FILE* out, bool enabled, IRefApplicationPtr source, long totalCases)
    : m_out(out), m_source(std::move(source)), m_totalCases(totalCases) {
    if (enabled && m_source)
        m_thread = std::thread([this] { Loop(); });
}

ProgressLine::~ProgressLine() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable())
        m_thread.join();
    Clear();
}

void ProgressLine::StartRun(int run, const std::string& name, long firstCase, long lastCase,
                            int alarmsBefore) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_run = run;
    m_name = name;
    m_firstCase = firstCase;
    m_lastCase = lastCase;
    m_alarmsBefore = alarmsBefore;
    m_running = true;
    if (m_source)
        m_source->GetProgress(&m_stale);
}

void ProgressLine::Clear() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_running = false;
    if (m_shown == 0)
        return;
    fprintf(m_out, "\r%*s\r", static_cast<int>(m_shown), "");
    fflush(m_out);
    m_shown = 0;
}

// Called with the mutex held.
std::string ProgressLine::Text() {
    RefProgress now{};
    m_source->GetProgress(&now);
    const bool started = now.samples != m_stale.samples ||
                         now.samplesWalked != m_stale.samplesWalked ||
                         now.alarmEvents != m_stale.alarmEvents;
    const long blockCases = m_lastCase - m_firstCase + 1;
    const long charted =
        m_firstCase - 1 +
        (started && now.samples > 0 ? static_cast<long>(static_cast<long long>(blockCases) *
                                                        now.samplesWalked / now.samples)
                                    : 0);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - m_began).count();
    const double rate = seconds > 0 ? charted / seconds : 0;
    std::string text = "run " + std::to_string(m_run) + (m_name.empty() ? "" : " " + m_name) +
                       ": " + Thousands(charted) + " of " + Thousands(m_totalCases) + " cases, " +
                       Thousands(m_alarmsBefore + (started ? now.alarmEvents : 0)) + " alarms, " +
                       Thousands(static_cast<long long>(rate)) + " cases/s";
    if (rate > 0)
        text += ", " + Duration((m_totalCases - charted) / rate) + " left";
    return text.size() > kWidest ? text.substr(0, kWidest) : text;
}

void ProgressLine::Loop() {
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!m_wake.wait_for(lock, kInterval, [this] { return m_stopping; })) {
        if (!m_running || std::chrono::steady_clock::now() - m_began < kQuietStart)
            continue;
        const std::string text = Text();
        fprintf(m_out, "\r%s%*s", text.c_str(),
                static_cast<int>(m_shown > text.size() ? m_shown - text.size() : 0), "");
        fflush(m_out);
        m_shown = std::max(m_shown, text.size());
    }
}

} // namespace zavrun
