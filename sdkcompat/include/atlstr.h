// CStringA (CString): the narrow counted string with shared, reference-counted buffers,
// loading by string-resource id and printf-style formatting with a format given by id.
//
// Header-only on purpose: a CString crosses the DLL boundary by value, so the library and its
// host must agree on the layout, and both allocate from the same C runtime heap. Each module
// that includes this header loads "its own" resources through its own __ImageBase, as a
// module's string class does on Windows.
#pragma once

#include <windows.h>
#include <mbctype.h>
#include <mbstring.h>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "atlexcept.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace ATL {

// The module whose resources the generic string lookups read first: the including module.
inline HINSTANCE AtlOwnModule() noexcept {
    return reinterpret_cast<HINSTANCE>(&__ImageBase);
}

// Entry `id` of a module's string table: a pointer into the mapped block and its length in
// UTF-16 units. Only a length of 0 means absent, so one-letter entries are found.
// With languageNeutral, the block is picked by FindResourceExW with language 0; otherwise by
// FindResourceW. String ids are 16-bit: a larger id (a negative one made unsigned among them)
// names no entry, where its block number would wrap onto a block that exists.
inline const wchar_t* AtlFindStringEntry(HINSTANCE module, UINT id, bool languageNeutral,
                                         int* length) noexcept {
    *length = 0;
    if (id > 0xFFFF)
        return nullptr;
    LPCWSTR block = MAKEINTRESOURCEW(id / 16 + 1);
    HRSRC found = languageNeutral ? ::FindResourceExW(module, MAKEINTRESOURCEW(6), block, 0)
                                  : ::FindResourceW(module, block, MAKEINTRESOURCEW(6));
    if (!found)
        return nullptr;
    HGLOBAL loaded = ::LoadResource(module, found);
    DWORD size = ::SizeofResource(module, found);
    auto units = static_cast<const wchar_t*>(loaded ? ::LockResource(loaded) : nullptr);
    if (!units)
        return nullptr;
    const wchar_t* end = units + size / sizeof(wchar_t);
    for (UINT skip = id % 16; skip > 0 && units < end; --skip)
        units += 1 + static_cast<WORD>(*units);
    if (units >= end || *units == 0)
        return nullptr;
    int count = static_cast<WORD>(*units);
    if (units + 1 + count > end)
        return nullptr;
    *length = count;
    return units + 1;
}

class CStringA {
public:
    CStringA() noexcept : m_pszData(EmptyData()->chars()) {}
    CStringA(const CStringA& other) noexcept : m_pszData(other.GetData()->Share()->chars()) {}
    CStringA(CStringA&& other) noexcept : CStringA() { std::swap(m_pszData, other.m_pszData); }
    // A string, or (below 0x10000) a resource id whose entry is loaded from this module.
    CStringA(const char* text) : CStringA() {
        if (IS_INTRESOURCE(text))
            LoadString(LOWORD(reinterpret_cast<ULONG_PTR>(text)));
        else
            Assign(text, StringLength(text));
    }
    CStringA(const char* text, int length) : CStringA() { Assign(text, length); }
    CStringA(const wchar_t* text) : CStringA() {
        if (text)
            AssignWide(text, lstrlenW(text));
    }
    ~CStringA() { GetData()->Release(); }

    CStringA& operator=(const CStringA& other) noexcept {
        Data* shared = other.GetData()->Share();
        GetData()->Release();
        m_pszData = shared->chars();
        return *this;
    }
    CStringA& operator=(CStringA&& other) noexcept {
        std::swap(m_pszData, other.m_pszData);
        return *this;
    }
    CStringA& operator=(const char* text) {
        Assign(text, StringLength(text));
        return *this;
    }

    int GetLength() const noexcept { return GetData()->length; }
    bool IsEmpty() const noexcept { return GetLength() == 0; }
    void Empty() noexcept { *this = CStringA(); }
    const char* GetString() const noexcept { return m_pszData; }
    operator const char*() const noexcept { return m_pszData; }
    char GetAt(int index) const noexcept { return m_pszData[index]; }

    CStringA& Append(const char* text, int length) {
        if (length <= 0)
            return *this;
        if (text >= m_pszData && text <= m_pszData + GetLength()) {
            CStringA own(text, length); // the text lives in this buffer, which may be reallocated
            return Append(own.GetString(), length);
        }
        int old = GetLength();
        char* buffer = PrepareWrite(CheckedSum(old, length));
        memmove(buffer + old, text, length);
        SetLength(old + length);
        return *this;
    }
    CStringA& operator+=(const char* text) { return Append(text, StringLength(text)); }
    CStringA& operator+=(const CStringA& text) { return Append(text, text.GetLength()); }
    CStringA& operator+=(char ch) { return Append(&ch, 1); }

    friend CStringA operator+(const CStringA& left, const char* right) {
        CStringA result(left);
        result += right;
        return result;
    }
    friend CStringA operator+(const CStringA& left, const CStringA& right) {
        CStringA result(left);
        result += right;
        return result;
    }

    int Compare(const char* text) const noexcept { return strcmp(m_pszData, text ? text : ""); }
    friend bool operator==(const CStringA& left, const char* right) noexcept {
        return left.Compare(right) == 0;
    }
    friend bool operator==(const CStringA& left, const CStringA& right) noexcept {
        return left.GetLength() == right.GetLength() &&
               memcmp(left.m_pszData, right.m_pszData, left.GetLength()) == 0;
    }
    friend bool operator!=(const CStringA& left, const char* right) noexcept {
        return !(left == right);
    }
    friend bool operator!=(const CStringA& left, const CStringA& right) noexcept {
        return !(left == right);
    }

    // Byte offset of the first match at or after `start`, or -1. Multibyte-aware: a trail
    // byte is never taken for the start of a match.
    int Find(const char* sub, int start = 0) const noexcept {
        if (start < 0 || start > GetLength() || !sub)
            return -1;
        auto begin = reinterpret_cast<const unsigned char*>(m_pszData);
        const unsigned char* hit =
            _mbsstr(begin + start, reinterpret_cast<const unsigned char*>(sub));
        return hit ? static_cast<int>(hit - begin) : -1;
    }
    int Find(char ch, int start = 0) const noexcept {
        char text[2] = {ch, '\0'};
        return Find(text, start);
    }

    CStringA Left(int count) const { return Mid(0, count); }
    CStringA Mid(int first) const { return Mid(first, GetLength()); }
    CStringA Mid(int first, int count) const {
        first = first < 0 ? 0 : (first > GetLength() ? GetLength() : first);
        count = count < 0 ? 0 : (count > GetLength() - first ? GetLength() - first : count);
        return CStringA(m_pszData + first, count);
    }
    // Replaces every occurrence; returns how many were replaced.
    int Replace(const char* oldText, const char* newText) {
        int oldLength = StringLength(oldText);
        if (oldLength == 0)
            return 0;
        CStringA result;
        int count = 0, from = 0;
        for (int at; (at = Find(oldText, from)) >= 0; from = at + oldLength, ++count) {
            result.Append(m_pszData + from, at - from);
            result += newText;
        }
        if (count) {
            result.Append(m_pszData + from, GetLength() - from);
            *this = std::move(result);
        }
        return count;
    }

    // White space as the thread's multibyte code page sees it; the right end goes first.
    CStringA& TrimRight() {
        auto text = reinterpret_cast<const unsigned char*>(m_pszData);
        const unsigned char* keepEnd = text;
        for (const unsigned char* p = text; *p; p = _mbsinc(p))
            if (!_ismbcspace(_mbsnextc(p)))
                keepEnd = _mbsinc(p);
        if (keepEnd - text != GetLength())
            *this = Left(static_cast<int>(keepEnd - text));
        return *this;
    }
    CStringA& TrimLeft() {
        auto text = reinterpret_cast<const unsigned char*>(m_pszData);
        const unsigned char* p = text;
        while (*p && _ismbcspace(_mbsnextc(p)))
            p = _mbsinc(p);
        if (p != text)
            *this = Mid(static_cast<int>(p - text));
        return *this;
    }
    CStringA& Trim() { return TrimRight().TrimLeft(); }

    CStringA& MakeLower() {
        PrepareWrite(GetLength());
        ::CharLowerBuffA(m_pszData, GetLength());
        return *this;
    }

    // Direct access for APIs that fill a buffer; ReleaseBuffer(-1) takes the length up to NUL.
    char* GetBuffer(int minLength) {
        return PrepareWrite(minLength > GetLength() ? minLength : GetLength());
    }
    char* GetBufferSetLength(int length) {
        char* buffer = PrepareWrite(length);
        SetLength(length);
        return buffer;
    }
    void ReleaseBuffer(int length = -1) {
        SetLength(length < 0 ? StringLength(m_pszData) : length);
    }

    void FormatV(const char* format, va_list args) {
        CStringA result;
        result.AppendFormatV(format, args);
        *this = std::move(result);
    }
    void __attribute__((format(gnu_printf, 2, 3))) Format(const char* format, ...) {
        va_list args;
        va_start(args, format);
        FormatV(format, args);
        va_end(args);
    }
    // The format text is the string-table entry `formatId` of this module; an absent entry
    // raises E_FAIL.
    void Format(UINT formatId, ...) {
        CStringA format;
        if (!format.LoadString(formatId))
            AtlThrow(E_FAIL);
        va_list args;
        va_start(args, formatId);
        FormatV(format, args);
        va_end(args);
    }
    void AppendFormatV(const char* format, va_list args) {
        // Most texts fit the stack buffer, which spares formatting them twice.
        char quick[512];
        va_list first;
        va_copy(first, args);
        int added = vsnprintf(quick, sizeof quick, format, first);
        va_end(first);
        if (added < 0)
            AtlThrow(E_INVALIDARG);
        if (added < static_cast<int>(sizeof quick)) {
            Append(quick, added);
            return;
        }
        int old = GetLength();
        char* buffer = PrepareWrite(CheckedSum(old, added));
        vsnprintf(buffer + old, added + 1, format, args);
        SetLength(old + added);
    }
    void __attribute__((format(gnu_printf, 2, 3))) AppendFormat(const char* format, ...) {
        va_list args;
        va_start(args, format);
        AppendFormatV(format, args);
        va_end(args);
    }

    // Loads entry `id` from this module's string table, converted with the thread's ANSI code
    // page. Returns false (and leaves the string empty) when the entry is absent.
    BOOL LoadString(UINT id) { return LoadString(AtlOwnModule(), id, true); }
    BOOL LoadString(HINSTANCE module, UINT id, bool languageNeutral = true) {
        int length = 0;
        const wchar_t* entry = AtlFindStringEntry(module, id, languageNeutral, &length);
        Empty();
        if (!entry)
            return FALSE;
        AssignWide(entry, length);
        return TRUE;
    }

private:
    struct Data {
        long refs; // negative: a static block that is never freed
        int length;
        int capacity;
        char* chars() noexcept { return reinterpret_cast<char*>(this + 1); }
        Data* Share() noexcept {
            if (refs >= 0)
                ::InterlockedIncrement(&refs);
            return this;
        }
        void Release() noexcept {
            if (refs >= 0 && ::InterlockedDecrement(&refs) < 0)
                Free(this);
        }
        // Out of line, so that the compiler does not follow a static block into free().
        static __attribute__((noinline)) void Free(Data* data) noexcept { free(data); }
    };

    // Out of line for the same reason as Free: the shared empty block is never written.
    static __attribute__((noinline)) Data* EmptyData() noexcept {
        static struct {
            Data header;
            char nul;
        } empty = {{-1, 0, 0}, '\0'};
        return &empty.header;
    }
    Data* GetData() const noexcept { return reinterpret_cast<Data*>(m_pszData) - 1; }

    static int StringLength(const char* text) noexcept {
        size_t length = text ? strlen(text) : 0;
        if (length > static_cast<size_t>(INT_MAX))
            AtlThrow(E_INVALIDARG);
        return static_cast<int>(length);
    }
    static int CheckedSum(int a, int b) {
        if (b > INT_MAX - a)
            AtlThrow(E_INVALIDARG);
        return a + b;
    }

    // Makes the buffer unshared and able to hold `length` characters, keeping the content.
    // refs counts the owners beyond the first, so 0 means this string owns its buffer alone.
    char* PrepareWrite(int length) {
        Data* data = GetData();
        if (data->refs == 0 && data->capacity >= length)
            return m_pszData;
        if (length > INT_MAX - static_cast<int>(sizeof(Data)) - 1)
            AtlThrow(E_INVALIDARG);
        int capacity = length < 15 ? 15 : length;
        if (data->refs == 0 && length > data->capacity && length < INT_MAX / 2)
            capacity = length + length / 2; // amortised growth for repeated appends
        auto grown = static_cast<Data*>(malloc(sizeof(Data) + capacity + 1));
        if (!grown)
            AtlThrow(E_OUTOFMEMORY);
        int keep = data->length < length ? data->length : length;
        *grown = {0, keep, capacity};
        memcpy(grown->chars(), m_pszData, keep);
        grown->chars()[keep] = '\0';
        data->Release();
        m_pszData = grown->chars();
        return m_pszData;
    }
    void SetLength(int length) noexcept {
        if (GetData()->refs < 0)
            return;
        GetData()->length = length;
        m_pszData[length] = '\0';
    }
    void Assign(const char* text, int length) {
        if (length <= 0) {
            Empty();
            return;
        }
        CStringA copy;
        memcpy(copy.PrepareWrite(length), text, length);
        copy.SetLength(length);
        *this = std::move(copy);
    }
    void AssignWide(const wchar_t* text, int length) {
        Empty();
        if (length <= 0)
            return;
        int bytes =
            ::WideCharToMultiByte(CP_THREAD_ACP, 0, text, length, nullptr, 0, nullptr, nullptr);
        if (bytes <= 0)
            return;
        char* buffer = PrepareWrite(bytes);
        ::WideCharToMultiByte(CP_THREAD_ACP, 0, text, length, buffer, bytes, nullptr, nullptr);
        SetLength(bytes);
    }

    char* m_pszData;
};

typedef CStringA CString;

} // namespace ATL

using ATL::CString;
using ATL::CStringA;
