#include "AlarmService.h"

#include "JsonLines.h"

namespace zavrun {

HRESULT AlarmService::QueryInterface(REFIID iid, void** object) {
    if (!object)
        return E_POINTER;
    if (iid != IID_IUnknown && iid != __uuidof(IZAVServerNotify)) {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    *object = static_cast<IZAVServerNotify*>(this);
    AddRef();
    return S_OK;
}

HRESULT AlarmService::NotifyAlarms(unsigned long long count, const QCAlarm* first) {
    if (count > 0 && !first)
        return E_POINTER;
    for (unsigned long long i = 0; i < count; ++i) {
        const QCAlarm& alarm = first[i];
        if (m_out) {
            std::string line = AlarmJson(alarm);
            line += '\n';
            if (fwrite(line.data(), 1, line.size(), m_out) != line.size()) {
                MakeErrorInfo("The alarm output file cannot be written");
                return HRESULT_FROM_WIN32(ERROR_WRITE_FAULT);
            }
        }
        if (m_lines)
            m_lines->push_back(AlarmJson(alarm));
        if (m_rows.size() < m_mostRows)
            m_rows.push_back({Utf8(alarm.alarmType), Utf8(alarm.sampleId), Utf8(alarm.description),
                              Utf8(alarm.charDetails)});
        ++m_counts[Utf8(alarm.alarmType)];
        ++m_total;
    }
    if (m_out)
        fflush(m_out);
    return S_OK;
}

void AlarmService::Reset() {
    m_counts.clear();
    m_total = 0;
    m_rows.clear();
}

} // namespace zavrun
