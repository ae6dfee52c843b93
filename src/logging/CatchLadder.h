// The catch ladder for the library's own operations. Two equivalent ways to use it:
//
//     RunGuarded(module, "CSpecManager::NotifyZAVServerOfAlarms",
//                "Notifying ZAV Service of any QC alarms that may have occured", [&] {
//                    ... the whole body ...
//                });
//
// or, where a body must return a value or the lambda would be awkward:
//
//     try {
//         ... the whole body ...
//     } catch (...) {
//         zav::RethrowLogged(*module, "RunDashboardProcess2", "Launch IQC chart");
//     }
//
// Either way the exception leaves as the ladder makes it (see ZAVTools/ExceptionLogging.h),
// never silently. Trace the operation with a CFunctionTrace declared before the try, so that
// its exit line follows the exception's ERROR line.
#pragma once

#include "ZAVTools/ExceptionLogging.h"

namespace zav {

// Rethrows the exception being handled through the ladder. Call it only from a catch handler
// of this library's own code: it rethrows with `throw;`, which needs the C++ runtime that
// caught the exception.
[[noreturn]] void RethrowLogged(CBaseZAVModule& module, const char* function, const char* activity);

} // namespace zav
