#include "ZAVTools/QCAlarm.h"

#include <cstdlib>
#include <cwchar>
#include <new>
#include <utility>

#include "failure/BadAllocation.h"

namespace {

wchar_t* Duplicate(const wchar_t* text) {
    if (!text)
        return nullptr;
    wchar_t* copy = _wcsdup(text);
    if (!copy)
        throw zav::BadAllocation();
    return copy;
}

// A heap block of the thread's ANSI text as UTF-16, or null when it cannot be converted.
wchar_t* Widen(const char* text) {
    int units = ::MultiByteToWideChar(CP_THREAD_ACP, 0, text, -1, nullptr, 0);
    if (units <= 0)
        return nullptr;
    auto wide = static_cast<wchar_t*>(malloc(units * sizeof(wchar_t)));
    if (!wide)
        throw zav::BadAllocation();
    ::MultiByteToWideChar(CP_THREAD_ACP, 0, text, -1, wide, units);
    return wide;
}

} // namespace

// Delegating to the default constructor makes the destructor free what was copied so far
// when a later duplicate fails.
QCAlarm::QCAlarm(const QCAlarm& other) : QCAlarm() {
    *this = other;
}

QCAlarm::QCAlarm(QCAlarm&& other) noexcept : QCAlarm() {
    *this = std::move(other);
}

QCAlarm& QCAlarm::operator=(const QCAlarm& other) {
    if (this != &other) {
        QCAlarm copy;
        copy.charId = other.charId;
        copy.alarmType = Duplicate(other.alarmType);
        copy.processName = Duplicate(other.processName);
        copy.sampleId = Duplicate(other.sampleId);
        copy.description = Duplicate(other.description);
        copy.charDetails = Duplicate(other.charDetails);
        *this = std::move(copy);
    }
    return *this;
}

QCAlarm& QCAlarm::operator=(QCAlarm&& other) noexcept {
    if (this != &other) {
        Clear();
        charId = std::exchange(other.charId, 0);
        alarmType = std::exchange(other.alarmType, nullptr);
        processName = std::exchange(other.processName, nullptr);
        sampleId = std::exchange(other.sampleId, nullptr);
        description = std::exchange(other.description, nullptr);
        charDetails = std::exchange(other.charDetails, nullptr);
    }
    return *this;
}

QCAlarm::~QCAlarm() {
    Clear();
}

void QCAlarm::Clear() noexcept {
    for (wchar_t** field : {&alarmType, &processName, &sampleId, &description, &charDetails}) {
        free(*field);
        *field = nullptr;
    }
    charId = 0;
}

void QCAlarm::SetString(wchar_t*& field, const char* text) {
    wchar_t* wide = text ? Widen(text) : nullptr;
    free(field);
    field = wide;
}

void QCAlarm::SetString(wchar_t*& field, const wchar_t* text) {
    wchar_t* copy = Duplicate(text);
    free(field);
    field = copy;
}
