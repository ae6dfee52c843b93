// The texts of an alarm record, shared by the alarm handlers and the exported description
// members: names from the string table, the sample identity and the auxiliary data.
#pragma once

#include <atlcomcli.h>
#include <atlstr.h>
#include <string>

#include "ZAVTools/Automation.h"

struct SpecManagerImpl;

namespace zav {

// The chart server's name for a chart type code; "Unknown" for a code it does not define.
CString ChartTypeName(long code);
// The name of a runs test (run rule) code; "Unknown Type" for a code it does not define.
CString RunsTestName(long code);

// The identity of the sample starting on `caseNumber`, written over `text`. False when the
// identity is null (no label, or no auto-update column), which differs from an empty one.
bool BuildSampleId(const SpecManagerImpl& state, const wchar_t* label, int caseNumber,
                   std::wstring& text);
// The auxiliary data cells of the case, as narrow text joined by "; ".
CString AuxDataText(const SpecManagerImpl& state, int caseNumber);

// The displayed text of a cell. The generated wrapper returns a _bstr_t, which costs a heap
// block of its own on every call; this raises failures the same way.
CComBSTR CellText(const VELTRIUM::_SpreadsheetPtr& sheet, long caseNumber, long var);

} // namespace zav
