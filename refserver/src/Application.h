// The analysis application: gives the QC analysis (type 3251) of a spreadsheet of this server.
#pragma once

#include <memory>
#include <string>

#include <RefServer.h>

#include <ZAVTools/Automation.h>

#include "ComObject.h"
#include "RunProgress.h"

namespace refsrv {

struct ApplicationOptions {
    long handshakeFailures = 0;
};

// Raises a ServerError for an option it does not know or a bad value.
ApplicationOptions ParseApplicationOptions(const wchar_t* options);

struct AnalysisState;

class Application : public ComObject<VELTRIUM::_Application, IRefApplication> {
public:
    explicit Application(const ApplicationOptions& options)
        : m_handshakeFailuresLeft(options.handshakeFailures) {}

    HRESULT __stdcall raw_Analysis(long type, VARIANT data, VELTRIUM::_Analysis** result) override;
    HRESULT __stdcall get_LastChartServer(VELIQCVChartsLib::_IQCVCharts** chart) override;
    HRESULT __stdcall GetProgress(RefProgress* progress) override;

private:
    long m_handshakeFailuresLeft;
    // The state of the most recent analysis, whose Run leaves its chart server there.
    std::shared_ptr<AnalysisState> m_lastAnalysis;
    std::shared_ptr<RunProgress> m_progress = std::make_shared<RunProgress>();
};

} // namespace refsrv
