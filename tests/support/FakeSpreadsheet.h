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
    // A cell neither set nor answered by valueOf (textOf) fails with E_INVALIDARG, so that a
    // read of the wrong cell shows. A null text is a null BSTR.
    void SetValue(long caseNumber, long var, double value) { m_values[{caseNumber, var}] = value; }
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

    STDMETHODIMP raw_NumberOfCases(long* result) override {
        HRESULT hr = Enter("NumberOfCases");
        *result = numberOfCases;
        return hr;
    }
    STDMETHODIMP raw_VariableName(long var, BSTR* result) override {
        HRESULT hr = Enter("VariableName", var);
        return FAILED(hr) ? hr : Variable(variableNames, var, result);
    }
    STDMETHODIMP raw_VariableFormat(long var, BSTR* result) override {
        HRESULT hr = Enter("VariableFormat", var);
        return FAILED(hr) ? hr : Variable(variableFormats, var, result);
    }
    STDMETHODIMP raw_CellValue(long caseNumber, long var, double* result) override {
        if (HRESULT hr = Enter("CellValue", caseNumber, var); FAILED(hr))
            return hr;
        auto found = m_values.find({caseNumber, var});
        std::optional<double> value = found != m_values.end() ? found->second
                                      : valueOf               ? valueOf(caseNumber, var)
                                                              : std::nullopt;
        *result = value.value_or(0);
        return value ? S_OK : Raise(E_INVALIDARG, "The test spreadsheet has no value there");
    }
    STDMETHODIMP raw_CellText(long caseNumber, long var, BSTR* result) override {
        if (HRESULT hr = Enter("CellText", caseNumber, var); FAILED(hr))
            return hr;
        if (!textOf)
            return Raise(E_INVALIDARG, "The test spreadsheet has no text there");
        return HandOut(textOf(caseNumber, var), result);
    }
    STDMETHODIMP raw_SetVariableFormat(long var, BSTR format) override {
        HRESULT hr = Enter("SetVariableFormat", var, format);
        if (SUCCEEDED(hr))
            variableFormats[var] = format ? format : L"";
        return hr;
    }
    STDMETHODIMP raw_VariableNumber(BSTR name, long* result) override {
        HRESULT hr = Enter("VariableNumber", name);
        auto found = variableNumbers.find(name ? name : L"");
        *result = found == variableNumbers.end() ? 0 : found->second;
        return hr;
    }
    STDMETHODIMP InterfaceSupportsErrorInfo(REFIID) override { return S_OK; }

private:
    HRESULT HandOut(const std::optional<std::wstring>& text, BSTR* result) {
        *result =
            text ? ::SysAllocStringLen(text->data(), static_cast<UINT>(text->size())) : nullptr;
        bstrsHandedOut += *result != nullptr;
        return text && !*result ? E_OUTOFMEMORY : S_OK;
    }
    HRESULT Variable(const std::map<long, std::wstring>& texts, long var, BSTR* result) {
        auto found = texts.find(var);
        if (found == texts.end())
            return Raise(E_INVALIDARG, "The test spreadsheet has no such variable");
        return HandOut(found->second, result);
    }

    std::map<std::pair<long, long>, double> m_values;
};

} // namespace zavtest
