#include "ImportPatch.h"

#include <cstring>
#include <stdexcept>

namespace zavtest {
namespace {

void WriteEntry(void** entry, void* value) {
    DWORD old;
    ::VirtualProtect(entry, sizeof *entry, PAGE_READWRITE, &old);
    *entry = value;
    ::VirtualProtect(entry, sizeof *entry, old, &old);
}

} // namespace

void** FindImportEntry(const char* module, const char* dll, const char* function) {
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

ImportPatch::ImportPatch(const char* dll, const char* function, const void* replacement,
                         const char* module)
    : m_entry(FindImportEntry(module, dll, function)) {
    if (!m_entry)
        throw std::runtime_error(std::string(module) + " does not import " + dll + "!" + function);
    m_original = *m_entry;
    WriteEntry(m_entry, const_cast<void*>(replacement));
}

ImportPatch::~ImportPatch() {
    WriteEntry(m_entry, m_original);
}

} // namespace zavtest
