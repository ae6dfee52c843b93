#include "Printers.h"

#include <cstdio>

namespace zavtest {

std::string Hex(long value) {
    char text[16];
    snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(value));
    return text;
}

std::string DescriptionOf(const _com_error& error) {
    _bstr_t description = error.Description();
    return description.length() ? static_cast<const char*>(description) : "";
}

std::string Describe(const _com_error& error) {
    return Hex(error.Error()) + " [" + DescriptionOf(error) + "]";
}

} // namespace zavtest

std::ostream& operator<<(std::ostream& out, const _com_error& error) {
    return out << zavtest::Describe(error);
}
