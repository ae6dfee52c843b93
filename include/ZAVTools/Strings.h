// Localized strings of the library's string table.
#pragma once

#include <atlstr.h>

#include "Export.h"

// Entry `id` from the resource library chosen for the user's UI languages at load, or from the
// library's own English table when there is none. Empty when the entry is absent.
ZAVTOOLS_API CString strGetStringZAVTools(unsigned id);
