// A whole file mapped read-only into memory, for readers that walk it once.
#pragma once

#include <windows.h>
#include <string>
#include <string_view>

#include "UniqueHandle.h"

namespace refsrv {

struct MappedViewTraits {
    using pointer = const void*;
    static pointer invalid() noexcept { return nullptr; }
    static void close(pointer view) noexcept { ::UnmapViewOfFile(view); }
};

class MappedFile {
public:
    // Raises an error naming `what` and the path when the file cannot be opened or mapped.
    MappedFile(const std::wstring& path, const wchar_t* what);
    std::string_view Bytes() const noexcept { return m_bytes; }

private:
    zav::UniqueFile m_file;
    zav::UniqueHandleNull m_mapping;
    zav::UniqueHandle<MappedViewTraits> m_view;
    std::string_view m_bytes;
};

} // namespace refsrv
