// What the chart pictures and the report share: numbers and text as SVG and HTML want them, and
// the picture's geometry.
#pragma once

#include <string>

namespace zavrun {

// The picture is laid out on a 1000-unit wide viewBox: values on the left of the plots, the
// limits' names and values on the right.
constexpr double kWidth = 1000, kLeft = 72, kRight = 118, kPlotWidth = kWidth - kLeft - kRight;
// Each part is a band: its name, its plot, then the sample axis and the phase labels.
constexpr double kNameHeight = 22, kPlotHeight = 190, kAxisHeight = 38;
constexpr double kPartHeight = kNameHeight + kPlotHeight + kAxisHeight;
constexpr double kFontWidth = 6.2; // the average width of a character at font size 11

// A coordinate or value in full precision: "%.6g".
std::string Number(double value);
// A value for a label: as many digits as fit into seven characters, at least three.
std::string Short(double value);
// Text for an element's content or attribute value: & < > " escaped.
std::string Escape(const std::string& text);
// The number of characters of UTF-8 text.
size_t Characters(const std::string& text);
// At most `most` characters of UTF-8 text, with an ellipsis when it was longer.
std::string Cut(const std::string& text, size_t most);

// <text x y class ...>escaped text</text>; `attributes` are added as they stand.
std::string SvgText(double x, double y, const std::string& text, const std::string& attributes);

} // namespace zavrun
