#include "SvgChart.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "SvgParts.h"
#include "SvgWriter.h"

namespace zavrun {

const char* const kRunsTestNames[7] = {"same side",
                                       "trend",
                                       "alternating",
                                       "zone A",
                                       "zone B",
                                       "zone C (stratification)",
                                       "beyond zone C (mixture)"};

namespace {

const char *const kBlue = "#1f4e79", *const kRed = "#c62828", *const kAmber = "#e08a00",
                  *const kGreen = "#2e7d32", *const kPurple = "#8e24aa",
                  *const kSpecColour = "#37474f", *const kGrey = "#757575";
constexpr double kTitleHeight = 30, kLegendHeight = 26, kSummaryLine = 16;
constexpr size_t kEveryMarker = 150;      // up to this many samples every point has a marker
constexpr size_t kLongestSampleName = 28; // characters of a sample's name on the axis

double At(const std::vector<double>& series, size_t i) {
    return i < series.size() ? series[i] : NAN;
}

double LastFinite(const std::vector<double>& series) {
    auto last = std::find_if(series.rbegin(), series.rend(),
                             [](double value) { return std::isfinite(value); });
    return last == series.rend() ? NAN : *last;
}

// 1, 2, 2.5 or 5 times a power of ten: the step between about `ticks` round values over `range`.
double NiceStep(double range, double ticks) {
    const double raw = range / ticks, power = std::pow(10, std::floor(std::log10(raw)));
    for (double factor : {1.0, 2.0, 2.5, 5.0})
        if (factor * power >= raw)
            return factor * power;
    return 10 * power;
}

enum class Signal { none, warning, control };

// Beyond the control limits (either side of a CuSum), or outside only the warning limits.
Signal SignalAt(const ChartPart& part, size_t i) {
    const double value = At(part.values, i), below = At(part.lowerSide, i);
    if (value < At(part.lowerControl, i) || value > At(part.upperControl, i) ||
        below < At(part.lowerControl, i))
        return Signal::control;
    if (value < At(part.lowerWarning, i) || value > At(part.upperWarning, i))
        return Signal::warning;
    return Signal::none;
}

// How many samples of a part signal, by kind: counted once for the legend and the summary.
struct SignalCount {
    size_t control = 0, warning = 0;
};

SignalCount CountSignals(const ChartPart& part) {
    SignalCount count;
    for (size_t i = 0; i < part.values.size(); ++i) {
        const Signal signal = SignalAt(part, i);
        count.control += signal == Signal::control;
        count.warning += signal == Signal::warning;
    }
    return count;
}

// Maps sample indexes and values of one part into its plot, and gives the round values of its
// axis. Sample i owns the slot from Left(i) to Left(i + 1).
class Scale {
public:
    Scale(const ChartPart& part, double plotTop)
        : m_top(plotTop), m_count(std::max<size_t>(part.values.size(), 1)) {
        double low = std::numeric_limits<double>::infinity(), high = -low;
        auto take = [&](double value) {
            if (std::isfinite(value)) {
                low = std::min(low, value);
                high = std::max(high, value);
            }
        };
        for (const std::vector<double>* series :
             {&part.values, &part.lowerControl, &part.upperControl, &part.lowerWarning,
              &part.upperWarning, &part.center, &part.lowerSide})
            for (double value : *series)
                take(value);
        if (part.specLines) {
            take(part.lowerSpec);
            take(part.upperSpec);
        }
        if (!std::isfinite(low)) {
            low = 0;
            high = 1;
        }
        const double margin = high > low ? (high - low) * 0.06 : std::max(std::fabs(low), 1.0);
        m_low = low - margin;
        m_high = high + margin;
        m_step = NiceStep(m_high - m_low, 7);
    }
    double Left(double index) const { return kLeft + kPlotWidth * index / m_count; }
    double X(double index) const { return Left(index + 0.5); }
    double Slot() const { return kPlotWidth / m_count; }
    double Y(double value) const {
        return m_top + kPlotHeight * (m_high - value) / (m_high - m_low);
    }
    double Top() const { return m_top; }
    double Bottom() const { return m_top + kPlotHeight; }
    std::vector<double> Ticks() const {
        std::vector<double> ticks;
        for (double tick = std::ceil(m_low / m_step) * m_step; tick <= m_high; tick += m_step)
            ticks.push_back(std::fabs(tick) < m_step * 1e-9 ? 0 : tick);
        return ticks;
    }
    // The pixel column of a sample, for thinning long runs.
    long Column(size_t index) const { return static_cast<long>(X(index) - kLeft); }

private:
    double m_top, m_low = 0, m_high = 1, m_step = 1;
    size_t m_count;
};

// A line that follows a per-sample limit across each sample's slot, broken where the limit is
// absent: steps where it changes, one segment for a run of equal values.
void AppendLimit(std::string& svg, const Scale& scale, const std::vector<double>& limit,
                 const std::string& style) {
    std::string points;
    auto flush = [&] {
        if (!points.empty())
            svg += "<polyline fill=\"none\" " + style + " points=\"" + points + "\"/>\n";
        points.clear();
    };
    const size_t count = limit.size();
    const size_t stride = std::max<size_t>(count / static_cast<size_t>(kPlotWidth), 1);
    double current = NAN, start = 0;
    auto segment = [&](double end) {
        if (std::isfinite(current))
            points += Number(start) + "," + Number(scale.Y(current)) + " " + Number(end) + "," +
                      Number(scale.Y(current)) + " ";
    };
    for (size_t i = 0; i < count; i += stride) {
        if (limit[i] == current)
            continue;
        segment(scale.Left(i));
        if (!std::isfinite(limit[i]))
            flush();
        current = limit[i];
        start = scale.Left(i);
    }
    segment(scale.Left(count));
    flush();
}

// One series of values: a line through the points, or for long runs one stroke per pixel column
// from the lowest to the highest point falling into it.
void AppendSeries(std::string& svg, const Scale& scale, const std::vector<double>& values,
                  const char* kind, const char* colour) {
    const size_t count = values.size();
    const std::string style = "class=\"" + std::string(kind) + "\" stroke=\"" + colour +
                              "\" stroke-width=\"1.2\" fill=\"none\"";
    if (count <= kPlotWidth) {
        std::string points;
        for (size_t i = 0; i < count; ++i)
            if (std::isfinite(values[i]))
                points += Number(scale.X(i)) + "," + Number(scale.Y(values[i])) + " ";
        svg += "<polyline " + style + " points=\"" + points + "\"/>\n";
        return;
    }
    std::string path;
    for (int column = 0; column < kPlotWidth; ++column) {
        const size_t first = count * column / static_cast<size_t>(kPlotWidth);
        const size_t last = count * (column + 1) / static_cast<size_t>(kPlotWidth);
        double low = std::numeric_limits<double>::infinity(), high = -low;
        for (size_t i = first; i < last; ++i)
            if (std::isfinite(values[i])) {
                low = std::min(low, values[i]);
                high = std::max(high, values[i]);
            }
        if (std::isfinite(low))
            path += "M" + Number(kLeft + column + 0.5) + " " + Number(scale.Y(high) - 0.5) + "V" +
                    Number(scale.Y(low) + 0.5);
    }
    svg += "<path " + style + " d=\"" + path + "\"/>\n";
}

void AppendMarker(std::string& svg, const Scale& scale, size_t i, double value, const char* kind,
                  const char* colour, double radius) {
    if (std::isfinite(value))
        svg += "<circle class=\"" + std::string(kind) + "\" cx=\"" + Number(scale.X(i)) +
               "\" cy=\"" + Number(scale.Y(value)) + "\" r=\"" + Number(radius) + "\" fill=\"" +
               colour + "\"/>\n";
}

// The points (each one on short charts), then the samples that signal: beyond the control limits
// in red, outside only the warning limits in amber, at most one of each per pixel column.
void AppendPoints(std::string& svg, const Scale& scale, const ChartPart& part) {
    const size_t count = part.values.size();
    if (count <= kEveryMarker)
        for (size_t i = 0; i < count; ++i)
            AppendMarker(svg, scale, i, part.values[i], "point", kBlue, 1.8);
    long lastColumn[2] = {-1, -1};
    for (size_t i = 0; i < count; ++i) {
        const Signal signal = SignalAt(part, i);
        if (signal == Signal::none)
            continue;
        const bool control = signal == Signal::control;
        long& last = lastColumn[control];
        if (scale.Column(i) == last)
            continue;
        last = scale.Column(i);
        const double below = At(part.lowerSide, i);
        const double value = control && below < At(part.lowerControl, i) ? below : part.values[i];
        AppendMarker(svg, scale, i, value, control ? "signal beyond-control" : "signal warning",
                     control ? kRed : kAmber, control ? 3.8 : 3.2);
    }
}

// Each runs pattern as a band over the samples it spans (overlapping ones merged) and a diamond
// on the sample that completed it.
void AppendRuns(std::string& svg, const Scale& scale, const ChartPart& part) {
    double bandStart = -1, bandEnd = -1;
    auto flush = [&] {
        if (bandEnd > bandStart)
            svg += "<rect class=\"runs\" x=\"" + Number(bandStart) + "\" y=\"" +
                   Number(scale.Top()) + "\" width=\"" + Number(bandEnd - bandStart) +
                   "\" height=\"" + Number(kPlotHeight) + "\" fill=\"" + kPurple +
                   "\" fill-opacity=\"0.12\"/>\n";
    };
    long lastColumn = -1;
    for (const RunsMark& run : part.runs) {
        const double start = scale.Left(run.first), end = scale.Left(run.last + 1);
        if (start > bandEnd + 1) { // closer ones share a pixel column: one band
            flush();
            bandStart = start;
        }
        bandEnd = std::max(bandEnd, end);
        const double value = At(part.values, run.last);
        if (!std::isfinite(value) || scale.Column(run.last) == lastColumn)
            continue;
        lastColumn = scale.Column(run.last);
        const double x = scale.X(run.last), y = scale.Y(value);
        svg += "<path class=\"signal runs-end\" d=\"M" + Number(x) + " " + Number(y - 5) +
               "l5 5-5 " + "5-5-5z\" fill=\"none\" stroke=\"" + kPurple +
               "\" stroke-width=\"1.5\"/>\n";
    }
    flush();
}

// A transparent band over each linked sample, down through every part, that a page's link
// shows (see the style).
void AppendAnchors(std::string& svg, const ChartPicture& picture, double top) {
    if (picture.parts.empty())
        return;
    const Scale scale(picture.parts[0], top + kNameHeight);
    const double width = std::max(scale.Slot(), 4.0);
    const double height = kPartHeight * (picture.parts.size() - 1) + kPlotHeight;
    for (size_t i : picture.anchors)
        svg += "<rect class=\"anchor\" id=\"" + Escape(picture.anchorPrefix) + "s" +
               std::to_string(i) + "\" x=\"" + Number(scale.X(i) - width / 2) + "\" y=\"" +
               Number(scale.Top()) + "\" width=\"" + Number(width) + "\" height=\"" +
               Number(height) + "\"/>\n";
}

struct LimitLabel {
    double y;
    std::string text;
    const char* colour;
};

// Each line's name and value at the right edge, moved apart where they would overlap.
void AppendLimitLabels(std::string& svg, std::vector<LimitLabel> labels) {
    std::sort(labels.begin(), labels.end(),
              [](const LimitLabel& a, const LimitLabel& b) { return a.y < b.y; });
    for (size_t i = 1; i < labels.size(); ++i)
        labels[i].y = std::max(labels[i].y, labels[i - 1].y + 11);
    for (const LimitLabel& label : labels)
        svg += SvgText(kLeft + kPlotWidth + 5, label.y + 3.5, label.text,
                       "class=\"limit-label\" font-size=\"10\" fill=\"" +
                           std::string(label.colour) + "\"");
}

void AppendLimits(std::string& svg, const Scale& scale, const ChartPart& part) {
    const std::string control = "stroke=\"" + std::string(kRed) + "\" stroke-width=\"1.2\"";
    const std::string warning =
        "stroke=\"" + std::string(kAmber) + "\" stroke-width=\"1\" stroke-dasharray=\"6,4\"";
    const std::string spec = "stroke=\"" + std::string(kSpecColour) +
                             "\" stroke-width=\"1\" stroke-dasharray=\"8,3,2,3\"";
    const size_t count = part.values.size();
    const std::vector<double> lsl(part.specLines ? count : 0, part.lowerSpec),
        usl(part.specLines ? count : 0, part.upperSpec);
    const struct {
        const std::vector<double>& limit;
        const char* kind;
        const std::string& style;
        std::string name;
        const char* colour;
    } lines[] = {{part.upperControl, "ucl", control, part.upperName, kRed},
                 {part.lowerControl, "lcl", control, part.lowerName, kRed},
                 {part.upperWarning, "uwl", warning, "UWL", kAmber},
                 {part.lowerWarning, "lwl", warning, "LWL", kAmber},
                 {part.center, "centre", "stroke=\"#2e7d32\" stroke-width=\"1\"", "CL", kGreen},
                 {usl, "usl", spec, "USL", kSpecColour},
                 {lsl, "lsl", spec, "LSL", kSpecColour}};
    std::vector<LimitLabel> labels;
    for (const auto& line : lines) {
        AppendLimit(svg, scale, line.limit,
                    "class=\"" + std::string(line.kind) + "\" " + line.style);
        const double last = LastFinite(line.limit);
        if (std::isfinite(last))
            labels.push_back({scale.Y(last), line.name + " " + Short(last), line.colour});
    }
    AppendLimitLabels(svg, labels);
}

// The plot's frame, round values with light grid lines, and phase I shaded.
void AppendFrame(std::string& svg, const Scale& scale, const ChartPicture& picture,
                 const ChartPart& part) {
    svg += SvgText(kLeft, scale.Top() - 7, part.name,
                   "class=\"part-name\" font-size=\"13\" font-weight=\"bold\"");
    svg += "<rect class=\"part\" x=\"" + Number(kLeft) + "\" y=\"" + Number(scale.Top()) +
           "\" width=\"" + Number(kPlotWidth) + "\" height=\"" + Number(kPlotHeight) +
           "\" fill=\"#ffffff\" stroke=\"#9e9e9e\"/>\n";
    const size_t count = part.values.size();
    if (picture.phaseI > 0 && picture.phaseI < count)
        svg += "<rect class=\"phase-one\" x=\"" + Number(kLeft) + "\" y=\"" + Number(scale.Top()) +
               "\" width=\"" + Number(scale.Left(picture.phaseI) - kLeft) + "\" height=\"" +
               Number(kPlotHeight) + "\" fill=\"#eceff1\"/>\n";
    for (double tick : scale.Ticks()) {
        const double y = scale.Y(tick);
        svg += "<line class=\"grid\" x1=\"" + Number(kLeft) + "\" x2=\"" +
               Number(kLeft + kPlotWidth) + "\" y1=\"" + Number(y) + "\" y2=\"" + Number(y) +
               "\" stroke=\"#e0e0e0\"/>\n";
        svg += SvgText(kLeft - 5, y + 3.5, Short(tick),
                       "class=\"y-tick\" font-size=\"10\" text-anchor=\"end\"");
    }
}

std::string SampleName(const ChartPicture& picture, size_t i) {
    std::string name = picture.identity ? picture.identity(i) : std::string();
    return name.empty() ? std::to_string(i + 1) : Cut(name, kLongestSampleName);
}

// Sample names under the plot at a round step wide enough for them not to touch, and the
// divider between phase I and phase II with its labels.
void AppendSampleAxis(std::string& svg, const Scale& scale, const ChartPicture& picture,
                      size_t count) {
    size_t widest = 1;
    for (size_t i : {size_t{0}, count / 2, count ? count - 1 : 0})
        widest = std::max(widest, Characters(SampleName(picture, i)));
    const double needed = (widest + 2) * kFontWidth;
    const size_t step =
        static_cast<size_t>(NiceStep(std::max(needed / scale.Slot(), 1.0), 1) + 0.5);
    const double axis = scale.Bottom();
    for (size_t i = 0; i < count; i += step) {
        const std::string name = SampleName(picture, i);
        // A name wider than the room left of the first tick or right of the last stays inside.
        const double half = Characters(name) * kFontWidth * 0.45;
        const double x = std::clamp(scale.X(i), half + 2, kWidth - half - 2);
        svg += "<line x1=\"" + Number(scale.X(i)) + "\" x2=\"" + Number(scale.X(i)) + "\" y1=\"" +
               Number(axis) + "\" y2=\"" + Number(axis + 4) + "\" stroke=\"#9e9e9e\"/>\n";
        svg +=
            SvgText(x, axis + 15, name, "class=\"x-tick\" font-size=\"10\" text-anchor=\"middle\"");
    }
    if (picture.phaseI == 0 || picture.phaseI >= count)
        return;
    const double x = scale.Left(picture.phaseI);
    svg += "<line class=\"phase-divider\" x1=\"" + Number(x) + "\" x2=\"" + Number(x) + "\" y1=\"" +
           Number(scale.Top()) + "\" y2=\"" + Number(axis + 34) + "\" stroke=\"" + kGrey +
           "\" stroke-dasharray=\"4,3\"/>\n";
    const std::string style =
        "class=\"phase-label\" font-size=\"10\" fill=\"" + std::string(kGrey) + "\" text-anchor=";
    svg += SvgText(x - 4, axis + 32, "\u25C2 phase I", style + "\"end\"");
    svg += SvgText(x + 4, axis + 32, "phase II \u25B8", style + "\"start\"");
}

void AppendPart(std::string& svg, const ChartPicture& picture, const ChartPart& part, double top) {
    const Scale scale(part, top + kNameHeight);
    AppendFrame(svg, scale, picture, part);
    AppendRuns(svg, scale, part);
    AppendLimits(svg, scale, part);
    AppendSeries(svg, scale, part.values, "measure", kBlue);
    if (!part.lowerSide.empty())
        AppendSeries(svg, scale, part.lowerSide, "lower-side", kPurple);
    AppendPoints(svg, scale, part);
    AppendSampleAxis(svg, scale, picture, part.values.size());
}

// What the picture shows, for the legend: each item once, in the order drawn.
struct Presence {
    bool warning = false, spec = false, phase = false, control = false, amber = false, runs = false;
};

Presence Present(const ChartPicture& picture, const std::vector<SignalCount>& signals) {
    Presence present;
    for (size_t i = 0; i < picture.parts.size(); ++i) {
        const ChartPart& part = picture.parts[i];
        present.warning |= std::isfinite(LastFinite(part.upperWarning));
        present.spec |= part.specLines;
        present.phase |= picture.phaseI > 0 && picture.phaseI < part.values.size();
        present.runs |= !part.runs.empty();
        present.control |= signals[i].control > 0;
        present.amber |= signals[i].warning > 0;
    }
    return present;
}

struct LegendItem {
    std::string symbol, text;
    double Width() const { return 30 + Characters(text) * kFontWidth; }
};

std::vector<LegendItem> LegendItems(const ChartPicture& picture,
                                    const std::vector<SignalCount>& signals) {
    const Presence present = Present(picture, signals);
    auto line = [](const char* colour, const char* dash) {
        return "<line x1=\"0\" x2=\"18\" y1=\"0\" y2=\"0\" stroke=\"" + std::string(colour) +
               "\" stroke-width=\"1.5\"" +
               (*dash ? " stroke-dasharray=\"" + std::string(dash) + "\"" : std::string()) + "/>";
    };
    auto dot = [](const char* colour) {
        return "<circle cx=\"9\" cy=\"0\" r=\"3.8\" fill=\"" + std::string(colour) + "\"/>";
    };
    const bool charts = !picture.parts.empty();
    const std::pair<bool, LegendItem> all[] = {
        {charts, {line(kBlue, ""), "measure"}},
        {charts, {line(kGreen, ""), "centre line"}},
        {charts, {line(kRed, ""), "control limits"}},
        {present.warning, {line(kAmber, "6,4"), "warning limits"}},
        {present.spec, {line(kSpecColour, "8,3,2,3"), "specification limits"}},
        {present.phase,
         {"<rect x=\"0\" y=\"-6\" width=\"18\" height=\"12\" fill=\"#eceff1\"/>", "phase I"}},
        {present.control, {dot(kRed), "beyond control limits"}},
        {present.amber, {dot(kAmber), "outside warning limits"}},
        {present.runs,
         {"<rect x=\"0\" y=\"-6\" width=\"18\" height=\"12\" fill=\"" + std::string(kPurple) +
              "\" fill-opacity=\"0.12\"/><path d=\"M9 -5l5 5-5 5-5-5z\" fill=\"none\" "
              "stroke=\"" +
              kPurple + "\" stroke-width=\"1.5\"/>",
          "runs violation"}}};
    std::vector<LegendItem> items;
    for (const auto& [shown, item] : all)
        if (shown)
            items.push_back(item);
    return items;
}

// The items in rows that fit the picture's width; gives the height they take.
double AppendLegend(std::string* svg, const std::vector<LegendItem>& items, double top) {
    double x = kLeft, y = top;
    if (svg)
        *svg += "<g class=\"legend\">\n";
    for (const LegendItem& item : items) {
        if (x > kLeft && x + item.Width() > kWidth - 8) {
            x = kLeft;
            y += kLegendHeight - 8;
        }
        if (svg)
            *svg += "<g class=\"legend-item\" transform=\"translate(" + Number(x) + " " +
                    Number(y) + ")\">" + item.symbol +
                    SvgText(22, 4, item.text, "font-size=\"11\"") + "</g>\n";
        x += item.Width();
    }
    if (svg)
        *svg += "</g>\n";
    return items.empty() ? 0 : y - top + kLegendHeight;
}

// "XBar: CL ..., control limits ... to ...; n beyond the control limits, ...".
std::string PartSummary(const ChartPart& part, const SignalCount& signals) {
    auto range = [](const std::vector<double>& low, const std::vector<double>& high) {
        const double a = LastFinite(low), b = LastFinite(high);
        if (!std::isfinite(a))
            return std::isfinite(b) ? "below " + Short(b) : std::string("none");
        return std::isfinite(b) ? Short(a) + " to " + Short(b) : "above " + Short(a);
    };
    std::string text = part.name + ": CL " + Short(LastFinite(part.center)) + ", control limits " +
                       range(part.lowerControl, part.upperControl);
    if (std::isfinite(LastFinite(part.upperWarning)) ||
        std::isfinite(LastFinite(part.lowerWarning)))
        text += ", warning limits " + range(part.lowerWarning, part.upperWarning);
    return text + "; " + std::to_string(signals.control) + " beyond the control limits, " +
           std::to_string(signals.warning) + " outside only the warning limits";
}

// The lines of text under the chart.
std::vector<std::string> Summary(const ChartPicture& picture,
                                 const std::vector<SignalCount>& signals) {
    std::vector<std::string> lines;
    if (picture.parts.empty())
        return ParetoSummary(picture.pareto);
    const size_t count = picture.parts[0].values.size(), phaseI = std::min(picture.phaseI, count);
    std::string first = std::to_string(count) + " samples: " + std::to_string(phaseI) +
                        " in phase I (they set the centre and the limits), " +
                        std::to_string(count - phaseI) + " in phase II";
    if (std::isfinite(picture.sigma))
        first += "; sigma " + Short(picture.sigma);
    lines.push_back(first);
    for (size_t i = 0; i < picture.parts.size(); ++i)
        lines.push_back(PartSummary(picture.parts[i], signals[i]));
    std::vector<int> perTest(7);
    for (const RunsMark& run : picture.parts[0].runs)
        if (run.test >= 0 && run.test < 7)
            ++perTest[run.test];
    std::string runs;
    for (int test = 0; test < 7; ++test)
        if (perTest[test])
            runs += (runs.empty() ? "" : ", ") + std::string(kRunsTestNames[test]) + " " +
                    std::to_string(perTest[test]);
    lines.push_back("Runs violations: " + (runs.empty() ? std::string("none") : runs));
    const ChartPart& x = picture.parts[0];
    if (!x.specLines && (std::isfinite(x.lowerSpec) || std::isfinite(x.upperSpec)))
        lines.push_back("Specification limits (for single parts, so not drawn on this chart): "
                        "LSL " +
                        (std::isfinite(x.lowerSpec) ? Short(x.lowerSpec) : "none") + ", USL " +
                        (std::isfinite(x.upperSpec) ? Short(x.upperSpec) : "none"));
    return lines;
}

} // namespace

std::string RenderSvg(const ChartPicture& picture) {
    std::vector<SignalCount> signals;
    for (const ChartPart& part : picture.parts)
        signals.push_back(CountSignals(part));
    const std::vector<std::string> summary = Summary(picture, signals);
    const bool pareto = !picture.pareto.counts.empty();
    const std::vector<LegendItem> legend = LegendItems(picture, signals);
    const double partsTop = kTitleHeight + AppendLegend(nullptr, legend, 0);
    const double paretoTop = partsTop + kPartHeight * picture.parts.size();
    const double summaryTop = paretoTop + (pareto ? ParetoHeight(picture.pareto) : 0) + 8;
    const double height = summaryTop + kSummaryLine * summary.size() + 8;
    std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" class=\"chart\" viewBox=\"0 0 " +
                      Number(kWidth) + " " + Number(height) + "\" width=\"" + Number(kWidth) +
                      "\" height=\"" + Number(height) + "\" font-family=\"sans-serif\">\n";
    svg += "<style>.anchor{fill:#ffd54f;fill-opacity:0}.anchor:target{fill-opacity:0.55}</style>\n";
    svg += "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
    svg +=
        SvgText(kLeft, 21, picture.title, "class=\"title\" font-size=\"15\" font-weight=\"bold\"");
    AppendLegend(&svg, legend, kTitleHeight + 8);
    for (size_t i = 0; i < picture.parts.size(); ++i)
        AppendPart(svg, picture, picture.parts[i], partsTop + i * kPartHeight);
    AppendAnchors(svg, picture, partsTop);
    if (pareto)
        AppendPareto(svg, picture.pareto, paretoTop);
    for (size_t i = 0; i < summary.size(); ++i)
        svg += SvgText(kLeft, summaryTop + kSummaryLine * (i + 0.75), summary[i],
                       "class=\"summary\" font-size=\"11\"");
    svg += "</svg>\n";
    return svg;
}

} // namespace zavrun
