#include "ZAVTools/CrashReport.h"

#include "ZAVTools/ModuleLog.h"
#include "failure/ErrorsFolder.h"

namespace {

using StackTraceEntry = void(__cdecl*)(int, int, void*, CONTEXT*, void*);
using SilentReportEntry = void(__cdecl*)(int, const char*, EXCEPTION_POINTERS*, const char*);

// The crash-report module stays loaded once it was found: a report may be needed again, and
// the module may keep state between its calls.
template <typename Entry> Entry CrashReportEntry(const char* name) {
    HMODULE module = ::LoadLibraryA("CrashRpt");
    return module ? reinterpret_cast<Entry>(reinterpret_cast<void*>(::GetProcAddress(module, name)))
                  : nullptr;
}

} // namespace

void CreateCrashReport(win32_exception& e, CBaseZAVModule& module) {
    if (e.m_reported)
        return;
    CString what(e.what());
    CString folder = zav::GetErrorsFolder();
    if (auto stackTrace = CrashReportEntry<StackTraceEntry>("StackTrace"))
        stackTrace(0, 9999, nullptr, e.m_info.ContextRecord, nullptr);
    if (auto silentReport = CrashReportEntry<SilentReportEntry>("GenerateSilentErrorReport"))
        silentReport(0, folder, &e.m_info, what);
    ModuleLog(module, LOG_ERROR, "Process dump was generated in [%s]",
              zav::GetErrorsFolder().GetString());
    e.m_reported = true;
}
