// One self-contained page of a zavrun invocation: a row per run at the top, then per run its chart
// (inline SVG) and its alarm records, each record linked to its sample on the chart. No script,
// and nothing fetched from anywhere: it opens offline and from a file share.
#pragma once

#include <string>
#include <vector>

#include "CommandLine.h"
#include "QcSession.h"

namespace zavrun {

// The alarm records a run's section lists; the rest are in the JSON Lines.
constexpr size_t kReportRowsPerRun = 2000;

// The page as text.
std::string HtmlReport(const RunOptions& options, const std::vector<RunSummary>& runs);

// Writes FOLDER\index.html (the folder is made when missing); raises InputError when it cannot.
void WriteHtmlReport(const RunOptions& options, const std::vector<RunSummary>& runs);

} // namespace zavrun
