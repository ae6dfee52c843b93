// Speed and memory of the alarm handlers: one out-of-control event of 100,000 samples with X
// and R parts and a sample identity of two spreadsheet columns, then one runs-violation event
// of 100,000 runs, through the in-memory chart server and spreadsheet.
//
// Memory is the growth of the C runtime heap (walked block by block) over one event, divided
// by the records the event kept, and set against what the records must hold: 48 bytes each and
// their five strings. The fakes record no calls here, so nothing else stays on the heap.
#include <windows.h>
#include <objbase.h>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "ZAVTools.h"
#include "BenchResult.h"
#include "alarms/HeapUsage.h"
#include "support/FakeChartServer.h"
#include "support/FakeSpreadsheet.h"
#include "support/SafeArrays.h"
#include "support/SpecManagerTestAccess.h"

namespace {

using zavbench::HeapUsage;
using zavtest::SafeArray;

constexpr long kCount = 100000;
constexpr long kDateVar = 1, kBatchVar = 2;

std::wstring Numbered(const wchar_t* format, long number) {
    wchar_t text[64];
    swprintf(text, 64, format, number);
    return text;
}

size_t StringBytes(const wchar_t* text) {
    return text ? (wcslen(text) + 1) * sizeof(wchar_t) : 0;
}

size_t StringBytes(const QCAlarm& alarm) {
    return StringBytes(alarm.alarmType) + StringBytes(alarm.processName) +
           StringBytes(alarm.sampleId) + StringBytes(alarm.description) +
           StringBytes(alarm.charDetails);
}

class Stopwatch {
public:
    Stopwatch() { ::QueryPerformanceCounter(&m_start); }
    double Seconds() const {
        LARGE_INTEGER now, frequency;
        ::QueryPerformanceCounter(&now);
        ::QueryPerformanceFrequency(&frequency);
        return static_cast<double>(now.QuadPart - m_start.QuadPart) / frequency.QuadPart;
    }

private:
    LARGE_INTEGER m_start;
};

// A spreadsheet of 5 cases per sample, whose samples are identified by a date and a batch
// column, and a chart server that knows every sample.
struct Data {
    zavtest::FakeSpreadsheet sheet;
    zavtest::FakeChartServer chart;
    std::vector<std::string> wanted;
    std::vector<std::wstring> labels, keys;

    Data() {
        sheet.record = chart.record = false;
        sheet.textOf = [](long caseNumber, long var) {
            return var == kDateVar ? Numbered(L"2024-05-%02ld 06:00", 1 + caseNumber / 5 % 28)
                                   : Numbered(L"B%06ld", caseNumber / 5);
        };
        for (long i = 0; i < kCount; ++i) {
            labels.push_back(Numbered(L"%ld", i + 1));
            keys.push_back(L"Diameter");
            const long index = chart.AddSample(labels.back(), keys.back(), 5.0 * i);
            zavtest::FakeChartServer::Sample& sample = chart.samples[index];
            sample.xMeasure = 12.7 + i % 7 * 0.013;
            sample.xControl = {10.02, 12.48};
            sample.rMeasure = 4.25;
            sample.rControl = {0, 3.5};
        }
    }
};

// A spec manager set up as the QCP compilation would: both charts, all runs tests, the
// identity from the date and batch columns.
struct Specs {
    CSpecManager specs;
    SpecManagerImpl& state = CSpecManagerTestAccess::State(specs);

    explicit Specs(Data& data)
        : specs(data.sheet.Ptr(), data.wanted, 4711, 0, false, 0.0, nullptr) {
        state.m_bProcessSampleOutOfControl = true;
        state.m_bProcessRunsViolation = true;
        state.m_nCheckAlarmFor = 3;
        state.m_nSampleVar = -1;
        state.m_autoUpdateColumns = {kDateVar, kBatchVar};
        state.m_runsTests = {0, 1, 2, 3, 4, 5, 6};
        state.m_strCharName = "Bore diameter";
        specs.SetProcessName("Line=A,Shift=Night");
    }
};

constexpr int kRounds = 3;

// `what` names the event in the gathered table.
void Report(const char* title, const char* what, const char* unit, double seconds,
            const HeapUsage& grown, const std::vector<QCAlarm>& alarms) {
    const size_t kept = alarms.size();
    size_t strings = 0;
    for (const QCAlarm& alarm : alarms)
        strings += StringBytes(alarm);
    const size_t list = alarms.capacity() * sizeof(QCAlarm);
    const double perRecord = static_cast<double>(grown.payload) / kept;
    const double needed = sizeof(QCAlarm) + static_cast<double>(strings) / kept;

    printf("%s\n", title);
    printf("  fastest of %d rounds: %.3f s, %.0f %s/s, %.0f records/s\n", kRounds, seconds,
           kCount / seconds, unit, kept / seconds);
    printf("  kept %zu records; heap per kept record: %.1f bytes measured,"
           " %.1f needed (%zu record + %.1f strings)\n",
           kept, perRecord, needed, sizeof(QCAlarm), static_cast<double>(strings) / kept);
    printf("  the list holds %zu bytes of spare room; other heap growth: %lld bytes\n",
           list - kept * sizeof(QCAlarm),
           static_cast<long long>(grown.payload) - static_cast<long long>(list + strings));
    printf("  heap bookkeeping on top: %.1f bytes and %.2f blocks per record\n",
           static_cast<double>(grown.overhead) / kept, static_cast<double>(grown.blocks) / kept);

    const std::string name = std::string("alarm handlers: ") + what;
    const std::string perSecond = std::string(unit) + "/s";
    zavbench::PrintResult(name.c_str(), kCount / seconds, perSecond.c_str());
    const std::string heap = name + ", heap per record";
    zavbench::PrintResult(heap.c_str(), perRecord, "bytes", perRecord / needed,
                          "the record (48 bytes) and its strings");
}

// Runs `event` on a fresh spec manager kRounds times and reports the fastest round and the
// heap that the last one kept per record.
template <typename Event>
void Measure(Data& data, const char* title, const char* what, const char* unit, Event event) {
    double best = 1e30;
    for (int round = 1; round <= kRounds; ++round) {
        Specs fresh(data);
        const HeapUsage before = HeapUsage::Now();
        const Stopwatch watch;
        event(fresh.specs);
        const double seconds = watch.Seconds();
        const HeapUsage grown = HeapUsage::Now() - before;
        best = seconds < best ? seconds : best;
        if (round == kRounds)
            Report(title, what, unit, best, grown, fresh.state.m_alarms);
    }
}

} // namespace

int main() {
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    int result = 0;
    try {
        Data data;
        const SafeArray labels = SafeArray::OfBstrs(data.labels);
        const SafeArray keys = SafeArray::OfBstrs(data.keys);
        Measure(
            data, "Out-of-control event: 100000 samples, X and R parts, identity from two columns",
            "out-of-control event", "samples", [&](CSpecManager& specs) {
                specs.OnSampleOutOfControl(data.chart.Ptr(), labels.get(), keys.get(), false, 3);
            });

        // Each run ends six samples after it starts and names one of the seven tests.
        std::vector<std::wstring> lastLabels, lastKeys;
        std::vector<int32_t> tests;
        for (long i = 0; i < kCount; ++i) {
            lastLabels.push_back(data.labels[(i + 6) % kCount]);
            lastKeys.push_back(data.keys[(i + 6) % kCount]);
            tests.push_back(i % 7);
        }
        const SafeArray last = SafeArray::OfBstrs(lastLabels);
        const SafeArray lastKey = SafeArray::OfBstrs(lastKeys);
        const SafeArray codes = SafeArray::OfInts(tests);
        Measure(data,
                "Runs-violation event: 100000 runs, identity \"first - last\" from two columns",
                "runs-violation event", "runs", [&](CSpecManager& specs) {
                    specs.OnRunsViolation(data.chart.Ptr(), labels.get(), keys.get(), last.get(),
                                          lastKey.get(), codes.get(), false, 0);
                });
    } catch (const _com_error& error) {
        fprintf(stderr, "bench_alarms: COM error 0x%08lX\n", error.Error());
        result = 1;
    }
    ::CoUninitialize();
    return result;
}
