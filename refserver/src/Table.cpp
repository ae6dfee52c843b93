#include "Table.h"

#include "Text.h"

namespace refsrv {

uint32_t TextPool::Intern(std::string_view utf8) {
    auto found = m_ids.find(utf8);
    if (found != m_ids.end())
        return found->second;
    uint32_t id = static_cast<uint32_t>(m_wide.size());
    m_wide.push_back(Widen(utf8));
    m_keys.emplace_back(utf8);
    m_ids.emplace(m_keys.back(), id);
    return id;
}

std::wstring Table::Display(size_t row, size_t column) const {
    Cell c = CellAt(row, column);
    if (cell::IsText(c))
        return TextOf(c);
    if (cell::IsEmpty(c))
        return {};
    return m_columns[column].format.Render(cell::Number(c));
}

long Table::Find(std::wstring_view name) const noexcept {
    for (size_t i = 0; i < m_columns.size(); ++i)
        if (EqualNoCase(m_columns[i].name, name))
            return static_cast<long>(i);
    return -1;
}

void Table::SetFormat(size_t column, std::wstring code) {
    m_columns[column].format = DisplayFormat(std::move(code));
}

void Table::AddColumn(std::wstring name) {
    m_columns.push_back(Column{std::move(name), DisplayFormat(L"General"), {}});
}

} // namespace refsrv
