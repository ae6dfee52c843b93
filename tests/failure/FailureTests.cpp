// Machine faults as C++ exceptions on the threads that prepared for them, the exception classes,
// COM errors raised by the library, and crash reports of machine faults.
#include <gtest/gtest.h>
#include <float.h>
#include <xmmintrin.h>
#include <thread>

#include "ZAVTools.h"
#include "support/ChildProcess.h"
#include "support/Files.h"
#include "support/ComCheck.h"
#include "support/Steering.h"
#include "support/TestModule.h"

namespace {

volatile int g_zero = 0, g_destroyed = 0;
volatile double g_zeroDouble = 0.0;
int* volatile g_badAddress = reinterpret_cast<int*>(0x18);
size_t (*volatile g_strlen)(const char*) = &strlen;
void* (*volatile g_malloc)(size_t) = &malloc;

// Divides by zero with its own destructor pending.
struct Sentinel {
    int Divide() const { return 7 / g_zero; }
    ~Sentinel() { g_destroyed = g_destroyed + 1; }
};

// The exception's class (GCC's type names start with their length) and name, and the address
// an access violation names: "access_violation Access Violation at 24".
std::string Described(const win32_exception& e) {
    const bool violation = e.m_record.ExceptionCode == EXCEPTION_ACCESS_VIOLATION;
    return std::string(typeid(e).name()).substr(2) + " " + e.what() +
           (violation ? " at " + std::to_string(e.m_record.ExceptionInformation[1]) : "");
}

template <DWORD code> void Raise() {
    ::RaiseException(code, 0, 0, nullptr);
}

// Every fault on the calling thread, which prepares itself, with the float division by zero
// unmasked. strlen runs in the C runtime and handles nothing: its fault is translated. Raised
// codes keep their own class and name.
void RunFaults() {
    const std::pair<void (*)(), const char*> faults[] = {
        {[] { g_zero = Sentinel().Divide(); }, "numeric_exception Division By Zero"},
        {[] { g_zeroDouble = 1.0 / g_zeroDouble; }, "numeric_exception Division By Zero"},
        {[] { *g_badAddress = 1; }, "access_violation Access Violation at 24"},
        {[] { g_strlen(reinterpret_cast<const char*>(g_badAddress)); },
         "access_violation Access Violation at 24"},
        {Raise<0xE0012345>, "win32_exception 0xE0012345"},
        {Raise<0xC000008C>, "win32_exception Array Bounds Exceeded"},
        {Raise<0xC000008D>, "numeric_exception Float Denormal Operand"},
        {Raise<0xC0000095>, "numeric_exception Integer Overflow"},
        {Raise<0xC0000096>, "win32_exception Privileged Instruction"},
        {Raise<0xC00002B5>, "numeric_exception Multiple SSE Traps"}};
    PrepareExceptionHandling();
    const unsigned masks = _controlfp(0, 0);
    _controlfp(masks & ~_EM_ZERODIVIDE, _MCW_EM);
    for (const auto& [fault, expected] : faults) {
        try {
            fault();
            ADD_FAILURE() << expected << " did not fault";
        } catch (const win32_exception& e) {
            EXPECT_EQ(expected, Described(e));
            EXPECT_EQ(0u, _mm_getcsr() & 0x3Fu) << "no SSE exception flag is left pending";
        }
    }
    _clearfp();
    _controlfp(masks, _MCW_EM);
}

TEST(Translation, FaultsOnPreparedThreadsAndTheExceptionClasses) {
    RunFaults();
    std::thread(RunFaults).join();
    EXPECT_EQ(2, g_destroyed) << "the faulting frame was unwound";
    // The system catches the faults it provokes itself and answers with a result.
    EXPECT_TRUE(::IsBadReadPtr(g_badAddress, 4));
    EXPECT_EQ(0, ::lstrlenA(reinterpret_cast<const char*>(g_badAddress)));
    // An untranslated fault ends the child with its own code; a translated one that nobody
    // catches would end it through std::terminate.
    for (DWORD code : {0xE0001234ul, static_cast<DWORD>(EXCEPTION_INT_DIVIDE_BY_ZERO)}) {
        zavtest::ChildProcess child(zavtest::BesideThisExecutable("zavchild.exe"),
                                    "unprepared " + std::to_string(code));
        EXPECT_TRUE(child.Wait(30000) && child.ExitCode() == code) << child.ExitCode();
    }

    // Copies own their record and context, which outlive the fault.
    EXCEPTION_RECORD record{};
    CONTEXT context{};
    EXCEPTION_POINTERS pointers{&record, &context}, recordOnly{&record, nullptr};
    record.ExceptionCode = 0xE0000001;
    context.Rip = 0x1234;
    auto original = std::make_unique<numeric_exception>(&pointers);
    numeric_exception copy(*original);
    win32_exception assigned(&recordOnly);
    assigned = *original;
    original.reset();
    for (const win32_exception* e : {static_cast<win32_exception*>(&copy), &assigned})
        EXPECT_TRUE(e->m_info.ExceptionRecord == &e->m_record &&
                    e->m_info.ContextRecord == &e->m_context && e->m_context.Rip == 0x1234);
    // An unnamed code's text is the thread's own: another thread's does not overwrite it.
    const char* unnamed = copy.what();
    record.ExceptionCode = 0x1234;
    std::thread([&] { EXPECT_STREQ("0x    1234", win32_exception(&recordOnly).what()); }).join();
    EXPECT_STREQ("0xE0000001", unnamed);

    for (const auto& [id, text] :
         {std::pair{4001, "Runner: QCP file error"}, {3999, ""}, {-1, ""}, {0x100FA1, ""}}) {
        CProgramException caught(nullptr);
        EXPECT_STREQ("Unknown exception", caught.what());
        try {
            throw_exception(nullptr, id);
        } catch (const CProgramException& e) {
            caught = e;
        }
        EXPECT_STREQ(text, CProgramException(caught).what());
    }
    for (void (*fail)() : {+[] { free(g_malloc(size_t{1} << 62)); }, +[] { NewHandler(16); }})
        try {
            fail();
            ADD_FAILURE() << "no allocation failure";
        } catch (const std::bad_alloc& e) {
            EXPECT_STREQ("bad allocation", e.what()) << "as the C runtime names it";
        }
}

using namespace zavtest;
using Raised = std::pair<HRESULT, std::string>;

// What an automation server left on the thread wins over the caller's text, and MakeErrorInfo
// without a text leaves the thread's information alone.
TEST(ComErrors, RaisedWithTheirTextLeftOnTheThread) {
    EXPECT_EQ(Raised(E_FAIL, "No path"), ComErrorOf([] { ThrowComError(E_FAIL, "No path"); }));
    EXPECT_EQ("No path", ThreadErrorDescription());
    MakeErrorInfo("the server's");
    EXPECT_EQ(nullptr, MakeErrorInfo(nullptr).GetInterfacePtr());
    EXPECT_EQ(Raised(DISP_E_EXCEPTION, "the server's"),
              ComErrorOf([] { ThrowComErrorFromThread(DISP_E_EXCEPTION, "mine"); }));
    EXPECT_EQ(Raised(E_FAIL, "mine"), ComErrorOf([] { ThrowComErrorFromThread(E_FAIL, "mine"); }));
    // The system's text follows the prefix, without its line break.
    for (const auto& [code, hr] : {std::pair<DWORD, HRESULT>{ERROR_ACCESS_DENIED, 0x80070005},
                                   {0, E_FAIL},
                                   {E_OUTOFMEMORY, E_OUTOFMEMORY}})
        EXPECT_EQ(Raised(hr, "P: " + std::string(_com_error(code).ErrorMessage())),
                  ComErrorOf([&] { ThrowWin32Error(code, "P: "); }));
    EXPECT_EQ(Raised(0x8007FFFF, "P: "), ComErrorOf([] { ThrowWin32Error(0x2000FFFF, "P: "); }));
}

// The calls the crash-report module records for a report of `e` into `folder`.
std::vector<std::string> ReportCalls(const win32_exception& e, const std::string& folder) {
    char calls[400];
    snprintf(calls, sizeof calls,
             "StackTrace 0 9999 %p %p %p\nGenerateSilentErrorReport 0 [%s] %p %p %p c0000094 [%s]",
             nullptr, static_cast<const void*>(&e.m_context), nullptr, folder.c_str(),
             static_cast<const void*>(&e.m_info), static_cast<const void*>(&e.m_record),
             static_cast<const void*>(&e.m_context), e.what());
    return SplitLines(calls);
}

// One report per exception object, with that object's record and context: a copy taken before
// the report is an exception of its own. The errors folder is created level by level, and is
// empty when it cannot be had; without the crash-report module the line is still logged.
TEST(CrashReports, OnePerExceptionObjectIntoTheErrorsFolderWhateverIsMissing) {
    // Below the sandbox: the common application data, what the report names (none when null).
    const std::tuple<const char*, bool, bool, const char*> rows[] = {
        {"a\\b", false, true, "a\\b\\Veltrium\\Errors"},
        {"", true, true, nullptr},
        {"", false, false, "Veltrium\\Errors"}};
    EXCEPTION_RECORD record{};
    record.ExceptionCode = EXCEPTION_INT_DIVIDE_BY_ZERO;
    CONTEXT context{};
    EXCEPTION_POINTERS pointers{&record, &context};
    for (const auto& [base, fail, crashRpt, named] : rows) {
        CrashSandbox sandbox;
        CrashSandbox::folder = sandbox.scratch / base;
        CrashSandbox::fail = fail;
        const std::string folder = named ? sandbox.scratch / named : "";
        std::unique_ptr<ImportPatch> noCrashRpt(
            crashRpt ? nullptr
                     : new ImportPatch(
                           "KERNEL32.dll", "LoadLibraryA",
                           reinterpret_cast<void*>(+[](LPCSTR) -> HMODULE { return nullptr; })));
        TestModule module("ERROR");
        numeric_exception e(&pointers), before(e);
        CreateCrashReport(e, module);
        CreateCrashReport(e, module);
        CreateCrashReport(before, module);
        std::vector<std::string> expected = ReportCalls(e, folder);
        for (const std::string& call : ReportCalls(before, folder))
            expected.push_back(call);
        EXPECT_EQ(crashRpt ? expected : std::vector<std::string>(), sandbox.Calls());
        EXPECT_EQ(std::vector<std::string>(2, "Process dump was generated in [" + folder + "]"),
                  module.Messages("ERROR"));
        EXPECT_EQ(!folder.empty(), Exists(folder)) << folder;
    }
}

} // namespace
