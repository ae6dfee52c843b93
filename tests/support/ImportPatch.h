// Redirects one import of a loaded module (by default ZAVTools.dll) to a function of the test,
// by rewriting the module's import address table, and restores it when destroyed. The library
// keeps calling the real API everywhere else; only its calls through that one entry reach the
// test. Used to observe what Wine cannot show (event-log reports) and to steer what a test
// cannot wait for (the local date, a mutex time-out, the common application-data folder).
#pragma once

#include <windows.h>
#include <cstring>
#include <stdexcept>
#include <string>

namespace zavtest {

// The import-table entry of `module` for dll!function, or null.
inline void** FindImportEntry(const char* module, const char* dll, const char* function) {
    auto base = reinterpret_cast<BYTE*>(::GetModuleHandleA(module));
    if (!base)
        return nullptr;
    auto dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    auto nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (!imports.VirtualAddress)
        return nullptr;
    for (auto d = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
         d->Name; ++d) {
        if (_stricmp(reinterpret_cast<char*>(base + d->Name), dll) != 0)
            continue;
        DWORD lookup = d->OriginalFirstThunk ? d->OriginalFirstThunk : d->FirstThunk;
        auto names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + lookup);
        auto entries = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++entries) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal))
                continue;
            auto byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (strcmp(reinterpret_cast<char*>(byName->Name), function) == 0)
                return reinterpret_cast<void**>(&entries->u1.Function);
        }
    }
    return nullptr;
}

class ImportPatch {
public:
    // `dll` is the imported library's name as the import table spells it (compared without
    // regard to case), for example "KERNEL32.dll". Throws std::runtime_error when the module
    // does not import the function by name.
    ImportPatch(const char* dll, const char* function, const void* replacement,
                const char* module = "ZAVTools.dll")
        : m_entry(FindImportEntry(module, dll, function)) {
        if (!m_entry)
            throw std::runtime_error(std::string(module) + " does not import " + dll + "!" +
                                     function);
        m_original = *m_entry;
        Write(const_cast<void*>(replacement));
    }
    ~ImportPatch() { Write(m_original); }
    ImportPatch(const ImportPatch&) = delete;
    ImportPatch& operator=(const ImportPatch&) = delete;

    // The function the entry pointed at before the patch, for calling through.
    template <typename Function> Function Original() const {
        return reinterpret_cast<Function>(m_original);
    }

private:
    void Write(void* value) {
        DWORD old;
        ::VirtualProtect(m_entry, sizeof *m_entry, PAGE_READWRITE, &old);
        *m_entry = value;
        ::VirtualProtect(m_entry, sizeof *m_entry, old, &old);
    }

    void** m_entry;
    void* m_original;
};

} // namespace zavtest
