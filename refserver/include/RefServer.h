// RefServer.dll: the reference analysis server. It gives a host the automation objects that the
// ZAVTools library drives (include/ZAVTools/Automation.h) over CSV data and QCP project files,
// and computes the control charts for real.
//
// Every entry point returns an HRESULT. On failure it also leaves an IErrorInfo on the calling
// thread whose description says what went wrong (for a file: its path, and for bad content the
// line), and sets the out pointer to null. The objects it gives out also implement
// ISupportErrorInfo, so the interfaces' raising wrappers carry these descriptions.
#pragma once

#include <windows.h>
#include <ZAVTools/Automation.h>

#ifdef REFSERVER_BUILDING
#define REFSERVER_API extern "C" __declspec(dllexport)
#else
#define REFSERVER_API extern "C" __declspec(dllimport)
#endif

// The analysis type of the QC analysis, the one that `_Application::Analysis` accepts.
constexpr long kRefQCAnalysisType = 3251;

// The analysis application. `options` is null, empty, or a list of name=value pairs separated
// by ';' (names in any letter case):
//   HandshakeFailures=N  the first N calls of Analysis fail with 0x80040200 and the error
//                        description "bad encryption handshake", as a chart engine that is still
//                        starting does (default 0).
REFSERVER_API HRESULT CreateRefApplication(const wchar_t* options, VELTRIUM::_Application** app);

// A spreadsheet over a CSV file (UTF-8, header row of variable names). The file is read once;
// the spreadsheet keeps no handle on it.
REFSERVER_API HRESULT OpenRefSpreadsheet(const wchar_t* csvPath, VELTRIUM::_Spreadsheet** sheet);

// A spreadsheet that shows the cases firstCase to lastCase (1-based, inclusive) of a spreadsheet
// opened by OpenRefSpreadsheet (or of another view), without copying them. Case 1 of the view is
// firstCase of the source. Display formats are shared with the source.
REFSERVER_API HRESULT CreateRefSpreadsheetView(VELTRIUM::_Spreadsheet* source, long firstCase,
                                               long lastCase, VELTRIUM::_Spreadsheet** view);

// An SPC object manager whose characteristics are the entries "<id>=<name>" of the section
// [CHARACTERISTICS] of an initialization-style file: a QCP project file or a file of its own.
REFSERVER_API HRESULT OpenRefObjectManager(const wchar_t* path, Vexil::_ObjectManager** manager);

// What a chart server tells about its last run, beyond the automation interface.
struct RefRunStatistics {
    long samples;            // samples of the chart
    long samplesWalked;      // samples that the last Launch went through
    long cancelled;          // non-zero when a sink's QueryCancel answer stopped it
    long outOfControlEvents; // events raised, per kind (one event per sample and kind)
    long warningEvents;
    long runsViolationEvents;
    long obsOutsideSpecsEvents;
    long failedSinkCalls; // sink calls that returned a failing HRESULT or threw
};

// How far a chart's Launch has come: its samples, those walked so far and the alarm events
// raised so far (all kinds together).
struct RefProgress {
    long samples;
    long samplesWalked;
    long alarmEvents;
};

// The chart server also answers QueryInterface for IRefChart, for hosts that draw the chart or
// summarize a run: the values that the automation interface leaves out.
struct IRefChart : IUnknown {
    virtual HRESULT __stdcall get_SampleCount(long* count) = 0;
    // Observations of the sample that carry a number (empty and text cells are missing).
    virtual HRESULT __stdcall SampleSize(long sample, long* observations) = 0;
    // The label and key that the alarm events carry for the sample and FindSample takes.
    virtual HRESULT __stdcall SampleLabel(long sample, BSTR* label) = 0;
    virtual HRESULT __stdcall SampleKey(long sample, BSTR* key) = 0;
    virtual HRESULT __stdcall XCenterLine(long sample, double* value) = 0;
    virtual HRESULT __stdcall RCenterLine(long sample, double* value) = 0;
    // The process standard deviation estimated from the phase-I samples.
    virtual HRESULT __stdcall get_Sigma(double* value) = 0;
    virtual HRESULT __stdcall GetRunStatistics(RefRunStatistics* statistics) = 0;
    // The two sides of a CuSum chart at the sample, which XMeasure combines into one value: C+
    // and C- (both 0 or more; NaN for a sample without observations). E_INVALIDARG on a chart of
    // another type.
    virtual HRESULT __stdcall CusumSides(long sample, double* upper, double* lower) = 0;
    // The samples that estimate the centre and the limits: the first ones of the chart.
    virtual HRESULT __stdcall get_PhaseISamples(long* count) = 0;
    // The patterns of the runs tests found by the last Launch, in chart order, whether or not
    // the RunsViolation event was switched on: the test's code (0 to 6) and the first and last
    // samples of the pattern. E_INVALIDARG for an index beyond the count.
    virtual HRESULT __stdcall get_RunsViolationCount(long* count) = 0;
    virtual HRESULT __stdcall RunsViolation(long index, long* test, long* firstSample,
                                            long* lastSample) = 0;
};

__CRT_UUID_DECL(IRefChart, 0x3f7c2a91, 0x5d04, 0x4b6e, 0x9a, 0x1c, 0x27, 0xe8, 0x40, 0xb5, 0x6d,
                0x13)
_COM_SMARTPTR_TYPEDEF(IRefChart, __uuidof(IRefChart));

// The application also answers QueryInterface for IRefApplication: a host that ran an analysis
// through a library which keeps the chart server to itself reaches the chart this way.
struct IRefApplication : IUnknown {
    // The chart server made by the most recent Run of an analysis of this application; null
    // (and S_FALSE) before any Run.
    virtual HRESULT __stdcall get_LastChartServer(VELIQCVChartsLib::_IQCVCharts** chart) = 0;
    // How far the Launch going on (or the last one) has come, for a progress display: callable
    // from any thread while another thread runs the chart.
    virtual HRESULT __stdcall GetProgress(RefProgress* progress) = 0;
};

__CRT_UUID_DECL(IRefApplication, 0x9b1e5d27, 0x40c3, 0x4a8f, 0xb6, 0x52, 0x1d, 0x7e, 0x93, 0x0a,
                0xc4, 0x58)
_COM_SMARTPTR_TYPEDEF(IRefApplication, __uuidof(IRefApplication));
