// Points one entry of a module's import address table at a test's function for a scope, so
// that the module's calls of that import reach the test (and nobody else's do).
#pragma once

#include <windows.h>

namespace zavtest {

class ImportPatch {
public:
    // Throws std::runtime_error when `module` does not import `function` from `dll` by name.
    ImportPatch(HMODULE module, const char* dll, const char* function, const void* replacement);
    ~ImportPatch();
    ImportPatch(const ImportPatch&) = delete;
    ImportPatch& operator=(const ImportPatch&) = delete;

    // The function the entry pointed at before, for a replacement that passes calls on.
    void* Original() const noexcept { return m_original; }

private:
    void Write(void* value);

    void** m_entry = nullptr;
    void* m_original = nullptr;
};

} // namespace zavtest
