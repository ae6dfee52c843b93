#include "TempDir.h"

#include <cstdio>
#include <stdexcept>

namespace zavtest {

TempDir::TempDir() {
    char base[MAX_PATH];
    ::GetTempPathA(MAX_PATH, base);
    static LONG counter = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        char name[MAX_PATH];
        snprintf(name, sizeof name, "%szavtest-%lu-%ld", base, ::GetCurrentProcessId(),
                 ::InterlockedIncrement(&counter));
        if (::CreateDirectoryA(name, nullptr)) {
            m_path = name;
            return;
        }
    }
    throw std::runtime_error("cannot create a temporary folder");
}

TempDir::~TempDir() {
    RemoveTree(m_path);
}

void RemoveTree(const std::string& path) {
    WIN32_FIND_DATAA entry;
    HANDLE search = ::FindFirstFileA((path + "\\*").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::string name = entry.cFileName;
            if (name == "." || name == "..")
                continue;
            std::string child = path + "\\" + name;
            bool isLink = entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT;
            if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !isLink) {
                RemoveTree(child);
            } else if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                ::RemoveDirectoryA(child.c_str());
            } else {
                ::SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                ::DeleteFileA(child.c_str());
            }
        } while (::FindNextFileA(search, &entry));
        ::FindClose(search);
    }
    ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    ::RemoveDirectoryA(path.c_str());
}

void WriteTextFile(const std::string& path, const std::string& text) {
    FILE* file = fopen(path.c_str(), "wb");
    if (!file)
        throw std::runtime_error("cannot write " + path);
    fwrite(text.data(), 1, text.size(), file);
    fclose(file);
}

bool CopyFileTo(const std::string& from, const std::string& to) {
    return ::CopyFileA(from.c_str(), to.c_str(), FALSE) != FALSE;
}

} // namespace zavtest
