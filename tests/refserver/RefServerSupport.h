// What the reference server's tests share: files in a temporary folder, the spreadsheet of a CSV
// text, the description that the server's error information gives, and a chart run.
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

// A CSV and a QCP text in a fresh folder, run through application, analysis and dialog.
struct Chart {
    TempDir dir;
    VELTRIUM::_ApplicationPtr application;
    VELTRIUM::_AnalysisPtr analysis;
    _IQCVChartsPtr server;
    long samples = 0;
    HRESULT hr = S_OK; // of Run; on failure `error` says why
    std::string error;

    Chart(const std::string& csv, const std::string& qcp);
    IRefChartPtr Details() const { return IRefChartPtr(server); }
};

} // namespace reftest
