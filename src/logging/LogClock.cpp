#include "logging/LogClock.h"

#include <cstdio>

namespace zav {

SYSTEMTIME LocalNow() {
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    return now;
}

bool IsSameDay(const SYSTEMTIME& a, const SYSTEMTIME& b) {
    return a.wYear == b.wYear && a.wMonth == b.wMonth && a.wDay == b.wDay;
}

void FormatLogFileName(const SYSTEMTIME& when, char (&name)[32]) {
    snprintf(name, sizeof name, "zav%.2d%.2hu%.2hu.log", when.wYear % 100, when.wMonth, when.wDay);
}

void FormatTimestamp(const SYSTEMTIME& when, char (&text)[32]) {
    snprintf(text, sizeof text, "%.4hu-%.2hu-%.2hu %.2hu:%.2hu:%.2hu.%hu", when.wYear, when.wMonth,
             when.wDay, when.wHour, when.wMinute, when.wSecond, when.wMilliseconds);
}

} // namespace zav
