// A spreadsheet in memory for tests and benchmarks: cells, variable names, formats and numbers
// scripted per test, every call recorded (ScriptedCalls).
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
    // A cell never set answers with E_INVALIDARG, so that a read of the wrong cell shows.
    void SetValue(long caseNumber, long var, double value) {
        m_cells[{caseNumber, var}].value = value;
    }
    // Null text: the cell's text is a null BSTR.
    void SetText(long caseNumber, long var, const wchar_t* text);

    // Asked for cells never set, when given (long runs). A null text is a null BSTR.
    std::function<std::optional<double>(long caseNumber, long var)> valueOf;
    std::function<std::optional<std::wstring>(long caseNumber, long var)> textOf;

    long numberOfCases = 0;
    // An unknown variable number fails with E_INVALIDARG; an unknown name answers 0.
    std::map<long, std::wstring> variableNames;
    std::map<long, std::wstring> variableFormats;
    std::map<std::wstring, long> variableNumbers;
    // BSTRs handed to callers, each of which the caller must free.
    long bstrsHandedOut = 0;

    VELTRIUM::_SpreadsheetPtr Ptr() { return static_cast<VELTRIUM::_Spreadsheet*>(this); }

    HRESULT __stdcall raw_NumberOfCases(long* result) override;
    HRESULT __stdcall raw_VariableName(long var, BSTR* result) override;
    HRESULT __stdcall raw_VariableFormat(long var, BSTR* result) override;
    HRESULT __stdcall raw_CellValue(long caseNumber, long var, double* result) override;
    HRESULT __stdcall raw_CellText(long caseNumber, long var, BSTR* result) override;
    HRESULT __stdcall raw_SetVariableFormat(long var, BSTR format) override;
    HRESULT __stdcall raw_VariableNumber(BSTR name, long* result) override;
    HRESULT __stdcall InterfaceSupportsErrorInfo(REFIID) override { return S_OK; }

private:
    struct Cell {
        std::optional<double> value;
        bool hasText = false;
        std::optional<std::wstring> text;
    };
    HRESULT HandOut(const std::optional<std::wstring>& text, BSTR* result);
    HRESULT Variable(const std::map<long, std::wstring>& texts, long var, BSTR* result);

    std::map<std::pair<long, long>, Cell> m_cells;
};

} // namespace zavtest
