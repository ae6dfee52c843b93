#include "support/ScriptedCalls.h"

#include <algorithm>
#include <cstdio>

#include <comdef.h>
#include <comptrs.h>

#include "support/Files.h"

namespace zavtest {

void ScriptedCalls::Fail(const std::string& pattern, HRESULT hr, const char* description, int first,
                         int last) {
    m_failures.push_back(
        {pattern, hr, description ? description : "", description != nullptr, first, last, 0});
}

size_t ScriptedCalls::Count(const std::string& pattern) const {
    return std::count_if(calls.begin(), calls.end(),
                         [&](const std::string& call) { return Matches(pattern, call); });
}

HRESULT ScriptedCalls::Record(const std::string& call) {
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
        if (result == S_OK && failure.seen >= failure.first && failure.seen <= failure.last)
            result = failure.withInfo ? Raise(failure.hr, failure.description.c_str())
                                      : (::SetErrorInfo(0, nullptr), failure.hr);
    }
    return result;
}

HRESULT ScriptedCalls::Raise(HRESULT hr, const char* description) {
    ICreateErrorInfoPtr created;
    IErrorInfoPtr info;
    if (SUCCEEDED(::CreateErrorInfo(&created)) && created) {
        // Converted here, not by _bstr_t: its conversion runs in ZAVTools.dll, whose BSTRs
        // the tests count.
        created->SetDescription(_bstr_t(Wide(description).c_str()));
        if (SUCCEEDED(created.QueryInterface(__uuidof(IErrorInfo), &info)))
            ::SetErrorInfo(0, info);
    }
    return hr;
}

bool ScriptedCalls::Matches(const std::string& pattern, const std::string& call) {
    if (pattern.find('(') != std::string::npos)
        return pattern == call;
    return pattern.empty() || call.compare(0, call.find('('), pattern) == 0;
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
