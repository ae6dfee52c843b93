// Reports to the system event log under the host module's name: the last resort of the
// logging when the log file cannot take a line, and the trace of a module without a log.
#pragma once

#include <windows.h>
#include <comdef.h>
#include <string>

class CBaseZAVModule;

namespace zav {

// The event log takes at most this many characters in one string.
constexpr size_t kEventStringLimit = 31839;

// `units` UTF-16 units of `text` in the ANSI code page, as much of it as fits into `size` bytes
// with the terminating NUL, never half a character. Allocates nothing: it serves the paths on
// which memory may have run out.
void NarrowInto(const wchar_t* text, int units, char* buffer, size_t size) noexcept;
// The description of `info` as NarrowInto puts it; empty without one. Allocates nothing.
void DescriptionInto(IErrorInfo* info, char* buffer, size_t size) noexcept;

// An error event 0xC0000201 with the three strings. Nothing is reported when the module is
// null or gives no name, or when the source cannot be registered.
void ReportErrorEvent(CBaseZAVModule* module, const char* line, const char* code, const char* text);

// An information event 0x40000202 with one string. The module's name is handed to the event
// log as it comes, null included.
void ReportInformationEvent(CBaseZAVModule& module, const char* text);

// The error information's description as narrow text; empty when there is none.
std::string DescriptionOf(const _com_error& error);

// Reports the exception being handled as the failure of writing `line`. Call it only from
// inside a catch handler. Allocates nothing.
void ReportCaughtLogFailure(CBaseZAVModule* module, const char* line);

// For a COM error that came out of the module's log object (its own failure handling failed):
// reports it as the failure of writing `line` and, unless it was the log mutex's time-out,
// which says nothing about the log object itself, deletes the object and clears the module's
// pointer, so that a broken log does not fail every later line again. Call it only from inside
// the catch handler, with the module's log guard held. Allocates nothing.
void RetireFailedLog(CBaseZAVModule& module, const char* line);

} // namespace zav
