#include "JsonLines.h"

#include <windows.h>
#include <cwchar>

namespace zavrun {
namespace {

void AppendEscaped(std::string& out, const std::string& utf8) {
    static const char kHex[] = "0123456789abcdef";
    for (unsigned char ch : utf8) {
        switch (ch) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (ch < 0x20) {
                out += "\\u00";
                out += kHex[ch >> 4];
                out += kHex[ch & 15];
            } else {
                out += static_cast<char>(ch);
            }
        }
    }
}

} // namespace

std::string Utf8(const wchar_t* text) {
    if (!text)
        return std::string();
    int length = static_cast<int>(wcslen(text));
    int bytes = ::WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string utf8(bytes, '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text, length, utf8.data(), bytes, nullptr, nullptr);
    return utf8;
}

std::string JsonString(const wchar_t* text) {
    if (!text)
        return "null";
    std::string out = "\"";
    AppendEscaped(out, Utf8(text));
    out += '"';
    return out;
}

std::string AlarmJson(const QCAlarm& alarm) {
    return "{\"charId\":" + std::to_string(alarm.charId) +
           ",\"alarmType\":" + JsonString(alarm.alarmType) +
           ",\"processName\":" + JsonString(alarm.processName) +
           ",\"sampleId\":" + JsonString(alarm.sampleId) +
           ",\"description\":" + JsonString(alarm.description) +
           ",\"charDetails\":" + JsonString(alarm.charDetails) + "}";
}

} // namespace zavrun
