// What every fake automation object shares: each call is written down as text ("CellText(3,2)")
// in the order made, and a test can make chosen calls fail, with or without COM error
// information left on the thread.
#pragma once

#include <windows.h>
#include <oaidl.h>
#include <algorithm>
#include <climits>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include <comdef.h>
#include <comptrs.h>

#include "support/Files.h"

namespace zavtest {

class ScriptedCalls {
public:
    // Every call made, as "Name(arg,arg)"; texts as they are, null ones as "null".
    std::vector<std::string> calls;
    // When set, every call is also appended here, so that a test sees the calls on several
    // objects in one order.
    std::vector<std::string>* journal = nullptr;
    // Off for long runs, where the record would dwarf what is measured.
    bool record = true;
    // Called with every call's text before its answer; it may throw or fault, to show how a
    // caller copes with that inside the object.
    std::function<void(const std::string& call)> onCall;

    // Calls matching `pattern` fail with `hr`: the matches from `first` to `last` (counting
    // from 1). A pattern with "(" matches the whole call text, an empty one every call, any
    // other the call's name. With a description the failure leaves error information on the
    // thread; without one it clears what was there.
    void Fail(const std::string& pattern, HRESULT hr, const char* description = nullptr,
              int first = 1, int last = INT_MAX) {
        m_failures.push_back(
            {pattern, hr, description ? description : "", description != nullptr, first, last, 0});
    }
    // Calls recorded so far that match `pattern` as Fail matches it.
    size_t Count(const std::string& pattern) const {
        return std::count_if(calls.begin(), calls.end(),
                             [&](const std::string& call) { return Matches(pattern, call); });
    }

    // Leaves error information with `description` on the thread and returns hr.
    static HRESULT Raise(HRESULT hr, const char* description) {
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

protected:
    // Called first by every fake method: records the call and answers S_OK or its failure.
    template <typename... Args> HRESULT Enter(const char* name, const Args&... args) {
        if (!record && m_failures.empty() && !onCall)
            return S_OK;
        std::string call = std::string(name) + '(';
        [[maybe_unused]] const char* separator = "";
        ((call += separator, call += Text(args), separator = ","), ...);
        return Record(call + ')');
    }

private:
    struct Failure {
        std::string pattern;
        HRESULT hr;
        std::string description;
        bool withInfo;
        int first, last, seen;
    };

    HRESULT Record(const std::string& call) {
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
    static bool Matches(const std::string& pattern, const std::string& call) {
        if (pattern.find('(') != std::string::npos)
            return pattern == call;
        return pattern.empty() || call.compare(0, call.find('('), pattern) == 0;
    }
    static std::string Text(long value) { return std::to_string(value); }
    static std::string Text(int value) { return std::to_string(value); }
    static std::string Text(short value) { return std::to_string(value); }
    static std::string Text(double value) {
        char text[32];
        snprintf(text, sizeof text, "%g", value);
        return text;
    }
    static std::string Text(const wchar_t* value) {
        std::string text = value ? "" : "null";
        for (; value && *value; ++value)
            text += *value < 0x80 ? static_cast<char>(*value) : '?';
        return text;
    }

    std::vector<Failure> m_failures;
};

} // namespace zavtest
