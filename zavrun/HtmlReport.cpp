#include "HtmlReport.h"

#include <windows.h>
#include <cstdio>

#include "SvgWriter.h"
#include "TextFile.h"

namespace zavrun {
namespace {

// The alarm types in the order of the run table's columns.
const char* const kTypes[] = {"SampleOutOfControl", "SampleOutsideWarningLimits", "RunsViolation",
                              "ObsOutsideSpecs"};
const char* const kTypeHeadings[] = {"Out of control", "Outside warning limits", "Runs violations",
                                     "Outside specs"};

const char kStyle[] =
    "body{font-family:sans-serif;margin:24px;color:#212121;max-width:1100px}"
    "h1{font-size:22px}h2{font-size:18px;margin-top:36px;border-top:1px solid #ccc;"
    "padding-top:16px}.meta{color:#616161}"
    "table{border-collapse:collapse;margin:8px 0;font-size:13px}"
    "th,td{border:1px solid #ddd;padding:4px 8px;text-align:left;vertical-align:top}"
    "th{background:#f5f5f5}td.n{text-align:right}"
    ".chart svg{max-width:100%;height:auto;border:1px solid #eee}"
    "tr.alarm-row:target,tr.alarm-row:hover{background:#fff8e1}.more{color:#616161}";

std::string RunName(const RunSummary& run) {
    return run.processName.empty() ? "all cases" : run.processName;
}

std::string Cell(const std::string& text, const char* cls = nullptr) {
    return std::string("<td") + (cls ? " class=\"" + std::string(cls) + "\"" : "") + ">" +
           Escape(text) + "</td>";
}

std::string CountOf(const RunSummary& run, const char* type) {
    auto found = run.alarms.find(type);
    return std::to_string(found == run.alarms.end() ? 0 : found->second);
}

std::string RunTable(const std::vector<RunSummary>& runs) {
    std::string html = "<table class=\"runs\"><thead><tr><th>Run</th><th>Process</th>"
                       "<th>Cases</th><th>Samples</th><th>Alarms</th>";
    for (const char* heading : kTypeHeadings)
        html += "<th>" + std::string(heading) + "</th>";
    html += "</tr></thead><tbody>\n";
    for (const RunSummary& run : runs) {
        const std::string number = std::to_string(run.number);
        html += "<tr class=\"run-row\"><td><a href=\"#run" + number + "\">" + number + "</a></td>" +
                Cell(RunName(run)) +
                Cell(std::to_string(run.firstCase) + " to " + std::to_string(run.lastCase)) +
                Cell(std::to_string(run.samples), "n") + Cell(std::to_string(run.totalAlarms), "n");
        for (const char* type : kTypes)
            html += Cell(CountOf(run, type), "n");
        html += "</tr>\n";
    }
    return html + "</tbody></table>\n";
}

std::string AlarmTable(const RunSummary& run) {
    if (run.rows.empty())
        return "<p class=\"none\">No alarms.</p>\n";
    std::string html = "<table class=\"alarms\"><thead><tr><th>Type</th><th>Sample</th>"
                       "<th>Description</th><th>Auxiliary data</th></tr></thead><tbody>\n";
    for (const AlarmRow& row : run.rows) {
        html += "<tr class=\"alarm-row\">" + Cell(row.type) + "<td>";
        const std::string sample = Escape(row.sampleId.empty() ? "-" : row.sampleId);
        html += row.sample < 0 ? sample
                               : "<a href=\"#run" + std::to_string(run.number) + "-s" +
                                     std::to_string(row.sample) + "\">" + sample + "</a>";
        html += "</td>" + Cell(row.description) + Cell(row.details) + "</tr>\n";
    }
    html += "</tbody></table>\n";
    if (run.totalAlarms > static_cast<int>(run.rows.size()))
        html += "<p class=\"more\">The first " + std::to_string(run.rows.size()) + " of " +
                std::to_string(run.totalAlarms) + " records; the alarm output has them all.</p>\n";
    return html;
}

std::string RunSection(const RunSummary& run) {
    const std::string number = std::to_string(run.number);
    std::string html = "<section class=\"run\" id=\"run" + number + "\">\n<h2>Run " + number +
                       ": " + Escape(RunName(run)) + "</h2>\n<p class=\"meta\">Cases " +
                       std::to_string(run.firstCase) + " to " + std::to_string(run.lastCase) +
                       ", " + std::to_string(run.samples) + " samples, " +
                       std::to_string(run.totalAlarms) + " alarms" +
                       (run.cancelled ? "; stopped before the end" : "") + "</p>\n";
    html += run.svg.empty() ? "<p class=\"none\">No chart.</p>\n"
                            : "<div class=\"chart\">\n" + run.svg + "</div>\n";
    return html + AlarmTable(run) + "</section>\n";
}

std::string Now() {
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    char text[32];
    snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u", now.wYear, now.wMonth, now.wDay,
             now.wHour, now.wMinute);
    return text;
}

} // namespace

std::string HtmlReport(const RunOptions& options, const std::vector<RunSummary>& runs) {
    std::string html = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
                       "<title>QC report: " +
                       Escape(options.dataFile) + "</title>\n<style>" + kStyle +
                       "</style>\n</head>\n<body>\n<h1>QC report</h1>\n<p class=\"meta\">Data " +
                       Escape(options.dataFile) + ", project " + Escape(options.qcpFile) +
                       ", written " + Now() +
                       ". A sample link shows the sample on its chart.</p>\n";
    html += RunTable(runs);
    for (const RunSummary& run : runs)
        html += RunSection(run);
    return html + "</body>\n</html>\n";
}

void WriteHtmlReport(const RunOptions& options, const std::vector<RunSummary>& runs) {
    ::CreateDirectoryA(options.reportFolder.c_str(), nullptr);
    const std::string path = options.reportFolder + "\\index.html";
    if (!WriteTextFile(path, HtmlReport(options, runs)))
        throw InputError(path + ": cannot be written");
}

} // namespace zavrun
