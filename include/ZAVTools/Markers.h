// Library marker exports and the published shut-down time-outs.
#pragma once

#include <windows.h>

#include "Export.h"

ZAVTOOLS_API int fnZAVTools();

extern ZAVTOOLS_API int nZAVTools;

// Five shut-down time-outs in milliseconds (61000, 50000, 10000, 3000, 1000), followed by a
// zero word that a host may read as a sixth entry or as the end mark.
extern ZAVTOOLS_API const DWORD gShutdownTimeouts[6];

class ZAVTOOLS_API CZAVTools {
public:
    CZAVTools();
    CZAVTools(const CZAVTools&) = default;
    CZAVTools& operator=(const CZAVTools&);
    CZAVTools& operator=(CZAVTools&&);
};

extern "C" ZAVTOOLS_API void GetZAVConnectionString();
