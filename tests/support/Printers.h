// Readable failure messages: COM errors and CAtlException streamed into assertions.
#pragma once

#include <windows.h>
#include <comdef.h>
#include <atlexcept.h>
#include <ostream>
#include <string>

namespace zavtest {

std::string Hex(long value);
// "0x80004005 [description]" (the description from the error information, or none).
std::string Describe(const _com_error& error);
// The error's description as narrow text; empty without error information.
std::string DescriptionOf(const _com_error& error);

} // namespace zavtest

std::ostream& operator<<(std::ostream& out, const _com_error& error);
