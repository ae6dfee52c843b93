// The entry points of RefServer.dll. Each one is a COM boundary: failures come back as an
// HRESULT with the thread's error information, never as an exception.
#include <RefServer.h>

#include "Application.h"
#include "CsvReader.h"
#include "ObjectManager.h"
#include "ServerError.h"
#include "Spreadsheet.h"
#include "Text.h"

using namespace refsrv;

namespace {

const wchar_t kSource[] = L"RefServer";

template <typename T> void Cleared(T** out) {
    *Out(out) = nullptr;
}

} // namespace

HRESULT CreateRefApplication(const wchar_t* options, VELTRIUM::_Application** app) {
    return Guard(IID_NULL, kSource, [&] {
        Cleared(app);
        MakeObject<Application>(ParseApplicationOptions(options)).CopyTo(app);
        return S_OK;
    });
}

HRESULT OpenRefSpreadsheet(const wchar_t* csvPath, VELTRIUM::_Spreadsheet** sheet) {
    return Guard(IID_NULL, kSource, [&] {
        Cleared(sheet);
        if (!csvPath || !*csvPath)
            Fail(E_INVALIDARG, L"No CSV file was given");
        std::shared_ptr<Table> table = ReadCsv(csvPath);
        size_t rows = table->Rows();
        MakeObject<Spreadsheet>(TableView{std::move(table), 0, rows}).CopyTo(sheet);
        return S_OK;
    });
}

HRESULT CreateRefSpreadsheetView(VELTRIUM::_Spreadsheet* source, long firstCase, long lastCase,
                                 VELTRIUM::_Spreadsheet** view) {
    return Guard(IID_NULL, kSource, [&] {
        Cleared(view);
        const TableView& whole = TableViewOf(source);
        long count = static_cast<long>(whole.count);
        if (firstCase < 1 || lastCase < firstCase || lastCase > count)
            Fail(DISP_E_BADINDEX, Format(L"The cases %ld to %ld are not a range of the "
                                         L"spreadsheet's cases 1 to %ld",
                                         firstCase, lastCase, count));
        TableView part{whole.table, whole.first + static_cast<size_t>(firstCase - 1),
                       static_cast<size_t>(lastCase - firstCase + 1)};
        MakeObject<Spreadsheet>(std::move(part)).CopyTo(view);
        return S_OK;
    });
}

HRESULT OpenRefObjectManager(const wchar_t* path, Vexil::_ObjectManager** manager) {
    return Guard(IID_NULL, kSource, [&] {
        Cleared(manager);
        MakeObject<ObjectManager>(ReadCharacteristics(path ? path : L"")).CopyTo(manager);
        return S_OK;
    });
}
