// Reading initialization-style files (QCP project files, characteristics files) through the
// platform's profile reader, as the library reads the same files.
#pragma once

#include <string>
#include <vector>

namespace refsrv {

struct IniEntry {
    std::wstring key;
    std::wstring value; // trimmed, one pair of enclosing quotes removed
};

// The absolute path of an existing file; raises an error naming `what` and the path otherwise.
std::wstring RequireFile(const std::wstring& path, const wchar_t* what);

// Every key of a section in file order (comment lines left out); empty when there is none.
std::vector<IniEntry> ReadIniSection(const std::wstring& fullPath, const wchar_t* section);

// One key; false when it is absent (a key with an empty value is present).
bool ReadIniValue(const std::wstring& fullPath, const wchar_t* section, const wchar_t* key,
                  std::wstring& value);

} // namespace refsrv
