#include "support/ImportPatch.h"

#include <cstring>
#include <stdexcept>
#include <string>

namespace zavtest {

namespace {

template <typename T> T* At(HMODULE module, DWORD offset) {
    return reinterpret_cast<T*>(reinterpret_cast<BYTE*>(module) + offset);
}

void** FindEntry(HMODULE module, const char* dll, const char* function) {
    auto dos = reinterpret_cast<IMAGE_DOS_HEADER*>(module);
    auto nt = At<IMAGE_NT_HEADERS>(module, dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& directory =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (!directory.VirtualAddress)
        return nullptr;
    for (auto import = At<IMAGE_IMPORT_DESCRIPTOR>(module, directory.VirtualAddress); import->Name;
         ++import) {
        if (_stricmp(At<char>(module, import->Name), dll) != 0)
            continue;
        auto names = At<IMAGE_THUNK_DATA>(module, import->OriginalFirstThunk);
        auto entries = At<IMAGE_THUNK_DATA>(module, import->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++entries) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal))
                continue;
            auto byName =
                At<IMAGE_IMPORT_BY_NAME>(module, static_cast<DWORD>(names->u1.AddressOfData));
            if (strcmp(reinterpret_cast<const char*>(byName->Name), function) == 0)
                return reinterpret_cast<void**>(&entries->u1.Function);
        }
    }
    return nullptr;
}

} // namespace

ImportPatch::ImportPatch(HMODULE module, const char* dll, const char* function,
                         const void* replacement) {
    m_entry = FindEntry(module, dll, function);
    if (!m_entry)
        throw std::runtime_error(std::string("no import of ") + function + " from " + dll);
    m_original = *m_entry;
    Write(const_cast<void*>(replacement));
}

ImportPatch::~ImportPatch() {
    Write(m_original);
}

void ImportPatch::Write(void* value) {
    DWORD old;
    ::VirtualProtect(m_entry, sizeof(void*), PAGE_READWRITE, &old);
    *m_entry = value;
    ::VirtualProtect(m_entry, sizeof(void*), old, &old);
}

} // namespace zavtest
