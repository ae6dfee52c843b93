#include "support/BstrLedger.h"

namespace zavtest {

namespace {

long allocated = 0;
long freed = 0;

} // namespace

BstrLedger::BstrLedger(const char* module)
    : m_alloc("oleaut32.dll", "SysAllocString", reinterpret_cast<void*>(&CountAlloc), module),
      m_allocLen("oleaut32.dll", "SysAllocStringLen", reinterpret_cast<void*>(&CountAllocLen),
                 module),
      m_free("oleaut32.dll", "SysFreeString", reinterpret_cast<void*>(&CountFree), module) {
    allocated = freed = 0;
}

long BstrLedger::Allocated() const noexcept {
    return allocated;
}

long BstrLedger::Freed() const noexcept {
    return freed;
}

BSTR WINAPI BstrLedger::CountAlloc(const OLECHAR* text) {
    BSTR result = ::SysAllocString(text);
    allocated += result != nullptr;
    return result;
}

BSTR WINAPI BstrLedger::CountAllocLen(const OLECHAR* text, UINT length) {
    BSTR result = ::SysAllocStringLen(text, length);
    allocated += result != nullptr;
    return result;
}

void WINAPI BstrLedger::CountFree(BSTR text) {
    freed += text != nullptr;
    ::SysFreeString(text);
}

} // namespace zavtest
