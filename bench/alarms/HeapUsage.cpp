#include "alarms/HeapUsage.h"

#include <windows.h>
#include <malloc.h>

namespace zavbench {

HeapUsage HeapUsage::Now() {
    const HANDLE heap = reinterpret_cast<HANDLE>(_get_heap_handle());
    HeapUsage usage;
    ::HeapLock(heap);
    PROCESS_HEAP_ENTRY entry{};
    while (::HeapWalk(heap, &entry)) {
        if (!(entry.wFlags & PROCESS_HEAP_ENTRY_BUSY))
            continue;
        ++usage.blocks;
        usage.payload += entry.cbData;
        usage.overhead += entry.cbOverhead;
    }
    ::HeapUnlock(heap);
    return usage;
}

HeapUsage HeapUsage::operator-(const HeapUsage& before) const {
    return {blocks - before.blocks, payload - before.payload, overhead - before.overhead};
}

} // namespace zavbench
