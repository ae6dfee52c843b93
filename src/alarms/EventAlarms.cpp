#include "alarms/EventAlarms.h"

#include <algorithm>
#include <atlstr.h>

#include "alarms/AlarmTexts.h"
#include "alarms/SpecManagerImpl.h"

namespace zav {

namespace {

// Narrow text converted as a record field converts it (the thread's ANSI code page).
WideText Widened(const char* text) {
    wchar_t* wide = nullptr;
    QCAlarm::SetString(wide, text);
    return WideText(wide);
}

} // namespace

EventAlarms::EventAlarms(SpecManagerImpl& state, const wchar_t* alarmType, size_t most)
    : m_state(state), m_alarmType(alarmType),
      m_processName(Widened(state.m_strProcessName.c_str())) {
    if (state.m_auxDataVars.empty()) {
        CString name = state.m_strCharName;
        m_sharedDetails = Widened(name.Trim().GetString());
    }
    std::vector<QCAlarm>& alarms = state.m_alarms;
    if (2 * most >= alarms.size() && alarms.capacity() - alarms.size() < most) {
        alarms.reserve(alarms.size() + most);
        m_reserved = true;
    }
}

EventAlarms::~EventAlarms() {
    std::vector<QCAlarm>& alarms = m_state.m_alarms;
    if (m_reserved && alarms.capacity() > alarms.size())
        alarms.shrink_to_fit();
}

QCAlarm EventAlarms::Start() const {
    QCAlarm alarm;
    alarm.charId = m_state.m_nCharId;
    QCAlarm::SetString(alarm.alarmType, m_alarmType);
    QCAlarm::SetString(alarm.processName, m_processName.get());
    return alarm;
}

void EventAlarms::FillSampleId(QCAlarm& alarm, const wchar_t* label, int caseNumber) {
    if (BuildSampleId(m_state, label, caseNumber, m_firstId))
        QCAlarm::SetString(alarm.sampleId, m_firstId.c_str());
}

void EventAlarms::FillRunId(QCAlarm& alarm, const wchar_t* firstLabel, int firstCase,
                            const wchar_t* lastLabel, int lastCase) {
    // A null identity reads as empty text here.
    BuildSampleId(m_state, lastLabel, lastCase, m_lastId);
    BuildSampleId(m_state, firstLabel, firstCase, m_firstId);
    m_firstId.append(L" - ").append(m_lastId);
    QCAlarm::SetString(alarm.sampleId, m_firstId.c_str());
}

void EventAlarms::FillRunsTestName(QCAlarm& alarm, long code) {
    auto known = std::find_if(m_testNames.begin(), m_testNames.end(),
                              [code](const auto& entry) { return entry.first == code; });
    if (known == m_testNames.end()) {
        m_testNames.emplace_back(code, Widened(RunsTestName(code).GetString()));
        known = std::prev(m_testNames.end());
    }
    QCAlarm::SetString(alarm.description, known->second.get());
}

void EventAlarms::FillCharDetails(QCAlarm& alarm, int caseNumber) const {
    if (m_state.m_auxDataVars.empty()) {
        QCAlarm::SetString(alarm.charDetails, m_sharedDetails.get());
        return;
    }
    CString text = m_state.m_strCharName;
    const CString aux = AuxDataText(m_state, caseNumber);
    if (!text.IsEmpty() && !aux.IsEmpty())
        text += "; ";
    text += aux;
    QCAlarm::SetString(alarm.charDetails, text.Trim().GetString());
}

void EventAlarms::MakeRoom(size_t count) {
    std::vector<QCAlarm>& alarms = m_state.m_alarms;
    if (alarms.capacity() - alarms.size() < count)
        alarms.reserve(std::max(alarms.size() + count, 2 * alarms.size()));
}

void EventAlarms::Keep(QCAlarm&& alarm) {
    m_state.m_alarms.push_back(std::move(alarm));
}

void EventAlarms::Keep(QCAlarm&& first, QCAlarm&& second) {
    MakeRoom(2);
    // Moving a record cannot fail, and there is room for both.
    m_state.m_alarms.push_back(std::move(first));
    m_state.m_alarms.push_back(std::move(second));
}

} // namespace zav
