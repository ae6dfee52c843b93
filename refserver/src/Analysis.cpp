#include "Analysis.h"

#include "ChartModel.h"
#include "Project.h"
#include "ServerError.h"
#include "Text.h"

namespace refsrv {

namespace {

enum DialogProperty : DISPID {
    kAutoUpdateMode = 1,
    kMakeDefaultSummaryChart,
    kDropProjectFile,
    kChartServer,
};

const std::pair<const wchar_t*, DISPID> kProperties[] = {
    {L"AutoUpdateMode", kAutoUpdateMode},
    {L"MakeDefaultSummaryChart", kMakeDefaultSummaryChart},
    {L"DropProjectFile", kDropProjectFile},
    {L"ChartServer", kChartServer},
};

const wchar_t kDialogSource[] = L"RefServer.AnalysisDialog";

} // namespace

HRESULT AnalysisDialog::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    if (iid != IID_NULL)
        return DISP_E_UNKNOWNINTERFACE;
    if (!names || !ids)
        return E_POINTER;
    for (UINT i = 0; i < count; ++i)
        ids[i] = DISPID_UNKNOWN;
    if (count == 0 || !names[0])
        return DISP_E_UNKNOWNNAME;
    for (const auto& [name, id] : kProperties)
        if (EqualNoCase(names[0], name))
            ids[0] = id;
    // The properties take no named arguments, so any further name is unknown as well.
    return ids[0] == DISPID_UNKNOWN || count > 1 ? DISP_E_UNKNOWNNAME : S_OK;
}

HRESULT AnalysisDialog::Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params,
                               VARIANT* result, EXCEPINFO*, UINT* badArgument) {
    if (iid != IID_NULL)
        return DISP_E_UNKNOWNINTERFACE;
    if (id < kAutoUpdateMode || id > kChartServer)
        return DISP_E_MEMBERNOTFOUND;
    if (!params)
        return E_POINTER;
    if (flags & DISPATCH_PROPERTYGET) {
        if (params->cArgs != 0)
            return DISP_E_BADPARAMCOUNT;
        return Get(id, result);
    }
    // None of the properties holds an object, so assigning a reference is not supported.
    if (flags & DISPATCH_PROPERTYPUTREF)
        return DISP_E_MEMBERNOTFOUND;
    if (!(flags & DISPATCH_PROPERTYPUT))
        return DISP_E_MEMBERNOTFOUND;
    if (params->cNamedArgs != 1 || !params->rgdispidNamedArgs ||
        params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT)
        return DISP_E_PARAMNOTOPTIONAL;
    if (params->cArgs != 1)
        return DISP_E_BADPARAMCOUNT;
    return Put(id, params->rgvarg[0], badArgument);
}

HRESULT AnalysisDialog::Get(DISPID id, VARIANT* result) {
    return Guard(IID_IDispatch, kDialogSource, [&] {
        ::VariantInit(Out(result));
        switch (id) {
        case kAutoUpdateMode:
        case kMakeDefaultSummaryChart:
            result->vt = VT_BOOL;
            result->boolVal =
                (id == kAutoUpdateMode ? m_state->autoUpdateMode : m_state->makeDefaultSummaryChart)
                    ? VARIANT_TRUE
                    : VARIANT_FALSE;
            break;
        case kDropProjectFile:
            result->bstrVal = MakeBstr(m_state->projectFile);
            result->vt = VT_BSTR;
            break;
        default:
            if (!m_state->chartServer)
                Fail(E_UNEXPECTED, L"There is no chart server yet: the analysis has not run");
            result->vt = VT_DISPATCH;
            m_state->chartServer.CopyTo(&result->pdispVal);
            break;
        }
        return S_OK;
    });
}

HRESULT AnalysisDialog::Put(DISPID id, const VARIANT& value, UINT* badArgument) {
    if (id == kChartServer)
        return DISP_E_MEMBERNOTFOUND; // read only
    _variant_t converted;
    HRESULT hr = ::VariantChangeType(&converted, const_cast<VARIANT*>(&value), 0,
                                     id == kDropProjectFile ? VT_BSTR : VT_BOOL);
    if (FAILED(hr)) {
        if (badArgument)
            *badArgument = 0;
        return DISP_E_TYPEMISMATCH;
    }
    return Guard(IID_IDispatch, kDialogSource, [&] {
        if (id == kDropProjectFile) {
            m_state->projectFile = std::wstring(ViewOf(converted.bstrVal));
            m_state->projectDropped = true;
        } else {
            bool on = converted.boolVal != VARIANT_FALSE;
            (id == kAutoUpdateMode ? m_state->autoUpdateMode : m_state->makeDefaultSummaryChart) =
                on;
        }
        return S_OK;
    });
}

Analysis::Analysis(TableView view, std::shared_ptr<RunProgress> progress)
    : m_view(std::move(view)), m_state(std::make_shared<AnalysisState>()),
      m_dialog(MakeObject<AnalysisDialog>(m_state)) {
    m_state->progress = std::move(progress);
}

HRESULT Analysis::get_Dialog(IDispatch** result) {
    return Guard(__uuidof(VELTRIUM::_Analysis), L"RefServer.Analysis", [&] {
        *Out(result) = nullptr;
        m_dialog.CopyTo(result);
        return S_OK;
    });
}

HRESULT Analysis::raw_Run(long* result) {
    return Guard(__uuidof(VELTRIUM::_Analysis), L"RefServer.Analysis", [&] {
        *Out(result) = 0;
        if (!m_state->projectDropped || m_state->projectFile.empty())
            Fail(E_UNEXPECTED, L"No project file was dropped on the analysis dialog "
                               L"(set its property DropProjectFile to the QCP file)");
        ChartOptions options = LoadProject(m_state->projectFile, *m_view.table);
        auto model = std::make_shared<const ChartModel>(m_view, options);
        m_state->chartServer = MakeObject<ChartServer>(m_view, model, m_state->progress);
        *result = static_cast<long>(model->Samples().size());
        return S_OK;
    });
}

} // namespace refsrv
