// The spreadsheet object over a table, or over a window of its rows (a view).
#pragma once

#include <ZAVTools/Automation.h>

#include "ComObject.h"
#include "ServerError.h"
#include "Table.h"

namespace refsrv {

// How the server recognises its own spreadsheets among the objects a host hands it.
struct ITableSource : IUnknown {
    virtual const TableView* __stdcall GetView() = 0;
};

} // namespace refsrv

__CRT_UUID_DECL(refsrv::ITableSource, 0x8b14e6d2, 0x37a9, 0x4f0c, 0xa5, 0x61, 0x0e, 0x9d, 0x7b,
                0x42, 0xc8, 0x3f)

namespace refsrv {

class Spreadsheet : public ComObject<VELTRIUM::_Spreadsheet, ITableSource> {
public:
    explicit Spreadsheet(TableView view) : m_view(std::move(view)) {}

    HRESULT __stdcall raw_NumberOfCases(long* result) override;
    HRESULT __stdcall raw_VariableName(long var, BSTR* result) override;
    HRESULT __stdcall raw_VariableFormat(long var, BSTR* result) override;
    HRESULT __stdcall raw_CellValue(long caseNumber, long var, double* result) override;
    HRESULT __stdcall raw_CellText(long caseNumber, long var, BSTR* result) override;
    HRESULT __stdcall raw_SetVariableFormat(long var, BSTR format) override;
    HRESULT __stdcall raw_VariableNumber(BSTR name, long* result) override;

    const TableView* __stdcall GetView() override { return &m_view; }

private:
    template <typename Body> HRESULT Call(Body&& body) noexcept {
        return Guard(__uuidof(VELTRIUM::_Spreadsheet), L"RefServer.Spreadsheet", body);
    }
    size_t Column(long var) const;
    size_t Row(long caseNumber) const;

    TableView m_view;
};

// The view of a spreadsheet of this server; raises E_INVALIDARG for any other object.
const TableView& TableViewOf(IUnknown* object);

} // namespace refsrv
