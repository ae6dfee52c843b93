// CSpecManager::NotifyZAVServerOfAlarms: the kept alarms handed to the service in one call.
#include "ZAVTools/ComErrors.h"
#include "ZAVTools/ModuleLog.h"
#include "ZAVTools/SpecManager.h"
#include "alarms/SpecManagerImpl.h"
#include "logging/CatchLadder.h"

namespace {

constexpr char kFunction[] = "CSpecManager::NotifyZAVServerOfAlarms";
constexpr char kActivity[] = "Notifying ZAV Service of any QC alarms that may have occured";

void HandOver(const SpecManagerImpl& state) {
    const std::vector<QCAlarm>& alarms = state.m_alarms;
    if (alarms.empty())
        return;
    if (!state.m_pServerNotify)
        ThrowComError(E_POINTER, "No service to notify of QC alarms");
    // Only what the service itself leaves on the thread may describe its failure.
    ::SetErrorInfo(0, nullptr);
    HRESULT hr = state.m_pServerNotify->NotifyAlarms(alarms.size(), alarms.data());
    if (FAILED(hr))
        ThrowComErrorFromThread(hr, "Error while notifying service of QC alarms");
}

} // namespace

bool CSpecManager::NotifyZAVServerOfAlarms(CBaseZAVModule* module) {
    if (!module)
        ThrowComError(E_POINTER, "CSpecManager::NotifyZAVServerOfAlarms needs the host module");
    CFunctionTrace trace(*module, kFunction);
    try {
        HandOver(*m_pImpl);
    } catch (...) {
        zav::RethrowLogged(*module, kFunction, kActivity);
    }
    return true;
}
