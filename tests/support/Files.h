// Files, folders and texts for tests, without the library: a test of the library's own file
// handling must not lean on it.
#pragma once

#include <windows.h>
#include <string>
#include <vector>

namespace zavtest {

// A fresh folder under the temp directory, removed with everything in it.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return m_path; }
    std::string operator/(const std::string& name) const { return m_path + "\\" + name; }

private:
    std::string m_path;
};

void WriteTextFile(const std::string& path, const std::string& text);
std::string ReadWholeFile(const std::string& path);
// Lines split at LF, each without its CR; a last empty piece is dropped.
std::vector<std::string> SplitLines(const std::string& text);
// The names in `folder` that match `pattern` ("*.log"), sorted.
std::vector<std::string> FilesIn(const std::string& folder, const char* pattern = "*");
bool Exists(const std::string& path);
// `name` in the folder of the running executable.
std::string BesideThisExecutable(const std::string& name);

// Texts between UTF-16 and a code page (the ANSI code page, as the library's narrow texts).
std::string Narrow(const std::wstring& text, UINT codePage = CP_ACP);
std::wstring Wide(const std::string& text, UINT codePage = CP_ACP);

} // namespace zavtest
