#include <algorithm>
#include <cmath>

#include "SvgParts.h"
#include "SvgWriter.h"

namespace zavrun {
namespace {

// A Pareto chart leaves room below its bars for the category names when they are turned.
constexpr double kTurnedNamesHeight = 120;
constexpr size_t kLongestCategory = 20; // characters of a name shown; longer ones are cut
const char *const kBarColour = "#5b8db8", *const kLineColour = "#d9541e";

double Slot(const ParetoPart& pareto) {
    return kPlotWidth / std::max<size_t>(pareto.counts.size(), 1);
}

// Names are turned when one of them is wider than its bar.
bool TurnedNames(const ParetoPart& pareto) {
    size_t longest = 0;
    for (const std::string& name : pareto.categories)
        longest = std::max(longest, Characters(Cut(name, kLongestCategory)));
    return longest * kFontWidth > Slot(pareto);
}

// The counts come most frequent first, so a pixel column of many bars shows its first one.
void AppendBars(std::string& svg, const ParetoPart& pareto, double top, double countTop) {
    const size_t count = pareto.counts.size();
    const double slot = Slot(pareto);
    auto y = [&](double value) { return top + kPlotHeight * (1 - value / countTop); };
    std::string bars;
    for (size_t i = 0; i < count; ++i) {
        if (!std::isfinite(pareto.counts[i]))
            continue;
        // Each bar's count over it where the bars are wide enough for the number.
        if (slot >= 40)
            svg +=
                SvgText(kLeft + slot * (i + 0.5), y(pareto.counts[i]) - 4, Short(pareto.counts[i]),
                        "class=\"bar-count\" font-size=\"10\" text-anchor=\"middle\"");
        if (count <= kPlotWidth)
            svg += "<rect class=\"bar\" x=\"" + Number(kLeft + slot * (i + 0.1)) + "\" y=\"" +
                   Number(y(pareto.counts[i])) + "\" width=\"" + Number(slot * 0.8) +
                   "\" height=\"" + Number(y(0) - y(pareto.counts[i])) + "\" fill=\"" + kBarColour +
                   "\"/>\n";
        else if (i == 0 || std::floor(slot * i) > std::floor(slot * (i - 1)))
            bars += "M" + Number(std::floor(kLeft + slot * i) + 0.5) + " " +
                    Number(y(pareto.counts[i])) + "V" + Number(y(0));
    }
    if (!bars.empty())
        svg += "<path class=\"bars\" stroke=\"" + std::string(kBarColour) + "\" d=\"" + bars +
               "\"/>\n";
}

void AppendCumulative(std::string& svg, const ParetoPart& pareto, double top) {
    const double slot = Slot(pareto);
    std::string points;
    for (size_t i = 0; i < pareto.cumulativePercent.size(); ++i) {
        if (!std::isfinite(pareto.cumulativePercent[i]))
            continue;
        const double x = kLeft + slot * (i + 0.5),
                     y = top + kPlotHeight * (1 - pareto.cumulativePercent[i] / 105);
        points += Number(x) + "," + Number(y) + " ";
        if (slot >= 8)
            svg += "<circle cx=\"" + Number(x) + "\" cy=\"" + Number(y) + "\" r=\"2.5\" fill=\"" +
                   kLineColour + "\"/>\n";
    }
    svg += "<polyline class=\"cumulative\" fill=\"none\" stroke=\"" + std::string(kLineColour) +
           "\" stroke-width=\"1.5\" points=\"" + points + "\"/>\n";
    for (int percent = 0; percent <= 100; percent += 25)
        svg += SvgText(kLeft + kPlotWidth + 5, top + kPlotHeight * (1 - percent / 105.0) + 3.5,
                       std::to_string(percent) + "%",
                       "class=\"percent-axis\" font-size=\"10\" fill=\"#b34700\"");
}

// Names under their bars: level when they fit, else turned, and every k-th one when the bars
// are too narrow for a line of text each.
void AppendCategoryNames(std::string& svg, const ParetoPart& pareto, double top) {
    const bool turned = TurnedNames(pareto);
    const double slot = Slot(pareto);
    const size_t every = static_cast<size_t>(std::ceil(12 / std::min(slot, 12.0)));
    for (size_t i = 0; i < pareto.categories.size(); i += every) {
        const double x = kLeft + slot * (i + 0.5), y = top + kPlotHeight + 14;
        svg += SvgText(x, y, Cut(pareto.categories[i], kLongestCategory),
                       "class=\"category\" font-size=\"10\" " +
                           (turned ? "text-anchor=\"end\" transform=\"rotate(-60 " + Number(x) +
                                         " " + Number(y - 6) + ")\""
                                   : std::string("text-anchor=\"middle\"")));
    }
}

} // namespace

double ParetoHeight(const ParetoPart& pareto) {
    return kPartHeight + (TurnedNames(pareto) ? kTurnedNamesHeight : 0);
}

void AppendPareto(std::string& svg, const ParetoPart& pareto, double top) {
    svg +=
        SvgText(kLeft, top + 15, "Pareto: count per category (bars), cumulative percentage (line)",
                "class=\"part-name\" font-size=\"13\" font-weight=\"bold\"");
    top += kNameHeight;
    svg += "<rect class=\"part\" x=\"" + Number(kLeft) + "\" y=\"" + Number(top) + "\" width=\"" +
           Number(kPlotWidth) + "\" height=\"" + Number(kPlotHeight) +
           "\" fill=\"#ffffff\" stroke=\"#9e9e9e\"/>\n";
    double most = 0;
    for (double value : pareto.counts)
        if (std::isfinite(value))
            most = std::max(most, value);
    const double countTop = most > 0 ? most * 1.05 : 1;
    for (double value : {0.0, most})
        svg += SvgText(kLeft - 5, top + kPlotHeight * (1 - value / countTop) + 3.5, Short(value),
                       "class=\"y-tick\" font-size=\"10\" text-anchor=\"end\"");
    AppendBars(svg, pareto, top, countTop);
    AppendCumulative(svg, pareto, top);
    AppendCategoryNames(svg, pareto, top);
}

std::vector<std::string> ParetoSummary(const ParetoPart& pareto) {
    double total = 0;
    for (double count : pareto.counts)
        if (std::isfinite(count))
            total += count;
    size_t vital = 0;
    while (vital < pareto.cumulativePercent.size() && pareto.cumulativePercent[vital] < 80)
        ++vital;
    vital = std::min(vital + 1, pareto.cumulativePercent.size());
    std::string text =
        std::to_string(pareto.counts.size()) + " categories, " + Short(total) + " in all";
    if (vital > 0)
        text += "; the first " + std::to_string(vital) + " make " +
                std::to_string(static_cast<int>(pareto.cumulativePercent[vital - 1] + 0.5)) +
                "% of it";
    return {text};
}

} // namespace zavrun
