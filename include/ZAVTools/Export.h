// ZAVTOOLS_API marks what ZAVTools.dll exports; a host sees the same names as imports.
#pragma once

#ifdef ZAVTOOLS_BUILDING
#define ZAVTOOLS_API __declspec(dllexport)
#else
#define ZAVTOOLS_API __declspec(dllimport)
#endif
