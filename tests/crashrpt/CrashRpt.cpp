// A stand-in for the crash-report module, found by name beside the test executables. It writes
// no dump: it appends one line per call, with the arguments it received, to the file named by
// the environment variable ZAV_CRASHRPT_LOG (nothing when it is not set).
#include <windows.h>
#include <cstdio>

namespace {

void Record(const char* format, ...) {
    char path[MAX_PATH];
    if (!::GetEnvironmentVariableA("ZAV_CRASHRPT_LOG", path, MAX_PATH))
        return;
    FILE* file = fopen(path, "ab");
    if (!file)
        return;
    va_list args;
    va_start(args, format);
    vfprintf(file, format, args);
    va_end(args);
    fclose(file);
}

} // namespace

extern "C" __declspec(dllexport) void __cdecl StackTrace(int first, int second, void* third,
                                                         CONTEXT* context, void* fifth) {
    Record("StackTrace %d %d %p %p %p\r\n", first, second, third, static_cast<void*>(context),
           fifth);
}

extern "C" __declspec(dllexport) void __cdecl GenerateSilentErrorReport(
    int first, const char* folder, EXCEPTION_POINTERS* pointers, const char* what) {
    Record("GenerateSilentErrorReport %d [%s] %p %p %p %lx [%s]\r\n", first, folder ? folder : "",
           static_cast<void*>(pointers),
           pointers ? static_cast<void*>(pointers->ExceptionRecord) : nullptr,
           pointers ? static_cast<void*>(pointers->ContextRecord) : nullptr,
           pointers && pointers->ExceptionRecord ? pointers->ExceptionRecord->ExceptionCode : 0ul,
           what ? what : "");
}
