// Reports to the system event log under the host module's name: the last resort of the
// logging when the log file cannot take a line, and the trace of a module without a log.
#pragma once

#include <windows.h>
#include <comdef.h>
#include <string>

class CBaseZAVModule;

namespace zav {

// An error event 0xC0000201 with the three strings. Nothing is reported when the module is
// null or gives no name, or when the source cannot be registered.
void ReportErrorEvent(CBaseZAVModule* module, const char* line, const char* code, const char* text);

// An information event 0x40000202 with one string. The module's name is handed to the event
// log as it comes, null included.
void ReportInformationEvent(CBaseZAVModule& module, const char* text);

// A code as the event strings carry it: lower-case hexadecimal, no prefix.
std::string LowerHex(unsigned long value);

// The error information's description as narrow text; empty when there is none.
std::string DescriptionOf(const _com_error& error);

// Reports the exception being handled as the failure of writing `line`. Call it only from
// inside a catch handler.
void ReportCaughtLogFailure(CBaseZAVModule* module, const char* line);

} // namespace zav
