// Reads a CSV file into a table: a header row of variable names, then one case per line.
// Fields are separated by ',' (or by ';' or a tab when the header has no ',' but one of those),
// may be quoted with '"' (a doubled quote inside stands for one, and a quoted field may span
// lines), and are trimmed of blanks outside quotes. Each field becomes a number, a date-time
// (see DateTime.h; the column's display format then shows it the way it was written), a text or
// an empty cell. Blank lines are skipped. The text is UTF-8, with or without a byte-order mark.
#pragma once

#include <memory>
#include <string>

#include "Table.h"

namespace refsrv {

// Raises a ServerError naming the file, and the line for malformed content.
std::shared_ptr<Table> ReadCsv(const std::wstring& path);

} // namespace refsrv
