// CQCVChartSink: the sink that receives the chart server's events (IQCVChartsEvents) during a
// chart run and forwards the alarm events that the host wants to the CSpecManager's handlers.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include "Export.h"
#include "Host.h"
#include "SpecManager.h"

// Created with new; it deletes itself at its last Release. Reference counting is not
// interlocked: the chart server calls a sink from one thread, one call at a time. Nothing is
// thrown back into the chart server: a failure inside a handler is logged through the module
// and answered with an HRESULT and the thread's COM error information.
class ZAVTOOLS_API CQCVChartSink final : public IDispatch {
public:
    // The count starts at 0. The module and the CSpecManager are borrowed and must outlive the
    // sink. Each flag forwards one kind of alarm event: out of control, outside warning limits,
    // runs violation, outside specs (see CSpecManager::CheckWantedReturnCode).
    CQCVChartSink(CBaseZAVModule& module, CSpecManager& specManager, bool outOfControl,
                  bool outsideWarningLimits, bool runsViolation, bool outsideSpecs);
    CQCVChartSink(const CQCVChartSink&) = delete;
    CQCVChartSink& operator=(const CQCVChartSink&) = delete;

    // IUnknown, IDispatch and IQCVChartsEvents; anything else is E_NOINTERFACE.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    // No type information: the sink is reached by DISPID only (E_NOTIMPL).
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid,
                                            DISPID* ids) override;
    // One chart server event by DISPID (VELIQCVChartsLib::QCVChartsEventId). Alarm events 1 to 4
    // reach the handlers when their flag is set; QueryCancel (6) answers VARIANT_TRUE once the
    // module's stop event is signalled; 5, 7 and 8 are accepted and ignored; any other DISPID is
    // DISP_E_MEMBERNOTFOUND. Only the DISPID and the arguments are read.
    HRESULT STDMETHODCALLTYPE Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags,
                                     DISPPARAMS* pDispParams, VARIANT* pVarResult,
                                     EXCEPINFO* pExcepInfo, UINT* puArgErr) override;

    // Reports a COM error through ReportError, with the error information's description
    // ("Unknown error" when there is none).
    static void ReportComError(CBaseZAVModule& module, HRESULT hr, IErrorInfo* info,
                               const char* function);
    // Logs the failure through the module's log object (true). Without one it goes to the
    // debugger output (false); when the log object itself fails, to the event log, and the
    // broken log object is dropped from the module (false).
    static bool ReportError(CBaseZAVModule& module, HRESULT hr, const char* description,
                            const char* function);

private:
    ~CQCVChartSink();

    HRESULT Dispatch(DISPID id, DISPPARAMS* params);
    // The event through the handlers; a failure is reported and its error information handed
    // back in `info` (null for a structured exception, which is the module's to report).
    HRESULT DispatchGuarded(DISPID id, DISPPARAMS* params, IErrorInfoPtr& info);
    void AnswerQueryCancel(DISPPARAMS* params);

    ULONG m_refCount;
    CBaseZAVModule* m_pModule;
    CSpecManager* m_pSpecManager;
    bool m_bOutOfControl;
    bool m_bOutsideWarningLimits;
    bool m_bRunsViolation;
    bool m_bOutsideSpecs;
};
