#include "reliability/Generator.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace zavtest {

uint64_t ReliabilitySeed() {
    const char* chosen = getenv("ZAV_RELIABILITY_SEED");
    return chosen && *chosen ? strtoull(chosen, nullptr, 10) : 20240307;
}

std::string Generator::Bytes(size_t count) {
    std::string bytes(count, '\0');
    for (char& byte : bytes)
        byte = static_cast<char>(Below(256));
    return bytes;
}

std::string Generator::Printable(size_t count, const char* excluded) {
    std::string text;
    while (text.size() < count) {
        const char c = static_cast<char>(Between(0x20, 0x7E));
        if (!strchr(excluded, c))
            text += c;
    }
    return text;
}

std::string Generator::RandomCase(const std::string& text) {
    std::string mixed = text;
    for (char& c : mixed)
        if (Chance(30))
            c = static_cast<char>(isupper(static_cast<unsigned char>(c))
                                      ? tolower(static_cast<unsigned char>(c))
                                      : toupper(static_cast<unsigned char>(c)));
    return mixed;
}

std::wstring Generator::ForeignText(size_t units) {
    // Ranges of printable characters; the ANSI code pages hold some of them and not others.
    static const std::vector<std::pair<wchar_t, wchar_t>> kRanges = {
        {L'A', L'Z'},     {L'a', L'z'},     {L'0', L'9'},     {0x00C0, 0x00FF},
        {0x0391, 0x03C9}, {0x0410, 0x044F}, {0x05D0, 0x05EA}, {0x4E00, 0x4E80},
        {0x3041, 0x3093}, {0xAC00, 0xAC40}, {0x20AC, 0x20AC}, {0x2018, 0x201E}};
    std::wstring text;
    while (text.size() < units) {
        const uint64_t kind = Below(20);
        if (kind == 0) { // a character beyond the BMP: a surrogate pair
            text += static_cast<wchar_t>(0xD83D);
            text += static_cast<wchar_t>(Between(0xDE00, 0xDE4F));
        } else if (kind == 1) { // half a pair on its own
            text += static_cast<wchar_t>(Chance(50) ? Between(0xD800, 0xDBFF)
                                                    : Between(0xDC00, 0xDFFF));
        } else {
            const auto range = Pick(kRanges);
            text += static_cast<wchar_t>(Between(range.first, range.second));
        }
    }
    return text;
}

Watchdog::Watchdog(DWORD milliseconds, std::function<std::string()> where)
    : m_thread([this, milliseconds, where = std::move(where)] {
          std::unique_lock<std::mutex> hold(m_lock);
          if (m_done.wait_for(hold, std::chrono::milliseconds(milliseconds),
                              [this] { return m_finished; }))
              return;
          fprintf(stderr, "\nWATCHDOG: no end after %lu ms: %s\n", milliseconds, where().c_str());
          fflush(stderr);
          ::TerminateProcess(::GetCurrentProcess(), 3);
      }) {}

Watchdog::~Watchdog() {
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_finished = true;
    }
    m_done.notify_one();
    m_thread.join();
}

std::string Narrow(const std::wstring& text) {
    if (text.empty())
        return std::string();
    const int units = static_cast<int>(text.size());
    const int bytes =
        ::WideCharToMultiByte(CP_ACP, 0, text.data(), units, nullptr, 0, nullptr, nullptr);
    std::string narrow(bytes, '\0');
    ::WideCharToMultiByte(CP_ACP, 0, text.data(), units, narrow.data(), bytes, nullptr, nullptr);
    return narrow;
}

std::wstring Wide(const std::string& text) {
    if (text.empty())
        return std::wstring();
    const int bytes = static_cast<int>(text.size());
    const int units = ::MultiByteToWideChar(CP_ACP, 0, text.data(), bytes, nullptr, 0);
    std::wstring wide(units, L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, text.data(), bytes, wide.data(), units);
    return wide;
}

} // namespace zavtest
