#include "support/FakeSpreadsheet.h"

namespace zavtest {

HRESULT FakeSpreadsheet::HandOut(const std::optional<std::wstring>& text, BSTR* result) {
    *result = nullptr;
    if (!text)
        return S_OK;
    *result = ::SysAllocStringLen(text->data(), static_cast<UINT>(text->size()));
    if (!*result)
        return E_OUTOFMEMORY;
    ++bstrsHandedOut;
    return S_OK;
}

void FakeSpreadsheet::SetValue(long caseNumber, long var, double value) {
    m_cells[{caseNumber, var}].value = value;
}

void FakeSpreadsheet::SetText(long caseNumber, long var, const wchar_t* text) {
    Cell& cell = m_cells[{caseNumber, var}];
    cell.hasText = true;
    cell.text = text ? std::optional<std::wstring>(text) : std::nullopt;
}

HRESULT FakeSpreadsheet::raw_NumberOfCases(long* result) {
    if (HRESULT hr = Enter("NumberOfCases"); FAILED(hr))
        return hr;
    *result = numberOfCases;
    return S_OK;
}

HRESULT FakeSpreadsheet::raw_VariableName(long var, BSTR* result) {
    if (HRESULT hr = Enter("VariableName", var); FAILED(hr))
        return hr;
    auto found = variableNames.find(var);
    if (found == variableNames.end())
        return Raise(E_INVALIDARG, "The test spreadsheet has no such variable");
    return HandOut(found->second, result);
}

HRESULT FakeSpreadsheet::raw_VariableFormat(long var, BSTR* result) {
    if (HRESULT hr = Enter("VariableFormat", var); FAILED(hr))
        return hr;
    auto found = variableFormats.find(var);
    if (found == variableFormats.end())
        return Raise(E_INVALIDARG, "The test spreadsheet has no such variable");
    return HandOut(found->second, result);
}

HRESULT FakeSpreadsheet::raw_CellValue(long caseNumber, long var, double* result) {
    if (HRESULT hr = Enter("CellValue", caseNumber, var); FAILED(hr))
        return hr;
    auto found = m_cells.find({caseNumber, var});
    std::optional<double> value;
    if (found != m_cells.end())
        value = found->second.value;
    else if (valueOf)
        value = valueOf(caseNumber, var);
    if (!value)
        return Raise(E_INVALIDARG, "The test spreadsheet has no value in that cell");
    *result = *value;
    return S_OK;
}

HRESULT FakeSpreadsheet::raw_CellText(long caseNumber, long var, BSTR* result) {
    if (HRESULT hr = Enter("CellText", caseNumber, var); FAILED(hr))
        return hr;
    auto found = m_cells.find({caseNumber, var});
    if (found != m_cells.end() && found->second.hasText)
        return HandOut(found->second.text, result);
    if (found == m_cells.end() && textOf)
        return HandOut(textOf(caseNumber, var), result);
    return Raise(E_INVALIDARG, "The test spreadsheet has no text in that cell");
}

HRESULT FakeSpreadsheet::raw_SetVariableFormat(long var, BSTR format) {
    if (HRESULT hr = Enter("SetVariableFormat", var, format); FAILED(hr))
        return hr;
    variableFormats[var] = format ? format : L"";
    return S_OK;
}

HRESULT FakeSpreadsheet::raw_VariableNumber(BSTR name, long* result) {
    if (HRESULT hr = Enter("VariableNumber", name); FAILED(hr))
        return hr;
    auto found = variableNumbers.find(name ? name : L"");
    *result = found == variableNumbers.end() ? 0 : found->second;
    return S_OK;
}

HRESULT FakeSpreadsheet::InterfaceSupportsErrorInfo(REFIID iid) {
    return iid == __uuidof(VELTRIUM::_Spreadsheet) ? S_OK : S_FALSE;
}

} // namespace zavtest
