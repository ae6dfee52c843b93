#include "SvgChart.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

namespace zavrun {
namespace {

constexpr double kWidth = 1000, kPartHeight = 260, kLeft = 70, kRight = 20, kTop = 40;
constexpr double kPlotWidth = kWidth - kLeft - kRight, kPlotHeight = kPartHeight - 50;

std::string Number(double value) {
    char text[32];
    snprintf(text, sizeof text, "%.6g", value);
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
    Scale(const ChartPart& part, double top) : m_top(top), m_count(part.values.size()) {
        double low = std::numeric_limits<double>::infinity(), high = -low;
        for (const std::vector<double>* series :
             {&part.values, &part.lowerControl, &part.upperControl, &part.lowerWarning,
              &part.upperWarning, &part.center})
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

void AppendPoints(std::string& svg, const Scale& scale, const ChartPart& part) {
    const size_t count = part.values.size();
    if (count <= kPlotWidth) {
        std::string points;
        for (size_t i = 0; i < count; ++i)
            if (std::isfinite(part.values[i]))
                points += Number(scale.X(i)) + "," + Number(scale.Y(part.values[i])) + " ";
        svg += "<polyline fill=\"none\" stroke=\"#1f4e79\" stroke-width=\"1\" points=\"" + points +
               "\"/>\n";
        return;
    }
    // One stroke per pixel column from the lowest to the highest point falling into it.
    std::string path;
    for (int column = 0; column < kPlotWidth; ++column) {
        size_t first = count * column / static_cast<size_t>(kPlotWidth);
        size_t last = count * (column + 1) / static_cast<size_t>(kPlotWidth);
        double low = std::numeric_limits<double>::infinity(), high = -low;
        for (size_t i = first; i < last; ++i)
            if (std::isfinite(part.values[i])) {
                low = std::min(low, part.values[i]);
                high = std::max(high, part.values[i]);
            }
        if (std::isfinite(low))
            path += "M" + Number(kLeft + column) + " " + Number(scale.Y(high) - 0.5) + "V" +
                    Number(scale.Y(low) + 0.5);
    }
    svg += "<path stroke=\"#1f4e79\" stroke-width=\"1\" d=\"" + path + "\"/>\n";
}

void AppendAlarms(std::string& svg, const Scale& scale, const ChartPart& part) {
    for (size_t i = 0; i < part.alarm.size() && i < part.values.size(); ++i)
        if (part.alarm[i] && std::isfinite(part.values[i]))
            svg += "<circle cx=\"" + Number(scale.X(i)) + "\" cy=\"" +
                   Number(scale.Y(part.values[i])) + "\" r=\"3.5\" fill=\"#c00000\"/>\n";
}

void AppendPart(std::string& svg, const ChartPart& part, double top) {
    Scale scale(part, top);
    svg += "<rect x=\"" + Number(kLeft) + "\" y=\"" + Number(top) + "\" width=\"" +
           Number(kPlotWidth) + "\" height=\"" + Number(kPlotHeight) +
           "\" fill=\"#fafafa\" stroke=\"#999\"/>\n";
    svg += "<text x=\"" + Number(kLeft + 6) + "\" y=\"" + Number(top + 16) +
           "\" font-size=\"13\" font-weight=\"bold\">" + Escape(part.name) + "</text>\n";
    for (double value : {scale.High(), scale.Low()})
        svg += "<text x=\"8\" y=\"" + Number(scale.Y(value) + 4) + "\" font-size=\"10\">" +
               Number(value) + "</text>\n";
    AppendLimit(svg, scale, part.upperControl, "stroke=\"#c00000\" stroke-width=\"1.2\"");
    AppendLimit(svg, scale, part.lowerControl, "stroke=\"#c00000\" stroke-width=\"1.2\"");
    AppendLimit(svg, scale, part.upperWarning,
                "stroke=\"#e69500\" stroke-width=\"1\" stroke-dasharray=\"6,4\"");
    AppendLimit(svg, scale, part.lowerWarning,
                "stroke=\"#e69500\" stroke-width=\"1\" stroke-dasharray=\"6,4\"");
    AppendLimit(svg, scale, part.center, "stroke=\"#2e7d32\" stroke-width=\"1\"");
    AppendPoints(svg, scale, part);
    AppendAlarms(svg, scale, part);
}

} // namespace

std::string RenderSvg(const ChartPicture& picture) {
    const double height = kTop + kPartHeight * std::max<size_t>(picture.parts.size(), 1);
    std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + Number(kWidth) +
                      "\" height=\"" + Number(height) + "\" font-family=\"sans-serif\">\n";
    svg += "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
    svg += "<text x=\"" + Number(kLeft) + "\" y=\"24\" font-size=\"15\">" + Escape(picture.title) +
           "</text>\n";
    for (size_t i = 0; i < picture.parts.size(); ++i)
        AppendPart(svg, picture.parts[i], kTop + i * kPartHeight);
    svg += "</svg>\n";
    return svg;
}

} // namespace zavrun
