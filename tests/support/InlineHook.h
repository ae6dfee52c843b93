// Redirects a system function for the whole test process by writing a jump at its entry.
// Used where the library calls a platform function before a test could patch an import table:
// the UI languages that a freshly loaded copy of the library reads in its load notification.
#pragma once

#include <windows.h>
#include <cstring>

namespace zavtest {

class InlineHook {
public:
    InlineHook(void* target, const void* replacement)
        : m_target(static_cast<unsigned char*>(target)) {
        // mov rax, imm64; jmp rax
        unsigned char jump[kSize] = {0x48, 0xB8, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xE0};
        memcpy(jump + 2, &replacement, sizeof replacement);
        memcpy(m_saved, m_target, kSize);
        Write(jump);
    }
    ~InlineHook() { Write(m_saved); }
    InlineHook(const InlineHook&) = delete;
    InlineHook& operator=(const InlineHook&) = delete;

private:
    static constexpr size_t kSize = 12;

    void Write(const unsigned char* bytes) {
        DWORD old;
        ::VirtualProtect(m_target, kSize, PAGE_EXECUTE_READWRITE, &old);
        memcpy(m_target, bytes, kSize);
        ::VirtualProtect(m_target, kSize, old, &old);
        ::FlushInstructionCache(::GetCurrentProcess(), m_target, kSize);
    }

    unsigned char* m_target;
    unsigned char m_saved[kSize];
};

} // namespace zavtest
