#include "RefServerSupport.h"

namespace reftest {

std::wstring WriteFile(const TempDir& dir, const std::string& name, const std::string& text) {
    zavtest::WriteTextFile(dir / name, text);
    return zavtest::Wide(dir / name);
}

_SpreadsheetPtr OpenSheet(const TempDir& dir, const std::string& csv) {
    _SpreadsheetPtr sheet;
    EXPECT_EQ(S_OK, OpenRefSpreadsheet(WriteFile(dir, "data.csv", csv).c_str(), &sheet))
        << ErrorText();
    return sheet;
}

Chart::Chart(const std::string& csv, const std::string& qcp) {
    EXPECT_EQ(S_OK, CreateRefApplication(nullptr, &application));
    analysis = application->Analysis(kRefQCAnalysisType,
                                     _variant_t(static_cast<IDispatch*>(OpenSheet(dir, csv))));
    IDispatchPtr dialog = analysis->GetDialog();
    const std::wstring project =
        qcp.empty() ? zavtest::Wide(dir / "missing.qcp") : WriteFile(dir, "chart.qcp", qcp);
    zav::SetPropertyByName(dialog, L"DropProjectFile", _variant_t(project.c_str()));
    hr = analysis->raw_Run(&samples);
    error = ErrorText();
    _variant_t chart;
    if (SUCCEEDED(hr) && SUCCEEDED(zav::GetPropertyByName(dialog, L"ChartServer", &chart)))
        server = _IQCVChartsPtr(V_DISPATCH(&chart)); // takes a reference of its own
}

} // namespace reftest
