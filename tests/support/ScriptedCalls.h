// The scripting and recording that every fake automation object shares: each call is written
// down as text ("CellText(3,2)") in the order made, and a test can make chosen calls fail, with
// or without COM error information left on the thread.
#pragma once

#include <windows.h>
#include <oaidl.h>
#include <functional>
#include <string>
#include <vector>

namespace zavtest {

class ScriptedCalls {
public:
    // Every call made, as "Name(arg,arg)". Texts are shown as they are, null ones as "null".
    std::vector<std::string> calls;
    // When set, every call is also appended here, so that a test can see the calls on
    // several objects in one order.
    std::vector<std::string>* journal = nullptr;
    // Off for long runs, where the record would dwarf what is measured.
    bool record = true;
    // Called with every call's text as it is made, before its answer; it may throw, to show
    // how a caller copes with an exception or a machine fault inside the object.
    std::function<void(const std::string& call)> onCall;

    // Makes calls matching `pattern` fail with `hr`: the nth match (counting from 1), or every
    // match for nth 0. A pattern with "(" matches the whole call text, else the call's name.
    // With a description the failure leaves error information on the thread; without one it
    // clears what was there, so the failure carries none.
    void Fail(const std::string& pattern, HRESULT hr, const char* description = nullptr,
              int nth = 0);
    // As Fail, for the first `count` matches only.
    void FailFirst(const std::string& pattern, HRESULT hr, const char* description, int count);
    // Calls recorded so far that match `pattern` as Fail matches it.
    size_t Count(const std::string& pattern) const;

protected:
    // Called first by every fake method: records the call and answers S_OK or the failure
    // scripted for it.
    template <typename... Args> HRESULT Enter(const char* name, const Args&... args) {
        if (!record && m_failures.empty() && !onCall)
            return S_OK;
        std::string call = name;
        call += '(';
        [[maybe_unused]] const char* separator = "";
        ((call += separator, call += Text(args), separator = ","), ...);
        call += ')';
        return Record(std::move(call));
    }

    // Leaves error information with `description` on the thread and returns hr.
    static HRESULT Raise(HRESULT hr, const char* description);

private:
    struct Failure {
        std::string pattern;
        HRESULT hr;
        std::string description;
        bool withInfo;
        int first; // the matches from `first` to `last` (counting from 1) fail
        int last;
        int seen;
    };

    HRESULT Record(std::string call);
    static bool Matches(const std::string& pattern, const std::string& call);
    static std::string Text(long value);
    static std::string Text(int value) { return Text(static_cast<long>(value)); }
    static std::string Text(double value);
    static std::string Text(const wchar_t* value);
    static std::string Text(short value) { return Text(static_cast<long>(value)); }

    std::vector<Failure> m_failures;
};

} // namespace zavtest
