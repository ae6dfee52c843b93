#include "ZAVTools/SpecManager.h"

#include <cstring>

#include "alarms/SpecManagerImpl.h"

CSpecManager::CSpecManager(VELTRIUM::_SpreadsheetPtr spreadsheet,
                           std::vector<std::string>& wantedReturnCodes, int charId, int ignoreVar,
                           bool findSampleColumns, double ignoreThreshold,
                           IZAVServerNotify* serverNotify)
    : m_pImpl(new SpecManagerImpl(std::move(spreadsheet), wantedReturnCodes, charId, ignoreVar,
                                  findSampleColumns, ignoreThreshold, serverNotify)) {}

CSpecManager::CSpecManager(const CSpecManager& other)
    : m_pImpl(new SpecManagerImpl(*other.m_pImpl)) {}

// Copy-and-swap: the target's former state is freed once, and a failed copy leaves the
// target as it was.
CSpecManager& CSpecManager::operator=(const CSpecManager& other) {
    if (this != &other) {
        SpecManagerImpl* copy = new SpecManagerImpl(*other.m_pImpl);
        delete m_pImpl;
        m_pImpl = copy;
    }
    return *this;
}

CSpecManager::~CSpecManager() {
    delete m_pImpl;
}

void CSpecManager::SetCaseRange(const std::pair<int, int>& range) {
    m_pImpl->m_caseRange = range;
}

void CSpecManager::SetProcessName(const std::string& name) {
    m_pImpl->m_strProcessName = name;
}

int CSpecManager::GetCharId() {
    return m_pImpl->m_nCharId;
}

bool CSpecManager::ProcessAlarm_ObsOutOfSpecs() {
    return m_pImpl->m_bProcessObsOutOfSpecs;
}

bool CSpecManager::ProcessAlarm_RunsViolation() {
    return m_pImpl->m_bProcessRunsViolation;
}

bool CSpecManager::ProcessAlarm_SampleOutOfControl() {
    return m_pImpl->m_bProcessSampleOutOfControl;
}

bool CSpecManager::ProcessAlarm_SampleOutsideWarningLimits() {
    return m_pImpl->m_bProcessSampleOutsideWarningLimits;
}

bool CSpecManager::OnEndAlarmChecking() {
    return true;
}

bool CSpecManager::CheckWantedReturnCode(const char* code) {
    if (!code)
        return false;
    const size_t length = strlen(code);
    for (const std::string& wanted : m_pImpl->m_wantedReturnCodes.get())
        if (wanted.size() == length && memcmp(wanted.data(), code, length) == 0)
            return true;
    return false;
}
