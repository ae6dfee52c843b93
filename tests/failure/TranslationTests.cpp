// Machine faults as C++ exceptions on the threads that prepared for them, and the exception
// classes themselves.
#include <gtest/gtest.h>

#include <float.h>
#include <xmmintrin.h>
#include <cstring>
#include <memory>
#include <thread>

#include "ZAVTools.h"
#include "support/ChildProcess.h"
#include "support/Files.h"

namespace {

volatile int g_zero = 0, g_destroyed = 0;
volatile double g_zeroDouble = 0.0;
int* volatile g_badAddress = reinterpret_cast<int*>(0x18);
size_t (*volatile g_strlen)(const char*) = &strlen;
void* (*volatile g_malloc)(size_t) = &malloc;

struct Sentinel {
    ~Sentinel() { g_destroyed = g_destroyed + 1; }
};

// The exception's class and name, "numeric_exception Division By Zero" (GCC's type names start
// with their length), and where an access violation was.
std::string Described(const win32_exception& e) {
    return std::string(typeid(e).name()).substr(2) + " " + e.what() +
           (e.m_record.ExceptionCode == EXCEPTION_ACCESS_VIOLATION
                ? " at " + std::to_string(e.m_record.ExceptionInformation[1])
                : "");
}

template <DWORD code> void Raise() {
    ::RaiseException(code, 0, 0, nullptr);
}

// Every fault on the calling thread, which prepares itself, with the float division by zero
// unmasked. strlen runs in the C runtime and handles nothing: its fault is translated. Raised
// codes keep their own class and name.
void RunFaults() {
    const std::pair<void (*)(), const char*> faults[] = {
        {[] {
             Sentinel inTheFaultingFrame;
             g_zero = 7 / g_zero;
         },
         "numeric_exception Division By Zero"},
        {[] { g_zeroDouble = 1.0 / g_zeroDouble; }, "numeric_exception Division By Zero"},
        {[] { *g_badAddress = 1; }, "access_violation Access Violation at 24"},
        {[] { g_strlen(reinterpret_cast<const char*>(g_badAddress)); },
         "access_violation Access Violation at 24"},
        {Raise<0xE0012345>, "win32_exception 0xE0012345"},
        {Raise<0xC000008C>, "win32_exception Array Bounds Exceeded"},
        {Raise<0xC000008D>, "numeric_exception Float Denormal Operand"},
        {Raise<0xC0000095>, "numeric_exception Integer Overflow"},
        {Raise<0xC0000096>, "win32_exception Privileged Instruction"},
        {Raise<0xC00002B4>, "numeric_exception Multiple SSE Faults"},
        {Raise<0xC00002B5>, "numeric_exception Multiple SSE Traps"}};
    PrepareExceptionHandling();
    unsigned masks = 0, ignored = 0;
    _controlfp_s(&masks, 0, 0);
    _controlfp_s(&ignored, masks & ~_EM_ZERODIVIDE, _MCW_EM);
    for (const auto& [fault, expected] : faults) {
        try {
            fault();
            ADD_FAILURE() << expected << " did not fault";
        } catch (const win32_exception& e) {
            EXPECT_EQ(expected, Described(e));
            EXPECT_TRUE(e.m_info.ExceptionRecord == &e.m_record &&
                        e.m_info.ContextRecord == &e.m_context);
            EXPECT_EQ(0u, _mm_getcsr() & 0x3Fu) << "no SSE exception flag is left pending";
        }
    }
    _clearfp();
    _controlfp_s(&ignored, masks, _MCW_EM);
}

TEST(Translation, EachPreparedThreadGetsItsFaultsAsExceptions) {
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
        ASSERT_TRUE(child.Wait(30000));
        EXPECT_EQ(code, child.ExitCode());
    }
}

TEST(ExceptionClasses, CopiesTextsAndAllocationFailures) {
    EXCEPTION_RECORD record{};
    CONTEXT context{};
    EXCEPTION_POINTERS pointers{&record, &context}, recordOnly{&record, nullptr};
    record.ExceptionCode = 0xE0000001;
    context.Rip = 0x1234;
    auto original = std::make_unique<numeric_exception>(&pointers);
    numeric_exception copy(*original);
    win32_exception assigned(nullptr);
    assigned = win32_exception(&recordOnly);
    original.reset();
    EXPECT_TRUE(copy.m_info.ExceptionRecord == &copy.m_record &&
                copy.m_info.ContextRecord == &copy.m_context && copy.m_context.Rip == 0x1234);
    EXPECT_TRUE(assigned.m_info.ExceptionRecord == &assigned.m_record &&
                !assigned.m_info.ContextRecord);
    EXPECT_STREQ("0x       0", win32_exception(nullptr).what());
    record.ExceptionCode = 0x1234;
    EXPECT_STREQ("0x    1234", win32_exception(&recordOnly).what());
    // An unnamed code's text is the thread's own: another thread's does not overwrite it.
    const char* unnamed = copy.what();
    record.ExceptionCode = 0xE0000002;
    std::thread([&] { EXPECT_STREQ("0xE0000002", win32_exception(&recordOnly).what()); }).join();
    EXPECT_STREQ("0xE0000001", unnamed);

    for (const auto& [id, text] :
         {std::pair{4001, "Runner: QCP file error"}, std::pair{3999, ""}}) {
        try {
            throw_exception(nullptr, id);
        } catch (const CProgramException& e) {
            EXPECT_STREQ(text, e.what());
        }
    }
    EXPECT_STREQ("Unknown exception", CProgramException(nullptr).what());
    std::string temporary = "temporary text";
    auto program = std::make_unique<CProgramException>(temporary.c_str());
    temporary[0] = 'x';
    CProgramException programCopy(*program), programAssigned(nullptr);
    programAssigned = *program;
    program.reset();
    EXPECT_STREQ("temporary text", programCopy.what());
    EXPECT_STREQ("temporary text", programAssigned.what());

    // Wine refuses a block of this size at once; it searches long for some terabytes.
    PrepareExceptionHandling();
    EXPECT_THROW(free(g_malloc(size_t{1} << 62)), std::bad_alloc);
    EXPECT_THROW(NewHandler(16), std::bad_alloc);
}

} // namespace
