// What the C runtime heap holds, walked block by block: malloc, operator new and _wcsdup all
// allocate there, in the library and in the program alike (both use the one C runtime DLL).
#pragma once

#include <cstddef>

namespace zavbench {

struct HeapUsage {
    size_t blocks = 0;
    // Bytes handed out to callers, and the heap's own bookkeeping around them.
    size_t payload = 0;
    size_t overhead = 0;

    static HeapUsage Now();
    HeapUsage operator-(const HeapUsage& before) const;
};

} // namespace zavbench
