// The automation object model of the analysis application, as the library drives it: the
// application and its QC analysis, the spreadsheet, the SPC object manager and the chart
// server with its outgoing events.
//
// Laid out as the compiler's type-library import writes it: raw_/get_/put_ methods in
// interface order return HRESULTs, and the wrappers without prefix raise a failed HRESULT as
// _com_error carrying the object's error information (_com_issue_errorex). Smart pointers are
// _SpreadsheetPtr and friends; a call through a null smart pointer raises E_POINTER.
#pragma once

#include <windows.h>
#include <comdef.h>
#include <comptrs.h>

namespace VELTRIUM {
struct _Application;
struct _Analysis;
struct _Spreadsheet;
} // namespace VELTRIUM

namespace Vexil {
struct _ObjectManager;
struct _Characteristics;
struct _Characteristic;
} // namespace Vexil

namespace VELIQCVChartsLib {
struct _IQCVCharts;
struct IQCVChartsEvents;
} // namespace VELIQCVChartsLib

__CRT_UUID_DECL(VELTRIUM::_Application, 0x48227582, 0x8057, 0x431c, 0x97, 0x5e, 0xa1, 0x2c, 0x5d,
                0x22, 0x33, 0x45)
__CRT_UUID_DECL(VELTRIUM::_Analysis, 0x619e1fc0, 0xc15d, 0x46e2, 0x97, 0xfd, 0x77, 0x5f, 0x64, 0x1d,
                0x26, 0xa5)
__CRT_UUID_DECL(VELTRIUM::_Spreadsheet, 0xa7ce6f0f, 0x006d, 0x4266, 0xbf, 0x38, 0x34, 0x52, 0x7f,
                0xcf, 0x5c, 0xf1)
__CRT_UUID_DECL(Vexil::_ObjectManager, 0x7615c5c1, 0xcbdd, 0x4582, 0xa9, 0xaa, 0xb9, 0xfd, 0x3f,
                0xd3, 0x69, 0xc1)
__CRT_UUID_DECL(Vexil::_Characteristics, 0x0783ef8e, 0x0d0f, 0x4d6d, 0xbb, 0x8c, 0xfd, 0xa9, 0x4c,
                0x7f, 0xe9, 0xca)
__CRT_UUID_DECL(Vexil::_Characteristic, 0x7c5680e2, 0xac78, 0x4d07, 0xba, 0x36, 0xc1, 0x8e, 0x79,
                0xe7, 0xfe, 0x61)
__CRT_UUID_DECL(VELIQCVChartsLib::_IQCVCharts, 0x6a58f3ab, 0x8b0e, 0x46e2, 0xb1, 0x27, 0xd1, 0xcc,
                0xf0, 0xbc, 0xd7, 0xe9)

namespace VELTRIUM {

_COM_SMARTPTR_TYPEDEF(_Application, __uuidof(_Application));
_COM_SMARTPTR_TYPEDEF(_Analysis, __uuidof(_Analysis));
_COM_SMARTPTR_TYPEDEF(_Spreadsheet, __uuidof(_Spreadsheet));

struct _Application : IDispatch {
    // Wrappers: a failed HRESULT raises _com_error with the object's error information.
    _AnalysisPtr Analysis(long type, const _variant_t& data);

    // Raw methods, in interface order.
    virtual HRESULT __stdcall raw_Analysis(long type, VARIANT data, struct _Analysis** result) = 0;
};

struct _Analysis : IDispatch {
    // Wrappers: a failed HRESULT raises _com_error with the object's error information.
    IDispatchPtr GetDialog();
    long Run();

    // Raw methods, in interface order.
    virtual HRESULT __stdcall get_Dialog(IDispatch** result) = 0;
    virtual HRESULT __stdcall raw_Run(long* result) = 0;
};

struct _Spreadsheet : IDispatch {
    // Wrappers: a failed HRESULT raises _com_error with the object's error information.
    long NumberOfCases();
    _bstr_t VariableName(long var);
    _bstr_t VariableFormat(long var);
    double CellValue(long caseNumber, long var);
    _bstr_t CellText(long caseNumber, long var);
    HRESULT SetVariableFormat(long var, const _bstr_t& format);
    long VariableNumber(const _bstr_t& name);

    // Raw methods, in interface order.
    virtual HRESULT __stdcall raw_NumberOfCases(long* result) = 0;
    virtual HRESULT __stdcall raw_VariableName(long var, BSTR* result) = 0;
    virtual HRESULT __stdcall raw_VariableFormat(long var, BSTR* result) = 0;
    virtual HRESULT __stdcall raw_CellValue(long caseNumber, long var, double* result) = 0;
    virtual HRESULT __stdcall raw_CellText(long caseNumber, long var, BSTR* result) = 0;
    virtual HRESULT __stdcall raw_SetVariableFormat(long var, BSTR format) = 0;
    virtual HRESULT __stdcall raw_VariableNumber(BSTR name, long* result) = 0;
};

} // namespace VELTRIUM

namespace Vexil {

_COM_SMARTPTR_TYPEDEF(_ObjectManager, __uuidof(_ObjectManager));
_COM_SMARTPTR_TYPEDEF(_Characteristics, __uuidof(_Characteristics));
_COM_SMARTPTR_TYPEDEF(_Characteristic, __uuidof(_Characteristic));

struct _ObjectManager : IDispatch {
    // Wrappers: a failed HRESULT raises _com_error with the object's error information.
    _CharacteristicsPtr GetCharacteristics();

    // Raw methods, in interface order.
    virtual HRESULT __stdcall get_Characteristics(struct _Characteristics** result) = 0;
};

struct _Characteristics : IDispatch {
    // Wrappers: a failed HRESULT raises _com_error with the object's error information.
    _CharacteristicPtr Item(long charId);

    // Raw methods, in interface order.
    virtual HRESULT __stdcall raw_Item(long charId, struct _Characteristic** result) = 0;
};

struct _Characteristic : IDispatch {
    // Wrappers: a failed HRESULT raises _com_error with the object's error information.
    _bstr_t Name();

    // Raw methods, in interface order.
    virtual HRESULT __stdcall raw_Name(BSTR* result) = 0;
};

} // namespace Vexil

namespace VELIQCVChartsLib {

_COM_SMARTPTR_TYPEDEF(_IQCVCharts, __uuidof(_IQCVCharts));

struct _IQCVCharts : IDispatch {
    // Wrappers: a failed HRESULT raises _com_error with the object's error information.
    long ChartType();
    long ObservationVariable();
    long SpecLimitSet(long sample);
    double SampleFirstCase(long sample);
    HRESULT Launch(long flags);
    long FindSample(const _bstr_t& label, const _bstr_t& key);
    HRESULT PutEnableSampleOutOfControlEvent(VARIANT_BOOL enable);
    HRESULT PutEnableSampleOutsideWarningLimitsEvent(VARIANT_BOOL enable);
    HRESULT PutEnableRunsViolationEvent(VARIANT_BOOL enable);
    HRESULT PutEnableObsOutsideSpecsEvent(VARIANT_BOOL enable);
    long SpecLimitType(long set);
    double LowerSpecLimit(long set);
    double UpperSpecLimit(long set);
    double XMeasure(long sample);
    double RMeasure(long sample);
    double XLowerControlLimit(long sample);
    double XUpperControlLimit(long sample);
    double XLowerWarningLimit(long sample);
    double XUpperWarningLimit(long sample);
    double RLowerControlLimit(long sample);
    double RUpperControlLimit(long sample);
    double RLowerWarningLimit(long sample);
    double RUpperWarningLimit(long sample);
    long XNoLowerControlLimit();
    long XNoUpperControlLimit();
    long RNoLowerControlLimit();
    long RNoUpperControlLimit();
    long XNoLowerWarningLimit();
    long XNoUpperWarningLimit();
    long RNoLowerWarningLimit();
    long RNoUpperWarningLimit();

    // Raw methods, in interface order.
    virtual HRESULT __stdcall raw_ChartType(long* result) = 0;
    virtual HRESULT __stdcall raw_ObservationVariable(long* result) = 0;
    virtual HRESULT __stdcall raw_SpecLimitSet(long sample, long* result) = 0;
    virtual HRESULT __stdcall raw_SampleFirstCase(long sample, double* result) = 0;
    virtual HRESULT __stdcall raw_Launch(long flags) = 0;
    virtual HRESULT __stdcall raw_FindSample(BSTR label, BSTR key, long* result) = 0;
    virtual HRESULT __stdcall put_EnableSampleOutOfControlEvent(VARIANT_BOOL enable) = 0;
    virtual HRESULT __stdcall put_EnableSampleOutsideWarningLimitsEvent(VARIANT_BOOL enable) = 0;
    virtual HRESULT __stdcall put_EnableRunsViolationEvent(VARIANT_BOOL enable) = 0;
    virtual HRESULT __stdcall put_EnableObsOutsideSpecsEvent(VARIANT_BOOL enable) = 0;
    virtual HRESULT __stdcall raw_SpecLimitType(long set, long* result) = 0;
    virtual HRESULT __stdcall raw_LowerSpecLimit(long set, double* result) = 0;
    virtual HRESULT __stdcall raw_UpperSpecLimit(long set, double* result) = 0;
    virtual HRESULT __stdcall raw_XMeasure(long sample, double* result) = 0;
    virtual HRESULT __stdcall raw_RMeasure(long sample, double* result) = 0;
    virtual HRESULT __stdcall raw_XLowerControlLimit(long sample, double* result) = 0;
    virtual HRESULT __stdcall raw_XUpperControlLimit(long sample, double* result) = 0;
    virtual HRESULT __stdcall raw_XLowerWarningLimit(long sample, double* result) = 0;
    virtual HRESULT __stdcall raw_XUpperWarningLimit(long sample, double* result) = 0;
    virtual HRESULT __stdcall raw_RLowerControlLimit(long sample, double* result) = 0;
    virtual HRESULT __stdcall raw_RUpperControlLimit(long sample, double* result) = 0;
    virtual HRESULT __stdcall raw_RLowerWarningLimit(long sample, double* result) = 0;
    virtual HRESULT __stdcall raw_RUpperWarningLimit(long sample, double* result) = 0;
    virtual HRESULT __stdcall raw_XNoLowerControlLimit(long* result) = 0;
    virtual HRESULT __stdcall raw_XNoUpperControlLimit(long* result) = 0;
    virtual HRESULT __stdcall raw_RNoLowerControlLimit(long* result) = 0;
    virtual HRESULT __stdcall raw_RNoUpperControlLimit(long* result) = 0;
    virtual HRESULT __stdcall raw_XNoLowerWarningLimit(long* result) = 0;
    virtual HRESULT __stdcall raw_XNoUpperWarningLimit(long* result) = 0;
    virtual HRESULT __stdcall raw_RNoLowerWarningLimit(long* result) = 0;
    virtual HRESULT __stdcall raw_RNoUpperWarningLimit(long* result) = 0;
};

} // namespace VELIQCVChartsLib

namespace VELTRIUM {

inline _AnalysisPtr _Application::Analysis(long type, const _variant_t& data) {
    struct _Analysis* result = nullptr;
    HRESULT hr = raw_Analysis(type, data, &result);
    if (FAILED(hr))
        _com_issue_errorex(hr, this, __uuidof(this));
    return _AnalysisPtr(result, false);
}

inline IDispatchPtr _Analysis::GetDialog() {
    IDispatch* result = nullptr;
    HRESULT hr = get_Dialog(&result);
    if (FAILED(hr))
        _com_issue_errorex(hr, this, __uuidof(this));
    return IDispatchPtr(result, false);
}

inline long _Analysis::Run() {
    long result = 0;
    HRESULT hr = raw_Run(&result);
    if (FAILED(hr))
        _com_issue_errorex(hr, this, __uuidof(this));
    return result;
}

inline long _Spreadsheet::NumberOfCases() {
    long result = 0;
    HRESULT hr = raw_NumberOfCases(&result);
    if (FAILED(hr))
        _com_issue_errorex(hr, this, __uuidof(this));
    return result;
}

inline _bstr_t _Spreadsheet::VariableName(long var) {
    BSTR result = nullptr;
    HRESULT hr = raw_VariableName(var, &result);
    if (FAILED(hr))
        _com_issue_errorex(hr, this, __uuidof(this));
    return _bstr_t(result, false);
}

inline _bstr_t _Spreadsheet::VariableFormat(long var) {
    BSTR result = nullptr;
    HRESULT hr = raw_VariableFormat(var, &result);
    if (FAILED(hr))
        _com_issue_errorex(hr, this, __uuidof(this));
    return _bstr_t(result, false);
}

inline double _Spreadsheet::CellValue(long caseNumber, long var) {
    double result = 0;
    HRESULT hr = raw_CellValue(caseNumber, var, &result);
    if (FAILED(hr))
        _com_issue_errorex(hr, this, __uuidof(this));
    return result;
}

inline _bstr_t _Spreadsheet::CellText(long caseNumber, long var) {
    BSTR result = nullptr;
    HRESULT hr = raw_CellText(caseNumber, var, &result);
    if (FAILED(hr))
        _com_issue_errorex(hr, this, __uuidof(this));
    return _bstr_t(result, false);
}

inline HRESULT _Spreadsheet::SetVariableFormat(long var, const _bstr_t& format) {
    HRESULT hr = raw_SetVariableFormat(var, format);
    if (FAILED(hr))
        _com_issue_errorex(hr, this, __uuidof(this));
    return hr;
}

inline long _Spreadsheet::VariableNumber(const _bstr_t& name) {
    long result = 0;
    HRESULT hr = raw_VariableNumber(name, &result);
    if (FAILED(hr))
        _com_issue_errorex(hr, this, __uuidof(this));
    return result;
}

} // namespace VELTRIUM

namespace Vexil {

inline _CharacteristicsPtr _ObjectManager::GetCharacteristics() {
    struct _Characteristics* result = nullptr;
    HRESULT hr = get_Characteristics(&result);
    if (FAILED(hr))
        _com_issue_errorex(hr, this, __uuidof(this));
    return _CharacteristicsPtr(result, false);
}

inline _CharacteristicPtr _Characteristics::Item(long charId) {
    struct _Characteristic* result = nullptr;
    HRESULT hr = raw_Item(charId, &result);
    if (FAILED(hr))
        _com_issue_errorex(hr, this, __uuidof(this));
    return _CharacteristicPtr(result, false);
}

inline _bstr_t _Characteristic::Name() {
    BSTR result = nullptr;
    HRESULT hr = raw_Name(&result);
    if (FAILED(hr))
        _com_issue_errorex(hr, this, __uuidof(this));
    return _bstr_t(result, false);
}

} // namespace Vexil

namespace VELIQCVChartsLib {

inline long _IQCVCharts::ChartType() {
    long result = 0;
    HRESULT hr = raw_ChartType(&result);
    if (FAILED(hr))
        _com_issue_errorex(hr, this, __uuidof(this));
    return result;
}

inline long _IQCVCharts::ObservationVariable() {
    long result = 0;
    HRESULT hr = raw_ObservationVariable(&result);
    if (FAILED(hr))
        _com_issue_errorex(hr, this, __uuidof(this));
    return result;
}

inline long _IQCVCharts::SpecLimitSet(long sample) {
    long result = 0;
    HRESULT hr = raw_SpecLimitSet(sample, &result);
    if (FAILED(hr))
        _com_issue_errorex(hr, this, __uuidof(this));
    return result;
}

inline double _IQCVCharts::SampleFirstCase(long sample) {
    double result = 0;
    HRESULT hr = raw_SampleFirstCase(sample, &result);
    if (FAILED(hr))
        _com_issue_errorex(hr, this, __uuidof(this));
    return result;
}

inline HRESULT _IQCVCharts::Launch(long flags) {
    HRESULT hr = raw_Launch(flags);
    if (FAILED(hr))
        _com_issue_errorex(hr, this, __uuidof(this));
    return hr;
}

inline long _IQCVCharts::FindSample(const _bstr_t& label, const _bstr_t& key) {
    long result = 0;
    HRESULT hr = raw_FindSample(label, key, &result);
    if (FAILED(hr))
        _com_issue_errorex(hr, this, __uuidof(this));
    return result;
}

inline HRESULT _IQCVCharts::PutEnableSampleOutOfControlEvent(VARIANT_BOOL enable) {
    HRESULT hr = put_EnableSampleOutOfControlEvent(enable);
    if (FAILED(hr))
        _com_issue_errorex(hr, this, __uuidof(this));
    return hr;
}

inline HRESULT _IQCVCharts::PutEnableSampleOutsideWarningLimitsEvent(VARIANT_BOOL enable) {
    HRESULT hr = put_EnableSampleOutsideWarningLimitsEvent(enable);
    if (FAILED(hr))
        _com_issue_errorex(hr, this, __uuidof(this));
    return hr;
}

inline HRESULT _IQCVCharts::PutEnableRunsViolationEvent(VARIANT_BOOL enable) {
    HRESULT hr = put_EnableRunsViolationEvent(enable);
    if (FAILED(hr))
        _com_issue_errorex(hr, this, __uuidof(this));
    return hr;
}

inline HRESULT _IQCVCharts::PutEnableObsOutsideSpecsEvent(VARIANT_BOOL enable) {
    HRESULT hr = put_EnableObsOutsideSpecsEvent(enable);
    if (FAILED(hr))
        _com_issue_errorex(hr, this, __uuidof(this));
    return hr;
}

inline long _IQCVCharts::SpecLimitType(long set) {
    long result = 0;
    HRESULT hr = raw_SpecLimitType(set, &result);
    if (FAILED(hr))
        _com_issue_errorex(hr, this, __uuidof(this));
    return result;
}

inline double _IQCVCharts::LowerSpecLimit(long set) {
    double result = 0;
    HRESULT hr = raw_LowerSpecLimit(set, &result);
    if (FAILED(hr))
        _com_issue_errorex(hr, this, __uuidof(this));
    return result;
}

inline double _IQCVCharts::UpperSpecLimit(long set) {
    double result = 0;
    HRESULT hr = raw_UpperSpecLimit(set, &result);
    if (FAILED(hr))
        _com_issue_errorex(hr, this, __uuidof(this));
    return result;
}

inline double _IQCVCharts::XMeasure(long sample) {
    double result = 0;
    HRESULT hr = raw_XMeasure(sample, &result);
    if (FAILED(hr))
        _com_issue_errorex(hr, this, __uuidof(this));
    return result;
}

inline double _IQCVCharts::RMeasure(long sample) {
    double result = 0;
    HRESULT hr = raw_RMeasure(sample, &result);
    if (FAILED(hr))
        _com_issue_errorex(hr, this, __uuidof(this));
    return result;
}

inline double _IQCVCharts::XLowerControlLimit(long sample) {
    double result = 0;
    HRESULT hr = raw_XLowerControlLimit(sample, &result);
    if (FAILED(hr))
        _com_issue_errorex(hr, this, __uuidof(this));
    return result;
}

inline double _IQCVCharts::XUpperControlLimit(long sample) {
    double result = 0;
    HRESULT hr = raw_XUpperControlLimit(sample, &result);
    if (FAILED(hr))
        _com_issue_errorex(hr, this, __uuidof(this));
    return result;
}

inline double _IQCVCharts::XLowerWarningLimit(long sample) {
    double result = 0;
    HRESULT hr = raw_XLowerWarningLimit(sample, &result);
    if (FAILED(hr))
        _com_issue_errorex(hr, this, __uuidof(this));
    return result;
}

inline double _IQCVCharts::XUpperWarningLimit(long sample) {
    double result = 0;
    HRESULT hr = raw_XUpperWarningLimit(sample, &result);
    if (FAILED(hr))
        _com_issue_errorex(hr, this, __uuidof(this));
    return result;
}

inline double _IQCVCharts::RLowerControlLimit(long sample) {
    double result = 0;
    HRESULT hr = raw_RLowerControlLimit(sample, &result);
    if (FAILED(hr))
        _com_issue_errorex(hr, this, __uuidof(this));
    return result;
}

inline double _IQCVCharts::RUpperControlLimit(long sample) {
    double result = 0;
    HRESULT hr = raw_RUpperControlLimit(sample, &result);
    if (FAILED(hr))
        _com_issue_errorex(hr, this, __uuidof(this));
    return result;
}

inline double _IQCVCharts::RLowerWarningLimit(long sample) {
    double result = 0;
    HRESULT hr = raw_RLowerWarningLimit(sample, &result);
    if (FAILED(hr))
        _com_issue_errorex(hr, this, __uuidof(this));
    return result;
}

inline double _IQCVCharts::RUpperWarningLimit(long sample) {
    double result = 0;
    HRESULT hr = raw_RUpperWarningLimit(sample, &result);
    if (FAILED(hr))
        _com_issue_errorex(hr, this, __uuidof(this));
    return result;
}

inline long _IQCVCharts::XNoLowerControlLimit() {
    long result = 0;
    HRESULT hr = raw_XNoLowerControlLimit(&result);
    if (FAILED(hr))
        _com_issue_errorex(hr, this, __uuidof(this));
    return result;
}

inline long _IQCVCharts::XNoUpperControlLimit() {
    long result = 0;
    HRESULT hr = raw_XNoUpperControlLimit(&result);
    if (FAILED(hr))
        _com_issue_errorex(hr, this, __uuidof(this));
    return result;
}

inline long _IQCVCharts::RNoLowerControlLimit() {
    long result = 0;
    HRESULT hr = raw_RNoLowerControlLimit(&result);
    if (FAILED(hr))
        _com_issue_errorex(hr, this, __uuidof(this));
    return result;
}

inline long _IQCVCharts::RNoUpperControlLimit() {
    long result = 0;
    HRESULT hr = raw_RNoUpperControlLimit(&result);
    if (FAILED(hr))
        _com_issue_errorex(hr, this, __uuidof(this));
    return result;
}

inline long _IQCVCharts::XNoLowerWarningLimit() {
    long result = 0;
    HRESULT hr = raw_XNoLowerWarningLimit(&result);
    if (FAILED(hr))
        _com_issue_errorex(hr, this, __uuidof(this));
    return result;
}

inline long _IQCVCharts::XNoUpperWarningLimit() {
    long result = 0;
    HRESULT hr = raw_XNoUpperWarningLimit(&result);
    if (FAILED(hr))
        _com_issue_errorex(hr, this, __uuidof(this));
    return result;
}

inline long _IQCVCharts::RNoLowerWarningLimit() {
    long result = 0;
    HRESULT hr = raw_RNoLowerWarningLimit(&result);
    if (FAILED(hr))
        _com_issue_errorex(hr, this, __uuidof(this));
    return result;
}

inline long _IQCVCharts::RNoUpperWarningLimit() {
    long result = 0;
    HRESULT hr = raw_RNoUpperWarningLimit(&result);
    if (FAILED(hr))
        _com_issue_errorex(hr, this, __uuidof(this));
    return result;
}

} // namespace VELIQCVChartsLib

__CRT_UUID_DECL(VELIQCVChartsLib::IQCVChartsEvents, 0x1214ded3, 0xa0d6, 0x41c0, 0x83, 0xde, 0x40,
                0x71, 0x6a, 0x29, 0xd0, 0xae)

namespace VELIQCVChartsLib {

// The chart server's outgoing dispinterface. Events arrive through IDispatch::Invoke by DISPID;
// the arguments are listed in declaration order (rgvarg holds them in reverse).
struct IQCVChartsEvents : IDispatch {};

enum QCVChartsEventId : DISPID {
    // (chart, SAFEARRAY labels, SAFEARRAY keys, VARIANT_BOOL flag, long chartParts)
    DISPID_SampleOutOfControl = 1,
    // as SampleOutOfControl
    DISPID_SampleOutsideWarningLimits = 2,
    // (chart, firstLabels, firstKeys, lastLabels, lastKeys, tests, VARIANT_BOOL flag, long value)
    DISPID_RunsViolation = 3,
    // (chart, labels, keys, observations, VARIANT_BOOL flag, long value)
    DISPID_ObsOutsideSpecs = 4,
    // (chart, long sample): a sample was added to the chart; informational
    DISPID_SampleAdded = 5,
    // (VARIANT_BOOL* cancel): asked between samples; set it to VARIANT_TRUE to stop the run
    DISPID_QueryCancel = 6,
    // (chart): the run started; informational
    DISPID_RunStarted = 7,
    // (chart, long samples): the run ended; informational
    DISPID_RunCompleted = 8,
};

} // namespace VELIQCVChartsLib
