#include "ChartReader.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>

#include "JsonLines.h"
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
    return part;
}

constexpr long kIndividuals = 3, kMovingS = 4, kCusum = 9, kPareto = 14;

// What the parts of each chart type show, by ChartType code; charts 9 to 13 have no dispersion
// part, and the dispersion part of charts 5 to 8 over single observations is the moving range.
const char* const kXNames[] = {"XBar",
                               "XBar",
                               "XBar",
                               "Individuals",
                               "Individuals",
                               "Moving average",
                               "Moving average",
                               "EWMA",
                               "EWMA",
                               "CuSum: C\u207A above zero, \u2212C\u207B below, decision "
                               "interval \u00B1H",
                               "C (defects)",
                               "U (defects per unit)",
                               "P (fraction nonconforming)",
                               "Np (nonconforming units)"};
const char* const kRNames[] = {"R", "S", "S\u00B2", "MR", "MS", "R", "S", "R", "S"};
constexpr long kDispersionTypes = sizeof kRNames / sizeof kRNames[0];

bool SingleObservations(IRefChart* details, long samples) {
    long size = 0;
    for (long i = 0; i < samples; ++i)
        if (details->SampleSize(i, &size) == S_OK && size > 1)
            return false;
    return true;
}

// The measure of a CuSum chart folds both sides into one value; the picture shows each side.
void SplitCusum(ChartPart& part, IRefChart* details) {
    part.lowerSide.resize(part.values.size());
    for (size_t i = 0; i < part.values.size(); ++i) {
        double upper = NAN, lower = NAN;
        details->CusumSides(static_cast<long>(i), &upper, &lower);
        part.values[i] = upper;
        part.lowerSide[i] = -lower;
    }
    part.upperName = "+H";
    part.lowerName = "\u2212H";
}

// The runs patterns of the last Launch and the specification limits go with the X part; the
// limits are lines only where its points are single parts.
void ReadXPartExtras(ChartPart& part, Chart* chart, IRefChart* details, long type) {
    long patterns = 0;
    details->get_RunsViolationCount(&patterns);
    for (long i = 0; i < patterns; ++i) {
        long test = 0, first = 0, last = 0;
        if (details->RunsViolation(i, &test, &first, &last) == S_OK)
            part.runs.push_back({test, static_cast<size_t>(first), static_cast<size_t>(last)});
    }
    long set = -1;
    if (part.values.empty() || chart->raw_SpecLimitSet(0, &set) != S_OK || set < 0)
        return;
    chart->raw_LowerSpecLimit(set, &part.lowerSpec);
    chart->raw_UpperSpecLimit(set, &part.upperSpec);
    part.specLines = type == kIndividuals || type == kMovingS;
}

ParetoPart ReadPareto(Chart* chart, IRefChart* details, long samples) {
    ParetoPart pareto;
    for (long i = 0; i < samples; ++i) {
        _bstr_t key;
        details->SampleKey(i, key.GetAddress());
        pareto.categories.push_back(Utf8(key.length() ? static_cast<const wchar_t*>(key) : L""));
        pareto.counts.push_back(chart->XMeasure(i));
        pareto.cumulativePercent.push_back(chart->RMeasure(i));
    }
    return pareto;
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
    const long type = chart->ChartType();
    if (type == kPareto) {
        picture.pareto = ReadPareto(chart, details, samples);
        return picture;
    }
    long phaseI = 0;
    details->get_PhaseISamples(&phaseI);
    picture.phaseI = static_cast<size_t>(std::max(phaseI, 0L));
    details->get_Sigma(&picture.sigma);
    picture.parts.push_back(ReadPart(chart, details, samples, kXPart));
    ReadXPartExtras(picture.parts[0], chart, details, type);
    if (type == kCusum)
        SplitCusum(picture.parts[0], details);
    if (type >= 0 && type < static_cast<long>(std::size(kXNames)))
        picture.parts[0].name = kXNames[type];
    if (type < 0 || type >= kDispersionTypes)
        return picture;
    picture.parts.push_back(ReadPart(chart, details, samples, kRPart));
    const bool movingRange = type >= 5 && SingleObservations(details, samples);
    picture.parts[1].name = movingRange ? "MR" : kRNames[type];
    return picture;
}

} // namespace zavrun
