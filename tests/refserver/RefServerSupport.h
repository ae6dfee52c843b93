// What the reference server's tests share: files in a temporary folder, the spreadsheet of a CSV
// text, and the description that the server's error information gives.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include <RefServer.h>

#include "qcrun/DispatchByName.h"
#include "support/ComCheck.h"
#include "support/Files.h"

namespace reftest {

using VELIQCVChartsLib::_IQCVChartsPtr;
using VELTRIUM::_SpreadsheetPtr;
using zavtest::TempDir;

// Writes `text` to `name` in the folder and gives the file's path.
std::wstring WriteFile(const TempDir& dir, const std::string& name, const std::string& text);
// The description of the thread's error information (taken off the thread).
inline constexpr auto ErrorText = &zavtest::ThreadErrorDescription;
// The spreadsheet of `csv`, written to data.csv in the folder.
_SpreadsheetPtr OpenSheet(const TempDir& dir, const std::string& csv);

} // namespace reftest
