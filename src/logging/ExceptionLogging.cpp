#include "ZAVTools/ExceptionLogging.h"

#include <atlcomcli.h>
#include <mbstring.h>
#include <cstdio>
#include <cstring>
#include <string>

#include "ZAVTools/ComErrors.h"
#include "ZAVTools/CrashReport.h"
#include "ZAVTools/LogFile.h"
#include "ZAVTools/ModuleLog.h"
#include "logging/CatchLadder.h"
#include "logging/EventLog.h"

namespace {

// Stands for a std::exception rethrown by copy: the platform's std::exception cannot carry a
// text of its own, so the copy keeps what() in this derived class.
class StandardException : public std::exception {
public:
    explicit StandardException(const char* text) : m_text(text ? text : "") {}
    const char* what() const noexcept override { return m_text.c_str(); }

private:
    std::string m_text;
};

bool HoldsBracket(const char* description) {
    return description && _mbschr(reinterpret_cast<const unsigned char*>(description), '[');
}

// The log line of every LogAndRethrow. Its failures are the module logging's own business and
// never keep the exception from going on.
void LogCaught(CBaseZAVModule& module, HRESULT hr, const char* function, const char* activity,
               const char* description) {
    try {
        ModuleLog(module, LOG_ERROR,
                  "Exception detected in [%s] while doing [%s]; Error code 0x%X, [%s]", function,
                  activity, static_cast<unsigned>(hr), description ? description : "");
    } catch (...) {
    }
}

[[noreturn]] void ThrowWrapped(HRESULT hr, const char* activity, const char* description) {
    std::string text = activity ? activity : "";
    text += " [";
    text += description ? description : "";
    text += "]";
    ThrowComError(hr, text.c_str());
}

template <typename Caught>
[[noreturn]] void LogAndRethrowAs(CBaseZAVModule& module, const Caught& copy, HRESULT hr,
                                  const char* function, const char* activity,
                                  const char* description) {
    LogCaught(module, hr, function, activity, description);
    if (HoldsBracket(description))
        throw copy;
    ThrowWrapped(hr, activity, description);
}

// The description as the ladder logs it: the error information's, or the system's text for
// the HRESULT when the error carries no information.
std::string LadderDescription(const _com_error& error) {
    IErrorInfoPtr info(error.ErrorInfo(), false);
    return info ? zav::DescriptionOf(error) : std::string(error.ErrorMessage());
}

} // namespace

void CLogFile::LogException(long hr, const char* description, const char* where) {
    try {
        char code[16];
        snprintf(code, sizeof code, "%lX", static_cast<unsigned long>(hr));
        std::string text = "Exception detected in ";
        text += where ? where : "[unknown]";
        text += ". HRESULT = 0x";
        text += code;
        text += " Description = [";
        text += description ? description : "";
        text += "]";
        Log(LOG_ERROR, "%s", text.c_str());
    } catch (...) {
        // Straight into the current file, past the mutex: the line may interleave with
        // another process's, but it is not lost.
        try {
            char line[1024];
            int length = snprintf(
                line, sizeof line,
                "ERROR: Second exception thrown while logging exception from [%.127s]. "
                "HRESULT=0x%X, Description=[%s]\r\n",
                where ? where : "", static_cast<unsigned>(hr), description ? description : "");
            DWORD written = 0;
            if (length > 0)
                ::WriteFile(m_hFile, line, static_cast<DWORD>(strnlen(line, sizeof line)), &written,
                            nullptr);
        } catch (...) {
        }
    }
}

void CLogFile::LogException(long hr, IErrorInfo* info, const char* where) {
    try {
        CComBSTR description;
        if (info)
            info->GetDescription(&description);
        LogException(hr, static_cast<const char*>(_bstr_t(description.m_str)), where);
        return;
    } catch (...) {
    }
    // Taking or converting the description failed (memory may have run out): at most 255
    // bytes of it, converted without allocating, and the information made the thread's again
    // whatever became of the line.
    char description[256];
    zav::DescriptionInto(info, description, sizeof description);
    LogException(hr, description, where);
    if (info)
        ::SetErrorInfo(0, info);
}

void LogAndRethrow(CBaseZAVModule& module, const _com_error& error, const char* function,
                   const char* activity, const char* description) {
    LogAndRethrowAs(module, error, error.Error(), function, activity, description);
}

void LogAndRethrow(CBaseZAVModule& module, const numeric_exception& error, const char* function,
                   const char* activity, const char* description) {
    LogAndRethrowAs(module, error, E_FAIL, function, activity, description);
}

void LogAndRethrow(CBaseZAVModule& module, const win32_exception& error, const char* function,
                   const char* activity, const char* description) {
    LogAndRethrowAs(module, error, E_FAIL, function, activity, description);
}

void LogAndRethrow(CBaseZAVModule& module, const std::exception& error, const char* function,
                   const char* activity, const char* description) {
    LogAndRethrowAs(module, StandardException(error.what()), E_FAIL, function, activity,
                    description);
}

namespace zav {

void RethrowLogged(CBaseZAVModule& module, const char* function, const char* activity) {
    try {
        throw;
    } catch (const _com_error& e) {
        LogAndRethrow(module, e, function, activity, LadderDescription(e).c_str());
    } catch (numeric_exception& e) {
        CreateCrashReport(e, module);
        LogAndRethrow(module, e, function, activity, e.what());
    } catch (win32_exception& e) {
        module.OnFatalException(E_FAIL, &e, function);
        LogAndRethrow(module, e, function, activity, e.what());
    } catch (const std::exception& e) {
        LogAndRethrow(module, e, function, activity, e.what());
    } catch (...) {
        _com_error unknown(E_FAIL, MakeErrorInfo("Unknown error").Detach(), false);
        LogAndRethrow(module, unknown, function, activity, "Unknown error");
    }
}

} // namespace zav

void RunGuarded(CBaseZAVModule& module, const char* function, const char* activity,
                void (*body)(void* context), void* context) {
    try {
        body(context);
    } catch (...) {
        zav::RethrowLogged(module, function, activity);
    }
}
