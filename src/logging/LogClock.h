// The log's one source of the local time and its file-name policy. Every reading of the time
// goes through LocalNow (GetLocalTime), so that a test can move the clock across midnight by
// intercepting that one import.
#pragma once

#include <windows.h>

namespace zav {

SYSTEMTIME LocalNow();

bool IsSameDay(const SYSTEMTIME& a, const SYSTEMTIME& b);

// "zavYYMMDD.log" for the day of `when`.
void FormatLogFileName(const SYSTEMTIME& when, char (&name)[32]);

// "YYYY-MM-DD hh:mm:ss.m" with the milliseconds not padded (7 ms gives ".7").
void FormatTimestamp(const SYSTEMTIME& when, char (&text)[32]);

} // namespace zav
