#include "support/ComCheck.h"

#include <cstdio>

namespace zavtest {

std::string DescriptionOf(const _com_error& error) {
    _bstr_t description = error.Description();
    return description.length() ? static_cast<const char*>(description) : "";
}

std::string ThreadErrorDescription() {
    IErrorInfo* raw = nullptr;
    if (::GetErrorInfo(0, &raw) != S_OK || !raw)
        return "<none>";
    return DescriptionOf(_com_error(E_FAIL, raw, false));
}

} // namespace zavtest

std::ostream& operator<<(std::ostream& out, const _com_error& error) {
    char code[16];
    snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(error.Error()));
    return out << code << " [" << zavtest::DescriptionOf(error) << "]";
}
