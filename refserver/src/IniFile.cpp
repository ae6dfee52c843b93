#include "IniFile.h"

#include <windows.h>

#include "ServerError.h"
#include "Text.h"

namespace refsrv {

namespace {

std::wstring Unquote(std::wstring text) {
    text = Trim(text);
    if (text.size() >= 2 && text.front() == text.back() &&
        (text.front() == L'"' || text.front() == L'\''))
        text = text.substr(1, text.size() - 2);
    return text;
}

} // namespace

std::wstring RequireFile(const std::wstring& path, const wchar_t* what) {
    std::wstring prefix = Format(L"Cannot read the %ls \"%ls\": ", what, path.c_str());
    if (path.empty())
        Fail(E_INVALIDARG, Format(L"No %ls was given", what));
    DWORD length = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (length == 0)
        FailWin32(::GetLastError(), prefix);
    std::wstring full(length, L'\0');
    length = ::GetFullPathNameW(path.c_str(), length, full.data(), nullptr);
    full.resize(length);
    DWORD attributes = ::GetFileAttributesW(full.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        FailWin32(::GetLastError(), prefix);
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        Fail(E_INVALIDARG, prefix + L"it is a folder");
    return full;
}

std::vector<IniEntry> ReadIniSection(const std::wstring& fullPath, const wchar_t* section) {
    std::vector<wchar_t> buffer(4096);
    DWORD length = 0;
    for (;;) {
        length = ::GetPrivateProfileSectionW(section, buffer.data(),
                                             static_cast<DWORD>(buffer.size()), fullPath.c_str());
        if (length + 2 < buffer.size())
            break;
        buffer.resize(buffer.size() * 4);
    }
    std::vector<IniEntry> entries;
    for (const wchar_t* line = buffer.data(); *line && line < buffer.data() + length;
         line += wcslen(line) + 1) {
        std::wstring text = Trim(line);
        if (text.empty() || text[0] == L';' || text[0] == L'#')
            continue;
        size_t equals = text.find(L'=');
        if (equals == std::wstring::npos)
            entries.push_back({text, {}});
        else
            entries.push_back({Trim(text.substr(0, equals)), Unquote(text.substr(equals + 1))});
    }
    return entries;
}

bool ReadIniValue(const std::wstring& fullPath, const wchar_t* section, const wchar_t* key,
                  std::wstring& value) {
    // A default that no file holds tells an absent key from an empty one.
    static const wchar_t kAbsent[] = L"_1D0F6C2B_9E47_4A3B_8C55_RefServer_absent_";
    wchar_t buffer[1024];
    ::GetPrivateProfileStringW(section, key, kAbsent, buffer, ARRAYSIZE(buffer), fullPath.c_str());
    if (EqualNoCase(buffer, kAbsent))
        return false;
    value = Trim(buffer);
    return true;
}

} // namespace refsrv
