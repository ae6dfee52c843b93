#include "QcSession.h"

#include <cstdio>
#include <cstdlib>
#include <set>
#include <unordered_map>

#include "ChartReader.h"
#include "JsonLines.h"
#include "SvgChart.h"
#include "TextFile.h"

namespace zavrun {
namespace {

std::wstring Wide(const std::string& text) {
    return std::wstring(static_cast<const wchar_t*>(_bstr_t(text.c_str())));
}

// The description that a failed call of the server left on the thread.
std::string ServerError(const std::string& what) {
    IErrorInfo* info = nullptr;
    std::string text = what;
    if (::GetErrorInfo(0, &info) == S_OK && info) {
        BSTR description = nullptr;
        info->GetDescription(&description);
        if (description && *description)
            text = static_cast<const char*>(_bstr_t(description));
        ::SysFreeString(description);
        info->Release();
    }
    return text;
}

std::string FullPath(const std::string& path) {
    char full[MAX_PATH];
    DWORD length = ::GetFullPathNameA(path.c_str(), MAX_PATH, full, nullptr);
    return length > 0 && length < MAX_PATH ? std::string(full) : path;
}

bool FileExists(const std::string& path) {
    DWORD attributes = ::GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

} // namespace

QcSession::QcSession(const RunOptions& options, HostModule& module, AlarmService& service)
    : m_options(options), m_module(module), m_service(service) {}

void QcSession::Open() {
    m_dataPath = FullPath(m_options.dataFile);
    m_qcpPath = FullPath(m_options.qcpFile);
    if (!FileExists(m_dataPath))
        throw InputError(m_options.dataFile + ": no such file");
    if (!FileExists(m_qcpPath))
        throw InputError(m_options.qcpFile + ": no such file");
    VELTRIUM::_Spreadsheet* sheet = nullptr;
    if (FAILED(OpenRefSpreadsheet(Wide(m_dataPath).c_str(), &sheet)))
        throw InputError(ServerError(m_options.dataFile + ": cannot be read"));
    m_sheet.Attach(sheet);
    Vexil::_ObjectManager* manager = nullptr;
    if (FAILED(OpenRefObjectManager(Wide(m_qcpPath).c_str(), &manager)))
        throw InputError(ServerError(m_options.qcpFile + ": cannot be read"));
    m_objectManager.Attach(manager);
    VELTRIUM::_Application* application = nullptr;
    if (FAILED(CreateRefApplication(nullptr, &application)))
        throw InputError(ServerError("the analysis application cannot be started"));
    m_application.Attach(application);

    m_charId = m_options.charId;
    if (m_charId < 0 && !GetValueFromQCPFile("CharID", m_qcpPath.c_str(), m_charId))
        m_charId = 1;
    if (!m_options.ignoreVariable.empty())
        m_ignoreVariable = Variable(m_options.ignoreVariable);
    GetValueFromQCPFile("SampleVar", m_qcpPath.c_str(), m_sampleVar);
    int columns = 0, column = 0;
    GetValueFromQCPFile("au_column_count", m_qcpPath.c_str(), columns);
    for (int i = 0; i < columns; ++i)
        if (GetValueFromQCPFile(("au_column_" + std::to_string(i)).c_str(), m_qcpPath.c_str(),
                                column))
            m_identityColumns.push_back(column);
}

int QcSession::Variable(const std::string& nameOrNumber) const {
    char* end = nullptr;
    long number = strtol(nameOrNumber.c_str(), &end, 10);
    if (*end)
        number = m_sheet->VariableNumber(_bstr_t(nameOrNumber.c_str()));
    if (number <= 0)
        throw InputError(m_options.dataFile + ": no variable \"" + nameOrNumber + "\"");
    return static_cast<int>(number);
}

std::vector<int> QcSession::ProcessVariables() const {
    std::vector<int> variables;
    for (const std::string& name : m_options.processVariables)
        variables.push_back(Variable(name));
    return variables;
}

RunSummary QcSession::RunBlock(long firstCase, long lastCase, const std::string& processName) {
    RunSummary summary;
    summary.number = ++m_runs;
    if (onRunStart)
        onRunStart(summary.number, processName, firstCase, lastCase);
    summary.processName = processName;
    summary.firstCase = firstCase;
    summary.lastCase = lastCase;

    VELTRIUM::_Spreadsheet* viewPointer = nullptr;
    if (FAILED(CreateRefSpreadsheetView(m_sheet, firstCase, lastCase, &viewPointer)))
        throw InputError(ServerError(m_options.dataFile + ": the cases cannot be shown"));
    VELTRIUM::_SpreadsheetPtr view(viewPointer, false);

    std::vector<std::string> wanted = m_options.alarmKinds;
    CSpecManager specs(view, wanted, m_charId, m_ignoreVariable, true, m_options.ignoreThreshold,
                       &m_service);
    specs.SetCaseRange({static_cast<int>(firstCase), static_cast<int>(lastCase)});
    specs.SetProcessName(processName);
    try {
        specs.Complie(&m_module, m_qcpPath.c_str(), m_objectManager);
    } catch (const _com_error& e) {
        throw InputError(m_options.qcpFile + ": " + static_cast<const char*>(e.Description()));
    }
    RunDashboardProcess2(m_module, m_application, view, m_qcpPath.c_str(), specs);
    specs.OnEndAlarmChecking();
    m_service.Reset();
    specs.NotifyZAVServerOfAlarms(&m_module);
    summary.alarms = m_service.Counts();
    summary.totalAlarms = m_service.Total();
    summary.rows = std::move(m_service.Rows());
    m_service.Rows().clear();
    ReadRun(summary, view);
    return summary;
}

void QcSession::ReadRun(RunSummary& summary, const VELTRIUM::_SpreadsheetPtr& view) {
    IRefApplicationPtr application(m_application);
    VELIQCVChartsLib::_IQCVCharts* chartPointer = nullptr;
    if (!application || application->get_LastChartServer(&chartPointer) != S_OK)
        return;
    VELIQCVChartsLib::_IQCVChartsPtr chart(chartPointer, false);
    if (IRefChartPtr details = chart) {
        RefRunStatistics statistics{};
        details->get_SampleCount(&summary.samples);
        details->GetRunStatistics(&statistics);
        summary.cancelled = statistics.cancelled != 0;
    }
    if (!m_options.svgFolder.empty() || !m_options.reportFolder.empty())
        DrawChart(summary, chart, view);
}

namespace {

// Each report row's sample on the chart, found by its identity (a runs violation's by the
// identity of its first sample), and the samples to anchor for the links.
std::vector<size_t> LinkRows(std::vector<AlarmRow>& rows, long samples,
                             const std::function<std::string(size_t)>& identity) {
    if (rows.empty())
        return {};
    std::unordered_map<std::string, long> wanted;
    for (const AlarmRow& row : rows)
        wanted.emplace(row.sampleId.substr(0, row.sampleId.find(" - ")), -1);
    for (long i = 0; i < samples; ++i) {
        auto found = wanted.find(identity(i));
        if (found != wanted.end() && found->second < 0)
            found->second = i;
    }
    std::set<size_t> anchors;
    for (AlarmRow& row : rows) {
        row.sample = wanted[row.sampleId.substr(0, row.sampleId.find(" - "))];
        if (row.sample >= 0)
            anchors.insert(static_cast<size_t>(row.sample));
    }
    return {anchors.begin(), anchors.end()};
}

} // namespace

// The sample's identity as the alarm records give it: the chart's label when the project forms
// samples by a variable, else the identity cells of the sample's first case joined by "_".
std::string QcSession::Identity(const VELIQCVChartsLib::_IQCVChartsPtr& chart,
                                const VELTRIUM::_SpreadsheetPtr& view, size_t sample) const {
    const long index = static_cast<long>(sample);
    if (m_sampleVar >= 0) {
        _bstr_t label;
        IRefChartPtr(chart)->SampleLabel(index, label.GetAddress());
        return Utf8(label.length() ? static_cast<const wchar_t*>(label) : L"");
    }
    const long caseNumber = static_cast<long>(chart->SampleFirstCase(index)) + 1;
    std::string identity;
    for (size_t i = 0; i < m_identityColumns.size(); ++i) {
        const _bstr_t cell = view->CellText(caseNumber, m_identityColumns[i]);
        identity += (i ? "_" : "") + Utf8(cell.length() ? static_cast<const wchar_t*>(cell) : L"");
    }
    return identity;
}

void QcSession::DrawChart(RunSummary& summary, const VELIQCVChartsLib::_IQCVChartsPtr& chart,
                          const VELTRIUM::_SpreadsheetPtr& view) {
    std::string title = summary.processName.empty() ? "all cases" : summary.processName;
    title += " (cases " + std::to_string(summary.firstCase) + " to " +
             std::to_string(summary.lastCase) + ")";
    ChartPicture picture = ReadChartPicture(chart, title);
    picture.identity = [&](size_t sample) { return Identity(chart, view, sample); };
    if (!m_options.reportFolder.empty()) {
        picture.anchorPrefix = "run" + std::to_string(summary.number) + "-";
        picture.anchors = LinkRows(summary.rows, summary.samples, picture.identity);
    }
    std::string svg = RenderSvg(picture);
    if (!m_options.svgFolder.empty()) {
        char name[32];
        snprintf(name, sizeof name, "run%03d.svg", summary.number);
        summary.chartFile = m_options.svgFolder + "\\" + name;
        if (!WriteTextFile(summary.chartFile, svg))
            throw InputError(summary.chartFile + ": cannot be written");
    }
    if (!m_options.reportFolder.empty())
        summary.svg = std::move(svg);
}

} // namespace zavrun
