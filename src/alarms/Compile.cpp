// CSpecManager::Complie: the alarm options of a QC project file, read into the CSpecManager.
#include <cstdio>

#include "ZAVTools/ComErrors.h"
#include "ZAVTools/Exceptions.h"
#include "ZAVTools/ModuleLog.h"
#include "ZAVTools/ProjectFile.h"
#include "ZAVTools/SpecManager.h"
#include "alarms/ProjectCopy.h"
#include "alarms/SpecManagerImpl.h"
#include "logging/CatchLadder.h"
#include "res/StringIds.h"
#include "resources/ResourceLibrary.h"

namespace {

constexpr char kFunction[] = "CSpecManager::Complie";
constexpr char kActivity[] = "Getting options from qcp file";

void ReadSwitch(const char* key, const char* qcpFile, bool& flag) {
    int value = 0;
    if (GetValueFromQCPFile(key, qcpFile, value))
        flag = value != 0;
}

void ReadAlarmSwitches(SpecManagerImpl& state, const char* qcpFile) {
    int chart = 0;
    state.m_nCheckAlarmFor = 3;
    if (GetValueFromQCPFile("ChartOptCheckAlarmForXorRorBoth", qcpFile, chart) &&
        (chart == 1 || chart == 2))
        state.m_nCheckAlarmFor = chart;
    ReadSwitch("ChartOptAlarmOutOfSpecs", qcpFile, state.m_bProcessObsOutOfSpecs);
    ReadSwitch("ChartOptAlarmRunsViolation", qcpFile, state.m_bProcessRunsViolation);
    ReadSwitch("ChartOptAlarmOutOfControl", qcpFile, state.m_bProcessSampleOutOfControl);
    ReadSwitch("ChartOptAlarmOutOfWarning", qcpFile, state.m_bProcessSampleOutsideWarningLimits);
}

// Appended, not replaced: the handlers only ask whether a code is in the list.
void ReadRunsTests(SpecManagerImpl& state, const char* qcpFile) {
    static const char* const kKeys[] = {
        "RunsTestSameSideOfCenter", "RunsTestInDecreasing", "RunsTestUpAndDown", "RunsTestInZoneA",
        "RunsTestInZoneB",          "RunsTestInZoneC",      "RunsTestBeyondC"};
    for (int code = 0; code < 7; ++code) {
        int enabled = 0;
        if (GetValueFromQCPFile(kKeys[code], qcpFile, enabled) && enabled != 0)
            state.m_runsTests.push_back(code);
    }
}

// "<countKey>" = n, then "<itemFormat>" for 0..n-1; the first missing item is a file error.
void ReadVariableList(const char* countKey, const char* itemFormat, const char* qcpFile,
                      std::vector<int>& variables) {
    variables.clear();
    int count = 0;
    if (!GetValueFromQCPFile(countKey, qcpFile, count))
        return;
    for (int i = 0; i < count; ++i) {
        char key[32];
        snprintf(key, sizeof key, itemFormat, i);
        int variable = 0;
        if (!GetValueFromQCPFile(key, qcpFile, variable))
            throw_exception(zav::OwnModule(), IDS_QCP_FILE_ERROR);
        variables.push_back(variable);
    }
}

// The characteristic's sample and piece variables, "SMPL_<name>" then "PIEC_<name>", where the
// spreadsheet has them.
void FindSampleColumns(SpecManagerImpl& state, Vexil::_ObjectManagerPtr objectManager) {
    if (!objectManager)
        _com_issue_error(E_POINTER);
    Vexil::_CharacteristicsPtr characteristics = objectManager->GetCharacteristics();
    if (!characteristics)
        _com_issue_error(E_POINTER);
    Vexil::_CharacteristicPtr characteristic = characteristics->Item(state.m_nCharId);
    if (!characteristic)
        _com_issue_error(E_POINTER);
    _bstr_t name = characteristic->Name();
    const char* narrow = static_cast<const char*>(name);
    for (const char* format : {"SMPL_%s", "PIEC_%s"}) {
        CString variableName;
        variableName.Format(format, narrow ? narrow : "");
        long variable = state.m_spSpreadsheet->VariableNumber(_bstr_t(variableName));
        if (variable > 0)
            state.m_autoUpdateColumns.push_back(variable);
    }
}

// Sample identities are built from the displayed texts of these variables; a time shown to
// the minute would make every sample of one minute the same sample.
void WidenTimeFormats(SpecManagerImpl& state) {
    for (int variable : state.m_autoUpdateColumns) {
        _bstr_t text = state.m_spSpreadsheet->VariableFormat(variable);
        CString format(static_cast<const char*>(text));
        int at = format.Find("h:mm");
        if (at < 0 || format.Find("h:mm:ss") >= 0)
            continue;
        CString widened = format.Left(at) + "h:mm:ss" + format.Mid(at + 4);
        state.m_spSpreadsheet->SetVariableFormat(variable, _bstr_t(widened));
    }
}

// A characteristic copied from another keeps the name it had there.
void ReadCharacteristicName(SpecManagerImpl& state, const char* qcpFile) {
    int charId = 0, originalCharId = 0;
    std::string name;
    if (GetValueFromQCPFile("CharID", qcpFile, charId) && charId != state.m_nCharId &&
        GetValueFromQCPFile("OriginalCharID", qcpFile, originalCharId) &&
        originalCharId == state.m_nCharId && GetStringFromQCPFile("CharName", qcpFile, name))
        state.m_strCharName = name.c_str();
}

void CompileProject(SpecManagerImpl& state, const char* qcpFile,
                    Vexil::_ObjectManagerPtr objectManager) {
    const bool copySaved = zav::SaveProjectCopy("SaveQCPFile", qcpFile);
    ReadAlarmSwitches(state, qcpFile);
    ReadRunsTests(state, qcpFile);
    state.m_nSampleVar = -1;
    GetValueFromQCPFile("SampleVar", qcpFile, state.m_nSampleVar);
    ReadVariableList("au_column_count", "au_column_%d", qcpFile, state.m_autoUpdateColumns);
    if (state.m_bFindSampleColumns && state.m_nSampleVar < 0 && state.m_autoUpdateColumns.empty())
        FindSampleColumns(state, objectManager);
    if (state.m_nSampleVar < 0 && state.m_autoUpdateColumns.empty()) {
        if (!copySaved)
            zav::SaveProjectCopy("SaveQCPFileOnError", qcpFile);
        throw_exception(zav::OwnModule(), IDS_NO_SAMPLE_IDENTITY);
    }
    ReadVariableList("zav_aux_data_count", "zav_aux_data_var_%d", qcpFile, state.m_auxDataVars);
    WidenTimeFormats(state);
    ReadCharacteristicName(state, qcpFile);
}

} // namespace

bool CSpecManager::Complie(CBaseZAVModule* module, const char* qcpFile,
                           Vexil::_ObjectManagerPtr objectManager) {
    if (!module)
        ThrowComError(E_POINTER, "CSpecManager::Complie needs the host module");
    CFunctionTrace trace(*module, kFunction);
    try {
        CompileProject(*m_pImpl, qcpFile, std::move(objectManager));
    } catch (...) {
        zav::RethrowLogged(*module, kFunction, kActivity);
    }
    return true;
}
