#include "Application.h"

#include <RefServer.h>

#include "Analysis.h"
#include "ServerError.h"
#include "Spreadsheet.h"
#include "Text.h"

namespace refsrv {

ApplicationOptions ParseApplicationOptions(const wchar_t* options) {
    ApplicationOptions result;
    std::wstring text = options ? options : L"";
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(L';', start);
        std::wstring item = Trim(text.substr(start, end - start));
        start = end == std::wstring::npos ? text.size() : end + 1;
        if (item.empty())
            continue;
        size_t equals = item.find(L'=');
        std::wstring name = Trim(item.substr(0, equals));
        std::wstring value = equals == std::wstring::npos ? L"" : Trim(item.substr(equals + 1));
        if (!EqualNoCase(name, L"HandshakeFailures"))
            Fail(E_INVALIDARG, Format(L"Unknown application option \"%ls\"; the one option is "
                                      L"HandshakeFailures=N",
                                      name.c_str()));
        if (!ParseLong(value, result.handshakeFailures) || result.handshakeFailures < 0)
            Fail(E_INVALIDARG, Format(L"HandshakeFailures is \"%ls\"; it must be a whole number, "
                                      L"0 or more",
                                      value.c_str()));
    }
    return result;
}

HRESULT Application::raw_Analysis(long type, VARIANT data, VELTRIUM::_Analysis** result) {
    return Guard(__uuidof(VELTRIUM::_Application), L"RefServer.Application", [&] {
        *Out(result) = nullptr;
        if (m_handshakeFailuresLeft > 0) {
            --m_handshakeFailuresLeft;
            Fail(kHandshakeFailed, L"bad encryption handshake");
        }
        if (type != kRefQCAnalysisType)
            Fail(E_INVALIDARG, Format(L"Analysis type %ld is not supported; the QC analysis is "
                                      L"type %ld",
                                      type, kRefQCAnalysisType));
        _variant_t object;
        if (FAILED(::VariantChangeType(&object, &data, 0, VT_UNKNOWN)))
            Fail(E_INVALIDARG, L"The data of a QC analysis must be a spreadsheet object "
                               L"(VT_DISPATCH)");
        auto analysis = MakeObject<refsrv::Analysis>(TableViewOf(object.punkVal), m_progress);
        m_lastAnalysis = analysis->State();
        analysis.CopyTo(result);
        return S_OK;
    });
}

HRESULT Application::get_LastChartServer(VELIQCVChartsLib::_IQCVCharts** chart) {
    return Guard(__uuidof(IRefApplication), L"RefServer.Application", [&] {
        *Out(chart) = nullptr;
        if (!m_lastAnalysis || !m_lastAnalysis->chartServer)
            return S_FALSE;
        m_lastAnalysis->chartServer.CopyTo(chart);
        return S_OK;
    });
}

HRESULT Application::GetProgress(RefProgress* progress) {
    return Guard(__uuidof(IRefApplication), L"RefServer.Application", [&] {
        RefProgress& out = *Out(progress);
        out.samples = m_progress->samples.load(std::memory_order_relaxed);
        out.samplesWalked = m_progress->samplesWalked.load(std::memory_order_relaxed);
        out.alarmEvents = m_progress->alarmEvents.load(std::memory_order_relaxed);
        return S_OK;
    });
}

} // namespace refsrv
