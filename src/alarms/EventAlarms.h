// The records that one alarm event adds to a spec manager's alarm list.
#pragma once

#include <cstdlib>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "ZAVTools/QCAlarm.h"

struct SpecManagerImpl;

namespace zav {

struct FreeWideText {
    void operator()(wchar_t* text) const noexcept { free(text); }
};
// A wide text in a C runtime heap block, as a record field holds it; may be null.
using WideText = std::unique_ptr<wchar_t, FreeWideText>;

// Builds the records of one event. What every record of the event shares (alarm type, process
// name, the characteristic name when no auxiliary data goes with it) is converted once, and
// each record then gets its own copies, so a record costs its strings and nothing more.
class EventAlarms {
public:
    // An event that can grow the list by half or more reserves room for all its records at
    // once, so that a large event leaves the list at its exact size (still a geometric growth,
    // so appends stay amortised constant); smaller events grow it as push_back does.
    EventAlarms(SpecManagerImpl& state, const wchar_t* alarmType, size_t most);
    // Gives back what such a reservation did not fill (samples ignored or dropped).
    ~EventAlarms();
    EventAlarms(const EventAlarms&) = delete;
    EventAlarms& operator=(const EventAlarms&) = delete;

    // A working record: characteristic id, alarm type and process name.
    QCAlarm Start() const;
    void FillSampleId(QCAlarm& alarm, const wchar_t* label, int caseNumber);
    // "first - last"; the last sample's identity is looked up first.
    void FillRunId(QCAlarm& alarm, const wchar_t* firstLabel, int firstCase,
                   const wchar_t* lastLabel, int lastCase);
    void FillRunsTestName(QCAlarm& alarm, long code);
    // The characteristic name and the auxiliary data of the case, trimmed.
    void FillCharDetails(QCAlarm& alarm, int caseNumber) const;
    // Appends the record to the alarm list.
    void Keep(QCAlarm&& alarm);
    // Appends both records or, when the list cannot grow, neither.
    void Keep(QCAlarm&& first, QCAlarm&& second);

private:
    void MakeRoom(size_t count);

    SpecManagerImpl& m_state;
    bool m_reserved = false;
    const wchar_t* m_alarmType;
    WideText m_processName;
    WideText m_sharedDetails;
    // Reused for every element, so identities cost no allocation once they have grown.
    std::wstring m_firstId;
    std::wstring m_lastId;
    std::vector<std::pair<long, WideText>> m_testNames;
};

} // namespace zav
