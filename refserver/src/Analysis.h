// The QC analysis of one spreadsheet and its dialog. The dialog is reached only by name
// (IDispatch::GetIDsOfNames and Invoke), as an application's option dialog is:
//   AutoUpdateMode, MakeDefaultSummaryChart  VT_BOOL, read and write (kept, no effect on the chart)
//   DropProjectFile                          VT_BSTR, read and write: the QCP file that Run loads
//   ChartServer                              read only: the chart server of the last Run
// Run loads the project, computes the chart and gives the number of samples.
#pragma once

#include <memory>
#include <string>

#include <ZAVTools/Automation.h>

#include "ChartServer.h"
#include "ComObject.h"
#include "Table.h"

namespace refsrv {

struct AnalysisState {
    bool autoUpdateMode = true;
    bool makeDefaultSummaryChart = true;
    std::wstring projectFile;
    bool projectDropped = false;
    ComRef<ChartServer> chartServer;
    std::shared_ptr<RunProgress> progress;
};

class AnalysisDialog : public ComObject<IDispatch> {
public:
    explicit AnalysisDialog(std::shared_ptr<AnalysisState> state) : m_state(std::move(state)) {}

    HRESULT __stdcall GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale,
                                    DISPID* ids) override;
    HRESULT __stdcall Invoke(DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params,
                             VARIANT* result, EXCEPINFO* exception, UINT* badArgument) override;

private:
    HRESULT Get(DISPID id, VARIANT* result);
    HRESULT Put(DISPID id, const VARIANT& value, UINT* badArgument);

    std::shared_ptr<AnalysisState> m_state;
};

class Analysis : public ComObject<VELTRIUM::_Analysis> {
public:
    Analysis(TableView view, std::shared_ptr<RunProgress> progress);

    HRESULT __stdcall get_Dialog(IDispatch** result) override;
    HRESULT __stdcall raw_Run(long* result) override;

    const std::shared_ptr<AnalysisState>& State() const { return m_state; }

private:
    TableView m_view;
    std::shared_ptr<AnalysisState> m_state;
    ComRef<AnalysisDialog> m_dialog;
};

} // namespace refsrv
