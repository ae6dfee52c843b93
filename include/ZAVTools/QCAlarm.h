// QCAlarm: one alarm record as the service receives it. Its layout is fixed (48 bytes on x64)
// because the service reads an array of them.
#pragma once

#include <windows.h>
#include <cstddef>

#include "Export.h"

// Each string is NUL-terminated UTF-16 in a heap block of its own (malloc/free of the C
// runtime), owned by the record; any of them may be null.
struct ZAVTOOLS_API QCAlarm {
    int charId = 0;
    wchar_t* alarmType = nullptr;
    wchar_t* processName = nullptr;
    wchar_t* sampleId = nullptr;
    wchar_t* description = nullptr;
    wchar_t* charDetails = nullptr;

    QCAlarm() noexcept = default;
    QCAlarm(const QCAlarm& other);
    QCAlarm(QCAlarm&& other) noexcept;
    QCAlarm& operator=(const QCAlarm& other);
    QCAlarm& operator=(QCAlarm&& other) noexcept;
    ~QCAlarm();

    // Frees the five strings and zeroes every field.
    void Clear() noexcept;

    // Stores a copy of narrow `text` converted from the thread's ANSI code page. Null text, or
    // text that cannot be converted, leaves the field null.
    static void SetString(wchar_t*& field, const char* text);
    // Stores a copy of wide `text` unchanged (null stays null).
    static void SetString(wchar_t*& field, const wchar_t* text);
};

static_assert(sizeof(void*) != 8 || sizeof(QCAlarm) == 48, "QCAlarm crosses to the service");
static_assert(sizeof(void*) != 8 || offsetof(QCAlarm, charId) == 0, "QCAlarm layout");
static_assert(sizeof(void*) != 8 || offsetof(QCAlarm, alarmType) == 8, "QCAlarm layout");
static_assert(sizeof(void*) != 8 || offsetof(QCAlarm, processName) == 16, "QCAlarm layout");
static_assert(sizeof(void*) != 8 || offsetof(QCAlarm, sampleId) == 24, "QCAlarm layout");
static_assert(sizeof(void*) != 8 || offsetof(QCAlarm, description) == 32, "QCAlarm layout");
static_assert(sizeof(void*) != 8 || offsetof(QCAlarm, charDetails) == 40, "QCAlarm layout");
