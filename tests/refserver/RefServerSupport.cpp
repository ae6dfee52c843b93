#include "RefServerSupport.h"

#include <ocidl.h>

#include "support/Printers.h"

namespace reftest {

std::wstring Wide(const std::string& text) {
    int length = ::MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
    std::wstring result(length > 0 ? length - 1 : 0, L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, result.data(), length);
    return result;
}

std::string Narrow(const std::wstring& text) {
    int length = ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string result(length > 0 ? length - 1 : 0, '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, result.data(), length, nullptr, nullptr);
    return result;
}

std::string TakeErrorText() {
    IErrorInfoPtr info;
    if (::GetErrorInfo(0, &info) != S_OK || !info)
        return "";
    _bstr_t description;
    info->GetDescription(description.GetAddress());
    return description.length() ? Narrow(static_cast<const wchar_t*>(description)) : "";
}

std::wstring WriteFile(const zavtest::TempDir& dir, const std::string& name,
                       const std::string& text) {
    std::string path = dir / name;
    zavtest::WriteTextFile(path, text);
    return Wide(path);
}

_SpreadsheetPtr OpenSheet(const std::wstring& path) {
    VELTRIUM::_Spreadsheet* sheet = nullptr;
    HRESULT hr = OpenRefSpreadsheet(path.c_str(), &sheet);
    EXPECT_EQ(S_OK, hr) << TakeErrorText();
    return _SpreadsheetPtr(sheet, false);
}

std::string Text(const _SpreadsheetPtr& sheet, long caseNumber, long var) {
    _bstr_t text = sheet->CellText(caseNumber, var);
    return text.length() ? Narrow(static_cast<const wchar_t*>(text)) : "";
}

namespace {

HRESULT IdOf(IDispatch* object, const wchar_t* name, DISPID& id) {
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    return object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
}

} // namespace

HRESULT PutByName(IDispatch* object, const wchar_t* name, const _variant_t& value, WORD flags) {
    DISPID id = DISPID_UNKNOWN;
    HRESULT hr = IdOf(object, name, id);
    if (FAILED(hr))
        return hr;
    VARIANT argument = value;
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params{&argument, &named, 1, 1};
    return object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, nullptr, nullptr,
                          nullptr);
}

HRESULT GetByName(IDispatch* object, const wchar_t* name, _variant_t& value) {
    DISPID id = DISPID_UNKNOWN;
    HRESULT hr = IdOf(object, name, id);
    if (FAILED(hr))
        return hr;
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    value.Clear();
    return object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, &value,
                          nullptr, nullptr);
}

Chart::Chart(const std::string& csv, const std::string& qcp) {
    sheet = OpenSheet(WriteFile(dir, "data.csv", csv));
    std::wstring project = WriteFile(dir, "chart.qcp", qcp);
    VELTRIUM::_Application* raw = nullptr;
    EXPECT_EQ(S_OK, CreateRefApplication(nullptr, &raw));
    _ApplicationPtr app(raw, false);
    analysis = app->Analysis(kRefQCAnalysisType, _variant_t(static_cast<IDispatch*>(sheet)));
    IDispatchPtr dialog = analysis->GetDialog();
    EXPECT_EQ(S_OK, PutByName(dialog, L"DropProjectFile", _variant_t(project.c_str())));
    samples = analysis->Run();
    _variant_t chart;
    EXPECT_EQ(S_OK, GetByName(dialog, L"ChartServer", chart));
    // The VARIANT's own reference: its conversion operators would add one.
    server = _IQCVChartsPtr(V_DISPATCH(&chart));
}

HRESULT RecordingSink::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT*,
                              EXCEPINFO*, UINT*) {
    if (flags != DISPATCH_METHOD)
        problems.push_back("event " + std::to_string(id) + " not called as a method");
    if (id == VELIQCVChartsLib::DISPID_QueryCancel) {
        ++queries;
        const VARIANT& cancel = params->rgvarg[0];
        if (params->cArgs != 1 || cancel.vt != (VT_BYREF | VT_BOOL) || !cancel.pboolVal)
            problems.push_back("QueryCancel without one VT_BYREF|VT_BOOL argument");
        else if (queries == cancelAtQuery)
            *cancel.pboolVal = VARIANT_TRUE;
        return answer;
    }
    Event event{id, {}, {}, {}, {}, nullptr};
    // DISPPARAMS hold the last declared argument first.
    for (UINT i = params->cArgs; i-- > 0;)
        Decode(params->rgvarg[i], event);
    events.push_back(std::move(event));
    return answer;
}

void RecordingSink::Decode(const VARIANT& v, Event& event) {
    event.types.push_back(v.vt);
    event.texts.emplace_back();
    event.numbers.emplace_back();
    event.values.push_back(0);
    if (v.vt == VT_DISPATCH) {
        if (event.types.size() == 1)
            event.chart = v.pdispVal;
    } else if (v.vt == VT_BOOL) {
        event.values.back() = v.boolVal;
    } else if (v.vt == VT_I4) {
        event.values.back() = v.lVal;
    } else if (v.vt & VT_ARRAY) {
        SAFEARRAY* array = v.parray;
        LONG low = 0, high = -1;
        VARTYPE element = VT_EMPTY;
        ::SafeArrayGetVartype(array, &element);
        if (::SafeArrayGetDim(array) != 1 || FAILED(::SafeArrayGetLBound(array, 1, &low)) ||
            FAILED(::SafeArrayGetUBound(array, 1, &high)) || low != 0 ||
            element != (v.vt & VT_TYPEMASK))
            problems.push_back(
                "an event array is not one-dimensional from 0 of its VARIANT's type");
        void* data = nullptr;
        ::SafeArrayAccessData(array, &data);
        for (LONG i = 0; i <= high - low; ++i) {
            if (element == VT_BSTR) {
                BSTR text = static_cast<BSTR*>(data)[i];
                event.texts.back().push_back(text ? text : L"");
            } else {
                event.numbers.back().push_back(static_cast<LONG*>(data)[i]);
            }
        }
        ::SafeArrayUnaccessData(array);
    }
}

std::vector<DISPID> RecordingSink::Ids() const {
    std::vector<DISPID> ids;
    for (const Event& e : events)
        ids.push_back(e.id);
    return ids;
}

const Event* RecordingSink::Find(DISPID id, const std::wstring& label) const {
    for (const Event& e : events)
        if (e.id == id && e.texts.size() > 1 && !e.texts[1].empty() && e.texts[1][0] == label)
            return &e;
    return nullptr;
}

DWORD Connect(const _IQCVChartsPtr& server, IUnknown* sink) {
    IConnectionPointContainerPtr container(server);
    IConnectionPointPtr point;
    EXPECT_EQ(S_OK,
              container->FindConnectionPoint(__uuidof(VELIQCVChartsLib::IQCVChartsEvents), &point));
    DWORD cookie = 0;
    EXPECT_EQ(S_OK, point->Advise(sink, &cookie));
    return cookie;
}

} // namespace reftest
