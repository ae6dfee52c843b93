#include "Spreadsheet.h"

#include "ServerError.h"
#include "Text.h"

namespace refsrv {

size_t Spreadsheet::Column(long var) const {
    long count = static_cast<long>(m_view.table->Columns());
    if (var < 1 || var > count)
        FailBadIndex(L"Variable", var, count);
    return static_cast<size_t>(var - 1);
}

size_t Spreadsheet::Row(long caseNumber) const {
    long count = static_cast<long>(m_view.count);
    if (caseNumber < 1 || caseNumber > count)
        FailBadIndex(L"Case", caseNumber, count);
    return m_view.first + static_cast<size_t>(caseNumber - 1);
}

HRESULT Spreadsheet::raw_NumberOfCases(long* result) {
    return Call([&] {
        *Out(result) = static_cast<long>(m_view.count);
        return S_OK;
    });
}

HRESULT Spreadsheet::raw_VariableName(long var, BSTR* result) {
    return Call([&] {
        *Out(result) = nullptr;
        *result = MakeBstr(m_view.table->At(Column(var)).name);
        return S_OK;
    });
}

HRESULT Spreadsheet::raw_VariableFormat(long var, BSTR* result) {
    return Call([&] {
        *Out(result) = nullptr;
        *result = MakeBstr(m_view.table->At(Column(var)).format.Code());
        return S_OK;
    });
}

HRESULT Spreadsheet::raw_CellValue(long caseNumber, long var, double* result) {
    return Call([&] {
        Out(result);
        size_t column = Column(var);
        Cell c = m_view.table->CellAt(Row(caseNumber), column);
        if (cell::IsText(c))
            Fail(DISP_E_TYPEMISMATCH,
                 Format(L"Case %ld of variable \"%ls\" holds the text \"%ls\", not a number",
                        caseNumber, m_view.table->At(column).name.c_str(),
                        m_view.table->TextOf(c).c_str()));
        *result = cell::Number(c); // NaN for an empty cell
        return S_OK;
    });
}

HRESULT Spreadsheet::raw_CellText(long caseNumber, long var, BSTR* result) {
    return Call([&] {
        *Out(result) = nullptr;
        size_t column = Column(var);
        *result = MakeBstr(m_view.table->Display(Row(caseNumber), column));
        return S_OK;
    });
}

HRESULT Spreadsheet::raw_SetVariableFormat(long var, BSTR format) {
    return Call([&] {
        m_view.table->SetFormat(Column(var), std::wstring(ViewOf(format)));
        return S_OK;
    });
}

HRESULT Spreadsheet::raw_VariableNumber(BSTR name, long* result) {
    return Call([&] {
        *Out(result) = m_view.table->Find(ViewOf(name)) + 1;
        return S_OK;
    });
}

const TableView& TableViewOf(IUnknown* object) {
    ITableSource* source = nullptr;
    if (!object ||
        FAILED(object->QueryInterface(__uuidof(ITableSource), reinterpret_cast<void**>(&source))) ||
        !source)
        Fail(E_INVALIDARG, L"The data is not a spreadsheet of the reference analysis server "
                           L"(open one with OpenRefSpreadsheet)");
    const TableView* view = source->GetView();
    // The caller holds the object, which keeps the view alive.
    source->Release();
    return *view;
}

} // namespace refsrv
