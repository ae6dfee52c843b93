// What an out-of-control or warning alarm violated, and the names of chart types and run rules.
#include <iterator>

#include "ZAVTools/SpecManager.h"
#include "ZAVTools/Strings.h"
#include "alarms/AlarmTexts.h"
#include "alarms/SpecManagerImpl.h"
#include "res/StringIds.h"

namespace zav {

namespace {

using VELIQCVChartsLib::_IQCVCharts;

// Names come through the resource library, so a translated table supplies its own.
CString NameFromTable(const UINT* ids, long count, long code, const char* unknown) {
    if (code < 0 || code >= count)
        return CString(unknown);
    return strGetStringZAVTools(ids[code]);
}

// The chart server operations behind one measure text, and the texts to pick from.
struct MeasureSource {
    double (_IQCVCharts::*measure)(long sample);
    double (_IQCVCharts::*lower)(long sample);
    double (_IQCVCharts::*upper)(long sample);
    long (_IQCVCharts::*noLower)();
    long (_IQCVCharts::*noUpper)();
    UINT bothLimits, upperAbsent, lowerAbsent;
};

constexpr MeasureSource kXControl{&_IQCVCharts::XMeasure,
                                  &_IQCVCharts::XLowerControlLimit,
                                  &_IQCVCharts::XUpperControlLimit,
                                  &_IQCVCharts::XNoLowerControlLimit,
                                  &_IQCVCharts::XNoUpperControlLimit,
                                  IDS_X_MEASURE,
                                  IDS_X_MEASURE_NO_UPPER,
                                  IDS_X_MEASURE_NO_LOWER};
constexpr MeasureSource kXWarning{&_IQCVCharts::XMeasure,
                                  &_IQCVCharts::XLowerWarningLimit,
                                  &_IQCVCharts::XUpperWarningLimit,
                                  &_IQCVCharts::XNoLowerWarningLimit,
                                  &_IQCVCharts::XNoUpperWarningLimit,
                                  IDS_X_MEASURE,
                                  IDS_X_MEASURE_NO_UPPER,
                                  IDS_X_MEASURE_NO_LOWER};
constexpr MeasureSource kRControl{&_IQCVCharts::RMeasure,
                                  &_IQCVCharts::RLowerControlLimit,
                                  &_IQCVCharts::RUpperControlLimit,
                                  &_IQCVCharts::RNoLowerControlLimit,
                                  &_IQCVCharts::RNoUpperControlLimit,
                                  IDS_R_MEASURE,
                                  IDS_R_MEASURE_NO_UPPER,
                                  IDS_R_MEASURE_NO_LOWER};
constexpr MeasureSource kRWarning{&_IQCVCharts::RMeasure,
                                  &_IQCVCharts::RLowerWarningLimit,
                                  &_IQCVCharts::RUpperWarningLimit,
                                  &_IQCVCharts::RNoLowerWarningLimit,
                                  &_IQCVCharts::RNoUpperWarningLimit,
                                  IDS_R_MEASURE,
                                  IDS_R_MEASURE_NO_UPPER,
                                  IDS_R_MEASURE_NO_LOWER};

// The measure against its limits. The calls are made one statement each so that the chart
// server sees them in a fixed order: measure, lower, upper, lower absent, upper absent.
CString MeasureText(const VELIQCVChartsLib::_IQCVChartsPtr& chart, const MeasureSource& source,
                    long sample) {
    _IQCVCharts& server = *chart;
    const double measure = (server.*source.measure)(sample);
    const double lower = (server.*source.lower)(sample);
    const double upper = (server.*source.upper)(sample);
    const long noLower = (server.*source.noLower)();
    const long noUpper = (server.*source.noUpper)();
    CString text;
    // When the server reports both limits absent, the upper-absent text wins.
    if (noUpper)
        text.Format(source.upperAbsent, measure, lower);
    else if (noLower)
        text.Format(source.lowerAbsent, measure, upper);
    else
        text.Format(source.bothLimits, measure, lower, upper);
    return text;
}

} // namespace

CString ChartTypeName(long code) {
    static const UINT ids[] = {IDS_CHART_XBAR_R,   IDS_CHART_XBAR_S,   IDS_CHART_XBAR_V2,
                               IDS_CHART_INDIV_MR, IDS_CHART_INDIV_MS, IDS_CHART_MOVAVG_R,
                               IDS_CHART_MOVAVG_S, IDS_CHART_EWMA_R,   IDS_CHART_EWMA_S,
                               IDS_CHART_CUSUM,    IDS_CHART_C,        IDS_CHART_U,
                               IDS_CHART_P,        IDS_CHART_NP,       IDS_CHART_PARETO};
    return NameFromTable(ids, static_cast<long>(std::size(ids)), code, "Unknown");
}

CString RunsTestName(long code) {
    static const UINT ids[] = {IDS_RUNS_SAME_SIDE,    IDS_RUNS_TREND,  IDS_RUNS_ALTERNATING,
                               IDS_RUNS_ZONE_A,       IDS_RUNS_ZONE_B, IDS_RUNS_ZONE_C,
                               IDS_RUNS_BEYOND_ZONE_C};
    return NameFromTable(ids, static_cast<long>(std::size(ids)), code, "Unknown Type");
}

} // namespace zav

CString CSpecManager::GetSampleAlarmDesc(VELIQCVChartsLib::_IQCVChartsPtr chart, int sampleIndex,
                                         int chartParts, int warning) {
    const CString typeName = zav::ChartTypeName(chart->ChartType());
    const int parts = chartParts & m_pImpl->m_nCheckAlarmFor;
    // The chart type is named once, before the first measure text ("%s; %s"), and a second
    // text follows after "; ". Joined without printf, which would measure the text twice.
    CString description;
    if (parts & 1) {
        const CString x =
            zav::MeasureText(chart, warning ? zav::kXWarning : zav::kXControl, sampleIndex);
        description = typeName + "; " + x;
    }
    if (parts & 2) {
        const CString r =
            zav::MeasureText(chart, warning ? zav::kRWarning : zav::kRControl, sampleIndex);
        description = (description.IsEmpty() ? typeName : description) + "; " + r;
    }
    return description;
}
