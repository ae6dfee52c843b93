#include "support/FakeSpreadsheet.h"

namespace zavtest {

void FakeSpreadsheet::SetText(long caseNumber, long var, const wchar_t* text) {
    Cell& cell = m_cells[{caseNumber, var}];
    cell.hasText = true;
    cell.text = text ? std::optional<std::wstring>(text) : std::nullopt;
}

HRESULT FakeSpreadsheet::HandOut(const std::optional<std::wstring>& text, BSTR* result) {
    *result = text ? ::SysAllocStringLen(text->data(), static_cast<UINT>(text->size())) : nullptr;
    if (text && !*result)
        return E_OUTOFMEMORY;
    bstrsHandedOut += *result != nullptr;
    return S_OK;
}

HRESULT FakeSpreadsheet::Variable(const std::map<long, std::wstring>& texts, long var,
                                  BSTR* result) {
    auto found = texts.find(var);
    if (found == texts.end())
        return Raise(E_INVALIDARG, "The test spreadsheet has no such variable");
    return HandOut(found->second, result);
}

HRESULT FakeSpreadsheet::raw_NumberOfCases(long* result) {
    if (HRESULT hr = Enter("NumberOfCases"); FAILED(hr))
        return hr;
    *result = numberOfCases;
    return S_OK;
}

HRESULT FakeSpreadsheet::raw_VariableName(long var, BSTR* result) {
    HRESULT hr = Enter("VariableName", var);
    return FAILED(hr) ? hr : Variable(variableNames, var, result);
}

HRESULT FakeSpreadsheet::raw_VariableFormat(long var, BSTR* result) {
    HRESULT hr = Enter("VariableFormat", var);
    return FAILED(hr) ? hr : Variable(variableFormats, var, result);
}

HRESULT FakeSpreadsheet::raw_CellValue(long caseNumber, long var, double* result) {
    if (HRESULT hr = Enter("CellValue", caseNumber, var); FAILED(hr))
        return hr;
    auto found = m_cells.find({caseNumber, var});
    std::optional<double> value = found != m_cells.end() ? found->second.value
                                  : valueOf              ? valueOf(caseNumber, var)
                                                         : std::nullopt;
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

} // namespace zavtest
