// Helpers of the reference analysis server's tests: files in a temporary folder, the server's
// objects opened from them, the dialog driven by name as the library drives it, and a sink that
// records the chart server's events the way the library's sink reads them.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <RefServer.h>

#include "support/ComObject.h"
#include "support/TempDir.h"

namespace reftest {

using VELIQCVChartsLib::_IQCVChartsPtr;
using VELTRIUM::_AnalysisPtr;
using VELTRIUM::_ApplicationPtr;
using VELTRIUM::_SpreadsheetPtr;

std::wstring Wide(const std::string& text);
std::string Narrow(const std::wstring& text);
// The description of the calling thread's error information (consumed), or "".
std::string TakeErrorText();

// Writes `text` to `name` in the folder and returns the file's path.
std::wstring WriteFile(const zavtest::TempDir& dir, const std::string& name,
                       const std::string& text);

_SpreadsheetPtr OpenSheet(const std::wstring& path);
std::string Text(const _SpreadsheetPtr& sheet, long caseNumber, long var);

// Sets or reads a property of an IDispatch by name, as the library does.
HRESULT PutByName(IDispatch* object, const wchar_t* name, const _variant_t& value,
                  WORD flags = DISPATCH_PROPERTYPUT);
HRESULT GetByName(IDispatch* object, const wchar_t* name, _variant_t& value);

// A CSV and a QCP file in a fresh folder, run through application, analysis and dialog.
struct Chart {
    zavtest::TempDir dir;
    _SpreadsheetPtr sheet;
    _AnalysisPtr analysis;
    _IQCVChartsPtr server;
    long samples = 0;

    // The QCP text is the server's section; a [GENERAL] section may be added by the caller.
    Chart(const std::string& csv, const std::string& qcp);
    IRefChartPtr Details() const { return IRefChartPtr(server); }
};

// One event as it reached the sink: the arguments in declaration order.
struct Event {
    DISPID id;
    std::vector<VARTYPE> types;
    std::vector<std::vector<std::wstring>> texts; // per argument, for VT_ARRAY|VT_BSTR
    std::vector<std::vector<long>> numbers;       // per argument, for VT_ARRAY|VT_I4
    std::vector<long> values;                     // per argument: VT_I4 and VT_BOOL values
    IUnknown* chart = nullptr;                    // the first argument's object, not held
};

class RecordingSink : public zavtest::ComObject<VELIQCVChartsLib::IQCVChartsEvents> {
public:
    HRESULT __stdcall Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT*,
                             EXCEPINFO*, UINT*) override;

    std::vector<Event> events;
    std::vector<std::string> problems; // anything not shaped as the library reads it
    int queries = 0;
    int cancelAtQuery = 0; // answer VARIANT_TRUE to this query (1-based); 0 never
    HRESULT answer = S_OK; // what every call returns
    // The DISPIDs of the recorded events, QueryCancel left out.
    std::vector<DISPID> Ids() const;
    const Event* Find(DISPID id, const std::wstring& label) const;

private:
    void Decode(const VARIANT& v, Event& event);
};

// Advises the sink on the chart server and returns the cookie.
DWORD Connect(const _IQCVChartsPtr& server, IUnknown* sink);

} // namespace reftest
