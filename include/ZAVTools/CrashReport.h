// Crash reports for machine faults: the fault's record and context go to the crash-report
// module "CrashRpt", which writes a dump into "Veltrium\Errors" below the common application
// data folder.
#pragma once

#include "Exceptions.h"
#include "Export.h"
#include "Host.h"

// Hands the exception to CrashRpt's StackTrace and GenerateSilentErrorReport (each when the
// module offers it) and logs "Process dump was generated in [<folder>]" through the module.
// Does nothing for an exception object that was already reported, and marks it reported.
ZAVTOOLS_API void CreateCrashReport(win32_exception& e, CBaseZAVModule& module);
