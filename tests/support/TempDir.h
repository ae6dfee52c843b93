// A fresh folder under the temp directory that is removed with everything in it.
#pragma once

#include <windows.h>
#include <string>

namespace zavtest {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return m_path; }
    // path() joined with `name` by a backslash.
    std::string operator/(const std::string& name) const { return m_path + "\\" + name; }

private:
    std::string m_path;
};

// Removes a tree without the library, so tests of the library's own removal stay independent.
void RemoveTree(const std::string& path);
void WriteTextFile(const std::string& path, const std::string& text);
bool CopyFileTo(const std::string& from, const std::string& to);

} // namespace zavtest
