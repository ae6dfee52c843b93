#include "SvgWriter.h"

#include <cstdio>

namespace zavrun {

std::string Number(double value) {
    char text[32];
    snprintf(text, sizeof text, "%.6g", value);
    return text;
}

std::string Short(double value) {
    char text[32];
    for (int digits = 6; digits >= 3; --digits)
        if (snprintf(text, sizeof text, "%.*g", digits, value) <= 7)
            break;
    return text;
}

std::string Escape(const std::string& text) {
    std::string out;
    out.reserve(text.size());
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

size_t Characters(const std::string& text) {
    size_t count = 0;
    for (char ch : text)
        count += (ch & 0xC0) != 0x80;
    return count;
}

std::string Cut(const std::string& text, size_t most) {
    size_t characters = 0;
    for (size_t end = 0; end < text.size(); ++end)
        if ((text[end] & 0xC0) != 0x80 && ++characters > most)
            return text.substr(0, end) + "\u2026";
    return text;
}

std::string SvgText(double x, double y, const std::string& text, const std::string& attributes) {
    return "<text x=\"" + Number(x) + "\" y=\"" + Number(y) + "\" " + attributes + ">" +
           Escape(text) + "</text>\n";
}

} // namespace zavrun
