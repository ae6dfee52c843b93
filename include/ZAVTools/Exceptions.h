// The exception classes that the library and its host share, and the translation of the
// operating system's structured exceptions (machine faults) into them.
#pragma once

#include <windows.h>
#include <exception>

#include "Export.h"

// A structured exception caught as a C++ exception. It holds its own copies of the exception
// record and the processor context, so that it outlives the faulting frames and can still be
// handed to a crash report after the stack has unwound.
class ZAVTOOLS_API win32_exception : public std::exception {
public:
    // Null, or pointers without a record or context, leave the matching m_info pointer null.
    explicit win32_exception(EXCEPTION_POINTERS* info);
    win32_exception(const win32_exception& other);
    win32_exception& operator=(const win32_exception& other);
    ~win32_exception() override;

    // The name of the exception code ("Access Violation", "Division By Zero", ...), or
    // "0x%8X" for a code without a name. That text stays valid until the next what() of an
    // unnamed code on the same thread.
    const char* what() const noexcept override;

    // Points at this object's own m_record and m_context, never at another object's.
    EXCEPTION_POINTERS m_info;
    EXCEPTION_RECORD m_record;
    CONTEXT m_context;
    // Set once a crash report was written for this exception; copies carry it along.
    bool m_reported;
};

// Code 0xC0000005.
class ZAVTOOLS_API access_violation : public win32_exception {
public:
    explicit access_violation(EXCEPTION_POINTERS* info);
    access_violation(const access_violation& other);
    access_violation& operator=(const access_violation& other) = default;
    ~access_violation() override;
};

// Floating-point and integer faults: 0xC000008D to 0xC0000095, 0xC00002B4 and 0xC00002B5.
class ZAVTOOLS_API numeric_exception : public win32_exception {
public:
    explicit numeric_exception(EXCEPTION_POINTERS* info);
    numeric_exception(const numeric_exception& other);
    numeric_exception& operator=(const numeric_exception& other) = default;
    ~numeric_exception() override;
};

// A program error whose text usually comes from a string resource (throw_exception).
class ZAVTOOLS_API CProgramException : public std::exception {
public:
    explicit CProgramException(const char* text);
    CProgramException(const CProgramException& other);
    CProgramException& operator=(const CProgramException& other);
    ~CProgramException() override;

    // The text, or "Unknown exception" when the object holds none.
    const char* what() const noexcept override;

private:
    char* m_text;
};

// Call at the start of every thread whose machine faults are to arrive as win32_exception,
// access_violation or numeric_exception. Also makes allocation failures, in operator new and
// in malloc, throw a std::bad_alloc whose what() is "bad allocation" (a process-wide setting). Code
// in which faults must become exceptions has to be compiled with -fnon-call-exceptions; GCC assumes
// that its built-in malloc never throws, so code that wants malloc's failures as exceptions is
// compiled with -fno-builtin-malloc.
ZAVTOOLS_API void PrepareExceptionHandling();

// The allocation-failure handler: throws std::bad_alloc ("bad allocation"), never returns.
ZAVTOOLS_API int NewHandler(unsigned long long size);

// Throws a CProgramException with string `id` of `module` (this library when null); an id
// the module lacks gives an empty text.
[[noreturn]] ZAVTOOLS_API void throw_exception(HINSTANCE module, int id);

// Throws the exception object for a structured exception: access_violation, numeric_exception
// or win32_exception, built from `info`. Clears the floating-point state first.
[[noreturn]] ZAVTOOLS_API void TranslateStructuredException(unsigned code,
                                                            EXCEPTION_POINTERS* info);
