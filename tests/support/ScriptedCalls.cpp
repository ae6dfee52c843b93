#include "support/ScriptedCalls.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cwchar>

#include <comdef.h>
#include <comptrs.h>

namespace zavtest {
namespace {

std::wstring Widened(const char* text) {
    int units = text ? ::MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0) : 0;
    std::wstring wide(units > 0 ? units : 1, L'\0');
    if (units > 0)
        ::MultiByteToWideChar(CP_ACP, 0, text, -1, &wide[0], units);
    wide.resize(wcslen(wide.c_str()));
    return wide;
}

} // namespace

void ScriptedCalls::Fail(const std::string& pattern, HRESULT hr, const char* description, int nth) {
    m_failures.push_back({pattern, hr, description ? description : "", description != nullptr,
                          nth == 0 ? 1 : nth, nth == 0 ? INT_MAX : nth, 0});
}

void ScriptedCalls::FailFirst(const std::string& pattern, HRESULT hr, const char* description,
                              int count) {
    m_failures.push_back(
        {pattern, hr, description ? description : "", description != nullptr, 1, count, 0});
}

size_t ScriptedCalls::Count(const std::string& pattern) const {
    return std::count_if(calls.begin(), calls.end(),
                         [&](const std::string& call) { return Matches(pattern, call); });
}

HRESULT ScriptedCalls::Record(std::string call) {
    if (record) {
        if (journal)
            journal->push_back(call);
        calls.push_back(call);
    }
    if (onCall)
        onCall(call);
    HRESULT result = S_OK;
    for (Failure& failure : m_failures) {
        if (!Matches(failure.pattern, call))
            continue;
        ++failure.seen;
        if (result == S_OK && failure.seen >= failure.first && failure.seen <= failure.last) {
            result = failure.withInfo ? Raise(failure.hr, failure.description.c_str())
                                      : (::SetErrorInfo(0, nullptr), failure.hr);
        }
    }
    return result;
}

HRESULT ScriptedCalls::Raise(HRESULT hr, const char* description) {
    ICreateErrorInfoPtr created;
    IErrorInfoPtr info;
    if (SUCCEEDED(::CreateErrorInfo(&created)) && created) {
        // Converted here, not by _bstr_t: its conversion runs in ZAVTools.dll, whose BSTRs
        // the tests count.
        created->SetDescription(_bstr_t(Widened(description).c_str()));
        if (SUCCEEDED(created.QueryInterface(__uuidof(IErrorInfo), &info)))
            ::SetErrorInfo(0, info);
    }
    return hr;
}

bool ScriptedCalls::Matches(const std::string& pattern, const std::string& call) {
    if (pattern.find('(') != std::string::npos)
        return pattern == call;
    return call.compare(0, call.find('('), pattern) == 0;
}

std::string ScriptedCalls::Text(long value) {
    return std::to_string(value);
}

std::string ScriptedCalls::Text(double value) {
    char text[32];
    snprintf(text, sizeof text, "%g", value);
    return text;
}

std::string ScriptedCalls::Text(const wchar_t* value) {
    if (!value)
        return "null";
    std::string text;
    for (; *value; ++value)
        text += *value < 0x80 ? static_cast<char>(*value) : '?';
    return text;
}

} // namespace zavtest
