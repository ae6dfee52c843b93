#include "ZAVTools/ChartSink.h"

#include <comdef.h>
#include <comptrs.h>
#include <utility>

#include "ZAVTools/ComErrors.h"
#include "ZAVTools/CrashReport.h"
#include "ZAVTools/Exceptions.h"
#include "ZAVTools/ModuleLog.h"

using VELIQCVChartsLib::_IQCVChartsPtr;

namespace {

constexpr char kFunction[] = "CQCVChartSink::Invoke";
constexpr HRESULT kShutdown = static_cast<HRESULT>(0xA0040602);

// An event's arguments by their number in the event's declaration, counted from 1: DISPPARAMS
// holds them last first.
class EventArguments {
public:
    explicit EventArguments(const DISPPARAMS& params) : m_params(params) {}

    // The chart server puts its interfaces, arrays and numbers into the VARIANTs by the event's
    // declaration, so the values are read without looking at the type tags.
    IUnknown* Object(UINT number) const { return V_UNKNOWN(&At(number)); }
    SAFEARRAY* Array(UINT number) const { return V_ARRAY(&At(number)); }
    bool Bool(UINT number) const { return V_BOOL(&At(number)) != VARIANT_FALSE; }
    long Long(UINT number) const { return V_I4(&At(number)); }

private:
    VARIANT& At(UINT number) const { return m_params.rgvarg[m_params.cArgs - number]; }

    const DISPPARAMS& m_params;
};

// Calls `handler` with the event's arguments and its chart as _IQCVCharts. A chart object that
// is not a chart server is a broken event: nothing is handled.
template <typename Handler> HRESULT Forward(const DISPPARAMS* params, UINT count, Handler handler) {
    if (!params || !params->rgvarg || params->cArgs < count)
        return DISP_E_BADPARAMCOUNT;
    EventArguments arguments(*params);
    _IQCVChartsPtr chart;
    IUnknown* object = arguments.Object(1);
    if (!object ||
        FAILED(object->QueryInterface(__uuidof(VELIQCVChartsLib::_IQCVCharts),
                                      reinterpret_cast<void**>(&chart))) ||
        !chart)
        return E_UNEXPECTED;
    handler(arguments, std::move(chart));
    return S_OK;
}

} // namespace

CQCVChartSink::CQCVChartSink(CBaseZAVModule& module, CSpecManager& specManager, bool outOfControl,
                             bool outsideWarningLimits, bool runsViolation, bool outsideSpecs)
    : m_refCount(0), m_pModule(&module), m_pSpecManager(&specManager),
      m_bOutOfControl(outOfControl), m_bOutsideWarningLimits(outsideWarningLimits),
      m_bRunsViolation(runsViolation), m_bOutsideSpecs(outsideSpecs) {}

CQCVChartSink::~CQCVChartSink() = default;

HRESULT CQCVChartSink::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv)
        return E_POINTER;
    if (riid != IID_IUnknown && riid != IID_IDispatch &&
        riid != __uuidof(VELIQCVChartsLib::IQCVChartsEvents))
        return E_NOINTERFACE;
    *ppv = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
}

ULONG CQCVChartSink::AddRef() {
    return ++m_refCount;
}

ULONG CQCVChartSink::Release() {
    const ULONG left = --m_refCount;
    if (left == 0)
        delete this;
    return left;
}

HRESULT CQCVChartSink::GetTypeInfoCount(UINT*) {
    return E_NOTIMPL;
}

HRESULT CQCVChartSink::GetTypeInfo(UINT, LCID, ITypeInfo**) {
    return E_NOTIMPL;
}

HRESULT CQCVChartSink::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) {
    return E_NOTIMPL;
}

HRESULT CQCVChartSink::Invoke(DISPID dispIdMember, REFIID, LCID, WORD, DISPPARAMS* pDispParams,
                              VARIANT*, EXCEPINFO*, UINT*) {
    try {
        IErrorInfoPtr info;
        HRESULT hr = DISP_E_MEMBERNOTFOUND;
        {
            CFunctionTrace trace(*m_pModule, kFunction);
            if (dispIdMember >= VELIQCVChartsLib::DISPID_SampleOutOfControl &&
                dispIdMember <= VELIQCVChartsLib::DISPID_RunCompleted)
                hr = DispatchGuarded(dispIdMember, pDispParams, info);
        }
        // Set once the trace is closed: a trace line that cannot be written raises a COM error
        // of its own on the way, whose information would otherwise replace the event's.
        if (FAILED(hr) && hr != DISP_E_MEMBERNOTFOUND)
            ::SetErrorInfo(0, info);
        return hr;
    } catch (...) {
        // Only the tracing or a report of the ladder below fails this way; the chart server
        // still gets an answer and no exception.
        return E_FAIL;
    }
}

// The report comes first and the error information is handed back to be set last, so that
// nothing the report does on the way (a log line that fails and raises its own COM error)
// replaces it.
HRESULT CQCVChartSink::DispatchGuarded(DISPID id, DISPPARAMS* params, IErrorInfoPtr& info) {
    try {
        return Dispatch(id, params);
    } catch (const _com_error& e) {
        info.Attach(e.ErrorInfo());
        ReportComError(*m_pModule, e.Error(), info, kFunction);
        return e.Error();
    } catch (numeric_exception& e) {
        ReportError(*m_pModule, E_FAIL, e.what(), kFunction);
        CreateCrashReport(e, *m_pModule);
        info = MakeErrorInfo(e.what());
        return E_FAIL;
    } catch (win32_exception& e) {
        m_pModule->OnFatalException(E_FAIL, &e, kFunction);
        return E_FAIL;
    } catch (const shutdown_exception& e) {
        ReportError(*m_pModule, kShutdown, e.what(), kFunction);
        info = MakeErrorInfo(e.what());
        return kShutdown;
    } catch (const std::exception& e) {
        ReportError(*m_pModule, E_FAIL, e.what(), kFunction);
        info = MakeErrorInfo(e.what());
        return E_FAIL;
    } catch (...) {
        ReportError(*m_pModule, E_FAIL, "Unknown error", kFunction);
        info = MakeErrorInfo("Unknown error");
        return E_FAIL;
    }
}

HRESULT CQCVChartSink::Dispatch(DISPID id, DISPPARAMS* params) {
    using namespace VELIQCVChartsLib;
    CSpecManager& specs = *m_pSpecManager;
    switch (id) {
    case DISPID_SampleOutOfControl:
        if (!m_bOutOfControl)
            return S_OK;
        return Forward(params, 5, [&](const EventArguments& a, _IQCVChartsPtr chart) {
            specs.OnSampleOutOfControl(std::move(chart), a.Array(2), a.Array(3), a.Bool(4),
                                       a.Long(5));
        });
    case DISPID_SampleOutsideWarningLimits:
        if (!m_bOutsideWarningLimits)
            return S_OK;
        return Forward(params, 5, [&](const EventArguments& a, _IQCVChartsPtr chart) {
            specs.OnSampleOutsideWarningLimits(std::move(chart), a.Array(2), a.Array(3), a.Bool(4),
                                               a.Long(5));
        });
    case DISPID_RunsViolation:
        if (!m_bRunsViolation)
            return S_OK;
        return Forward(params, 8, [&](const EventArguments& a, _IQCVChartsPtr chart) {
            specs.OnRunsViolation(std::move(chart), a.Array(2), a.Array(3), a.Array(4), a.Array(5),
                                  a.Array(6), a.Bool(7), a.Long(8));
        });
    case DISPID_ObsOutsideSpecs:
        if (!m_bOutsideSpecs)
            return S_OK;
        return Forward(params, 6, [&](const EventArguments& a, _IQCVChartsPtr chart) {
            specs.OnObsOutsideSpecs(std::move(chart), a.Array(2), a.Array(3), a.Array(4), a.Bool(5),
                                    a.Long(6));
        });
    case DISPID_QueryCancel:
        AnswerQueryCancel(params);
        return S_OK;
    default:
        // Sample added, run started and run completed tell nothing an alarm needs.
        return S_OK;
    }
}

// The stop event is only polled: the chart server asks between samples and must not wait.
void CQCVChartSink::AnswerQueryCancel(DISPPARAMS* params) {
    HANDLE stop = m_pModule->m_hStopEvent;
    if (!stop || ::WaitForSingleObject(stop, 0) != WAIT_OBJECT_0)
        return;
    if (!params || !params->rgvarg || params->cArgs < 1)
        return;
    VARIANT& cancel = params->rgvarg[0];
    if (V_VT(&cancel) == (VT_BYREF | VT_BOOL) && V_BOOLREF(&cancel))
        *V_BOOLREF(&cancel) = VARIANT_TRUE;
}
