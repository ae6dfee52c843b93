#include "support/Files.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace zavtest {
namespace {

void RemoveTree(const std::string& path) {
    for (const std::string& name : FilesIn(path)) {
        if (name == "." || name == "..")
            continue;
        const std::string child = path + "\\" + name;
        const DWORD attributes = ::GetFileAttributesA(child.c_str());
        ::SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (!(attributes & FILE_ATTRIBUTE_DIRECTORY))
            ::DeleteFileA(child.c_str());
        else if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
            ::RemoveDirectoryA(child.c_str()); // a link: never what it points to
        else
            RemoveTree(child);
    }
    ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    ::RemoveDirectoryA(path.c_str());
}

} // namespace

TempDir::TempDir() {
    char base[MAX_PATH];
    ::GetTempPathA(MAX_PATH, base);
    static LONG counter = 0;
    for (int attempt = 0; attempt < 100 && m_path.empty(); ++attempt) {
        char name[MAX_PATH];
        snprintf(name, sizeof name, "%szavtest-%lu-%ld", base, ::GetCurrentProcessId(),
                 ::InterlockedIncrement(&counter));
        if (::CreateDirectoryA(name, nullptr))
            m_path = name;
    }
    if (m_path.empty())
        throw std::runtime_error("cannot create a temporary folder");
}

TempDir::~TempDir() {
    RemoveTree(m_path);
}

void WriteTextFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    if (!(out << text))
        throw std::runtime_error("cannot write " + path);
}

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    for (size_t from = 0; from < text.size();) {
        size_t end = std::min(text.find('\n', from), text.size());
        size_t cut = end > from && text[end - 1] == '\r' ? end - 1 : end;
        lines.push_back(text.substr(from, cut - from));
        from = end + 1;
    }
    return lines;
}

std::vector<std::string> FilesIn(const std::string& folder, const char* pattern) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA entry;
    HANDLE search = ::FindFirstFileA((folder + "\\" + pattern).c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
        do
            names.push_back(entry.cFileName);
        while (::FindNextFileA(search, &entry));
        ::FindClose(search);
    }
    std::sort(names.begin(), names.end());
    return names;
}

bool Exists(const std::string& path) {
    return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string BesideThisExecutable(const std::string& name) {
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path);
    return folder.substr(0, folder.find_last_of('\\') + 1) + name;
}

std::string Narrow(const std::wstring& text, UINT codePage) {
    const int units = static_cast<int>(text.size());
    std::string narrow(
        units ? ::WideCharToMultiByte(codePage, 0, text.data(), units, nullptr, 0, nullptr, nullptr)
              : 0,
        '\0');
    if (!narrow.empty())
        ::WideCharToMultiByte(codePage, 0, text.data(), units, narrow.data(),
                              static_cast<int>(narrow.size()), nullptr, nullptr);
    return narrow;
}

std::wstring Wide(const std::string& text, UINT codePage) {
    const int bytes = static_cast<int>(text.size());
    std::wstring wide(
        bytes ? ::MultiByteToWideChar(codePage, 0, text.data(), bytes, nullptr, 0) : 0, L'\0');
    if (!wide.empty())
        ::MultiByteToWideChar(codePage, 0, text.data(), bytes, wide.data(),
                              static_cast<int>(wide.size()));
    return wide;
}

} // namespace zavtest
