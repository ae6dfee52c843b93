// The service side of the alarm hand-over: every record is written out as one JSON line while
// the call lasts, since the records stay the CSpecManager's.
#pragma once

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "ZAVTools.h"

namespace zavrun {

// A record as a report shows it (UTF-8), and the index of its sample on the chart (-1: unknown).
struct AlarmRow {
    std::string type, sampleId, description, details;
    long sample = -1;
};

class AlarmService : public IZAVServerNotify {
public:
    // `out` stays the caller's; null counts the records without writing them.
    explicit AlarmService(FILE* out) : m_out(out) {}
    virtual ~AlarmService() = default;

    HRESULT __stdcall QueryInterface(REFIID iid, void** object) override;
    // The service lives on the host's stack: references are counted but never delete it.
    ULONG __stdcall AddRef() override { return ++m_refs; }
    ULONG __stdcall Release() override { return --m_refs; }
    HRESULT __stdcall NotifyAlarms(unsigned long long count, const QCAlarm* first) override;

    // Records received per alarm type since the last Reset.
    const std::map<std::string, int>& Counts() const { return m_counts; }
    int Total() const { return m_total; }
    // Every record also goes to `lines` as its JSON object (null: none); they stay the caller's.
    void CollectInto(std::vector<std::string>* lines) { m_lines = lines; }
    // The first `most` records since the last Reset are also kept as rows for a report.
    void KeepRows(size_t most) { m_mostRows = most; }
    std::vector<AlarmRow>& Rows() { return m_rows; }
    void Reset();

private:
    FILE* m_out;
    ULONG m_refs = 0;
    std::map<std::string, int> m_counts;
    int m_total = 0;
    size_t m_mostRows = 0;
    std::vector<std::string>* m_lines = nullptr;
    std::vector<AlarmRow> m_rows;
};

} // namespace zavrun
