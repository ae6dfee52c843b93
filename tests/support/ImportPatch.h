// Redirects one import of a loaded module (by default ZAVTools.dll) to a function of the test,
// by rewriting the module's import address table, and restores it when destroyed. The library
// keeps calling the real API everywhere else; only its calls through that one entry reach the
// test. Used to observe what Wine cannot show (event-log reports) and to steer what a test
// cannot wait for (the local date, a mutex time-out, the common application-data folder).
#pragma once

#include <windows.h>
#include <string>

namespace zavtest {

class ImportPatch {
public:
    // `dll` is the imported library's name as the import table spells it (compared without
    // regard to case), for example "KERNEL32.dll". Throws std::runtime_error when the module
    // does not import the function by name.
    ImportPatch(const char* dll, const char* function, const void* replacement,
                const char* module = "ZAVTools.dll");
    ~ImportPatch();
    ImportPatch(const ImportPatch&) = delete;
    ImportPatch& operator=(const ImportPatch&) = delete;

    // The function the entry pointed at before the patch, for calling through.
    template <typename Function> Function Original() const {
        return reinterpret_cast<Function>(m_original);
    }

private:
    void** m_entry;
    void* m_original;
};

// The import-table entry of `module` for dll!function, or null.
void** FindImportEntry(const char* module, const char* dll, const char* function);

} // namespace zavtest
