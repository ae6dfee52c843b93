// Seeded generation of bad input for the reliability tests, and a watchdog that turns a hang
// into a failure that names the case.
//
// The seed is fixed, so that every run checks the same cases; ZAV_RELIABILITY_SEED (decimal)
// picks another one for a longer hunt. Every test prints its seed and case count, and a failure
// names the case, so that any failing case can be had again.
#pragma once

#include <windows.h>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace zavtest {

uint64_t ReliabilitySeed();

class Generator {
public:
    explicit Generator(uint64_t seed) : m_engine(seed) {}

    // Uniform in [0, bound).
    uint64_t Below(uint64_t bound) { return bound ? m_engine() % bound : 0; }
    int Between(int low, int high) { return low + static_cast<int>(Below(high - low + 1)); }
    bool Chance(int percent) { return Below(100) < static_cast<uint64_t>(percent); }
    template <typename T> T Pick(const std::vector<T>& items) { return items[Below(items.size())]; }
    std::string Bytes(size_t count);
    // Printable ASCII without the characters in `excluded`.
    std::string Printable(size_t count, const char* excluded = "");
    // The same letters, each in a random case.
    std::string RandomCase(const std::string& text);
    // UTF-16 text without white space, NUL or control characters: Latin, Greek, Cyrillic,
    // Hebrew, CJK, Hangul, the euro sign, characters beyond the BMP (surrogate pairs) and
    // lone surrogates.
    std::wstring ForeignText(size_t units);

private:
    std::mt19937_64 m_engine;
};

// Fails the whole test program, with `where()` in the message, when it is not destroyed within
// `milliseconds`: a case that hangs cannot be abandoned any other way.
class Watchdog {
public:
    Watchdog(DWORD milliseconds, std::function<std::string()> where);
    ~Watchdog();
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

private:
    std::mutex m_lock;
    std::condition_variable m_done;
    bool m_finished = false;
    std::thread m_thread;
};

// The system ANSI code page's form of `text`, as the library converts texts for its narrow
// strings, and back.
std::string Narrow(const std::wstring& text);
std::wstring Wide(const std::string& text);

} // namespace zavtest
