#include "logging/EventLog.h"

#include <atlcomcli.h>
#include <comptrs.h>
#include <cstdio>
#include <exception>

#include "ZAVTools/Exceptions.h"
#include "ZAVTools/Host.h"
#include "ZAVTools/LogFile.h"
#include "common/UniqueHandle.h"
#include "logging/LogMutex.h"

namespace zav {
namespace {

constexpr DWORD kErrorEventId = 0xC0000201;
constexpr DWORD kInformationEventId = 0x40000202;

void Report(const char* source, WORD type, DWORD id, WORD count, const char** strings) {
    UniqueEventSource eventLog(::RegisterEventSourceA(nullptr, source));
    if (eventLog)
        ::ReportEventA(eventLog.get(), type, 0, id, nullptr, count, 0, strings, nullptr);
}

} // namespace

void ReportErrorEvent(CBaseZAVModule* module, const char* line, const char* code,
                      const char* text) {
    const char* name = module ? module->GetServiceName() : nullptr;
    if (!name)
        return;
    const char* strings[] = {line, code, text};
    Report(name, EVENTLOG_ERROR_TYPE, kErrorEventId, 3, strings);
}

void ReportInformationEvent(CBaseZAVModule& module, const char* text) {
    const char* strings[] = {text};
    Report(module.GetServiceName(), EVENTLOG_INFORMATION_TYPE, kInformationEventId, 1, strings);
}

std::string DescriptionOf(const _com_error& error) {
    _bstr_t description = error.Description();
    const char* narrow = description;
    return narrow ? narrow : "";
}

void NarrowInto(const wchar_t* text, int units, char* buffer, size_t size) noexcept {
    const int room = static_cast<int>(size) - 1;
    auto bytesFor = [&](int take) {
        return ::WideCharToMultiByte(CP_ACP, 0, text, take, nullptr, 0, nullptr, nullptr);
    };
    // The most units whose conversion fits; a double-byte code page may need two bytes each.
    int fits = bytesFor(units) <= room ? units : 0;
    for (int low = 1, high = fits ? 0 : units; low <= high;) {
        const int middle = low + (high - low) / 2;
        if (bytesFor(middle) <= room)
            fits = middle, low = middle + 1;
        else
            high = middle - 1;
    }
    const int bytes =
        fits ? ::WideCharToMultiByte(CP_ACP, 0, text, fits, buffer, room, nullptr, nullptr) : 0;
    buffer[bytes > 0 ? bytes : 0] = '\0';
}

void DescriptionInto(IErrorInfo* info, char* buffer, size_t size) noexcept {
    CComBSTR description;
    buffer[0] = '\0';
    if (info && SUCCEEDED(info->GetDescription(&description)) && description.m_str)
        NarrowInto(description, static_cast<int>(description.Length()), buffer, size);
}

void ReportCaughtLogFailure(CBaseZAVModule* module, const char* line) {
    char code[16] = "", text[1024] = "";
    try {
        throw;
    } catch (const _com_error& e) {
        snprintf(code, sizeof code, "%lx", static_cast<unsigned long>(e.Error()));
        IErrorInfoPtr info(e.ErrorInfo(), false);
        DescriptionInto(info, text, sizeof text);
    } catch (const win32_exception& e) {
        snprintf(code, sizeof code, "%lx", e.m_info.ExceptionRecord ? e.m_record.ExceptionCode : 0);
        snprintf(text, sizeof text, "%s", e.what());
    } catch (const std::exception& e) {
        snprintf(text, sizeof text, "%s", e.what());
    } catch (...) {
        snprintf(text, sizeof text, "Unknown error");
    }
    ReportErrorEvent(module, line, code, *text ? text : "unknown error");
}

void RetireFailedLog(CBaseZAVModule& module, const char* line) {
    HRESULT hr = S_OK;
    try {
        throw;
    } catch (const _com_error& e) {
        hr = e.Error();
    } catch (...) {
    }
    ReportCaughtLogFailure(&module, line);
    if (hr != kLogMutexTimedOut && hr != kLogMutexTimedOutToo) {
        delete module.m_pLogFile;
        module.m_pLogFile = nullptr;
    }
}

} // namespace zav
