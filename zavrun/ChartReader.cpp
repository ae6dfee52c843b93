#include "ChartReader.h"

#include <cmath>
#include <limits>

#include "ZAVTools.h"

namespace zavrun {
namespace {

using Chart = VELIQCVChartsLib::_IQCVCharts;
using PerSample = double (Chart::*)(long);
using Absent = long (Chart::*)();

// The operations that read one part of the chart.
struct PartReader {
    const char* name;
    PerSample measure, lowerControl, upperControl, lowerWarning, upperWarning;
    Absent noLowerControl, noUpperControl, noLowerWarning, noUpperWarning;
    HRESULT (__stdcall IRefChart::*center)(long, double*);
};

const PartReader kXPart = {"X",
                           &Chart::XMeasure,
                           &Chart::XLowerControlLimit,
                           &Chart::XUpperControlLimit,
                           &Chart::XLowerWarningLimit,
                           &Chart::XUpperWarningLimit,
                           &Chart::XNoLowerControlLimit,
                           &Chart::XNoUpperControlLimit,
                           &Chart::XNoLowerWarningLimit,
                           &Chart::XNoUpperWarningLimit,
                           &IRefChart::XCenterLine};
const PartReader kRPart = {"R",
                           &Chart::RMeasure,
                           &Chart::RLowerControlLimit,
                           &Chart::RUpperControlLimit,
                           &Chart::RLowerWarningLimit,
                           &Chart::RUpperWarningLimit,
                           &Chart::RNoLowerControlLimit,
                           &Chart::RNoUpperControlLimit,
                           &Chart::RNoLowerWarningLimit,
                           &Chart::RNoUpperWarningLimit,
                           &IRefChart::RCenterLine};

std::vector<double> Limit(Chart* chart, long samples, Absent absent, PerSample value) {
    if ((chart->*absent)() != 0)
        return std::vector<double>(samples, std::numeric_limits<double>::quiet_NaN());
    std::vector<double> series(samples);
    for (long i = 0; i < samples; ++i)
        series[i] = (chart->*value)(i);
    return series;
}

ChartPart ReadPart(Chart* chart, IRefChart* details, long samples, const PartReader& reader) {
    ChartPart part;
    part.name = reader.name;
    part.values.resize(samples);
    part.center.resize(samples);
    for (long i = 0; i < samples; ++i) {
        part.values[i] = (chart->*reader.measure)(i);
        (details->*reader.center)(i, &part.center[i]);
    }
    part.lowerControl = Limit(chart, samples, reader.noLowerControl, reader.lowerControl);
    part.upperControl = Limit(chart, samples, reader.noUpperControl, reader.upperControl);
    part.lowerWarning = Limit(chart, samples, reader.noLowerWarning, reader.lowerWarning);
    part.upperWarning = Limit(chart, samples, reader.noUpperWarning, reader.upperWarning);
    part.alarm.resize(samples);
    for (long i = 0; i < samples; ++i) {
        const double value = part.values[i];
        part.alarm[i] = value < part.lowerControl[i] || value > part.upperControl[i];
    }
    return part;
}

} // namespace

ChartPicture ReadChartPicture(const VELIQCVChartsLib::_IQCVChartsPtr& chart,
                              const std::string& title) {
    IRefChartPtr details(chart);
    long samples = 0;
    if (details)
        details->get_SampleCount(&samples);
    ChartPicture picture;
    picture.title = title;
    if (!details)
        return picture;
    picture.parts.push_back(ReadPart(chart, details, samples, kXPart));
    picture.parts.push_back(ReadPart(chart, details, samples, kRPart));
    return picture;
}

} // namespace zavrun
