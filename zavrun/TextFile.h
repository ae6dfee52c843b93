// Whole files as text: what the charts, the report, the service's error notes and its webhook
// documents are written as and read back from.
#pragma once

#include <string>

namespace zavrun {

// Writes `text` as the file's whole content; false when it cannot be opened or written whole.
bool WriteTextFile(const std::string& path, const std::string& text);
// The file's whole content; empty when it cannot be read.
std::string ReadTextFile(const std::string& path);

} // namespace zavrun
