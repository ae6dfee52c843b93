#include "SvgChart.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

namespace zavrun {
namespace {

// Each part is a band of kPartHeight: its name, then its plot.
constexpr double kWidth = 1000, kPartHeight = 260, kLeft = 70, kRight = 80, kTop = 30;
constexpr double kNameHeight = 20, kPlotWidth = kWidth - kLeft - kRight;
constexpr double kPlotHeight = kPartHeight - kNameHeight - 30;
// A Pareto chart leaves room below its bars for the category names when they are turned.
constexpr double kTurnedNamesHeight = 120;
constexpr size_t kLongestCategory = 20; // characters of a name shown; longer ones are cut

std::string Number(double value) {
    char text[32];
    snprintf(text, sizeof text, "%.6g", value);
    return text;
}

// A value on an axis or beside a line: as many digits as fit into the margins.
std::string Short(double value) {
    char text[32];
    for (int digits = 6; digits >= 3; --digits)
        if (snprintf(text, sizeof text, "%.*g", digits, value) <= 7)
            break;
    return text;
}

std::string Escape(const std::string& text) {
    std::string out;
    for (char ch : text) {
        switch (ch) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += ch;
        }
    }
    return out;
}

// Maps sample indexes and values of one part into its band of the picture.
class Scale {
public:
    Scale(const ChartPart& part, double top)
        : m_top(top + kNameHeight), m_count(part.values.size()) {
        double low = std::numeric_limits<double>::infinity(), high = -low;
        for (const std::vector<double>* series :
             {&part.values, &part.lowerControl, &part.upperControl, &part.lowerWarning,
              &part.upperWarning, &part.center, &part.lowerSide})
            for (double value : *series)
                if (std::isfinite(value)) {
                    low = std::min(low, value);
                    high = std::max(high, value);
                }
        if (!std::isfinite(low)) {
            low = 0;
            high = 1;
        }
        double margin = high > low ? (high - low) * 0.05 : 1;
        m_low = low - margin;
        m_high = high + margin;
    }
    double X(double index) const {
        return kLeft + (m_count > 1 ? kPlotWidth * index / (m_count - 1) : kPlotWidth / 2);
    }
    double Y(double value) const {
        return m_top + kPlotHeight * (m_high - value) / (m_high - m_low);
    }
    double Low() const { return m_low; }
    double High() const { return m_high; }

private:
    double m_top, m_low = 0, m_high = 1;
    size_t m_count;
};

// A line that follows a per-sample limit, broken where the limit is absent. Drawn in steps, so a
// limit that changes with the subgroup size shows where it changes; a run of equal values is
// one segment, and a long run is read once per pixel column.
void AppendLimit(std::string& svg, const Scale& scale, const std::vector<double>& limit,
                 const char* style) {
    const size_t count = limit.size();
    const size_t stride = count > kPlotWidth ? count / static_cast<size_t>(kPlotWidth) : 1;
    std::string points;
    auto flush = [&] {
        if (!points.empty())
            svg +=
                "<polyline fill=\"none\" " + std::string(style) + " points=\"" + points + "\"/>\n";
        points.clear();
    };
    double current = std::numeric_limits<double>::quiet_NaN();
    double startX = 0;
    auto segment = [&](double endX) {
        if (!std::isfinite(current))
            return;
        points += Number(startX) + "," + Number(scale.Y(current)) + " " + Number(endX) + "," +
                  Number(scale.Y(current)) + " ";
    };
    for (size_t i = 0; i < count; i += stride) {
        const double value = limit[i];
        if (value == current)
            continue;
        const double x = scale.X(i ? i - 0.5 : 0);
        segment(x);
        if (!std::isfinite(value))
            flush();
        current = value;
        startX = x;
    }
    segment(scale.X(count ? count - 1 : 0));
    flush();
}

// One series of values: a line through the points, or for long runs one stroke per pixel column
// from the lowest to the highest point falling into it.
void AppendSeries(std::string& svg, const Scale& scale, const std::vector<double>& values,
                  const char* kind, const char* colour) {
    const size_t count = values.size();
    const std::string style = "class=\"" + std::string(kind) + "\" stroke=\"" + colour +
                              "\" stroke-width=\"1\" fill=\"none\"";
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
        size_t first = count * column / static_cast<size_t>(kPlotWidth);
        size_t last = count * (column + 1) / static_cast<size_t>(kPlotWidth);
        double low = std::numeric_limits<double>::infinity(), high = -low;
        for (size_t i = first; i < last; ++i)
            if (std::isfinite(values[i])) {
                low = std::min(low, values[i]);
                high = std::max(high, values[i]);
            }
        if (std::isfinite(low))
            path += "M" + Number(kLeft + column) + " " + Number(scale.Y(high) - 0.5) + "V" +
                    Number(scale.Y(low) + 0.5);
    }
    svg += "<path " + style + " d=\"" + path + "\"/>\n";
}

void AppendAlarm(std::string& svg, const Scale& scale, size_t sample, double value) {
    if (std::isfinite(value))
        svg += "<circle class=\"alarm\" cx=\"" + Number(scale.X(sample)) + "\" cy=\"" +
               Number(scale.Y(value)) + "\" r=\"3.5\" fill=\"#c00000\"/>\n";
}

// The alarms of the part on its values, and the points of its lower side beyond the lower limit.
void AppendAlarms(std::string& svg, const Scale& scale, const ChartPart& part) {
    for (size_t i = 0; i < part.alarm.size() && i < part.values.size(); ++i)
        if (part.alarm[i])
            AppendAlarm(svg, scale, i, part.values[i]);
    for (size_t i = 0; i < part.lowerSide.size() && i < part.lowerControl.size(); ++i)
        if (part.lowerSide[i] < part.lowerControl[i])
            AppendAlarm(svg, scale, i, part.lowerSide[i]);
}

struct LimitLabel {
    double y;
    std::string text, colour;
};

// Each line's name and value beside its last point, moved apart where they would overlap.
void AppendLimitLabels(std::string& svg, std::vector<LimitLabel> labels) {
    std::sort(labels.begin(), labels.end(),
              [](const LimitLabel& a, const LimitLabel& b) { return a.y < b.y; });
    for (size_t i = 1; i < labels.size(); ++i)
        labels[i].y = std::max(labels[i].y, labels[i - 1].y + 11);
    for (const LimitLabel& label : labels)
        svg += "<text class=\"limit-label\" x=\"" + Number(kLeft + kPlotWidth + 4) + "\" y=\"" +
               Number(label.y + 3.5) + "\" font-size=\"10\" fill=\"" + label.colour + "\">" +
               Escape(label.text) + "</text>\n";
}

// The part's name over its plot, which starts kNameHeight below `top`.
void AppendFrame(std::string& svg, double top, const std::string& name) {
    svg += "<text class=\"part-name\" x=\"" + Number(kLeft) + "\" y=\"" + Number(top + 14) +
           "\" font-size=\"13\" font-weight=\"bold\">" + Escape(name) + "</text>\n";
    top += kNameHeight;
    svg += "<rect class=\"part\" x=\"" + Number(kLeft) + "\" y=\"" + Number(top) + "\" width=\"" +
           Number(kPlotWidth) + "\" height=\"" + Number(kPlotHeight) +
           "\" fill=\"#fafafa\" stroke=\"#999\"/>\n";
}

// A value on the left-hand axis, ending at the plot.
void AppendAxisValue(std::string& svg, double y, double value) {
    svg += "<text x=\"" + Number(kLeft - 4) + "\" y=\"" + Number(y + 4) +
           "\" font-size=\"10\" text-anchor=\"end\">" + Short(value) + "</text>\n";
}

void AppendPart(std::string& svg, const ChartPart& part, double top) {
    Scale scale(part, top);
    AppendFrame(svg, top, part.name);
    for (double value : {scale.High(), scale.Low()})
        AppendAxisValue(svg, scale.Y(value), value);
    const char *red = "#c00000", *orange = "#e69500", *green = "#2e7d32";
    const std::string control = "stroke=\"" + std::string(red) + "\" stroke-width=\"1.2\"";
    const std::string warning =
        "stroke=\"" + std::string(orange) + "\" stroke-width=\"1\" stroke-dasharray=\"6,4\"";
    const struct {
        const std::vector<double>& limit;
        std::string kind, style, name;
        const char* colour;
    } lines[] = {{part.upperControl, "ucl", control, part.upperName, red},
                 {part.lowerControl, "lcl", control, part.lowerName, red},
                 {part.upperWarning, "uwl", warning, "UWL", orange},
                 {part.lowerWarning, "lwl", warning, "LWL", orange},
                 {part.center, "centre", "stroke=\"#2e7d32\" stroke-width=\"1\"", "CL", green}};
    std::vector<LimitLabel> labels;
    for (const auto& line : lines) {
        AppendLimit(svg, scale, line.limit, ("class=\"" + line.kind + "\" " + line.style).c_str());
        auto last = std::find_if(line.limit.rbegin(), line.limit.rend(),
                                 [](double value) { return std::isfinite(value); });
        if (last != line.limit.rend())
            labels.push_back({scale.Y(*last), line.name + " " + Short(*last), line.colour});
    }
    AppendLimitLabels(svg, labels);
    AppendSeries(svg, scale, part.values, "measure", "#1f4e79");
    if (!part.lowerSide.empty())
        AppendSeries(svg, scale, part.lowerSide, "lower-side", "#7b1fa2");
    AppendAlarms(svg, scale, part);
}

// A name cut to kLongestCategory characters (UTF-8), with an ellipsis when it was longer.
std::string ShortName(const std::string& name) {
    size_t characters = 0, end = 0;
    for (; end < name.size() && characters <= kLongestCategory; ++end)
        if ((name[end] & 0xC0) != 0x80 && ++characters > kLongestCategory)
            break;
    return end < name.size() ? name.substr(0, end) + "\u2026" : name;
}

double Slot(const ParetoPart& pareto) {
    return kPlotWidth / std::max<size_t>(pareto.counts.size(), 1);
}

// Names are turned when one of them is wider than its bar.
bool TurnedNames(const ParetoPart& pareto) {
    size_t longest = 0;
    for (const std::string& name : pareto.categories)
        longest = std::max(longest, ShortName(name).size());
    return longest * 6.5 > Slot(pareto);
}

void AppendPareto(std::string& svg, const ParetoPart& pareto, double top) {
    const size_t count = pareto.counts.size();
    AppendFrame(svg, top, "Pareto: count per category (bars), cumulative percentage (line)");
    double most = 0;
    for (double value : pareto.counts)
        if (std::isfinite(value))
            most = std::max(most, value);
    const double countTop = most > 0 ? most * 1.05 : 1, slot = Slot(pareto);
    top += kNameHeight;
    auto countY = [&](double value) { return top + kPlotHeight * (1 - value / countTop); };
    auto percentY = [&](double value) { return top + kPlotHeight * (1 - value / 105); };
    for (double value : {0.0, most})
        AppendAxisValue(svg, countY(value), value);
    for (int percent = 0; percent <= 100; percent += 25)
        svg += "<text class=\"percent-axis\" x=\"" + Number(kLeft + kPlotWidth + 4) + "\" y=\"" +
               Number(percentY(percent) + 3.5) + "\" font-size=\"10\" fill=\"#b34700\">" +
               std::to_string(percent) + "%</text>\n";
    // The counts come most frequent first, so a pixel column of many bars shows its first one.
    std::string bars;
    for (size_t i = 0; i < count; ++i) {
        if (!std::isfinite(pareto.counts[i]))
            continue;
        if (count <= kPlotWidth)
            svg += "<rect class=\"bar\" x=\"" + Number(kLeft + slot * (i + 0.1)) + "\" y=\"" +
                   Number(countY(pareto.counts[i])) + "\" width=\"" + Number(slot * 0.8) +
                   "\" height=\"" + Number(countY(0) - countY(pareto.counts[i])) +
                   "\" fill=\"#5b8db8\"/>\n";
        else if (i == 0 || std::floor(slot * i) > std::floor(slot * (i - 1)))
            bars += "M" + Number(std::floor(kLeft + slot * i) + 0.5) + " " +
                    Number(countY(pareto.counts[i])) + "V" + Number(countY(0));
    }
    if (!bars.empty())
        svg += "<path class=\"bars\" stroke=\"#5b8db8\" d=\"" + bars + "\"/>\n";
    std::string points;
    for (size_t i = 0; i < count; ++i)
        if (std::isfinite(pareto.cumulativePercent[i])) {
            const double x = kLeft + slot * (i + 0.5), y = percentY(pareto.cumulativePercent[i]);
            points += Number(x) + "," + Number(y) + " ";
            if (slot >= 8)
                svg += "<circle cx=\"" + Number(x) + "\" cy=\"" + Number(y) +
                       "\" r=\"2.5\" fill=\"#d9541e\"/>\n";
        }
    svg += "<polyline class=\"cumulative\" fill=\"none\" stroke=\"#d9541e\" stroke-width=\"1.5\" "
           "points=\"" +
           points + "\"/>\n";
    // Names under their bars: level when they fit, else turned, and every k-th one when the bars
    // are too narrow for a line of text each.
    const bool turned = TurnedNames(pareto);
    const size_t every = static_cast<size_t>(std::ceil(12 / std::min(slot, 12.0)));
    for (size_t i = 0; i < pareto.categories.size(); i += every) {
        const double x = kLeft + slot * (i + 0.5), y = top + kPlotHeight + 14;
        svg += "<text class=\"category\" x=\"" + Number(x) + "\" y=\"" + Number(y) +
               "\" font-size=\"10\" " +
               (turned ? "text-anchor=\"end\" transform=\"rotate(-60 " + Number(x) + " " +
                             Number(y - 6) + ")\""
                       : std::string("text-anchor=\"middle\"")) +
               ">" + Escape(ShortName(pareto.categories[i])) + "</text>\n";
    }
}

} // namespace

std::string RenderSvg(const ChartPicture& picture) {
    const bool pareto = !picture.pareto.counts.empty();
    const double height =
        kTop + kPartHeight * picture.parts.size() +
        (pareto ? kPartHeight + (TurnedNames(picture.pareto) ? kTurnedNamesHeight : 0)
         : picture.parts.empty() ? kPartHeight
                                 : 0);
    std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + Number(kWidth) +
                      "\" height=\"" + Number(height) + "\" font-family=\"sans-serif\">\n";
    svg += "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
    svg += "<text x=\"" + Number(kLeft) + "\" y=\"24\" font-size=\"15\">" + Escape(picture.title) +
           "</text>\n";
    for (size_t i = 0; i < picture.parts.size(); ++i)
        AppendPart(svg, picture.parts[i], kTop + i * kPartHeight);
    if (pareto)
        AppendPareto(svg, picture.pareto, kTop + kPartHeight * picture.parts.size());
    svg += "</svg>\n";
    return svg;
}

} // namespace zavrun
