#include "RefServerSupport.h"

namespace reftest {

std::wstring WriteFile(const TempDir& dir, const std::string& name, const std::string& text) {
    zavtest::WriteTextFile(dir / name, text);
    return zavtest::Wide(dir / name);
}

_SpreadsheetPtr OpenSheet(const TempDir& dir, const std::string& csv) {
    _SpreadsheetPtr sheet;
    EXPECT_EQ(S_OK, OpenRefSpreadsheet(WriteFile(dir, "data.csv", csv).c_str(), &sheet))
        << ErrorText();
    return sheet;
}

} // namespace reftest
