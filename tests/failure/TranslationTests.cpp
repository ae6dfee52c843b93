#include <gtest/gtest.h>

#include <float.h>
#include <xmmintrin.h>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <thread>
#include <typeinfo>

#include "ZAVTools.h"
#include "support/ChildProcess.h"

namespace {

volatile int g_zero = 0;
volatile double g_zeroDouble = 0.0;
int* volatile g_badAddress = reinterpret_cast<int*>(0x18);

// Counts destructor calls, to show that translated faults unwind the faulting frame.
struct Sentinel {
    int& destroyed;
    ~Sentinel() { ++destroyed; }
};

// Unmasks one floating-point exception for its lifetime.
class UnmaskedFloatException {
public:
    explicit UnmaskedFloatException(unsigned exception) {
        _controlfp_s(&m_saved, 0, 0);
        unsigned ignored;
        _controlfp_s(&ignored, m_saved & ~exception, _MCW_EM);
    }
    ~UnmaskedFloatException() {
        _clearfp();
        unsigned ignored;
        _controlfp_s(&ignored, m_saved, _MCW_EM);
    }

private:
    unsigned m_saved = 0;
};

class Translation : public ::testing::Test {
protected:
    void SetUp() override { PrepareExceptionHandling(); }
};

TEST_F(Translation, IntegerDivisionByZeroIsNumericAndUnwindsTheFaultingFrame) {
    int destroyed = 0;
    for (int round = 0; round < 3; ++round) {
        try {
            Sentinel sentinel{destroyed};
            volatile int result = 7 / g_zero;
            (void)result;
            FAIL() << "no fault";
        } catch (const numeric_exception& e) {
            EXPECT_STREQ("Division By Zero", e.what());
            ASSERT_NE(nullptr, e.m_info.ExceptionRecord);
            EXPECT_EQ(EXCEPTION_INT_DIVIDE_BY_ZERO, e.m_record.ExceptionCode);
            EXPECT_EQ(&e.m_record, e.m_info.ExceptionRecord);
            EXPECT_EQ(&e.m_context, e.m_info.ContextRecord);
            EXPECT_EQ(reinterpret_cast<DWORD64>(e.m_record.ExceptionAddress), e.m_context.Rip);
            EXPECT_FALSE(e.m_reported);
        }
        EXPECT_EQ(round + 1, destroyed) << "the faulting scope's destructor ran";
    }
}

TEST_F(Translation, FloatDivisionByZeroIsNumericWithTheSameNameAndLeavesNoPendingFlag) {
    UnmaskedFloatException unmasked(_EM_ZERODIVIDE);
    try {
        volatile double result = 1.0 / g_zeroDouble;
        (void)result;
        FAIL() << "no fault";
    } catch (const numeric_exception& e) {
        EXPECT_STREQ("Division By Zero", e.what());
        EXPECT_TRUE(e.m_record.ExceptionCode == EXCEPTION_FLT_DIVIDE_BY_ZERO ||
                    e.m_record.ExceptionCode == STATUS_FLOAT_MULTIPLE_TRAPS)
            << std::hex << e.m_record.ExceptionCode;
        EXPECT_EQ(0u, _mm_getcsr() & 0x3Fu) << "no SSE exception flag is left pending";
    }
}

TEST_F(Translation, AccessViolationNamesTheAddress) {
    try {
        *g_badAddress = 1;
        FAIL() << "no fault";
    } catch (const access_violation& e) {
        EXPECT_STREQ("Access Violation", e.what());
        ASSERT_EQ(2u, e.m_record.NumberParameters);
        EXPECT_EQ(1u, e.m_record.ExceptionInformation[0]) << "a write";
        EXPECT_EQ(0x18u, e.m_record.ExceptionInformation[1]);
    }
    // The ladder's order: an access violation also reaches a win32_exception handler.
    try {
        *g_badAddress = 2;
        FAIL() << "no fault";
    } catch (const win32_exception& e) {
        EXPECT_EQ(typeid(access_violation), typeid(e));
    }
}

TEST_F(Translation, RaisedCodesKeepTheirOwnClassAndName) {
    auto raise = [](DWORD code) { ::RaiseException(code, 0, 0, nullptr); };
    try {
        raise(0xE0012345);
        FAIL();
    } catch (const win32_exception& e) {
        EXPECT_EQ(typeid(win32_exception), typeid(e));
        EXPECT_STREQ("0xE0012345", e.what());
        EXPECT_EQ(nullptr, e.m_record.ExceptionRecord);
    }
    try {
        raise(EXCEPTION_ARRAY_BOUNDS_EXCEEDED);
        FAIL();
    } catch (const win32_exception& e) {
        EXPECT_EQ(typeid(win32_exception), typeid(e));
        EXPECT_STREQ("Array Bounds Exceeded", e.what());
    }
}

// The system's own code catches some faults it provokes and answers with a result; those must
// not become C++ exceptions. A fault in system code that does not handle it still does.
TEST_F(Translation, FaultsThatTheSystemHandlesItselfStayUntranslated) {
    const void* bad = g_badAddress;
    EXPECT_TRUE(::IsBadReadPtr(bad, 4));
    EXPECT_TRUE(::IsBadWritePtr(const_cast<void*>(bad), 4));
    EXPECT_EQ(0, ::lstrlenA(static_cast<const char*>(bad)));

    size_t (*volatile length)(const char*) = &strlen;
    try {
        length(static_cast<const char*>(bad));
        FAIL() << "no fault";
    } catch (const access_violation& e) {
        EXPECT_EQ(0x18u, e.m_record.ExceptionInformation[1]);
    }
}

TEST_F(Translation, EachThreadPreparesItself) {
    std::string seen;
    std::thread worker([&] {
        PrepareExceptionHandling();
        try {
            volatile int result = 1 / g_zero;
            (void)result;
        } catch (const numeric_exception& e) {
            seen = e.what();
        }
    });
    worker.join();
    EXPECT_EQ("Division By Zero", seen);
}

// An untranslated structured exception ends a GCC program, so the unprepared thread faults in
// a child process. It must end with the fault's own code: a translated fault that nobody
// catches would end it through std::terminate instead.
TEST(TranslationUnprepared, AThreadThatNeverPreparedIsNotTranslated) {
    std::string child = zavtest::BesideThisExecutable("zavchild.exe");
    zavtest::ChildProcess raising(child, "unprepared-raise E0001234");
    ASSERT_TRUE(raising.Wait(30000));
    EXPECT_EQ(0xE0001234u, raising.ExitCode());

    zavtest::ChildProcess dividing(child, "unprepared-divide");
    ASSERT_TRUE(dividing.Wait(30000));
    EXPECT_EQ(static_cast<DWORD>(EXCEPTION_INT_DIVIDE_BY_ZERO), dividing.ExitCode());
}

TEST(ExceptionClasses, ClassAndNameFollowTheCode) {
    struct Case {
        DWORD code;
        const char* name;
        const std::type_info& type;
    };
    const Case cases[] = {
        {0xC0000005, "Access Violation", typeid(access_violation)},
        {0xC000008C, "Array Bounds Exceeded", typeid(win32_exception)},
        {0xC000008D, "Float Denormal Operand", typeid(numeric_exception)},
        {0xC000008E, "Division By Zero", typeid(numeric_exception)},
        {0xC0000094, "Division By Zero", typeid(numeric_exception)},
        {0xC0000095, "Integer Overflow", typeid(numeric_exception)},
        {0xC0000096, "Privileged Instruction", typeid(win32_exception)},
        {0xC00000FD, "Stack Overflow", typeid(win32_exception)},
        {0xC00002B4, "Multiple SSE Faults", typeid(numeric_exception)},
        {0xC00002B5, "Multiple SSE Traps", typeid(numeric_exception)},
        {0xE06D7363, "Microsoft C++ Exception", typeid(win32_exception)},
        {0x80000001, "Guard Page", typeid(win32_exception)},
        {0xC0000017, "No Memory", typeid(win32_exception)},
        {0x00001234, "0x    1234", typeid(win32_exception)},
        {0xE0012345, "0xE0012345", typeid(win32_exception)},
        {0xc00000aa, "0xC00000AA", typeid(win32_exception)},
    };
    for (const Case& c : cases) {
        EXCEPTION_RECORD record{};
        record.ExceptionCode = c.code;
        CONTEXT context{};
        EXCEPTION_POINTERS pointers{&record, &context};
        try {
            TranslateStructuredException(c.code, &pointers);
        } catch (const win32_exception& e) {
            EXPECT_STREQ(c.name, e.what()) << std::hex << c.code;
            EXPECT_EQ(c.type, typeid(e)) << std::hex << c.code;
        }
    }
}

TEST(ExceptionClasses, CopiesOwnTheirRecordAndContext) {
    win32_exception none(nullptr);
    EXPECT_EQ(nullptr, none.m_info.ExceptionRecord);
    EXPECT_EQ(nullptr, none.m_info.ContextRecord);
    EXPECT_STREQ("0x       0", none.what());

    EXCEPTION_RECORD chained{};
    EXCEPTION_RECORD record{};
    record.ExceptionCode = 0xC0000094;
    record.ExceptionRecord = &chained;
    CONTEXT context{};
    context.Rip = 0x1234;
    EXCEPTION_POINTERS pointers{&record, &context};
    auto original = std::make_unique<numeric_exception>(&pointers);
    EXPECT_EQ(nullptr, original->m_record.ExceptionRecord) << "the chain is not kept";
    original->m_reported = true;
    numeric_exception copy(*original);
    original.reset();
    EXPECT_EQ(&copy.m_record, copy.m_info.ExceptionRecord);
    EXPECT_EQ(&copy.m_context, copy.m_info.ContextRecord);
    EXPECT_EQ(0x1234u, copy.m_info.ContextRecord->Rip);
    EXPECT_TRUE(copy.m_reported);
    EXPECT_STREQ("Division By Zero", copy.what());

    EXCEPTION_POINTERS recordOnly{&record, nullptr};
    win32_exception assigned(nullptr);
    assigned = win32_exception(&recordOnly);
    EXPECT_EQ(&assigned.m_record, assigned.m_info.ExceptionRecord);
    EXPECT_EQ(nullptr, assigned.m_info.ContextRecord);
}

TEST(ExceptionClasses, UnnamedCodesAreFormattedPerThread) {
    EXCEPTION_RECORD record{};
    record.ExceptionCode = 0xE0000001;
    EXCEPTION_POINTERS pointers{&record, nullptr};
    win32_exception mine(&pointers);
    const char* text = mine.what();
    std::string other;
    std::thread([&] {
        EXCEPTION_RECORD theirs{};
        theirs.ExceptionCode = 0xE0000002;
        EXCEPTION_POINTERS p{&theirs, nullptr};
        other = win32_exception(&p).what();
    }).join();
    EXPECT_EQ("0xE0000002", other);
    EXPECT_STREQ("0xE0000001", text) << "another thread's name did not overwrite this one";
}

TEST(ExceptionClasses, ProgramExceptionsCarryTheirOwnText) {
    try {
        throw_exception(nullptr, 4001);
    } catch (const CProgramException& e) {
        EXPECT_STREQ("Runner: QCP file error", e.what());
    }
    try {
        throw_exception(nullptr, 3999);
    } catch (const CProgramException& e) {
        EXPECT_STREQ("", e.what());
    }
    EXPECT_STREQ("Unknown exception", CProgramException(nullptr).what());

    std::string text = "temporary text";
    auto original = std::make_unique<CProgramException>(text.c_str());
    text.assign(text.size(), 'x');
    CProgramException copy(*original);
    original.reset();
    EXPECT_STREQ("temporary text", copy.what());
}

// Kept out of line and stored, so that the compiler cannot drop an allocation it can see is
// unused. GCC takes its built-in malloc for one that never throws and leaves such a call out of
// the unwind tables, so malloc is called the way code compiled with -fno-builtin-malloc
// calls it: as an ordinary function.
void* volatile g_allocated = nullptr;
void* (*volatile g_malloc)(size_t) = &malloc;
__attribute__((noinline)) void AllocateWithMalloc(size_t size) {
    g_allocated = g_malloc(size);
    free(g_allocated);
}
__attribute__((noinline)) void AllocateWithNew(size_t size) {
    g_allocated = ::operator new(size);
    ::operator delete(g_allocated);
}

TEST(ExceptionClasses, AllocationFailuresThrowBadAllocOncePrepared) {
    PrepareExceptionHandling();
    // Wine searches long for room before it refuses a block of some terabytes; this size it
    // refuses at once.
    const size_t huge = size_t{1} << 62;
    EXPECT_THROW(AllocateWithMalloc(huge), std::bad_alloc);
    EXPECT_THROW(AllocateWithNew(huge), std::bad_alloc);
    EXPECT_THROW(NewHandler(16), std::bad_alloc);
}

} // namespace
