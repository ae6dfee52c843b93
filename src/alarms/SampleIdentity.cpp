// The identity of a sample as the site knows it, and the auxiliary data reported with it.
#include <cwchar>

#include "ZAVTools/SpecManager.h"
#include "alarms/AlarmTexts.h"
#include "alarms/SpecManagerImpl.h"

namespace zav {

namespace {

// Appends the BSTR's text up to its first NUL, converted with the system ANSI code page.
void AppendNarrow(CString& text, BSTR cell) {
    const int units = static_cast<int>(wcsnlen(cell, ::SysStringLen(cell)));
    if (units == 0)
        return;
    const int bytes = ::WideCharToMultiByte(CP_ACP, 0, cell, units, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0)
        _com_issue_error(HRESULT_FROM_WIN32(::GetLastError()));
    const int old = text.GetLength();
    char* buffer = text.GetBuffer(old + bytes);
    ::WideCharToMultiByte(CP_ACP, 0, cell, units, buffer + old, bytes, nullptr, nullptr);
    text.ReleaseBuffer(old + bytes);
}

} // namespace

CComBSTR CellText(const VELTRIUM::_SpreadsheetPtr& sheet, long caseNumber, long var) {
    CComBSTR text;
    const HRESULT hr = sheet->raw_CellText(caseNumber, var, &text);
    if (FAILED(hr))
        _com_issue_errorex(hr, sheet.GetInterfacePtr(), __uuidof(VELTRIUM::_Spreadsheet));
    return text;
}

bool BuildSampleId(const SpecManagerImpl& state, const wchar_t* label, int caseNumber,
                   std::wstring& text) {
    text.clear();
    if (state.m_nSampleVar >= 0) {
        if (!label)
            return false;
        text.assign(label);
        return true;
    }
    // An empty cell keeps its place between the separators; only a null cell adds nothing.
    bool present = false;
    const std::vector<int>& columns = state.m_autoUpdateColumns;
    for (size_t i = 0; i < columns.size(); ++i) {
        const CComBSTR cell = CellText(state.m_spSpreadsheet, caseNumber, columns[i]);
        if (cell.m_str) {
            text.append(cell.m_str, cell.Length());
            present = true;
        }
        // "_" is the same character in every ANSI code page.
        if (i + 1 < columns.size()) {
            text += L'_';
            present = true;
        }
    }
    return present;
}

CString AuxDataText(const SpecManagerImpl& state, int caseNumber) {
    CString text;
    const std::vector<int>& vars = state.m_auxDataVars;
    for (size_t i = 0; i < vars.size(); ++i) {
        const CComBSTR cell = CellText(state.m_spSpreadsheet, caseNumber, vars[i]);
        AppendNarrow(text, cell);
        if (i + 1 < vars.size())
            text.Append("; ", 2);
    }
    return text;
}

} // namespace zav

CComBSTR CSpecManager::GetSampleIdHelper(VELIQCVChartsLib::_IQCVChartsPtr /*chart*/, wchar_t* label,
                                         int caseNumber) {
    if (m_pImpl->m_nSampleVar >= 0)
        return CComBSTR(label);
    std::wstring text;
    CComBSTR identity;
    if (zav::BuildSampleId(*m_pImpl, label, caseNumber, text))
        identity = CComBSTR(static_cast<int>(text.size()), text.data());
    return identity;
}

CString CSpecManager::GetAlarmAuxData(VELIQCVChartsLib::_IQCVChartsPtr /*chart*/, int caseNumber) {
    return zav::AuxDataText(*m_pImpl, caseNumber);
}
