// Running one QC chart dashboard process through the analysis application's automation model.
#pragma once

#include "Automation.h"
#include "Export.h"
#include "Host.h"
#include "SpecManager.h"

// Asks `app` for the QC analysis of `sheet` (waiting up to 20 s for the chart engine to start),
// loads the QC project `projectFile` (ANSI; null loads none) into the analysis dialog, runs the
// analysis, switches the chart server's alarm events by the CSpecManager's switches, connects a
// CQCVChartSink that forwards the wanted alarm kinds to `specs`, and launches the chart run.
// Returns true; a failure is logged through `module` and leaves as a _com_error whose
// description reads "Launch IQC chart [<reason>]".
//
// The chart server keeps the sink, and with it `module` and `specs`, for as long as it lives:
// both must outlive the chart server. Call on a thread that has initialised COM.
ZAVTOOLS_API bool RunDashboardProcess2(CBaseZAVModule& module, VELTRIUM::_ApplicationPtr app,
                                       VELTRIUM::_SpreadsheetPtr sheet, const char* projectFile,
                                       CSpecManager& specs);
