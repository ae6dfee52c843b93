// Alarm records as JSON Lines: one UTF-8 object per record, every field, in record order.
#pragma once

#include <cstdio>
#include <string>

#include "ZAVTools.h"

namespace zavrun {

// UTF-8 of UTF-16 text; null gives the empty string.
std::string Utf8(const wchar_t* text);

// A JSON string literal (quotes included) of UTF-16 text; null gives null.
std::string JsonString(const wchar_t* text);

// {"charId":..,"alarmType":..,"processName":..,"sampleId":..,"description":..,"charDetails":..}
std::string AlarmJson(const QCAlarm& alarm);

} // namespace zavrun
