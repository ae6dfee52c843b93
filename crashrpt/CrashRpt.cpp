// CrashRpt.dll: the crash-report module that ZAVTools loads by name when a machine fault has been
// caught. It writes a minidump of the process and a short text report into the folder it is
// given, so that a numeric fault in a QC run leaves something to debug.
//
// StackTrace is called first, with the fault's processor context; GenerateSilentErrorReport
// follows on the same thread and writes both files.
#include <windows.h>
#include <dbghelp.h>
#include <cstdio>
#include <string>

namespace {

// What StackTrace learnt of the faulting frame, for the report that follows on this thread.
thread_local std::string t_faultFrame;

std::string ModuleAndOffset(DWORD64 address) {
    HMODULE module = nullptr;
    char path[MAX_PATH] = "?";
    char text[MAX_PATH + 64];
    if (::GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                 GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                             reinterpret_cast<LPCSTR>(address), &module) &&
        ::GetModuleFileNameA(module, path, MAX_PATH)) {
        const char* name = strrchr(path, '\\');
        snprintf(text, sizeof text, "%s+0x%llx", name ? name + 1 : path,
                 static_cast<unsigned long long>(address - reinterpret_cast<DWORD64>(module)));
    } else {
        snprintf(text, sizeof text, "0x%016llx", static_cast<unsigned long long>(address));
    }
    return text;
}

std::string DescribeContext(const CONTEXT* context) {
    if (!context)
        return "no processor context\r\n";
    char text[512];
    snprintf(text, sizeof text,
             "at %s\r\n"
             "rip=%016llx rsp=%016llx rbp=%016llx\r\n"
             "rax=%016llx rbx=%016llx rcx=%016llx rdx=%016llx\r\n"
             "rsi=%016llx rdi=%016llx r8=%016llx r9=%016llx\r\n",
             ModuleAndOffset(context->Rip).c_str(), context->Rip, context->Rsp, context->Rbp,
             context->Rax, context->Rbx, context->Rcx, context->Rdx, context->Rsi, context->Rdi,
             context->R8, context->R9);
    return text;
}

// "crash-<process>-<yyyymmdd-hhmmss>-<thread>" in `folder`.
std::string ReportBase(const char* folder) {
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    char name[96];
    snprintf(name, sizeof name, "crash-%lu-%04u%02u%02u-%02u%02u%02u-%lu", ::GetCurrentProcessId(),
             now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond,
             ::GetCurrentThreadId());
    std::string base = folder && *folder ? folder : ".";
    if (base.back() != '\\' && base.back() != '/')
        base += '\\';
    return base + name;
}

bool WriteDump(const std::string& path, EXCEPTION_POINTERS* pointers) {
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    MINIDUMP_EXCEPTION_INFORMATION exception = {::GetCurrentThreadId(), pointers, FALSE};
    BOOL written =
        ::MiniDumpWriteDump(::GetCurrentProcess(), ::GetCurrentProcessId(), file, MiniDumpNormal,
                            pointers ? &exception : nullptr, nullptr, nullptr);
    ::CloseHandle(file);
    if (!written)
        ::DeleteFileA(path.c_str());
    return written != FALSE;
}

void WriteReport(const std::string& path, const char* what, EXCEPTION_POINTERS* pointers,
                 bool dumped) {
    FILE* report = fopen(path.c_str(), "wb");
    if (!report)
        return;
    char process[MAX_PATH] = "?";
    ::GetModuleFileNameA(nullptr, process, MAX_PATH);
    const EXCEPTION_RECORD* record = pointers ? pointers->ExceptionRecord : nullptr;
    fprintf(report, "Process: %s (%lu), thread %lu\r\n", process, ::GetCurrentProcessId(),
            ::GetCurrentThreadId());
    fprintf(report, "Exception: %s, code 0x%08lX\r\n", what ? what : "",
            record ? record->ExceptionCode : 0ul);
    fputs(t_faultFrame.empty() && pointers ? DescribeContext(pointers->ContextRecord).c_str()
                                           : t_faultFrame.c_str(),
          report);
    fprintf(report, "Dump: %s\r\n", dumped ? "written beside this report" : "could not be written");
    fclose(report);
    t_faultFrame.clear();
}

} // namespace

// The library passes 0, 9999, null, the fault's context and null.
extern "C" __declspec(dllexport) void __cdecl StackTrace(int, int, void*, CONTEXT* context, void*) {
    t_faultFrame = DescribeContext(context);
}

extern "C" __declspec(dllexport) void __cdecl GenerateSilentErrorReport(
    int, const char* folder, EXCEPTION_POINTERS* pointers, const char* what) {
    const std::string base = ReportBase(folder);
    const bool dumped = WriteDump(base + ".dmp", pointers);
    WriteReport(base + ".txt", what, pointers, dumped);
}
