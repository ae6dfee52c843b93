// The files of a folder that match a pattern, with what FindFirstFile tells of each.
#pragma once

#include <windows.h>
#include <memory>
#include <string>
#include <vector>

namespace zavservice {

inline std::vector<WIN32_FIND_DATAA> ListFiles(const std::string& pattern) {
    struct FindCloser {
        void operator()(HANDLE find) const {
            if (find != INVALID_HANDLE_VALUE)
                ::FindClose(find);
        }
    };
    std::vector<WIN32_FIND_DATAA> files;
    WIN32_FIND_DATAA found{};
    const std::unique_ptr<void, FindCloser> find(::FindFirstFileA(pattern.c_str(), &found));
    if (find.get() == INVALID_HANDLE_VALUE)
        return files;
    do
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            files.push_back(found);
    while (::FindNextFileA(find.get(), &found));
    return files;
}

} // namespace zavservice
