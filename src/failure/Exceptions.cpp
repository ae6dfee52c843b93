#include "ZAVTools/Exceptions.h"

#include <atlstr.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "resources/ResourceLibrary.h"

static_assert(alignof(CONTEXT) == 16, "the platform requires an aligned CONTEXT");

namespace {

struct CodeName {
    DWORD code;
    const char* name;
};

constexpr CodeName kCodeNames[] = {
    {0x80000001, "Guard Page"},
    {0x80000002, "Datatype Misalignment"},
    {0x80000003, "Breakpoint"},
    {0x80000004, "Single Step"},
    {0xC0000005, "Access Violation"},
    {0xC0000006, "In Page Error"},
    {0xC0000008, "Invalid Handle"},
    {0xC0000017, "No Memory"},
    {0xC000001D, "Illegal Instruction"},
    {0xC0000025, "Noncontinuable Exception"},
    {0xC0000026, "Invalid Disposition"},
    {0xC000008C, "Array Bounds Exceeded"},
    {0xC000008D, "Float Denormal Operand"},
    {0xC000008E, "Division By Zero"},
    {0xC000008F, "Float Inexact Result"},
    {0xC0000090, "Float Invalid Operation"},
    {0xC0000091, "Float Overflow"},
    {0xC0000092, "Float Stack Check"},
    {0xC0000093, "Float Underflow"},
    {0xC0000094, "Division By Zero"},
    {0xC0000095, "Integer Overflow"},
    {0xC0000096, "Privileged Instruction"},
    {0xC00000FD, "Stack Overflow"},
    {0xC00002B4, "Multiple SSE Faults"},
    {0xC00002B5, "Multiple SSE Traps"},
    {0xE06D7363, "Microsoft C++ Exception"},
};

// Codes without a name are formatted per thread, so that two threads naming different codes
// do not overwrite each other's text.
const char* NameOf(DWORD code) {
    for (const CodeName& entry : kCodeNames)
        if (entry.code == code)
            return entry.name;
    thread_local char unnamed[16];
    snprintf(unnamed, sizeof unnamed, "0x%8X", static_cast<unsigned>(code));
    return unnamed;
}

char* CopyText(const char* text) {
    return text ? _strdup(text) : nullptr;
}

} // namespace

win32_exception::win32_exception(EXCEPTION_POINTERS* info)
    : m_info{nullptr, nullptr}, m_record{}, m_context{}, m_reported(false) {
    if (info && info->ContextRecord) {
        m_context = *info->ContextRecord;
        m_info.ContextRecord = &m_context;
    }
    if (info && info->ExceptionRecord) {
        m_record = *info->ExceptionRecord;
        m_record.ExceptionRecord = nullptr;
        m_info.ExceptionRecord = &m_record;
    }
}

win32_exception::win32_exception(const win32_exception& other)
    : std::exception(other), m_info{nullptr, nullptr}, m_record(other.m_record),
      m_context(other.m_context), m_reported(other.m_reported) {
    if (other.m_info.ExceptionRecord)
        m_info.ExceptionRecord = &m_record;
    if (other.m_info.ContextRecord)
        m_info.ContextRecord = &m_context;
}

win32_exception& win32_exception::operator=(const win32_exception& other) {
    std::exception::operator=(other);
    m_record = other.m_record;
    m_context = other.m_context;
    m_reported = other.m_reported;
    m_info.ExceptionRecord = other.m_info.ExceptionRecord ? &m_record : nullptr;
    m_info.ContextRecord = other.m_info.ContextRecord ? &m_context : nullptr;
    return *this;
}

win32_exception::~win32_exception() = default;

const char* win32_exception::what() const noexcept {
    return NameOf(m_info.ExceptionRecord ? m_record.ExceptionCode : 0);
}

access_violation::access_violation(EXCEPTION_POINTERS* info) : win32_exception(info) {}
access_violation::access_violation(const access_violation& other) : win32_exception(other) {}
access_violation::~access_violation() = default;

numeric_exception::numeric_exception(EXCEPTION_POINTERS* info) : win32_exception(info) {}
numeric_exception::numeric_exception(const numeric_exception& other) : win32_exception(other) {}
numeric_exception::~numeric_exception() = default;

CProgramException::CProgramException(const char* text) : m_text(CopyText(text)) {}

CProgramException::CProgramException(const CProgramException& other)
    : std::exception(other), m_text(CopyText(other.m_text)) {}

CProgramException& CProgramException::operator=(const CProgramException& other) {
    if (this != &other) {
        char* copy = CopyText(other.m_text);
        free(m_text);
        m_text = copy;
    }
    return *this;
}

CProgramException::~CProgramException() {
    free(m_text);
}

const char* CProgramException::what() const noexcept {
    return m_text ? m_text : "Unknown exception";
}

void throw_exception(HINSTANCE module, int id) {
    CString text;
    text.LoadString(module ? module : zav::OwnModule(), static_cast<UINT>(id), false);
    throw CProgramException(text);
}
