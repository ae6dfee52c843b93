// Structured exceptions become C++ exceptions on the threads that asked for it.
//
// GCC's exception model has no working _set_se_translator, so a vectored exception handler
// does its work: for a prepared thread it saves the exception record and context, and
// rewrites the faulting thread's context so that the thread resumes as if the faulting
// instruction had called FaultTrampoline. That function calls the translator, which throws;
// the unwinder then walks from the trampoline into the faulting frame and on to the catch
// handlers, running destructors on the way. The faulting code must be compiled with
// -fnon-call-exceptions, so that its unwind tables cover instructions that can fault.
//
// A vectored handler sees an exception before any frame-based handler does, while a
// translator proper is only asked by a C++ frame that the search reaches. So that exceptions
// which other code raises and handles itself stay untouched, only warnings and errors are
// translated (never informational codes such as debugger output or GCC's own throw), never a
// C++ exception of another runtime, and never an exception whose nearest handler is the
// system's own: RPC reports a failed call by an exception that its proxy turns back into an
// HRESULT, and IsBadReadPtr and its kind catch the faults they provoke.
#include "ZAVTools/Exceptions.h"

#include <float.h>
#include <wchar.h>
#include <xmmintrin.h>
#include <new>

#include "failure/BadAllocation.h"

namespace {

constexpr DWORD kCppExceptionCode = 0xE06D7363;
constexpr DWORD kSoftwareOriginate = 0x80; // set by newer systems on RaiseException records

// Where a prepared thread keeps its last fault until the translator has copied it.
struct ThreadFault {
    EXCEPTION_RECORD record;
    CONTEXT context;
};

// The slot holds the address of a prepared thread's ThreadFault. Reading a TLS slot neither
// allocates nor locks, which matters inside an exception handler: a thread that never
// prepared gets null and its thread_local storage is never touched there.
class Translation {
public:
    Translation() : m_slot(::TlsAlloc()) {
        UINT length = ::GetSystemWindowsDirectoryW(m_windowsFolder, MAX_PATH);
        if (length > 0 && length < MAX_PATH) {
            if (m_windowsFolder[length - 1] != L'\\')
                m_windowsFolder[length++] = L'\\';
            m_windowsFolderLength = length;
        }
        s_instance = this;
        if (m_slot != TLS_OUT_OF_INDEXES)
            m_handler = ::AddVectoredExceptionHandler(1, &Translation::Handle);
    }
    ~Translation() {
        if (m_handler)
            ::RemoveVectoredExceptionHandler(m_handler);
        if (m_slot != TLS_OUT_OF_INDEXES)
            ::TlsFree(m_slot);
        s_instance = nullptr;
    }
    Translation(const Translation&) = delete;
    Translation& operator=(const Translation&) = delete;

    static Translation& Instance() {
        static Translation instance;
        return instance;
    }

    void Prepare(ThreadFault* fault) {
        if (m_slot != TLS_OUT_OF_INDEXES)
            ::TlsSetValue(m_slot, fault);
    }
    static void Forget() {
        if (s_instance)
            s_instance->Prepare(nullptr);
    }
    // True when the first frame, from the fault outwards, that handles exceptions belongs to
    // the operating system: a module in the Windows folder, or one of the handlers that Wine's
    // own code registers with the thread rather than in unwind data.
    bool HandledBySystem(const CONTEXT& fault) const;

    static ThreadFault* Current() {
        if (!s_instance || s_instance->m_slot == TLS_OUT_OF_INDEXES)
            return nullptr;
        DWORD error = ::GetLastError();
        auto fault = static_cast<ThreadFault*>(::TlsGetValue(s_instance->m_slot));
        ::SetLastError(error);
        return fault;
    }

private:
    static LONG CALLBACK Handle(EXCEPTION_POINTERS* info);

    bool IsSystemModule(ULONG64 imageBase) const;

    static inline Translation* s_instance = nullptr;
    DWORD m_slot;
    void* m_handler = nullptr;
    wchar_t m_windowsFolder[MAX_PATH + 1] = {};
    size_t m_windowsFolderLength = 0;
};

// Released with the thread, so that a fault in its last moments is not redirected into a
// block that is gone.
struct PreparedThread {
    ThreadFault fault{};
    ~PreparedThread() { Translation::Forget(); }
};

bool Translatable(DWORD code) {
    return code >= 0x80000000 && code != kCppExceptionCode;
}

// Faults the processor raises itself. Their context points at the faulting instruction;
// a RaiseException context points behind a call.
bool RaisedByProcessor(const EXCEPTION_RECORD& record) {
    if (record.ExceptionFlags & kSoftwareOriginate)
        return false;
    switch (record.ExceptionCode) {
    case EXCEPTION_ACCESS_VIOLATION:
    case EXCEPTION_IN_PAGE_ERROR:
    case EXCEPTION_ILLEGAL_INSTRUCTION:
    case EXCEPTION_PRIV_INSTRUCTION:
    case EXCEPTION_DATATYPE_MISALIGNMENT:
    case EXCEPTION_SINGLE_STEP:
    case EXCEPTION_BREAKPOINT:
    case EXCEPTION_STACK_OVERFLOW:
    case STATUS_FLOAT_MULTIPLE_FAULTS:
    case STATUS_FLOAT_MULTIPLE_TRAPS:
        return true;
    default:
        return record.ExceptionCode >= EXCEPTION_FLT_DENORMAL_OPERAND &&
               record.ExceptionCode <= EXCEPTION_INT_OVERFLOW;
    }
}

struct HandlingFrame {
    bool found;
    ULONG64 imageBase;
    ULONG64 establisher;
};

// Walks the stack from the fault as the dispatcher will, up to the first function with an
// exception handler.
HandlingFrame NearestHandlingFrame(const CONTEXT& fault) {
    CONTEXT context = fault;
    for (int depth = 0; depth < 512 && context.Rip; ++depth) {
        ULONG64 imageBase = 0;
        PRUNTIME_FUNCTION function = ::RtlLookupFunctionEntry(context.Rip, &imageBase, nullptr);
        if (!function) {
            // A leaf function: the return address is on top of the stack.
            context.Rip = *reinterpret_cast<const ULONG64*>(context.Rsp);
            context.Rsp += 8;
            continue;
        }
        void* handlerData = nullptr;
        ULONG64 establisher = 0;
        if (::RtlVirtualUnwind(UNW_FLAG_EHANDLER, imageBase, context.Rip, function, &context,
                               &handlerData, &establisher, nullptr))
            return {true, imageBase, establisher};
    }
    return {false, 0, 0};
}

} // namespace

bool Translation::IsSystemModule(ULONG64 imageBase) const {
    wchar_t path[MAX_PATH + 1] = {};
    DWORD length = ::GetModuleFileNameW(reinterpret_cast<HMODULE>(imageBase), path, MAX_PATH);
    return m_windowsFolderLength > 0 && length > m_windowsFolderLength &&
           _wcsnicmp(path, m_windowsFolder, m_windowsFolderLength) == 0;
}

bool Translation::HandledBySystem(const CONTEXT& fault) const {
    HandlingFrame frame = NearestHandlingFrame(fault);
    NT_TIB* tib;
    // NtCurrentTeb's gs-relative read trips GCC 12's bounds check.
    asm("movq %%gs:0x30, %0" : "=r"(tib));
    auto registered = reinterpret_cast<ULONG64>(tib->ExceptionList);
    bool onStack =
        registered >= fault.Rsp && registered < reinterpret_cast<ULONG64>(tib->StackBase);
    if (onStack && (!frame.found || registered < frame.establisher))
        return true;
    return frame.found && IsSystemModule(frame.imageBase);
}

extern "C" void zav_FaultTrampoline();

// Entered with the stack pointer of the fault and, in rax, the address that a call from the
// faulting instruction would have pushed. Its unwind data describe an ordinary function with a
// frame pointer, so unwinding returns to the faulting frame with its stack pointer exact,
// however the stack was aligned at the fault.
asm(R"(
    .text
    .p2align 4
    .globl zav_FaultTrampoline
    .def zav_FaultTrampoline; .scl 2; .type 32; .endef
    .seh_proc zav_FaultTrampoline
zav_FaultTrampoline:
    pushq %rax
    pushq %rbp
    .seh_pushreg %rbp
    movq %rsp, %rbp
    .seh_setframe %rbp, 0
    .seh_endprologue
    andq $-16, %rsp
    subq $32, %rsp
    call zav_ThrowTranslatedFault
    int3
    .seh_endproc
)");

extern "C" [[noreturn]] void zav_ThrowTranslatedFault() {
    ThreadFault* fault = Translation::Current();
    EXCEPTION_POINTERS pointers{&fault->record, &fault->context};
    TranslateStructuredException(fault->record.ExceptionCode, &pointers);
}

LONG CALLBACK Translation::Handle(EXCEPTION_POINTERS* info) {
    const EXCEPTION_RECORD& record = *info->ExceptionRecord;
    if (!Translatable(record.ExceptionCode))
        return EXCEPTION_CONTINUE_SEARCH;
    ThreadFault* fault = Current();
    if (!fault || s_instance->HandledBySystem(*info->ContextRecord))
        return EXCEPTION_CONTINUE_SEARCH;
    fault->record = record;
    fault->record.ExceptionRecord = nullptr;
    fault->context = *info->ContextRecord;
    // GCC's personality looks up the instruction before a frame's return address, so a fault
    // must look as if it were called from one byte into the faulting instruction.
    CONTEXT& context = *info->ContextRecord;
    context.Rax = context.Rip + (RaisedByProcessor(record) ? 1 : 0);
    context.Rip = reinterpret_cast<DWORD64>(&zav_FaultTrampoline);
    return EXCEPTION_CONTINUE_EXECUTION;
}

namespace {

// A pending floating-point exception must not fire again inside the catch handlers. The
// x87 control word is kept: fninit would reset it.
void ClearFloatingPointState() {
    _clearfp();
    unsigned short control;
    asm volatile("fnstcw %0\n\tfninit\n\tfldcw %0" : "=m"(control)::"memory");
    _mm_setcsr(_mm_getcsr() & ~0x3Fu);
}

void ThrowBadAlloc() {
    throw zav::BadAllocation();
}

// msvcrt exports its new-handler functions under their C++ names as Microsoft's compiler
// decorates them, which GCC cannot name; they are looked up by those names instead.
void InstallRuntimeNewHandler() {
    using SetHandler = int(__cdecl*)(int(__cdecl*)(size_t));
    using SetMode = int(__cdecl*)(int);
    HMODULE runtime = ::GetModuleHandleA("msvcrt.dll");
    if (!runtime)
        return;
    auto setHandler = reinterpret_cast<SetHandler>(reinterpret_cast<void*>(
        ::GetProcAddress(runtime, "?_set_new_handler@@YAP6AH_K@ZP6AH0@Z@Z")));
    auto setMode = reinterpret_cast<SetMode>(
        reinterpret_cast<void*>(::GetProcAddress(runtime, "?_set_new_mode@@YAHH@Z")));
    if (setHandler)
        setHandler(&NewHandler);
    if (setMode)
        setMode(1);
}

} // namespace

void TranslateStructuredException(unsigned code, EXCEPTION_POINTERS* info) {
    ClearFloatingPointState();
    if (code == EXCEPTION_ACCESS_VIOLATION)
        throw access_violation(info);
    if ((code >= EXCEPTION_FLT_DENORMAL_OPERAND && code <= EXCEPTION_INT_OVERFLOW) ||
        code == STATUS_FLOAT_MULTIPLE_FAULTS || code == STATUS_FLOAT_MULTIPLE_TRAPS)
        throw numeric_exception(info);
    throw win32_exception(info);
}

int NewHandler(unsigned long long) {
    throw zav::BadAllocation();
}

void PrepareExceptionHandling() {
    thread_local PreparedThread prepared;
    Translation::Instance().Prepare(&prepared.fault);
    // msvcrt's malloc calls the handler when the new mode is 1; operator new of this
    // library's C++ runtime asks its own handler.
    InstallRuntimeNewHandler();
    std::set_new_handler(&ThrowBadAlloc);
}
