#include "logging/EventLog.h"

#include <cstdio>
#include <exception>

#include "ZAVTools/Exceptions.h"
#include "ZAVTools/Host.h"
#include "common/UniqueHandle.h"

namespace zav {
namespace {

constexpr DWORD kErrorEventId = 0xC0000201;
constexpr DWORD kInformationEventId = 0x40000202;

void Report(const char* source, WORD type, DWORD id, WORD count, const char** strings) {
    UniqueEventSource eventLog(::RegisterEventSourceA(nullptr, source));
    if (eventLog)
        ::ReportEventA(eventLog.get(), type, 0, id, nullptr, count, 0, strings, nullptr);
}

const char* OrUnknown(const char* text) {
    return text && *text ? text : "unknown error";
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

std::string LowerHex(unsigned long value) {
    char text[16];
    snprintf(text, sizeof text, "%lx", value);
    return text;
}

std::string DescriptionOf(const _com_error& error) {
    _bstr_t description = error.Description();
    const char* narrow = description;
    return narrow ? narrow : "";
}

void ReportCaughtLogFailure(CBaseZAVModule* module, const char* line) {
    try {
        throw;
    } catch (const _com_error& e) {
        std::string description = DescriptionOf(e);
        ReportErrorEvent(module, line, LowerHex(e.Error()).c_str(), OrUnknown(description.c_str()));
    } catch (const win32_exception& e) {
        unsigned long code = e.m_info.ExceptionRecord ? e.m_record.ExceptionCode : 0;
        const char* what = e.what();
        ReportErrorEvent(module, line, LowerHex(code).c_str(), what ? what : "unknown error");
    } catch (const std::exception& e) {
        const char* what = e.what();
        ReportErrorEvent(module, line, "", what ? what : "unknown error");
    } catch (...) {
        ReportErrorEvent(module, line, "", "Unknown error");
    }
}

} // namespace zav
