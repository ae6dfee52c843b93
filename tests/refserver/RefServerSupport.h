// The reference analysis server's objects as the tests use them: files in a temporary folder,
// the chart of a CSV and a QCP text, and a sink that writes down every event it receives as one
// line of text.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include <RefServer.h>
#include <ocidl.h>

#include "qcrun/DispatchByName.h"
#include "support/ComCheck.h"
#include "support/ComObject.h"
#include "support/Files.h"

namespace reftest {

using VELIQCVChartsLib::_IQCVChartsPtr;
using VELTRIUM::_AnalysisPtr;
using VELTRIUM::_SpreadsheetPtr;
using zavtest::TempDir;

// Writes `text` to `name` in the folder and gives the file's path.
std::wstring WriteFile(const TempDir& dir, const std::string& name, const std::string& text);
// The description of the thread's error information (taken off the thread).
inline std::string ErrorText() {
    return zavtest::ThreadErrorDescription();
}
// The spreadsheet of `csv`, written to data.csv in the folder.
_SpreadsheetPtr OpenSheet(const TempDir& dir, const std::string& csv);
// The displayed text of a cell, as UTF-8.
std::string Text(const _SpreadsheetPtr& sheet, long caseNumber, long var);

// A CSV and a QCP text in a fresh folder, run through application, analysis and dialog.
struct Chart {
    TempDir dir;
    _AnalysisPtr analysis;
    _IQCVChartsPtr server;
    long samples = 0;
    HRESULT hr = S_OK; // of Run; on failure `error` says why
    std::string error;

    Chart(const std::string& csv, const std::string& qcp);
    IRefChartPtr Details() const { return IRefChartPtr(server); }
};

// Writes each event as a line "Name(argument,...)": the chart server as "chart", texts as [a;b],
// numbers as {1;2}, VT_BOOL as true/false, VT_I4 as its value, anything else as "?".
class RecordingSink : public zavtest::ComObject<VELIQCVChartsLib::IQCVChartsEvents> {
public:
    HRESULT __stdcall Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT*,
                             EXCEPINFO*, UINT*) override;

    IUnknown* chart = nullptr; // what "chart" stands for
    std::string events;
    int queries = 0;       // cancel queries, each with one VT_BYREF|VT_BOOL (else an event "?")
    int cancelAtQuery = 0; // answer VARIANT_TRUE to this query (1-based); 0 never
    HRESULT answer = S_OK; // what every call returns
    std::function<void(DISPID)> onEvent; // called first with every event's DISPID
};

// The chart server's connection point for its events.
IConnectionPointPtr EventsPoint(const _IQCVChartsPtr& server);
// Advises the sink on the chart server; gives the cookie.
DWORD Connect(const _IQCVChartsPtr& server, RecordingSink& sink);

} // namespace reftest
