// ZAVTools: the one header a host module includes.
//
// Link against the import library of ZAVTools.dll (and ole32, oleaut32, uuid). The narrow
// string class and the COM support classes come from the sdkcompat headers; the COM support
// functions behind them are exported by the DLL itself.
#pragma once

#include "ZAVTools/Export.h"
#include "ZAVTools/Host.h"
#include "ZAVTools/Automation.h"
#include "ZAVTools/ComErrors.h"
#include "ZAVTools/Strings.h"
#include "ZAVTools/Markers.h"
#include "ZAVTools/QCAlarm.h"
#include "ZAVTools/SpecManager.h"
#include "ZAVTools/ProjectFile.h"
#include "ZAVTools/Paths.h"
#include "ZAVTools/Exceptions.h"
#include "ZAVTools/LogFile.h"
#include "ZAVTools/ModuleLog.h"
#include "ZAVTools/CrashReport.h"
#include "ZAVTools/ExceptionLogging.h"
#include "ZAVTools/ChartSink.h"
#include "ZAVTools/DashboardRunner.h"
