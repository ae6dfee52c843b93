// Counts the BSTRs that one module allocates and frees, through its import address table, so
// that a test can show that every BSTR the module made or was handed has been freed.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include "support/ImportPatch.h"

namespace zavtest {

// One ledger at a time: the counters are the process's.
class BstrLedger {
public:
    explicit BstrLedger(const char* module = "ZAVTools.dll");
    BstrLedger(const BstrLedger&) = delete;
    BstrLedger& operator=(const BstrLedger&) = delete;

    // Non-null BSTRs the module allocated, and non-null BSTRs it freed, since construction.
    long Allocated() const noexcept;
    long Freed() const noexcept;

private:
    static BSTR WINAPI CountAlloc(const OLECHAR* text);
    static BSTR WINAPI CountAllocLen(const OLECHAR* text, UINT length);
    static void WINAPI CountFree(BSTR text);

    ImportPatch m_alloc;
    ImportPatch m_allocLen;
    ImportPatch m_free;
};

} // namespace zavtest
