// The cells of a spreadsheet, column by column, one 64-bit word per cell: a number (dates and
// times included) is its double; a text or an empty cell is a NaN that no parsed number
// produces, carrying a text's index in the table's text pool. Each distinct text is kept once.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "DisplayFormat.h"

namespace refsrv {

using Cell = uint64_t;

namespace cell {
constexpr Cell kEmpty = 0x7FFA000000000000ull;
constexpr Cell kTextTag = 0x7FFC000000000000ull;
constexpr Cell kTagMask = 0xFFFF000000000000ull;

inline Cell FromNumber(double value) noexcept {
    Cell bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}
inline Cell FromText(uint32_t id) noexcept {
    return kTextTag | id;
}
inline bool IsText(Cell c) noexcept {
    return (c & kTagMask) == kTextTag;
}
inline bool IsEmpty(Cell c) noexcept {
    return c == kEmpty;
}
inline bool IsNumber(Cell c) noexcept {
    return !IsText(c) && !IsEmpty(c);
}
inline uint32_t TextId(Cell c) noexcept {
    return static_cast<uint32_t>(c);
}
// The number of a cell; NaN for a text or an empty cell.
inline double Number(Cell c) noexcept {
    if (!IsNumber(c))
        return std::nan("");
    double value;
    std::memcpy(&value, &c, sizeof value);
    return value;
}
} // namespace cell

// Each distinct text once, in UTF-16 as the spreadsheet hands it out.
class TextPool {
public:
    uint32_t Intern(std::string_view utf8);
    const std::wstring& Get(uint32_t id) const { return m_wide[id]; }
    size_t Count() const noexcept { return m_wide.size(); }

private:
    std::deque<std::string> m_keys; // stable storage for the map's views
    std::unordered_map<std::string_view, uint32_t> m_ids;
    std::vector<std::wstring> m_wide;
};

struct Column {
    std::wstring name;
    DisplayFormat format;
    std::vector<Cell> cells;
};

class Table {
public:
    size_t Rows() const noexcept { return m_rows; }
    size_t Columns() const noexcept { return m_columns.size(); }
    const Column& At(size_t column) const { return m_columns[column]; }
    Cell CellAt(size_t row, size_t column) const { return m_columns[column].cells[row]; }
    const std::wstring& TextOf(Cell c) const { return m_texts.Get(cell::TextId(c)); }
    // The text that a cell shows through its column's display format.
    std::wstring Display(size_t row, size_t column) const;
    // Index of the column of that name (any letter case), or -1.
    long Find(std::wstring_view name) const noexcept;
    void SetFormat(size_t column, std::wstring code);

    // Building, for the readers.
    void AddColumn(std::wstring name);
    Column& MutableColumn(size_t column) { return m_columns[column]; }
    TextPool& Texts() noexcept { return m_texts; }
    void SetRows(size_t rows) noexcept { m_rows = rows; }

private:
    std::vector<Column> m_columns;
    TextPool m_texts;
    size_t m_rows = 0;
};

// A window of consecutive rows of a table: what a spreadsheet (or a view of one) shows.
struct TableView {
    std::shared_ptr<Table> table;
    size_t first = 0;
    size_t count = 0;
};

} // namespace refsrv
