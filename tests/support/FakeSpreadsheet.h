// An in-memory spreadsheet for tests and benchmarks: cells, variable names, formats and
// numbers scripted per test, every call recorded in order (ScriptedCalls).
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>

#include "ZAVTools/Automation.h"
#include "support/ComObject.h"
#include "support/ScriptedCalls.h"

namespace zavtest {

class FakeSpreadsheet : public ComObject<VELTRIUM::_Spreadsheet, ISupportErrorInfo>,
                        public ScriptedCalls {
public:
    // A cell's value and displayed text. A cell never set answers both with E_INVALIDARG, so
    // that a read of the wrong cell shows.
    void SetValue(long caseNumber, long var, double value);
    // Null text: the cell's text is a null BSTR.
    void SetText(long caseNumber, long var, const wchar_t* text);

    // Asked for cells that were never set, when given (many-case runs). Null text: null BSTR.
    std::function<std::optional<double>(long caseNumber, long var)> valueOf;
    std::function<std::optional<std::wstring>(long caseNumber, long var)> textOf;

    long numberOfCases = 0;
    // Variables by number; an unknown number fails with E_INVALIDARG.
    std::map<long, std::wstring> variableNames;
    std::map<long, std::wstring> variableFormats;
    // By name; an unknown name answers 0 (no such variable).
    std::map<std::wstring, long> variableNumbers;

    // BSTRs handed to callers, each of which the caller must free.
    long bstrsHandedOut = 0;

    VELTRIUM::_SpreadsheetPtr Ptr() {
        return VELTRIUM::_SpreadsheetPtr(static_cast<VELTRIUM::_Spreadsheet*>(this));
    }

    HRESULT __stdcall raw_NumberOfCases(long* result) override;
    HRESULT __stdcall raw_VariableName(long var, BSTR* result) override;
    HRESULT __stdcall raw_VariableFormat(long var, BSTR* result) override;
    HRESULT __stdcall raw_CellValue(long caseNumber, long var, double* result) override;
    HRESULT __stdcall raw_CellText(long caseNumber, long var, BSTR* result) override;
    HRESULT __stdcall raw_SetVariableFormat(long var, BSTR format) override;
    HRESULT __stdcall raw_VariableNumber(BSTR name, long* result) override;

    HRESULT __stdcall InterfaceSupportsErrorInfo(REFIID iid) override;

private:
    // A BSTR for the caller; null text gives a null BSTR.
    HRESULT HandOut(const std::optional<std::wstring>& text, BSTR* result);

    struct Cell {
        std::optional<double> value;
        bool hasText = false;
        std::optional<std::wstring> text;
    };
    std::map<std::pair<long, long>, Cell> m_cells;
};

} // namespace zavtest
