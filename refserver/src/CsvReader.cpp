#include "CsvReader.h"

#include <algorithm>
#include <cstring>

#include "DateTime.h"
#include "MappedFile.h"
#include "ServerError.h"
#include "Text.h"

namespace refsrv {

MappedFile::MappedFile(const std::wstring& path, const wchar_t* what) {
    std::wstring prefix = Format(L"Cannot read the %ls \"%ls\": ", what, path.c_str());
    m_file.reset(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!m_file)
        FailWin32(::GetLastError(), prefix);
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(m_file.get(), &size))
        FailWin32(::GetLastError(), prefix);
    if (size.QuadPart == 0)
        return;
    m_mapping.reset(::CreateFileMappingW(m_file.get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
    if (!m_mapping)
        FailWin32(::GetLastError(), prefix);
    m_view.reset(::MapViewOfFile(m_mapping.get(), FILE_MAP_READ, 0, 0, 0));
    if (!m_view)
        FailWin32(::GetLastError(), prefix);
    m_bytes = std::string_view(static_cast<const char*>(m_view.get()),
                               static_cast<size_t>(size.QuadPart));
}

namespace {

unsigned long Count(size_t value) {
    return static_cast<unsigned long>(value);
}

class CsvParser {
public:
    CsvParser(std::string_view bytes, const std::wstring& path) : m_path(path) {
        if (bytes.substr(0, 3) == "\xEF\xBB\xBF")
            bytes.remove_prefix(3);
        m_p = bytes.data();
        m_end = bytes.data() + bytes.size();
    }

    [[noreturn]] void FailAt(size_t line, const std::wstring& problem) const {
        Fail(kBadData, Format(L"CSV file \"%ls\", line %lu: %ls", m_path.c_str(), Count(line),
                              problem.c_str()));
    }

    // The fields of the next non-blank record; false at the end of the file.
    bool Next(std::vector<std::string_view>& fields) {
        SkipBlankLines();
        if (m_p == m_end)
            return false;
        m_recordLine = m_line;
        fields.clear();
        for (;;) {
            fields.push_back(ReadField(fields.size()));
            if (m_p < m_end && *m_p == m_separator) {
                ++m_p;
                continue;
            }
            EndOfLine();
            return true;
        }
    }

    // Decided by the header line, before it is read.
    void ChooseSeparator() {
        SkipBlankLines();
        const char* lineEnd = std::find(m_p, m_end, '\n');
        std::string_view header(m_p, lineEnd - m_p);
        if (header.find(',') == std::string_view::npos) {
            if (header.find(';') != std::string_view::npos)
                m_separator = ';';
            else if (header.find('\t') != std::string_view::npos)
                m_separator = '\t';
        }
    }

    size_t RecordLine() const noexcept { return m_recordLine; }

private:
    bool IsBlank(char c) const { return c == ' ' || (c == '\t' && m_separator != '\t'); }

    void SkipBlankLines() {
        for (;;) {
            const char* q = m_p;
            while (q < m_end && IsBlank(*q))
                ++q;
            if (q < m_end && (*q == '\r' || *q == '\n')) {
                m_p = q;
                EndOfLine();
            } else {
                if (q == m_end)
                    m_p = q;
                return;
            }
        }
    }

    void EndOfLine() {
        if (m_p < m_end && *m_p == '\r')
            ++m_p;
        if (m_p < m_end && *m_p == '\n')
            ++m_p;
        ++m_line;
    }

    std::string_view ReadField(size_t index) {
        while (m_p < m_end && IsBlank(*m_p))
            ++m_p;
        if (m_p < m_end && *m_p == '"')
            return ReadQuoted(index);
        const char* start = m_p;
        while (m_p < m_end && *m_p != m_separator && *m_p != '\n' && *m_p != '\r')
            ++m_p;
        const char* stop = m_p;
        while (stop > start && IsBlank(stop[-1]))
            --stop;
        return std::string_view(start, stop - start);
    }

    std::string_view ReadQuoted(size_t index) {
        size_t startLine = m_line;
        const char* start = ++m_p;
        bool escaped = false;
        for (;; ++m_p) {
            if (m_p == m_end)
                FailAt(startLine, Format(L"the quoted field %lu does not end", Count(index + 1)));
            if (*m_p == '\n')
                ++m_line;
            if (*m_p != '"')
                continue;
            if (m_p + 1 < m_end && m_p[1] == '"') {
                escaped = true;
                ++m_p;
                continue;
            }
            break;
        }
        std::string_view raw(start, m_p - start);
        ++m_p;
        while (m_p < m_end && IsBlank(*m_p))
            ++m_p;
        if (m_p < m_end && *m_p != m_separator && *m_p != '\n' && *m_p != '\r')
            FailAt(m_line, Format(L"text after the closing quote of field %lu", Count(index + 1)));
        if (!escaped)
            return raw;
        if (m_unescaped.size() <= index)
            m_unescaped.resize(index + 1);
        std::string& text = m_unescaped[index];
        text.clear();
        for (size_t i = 0; i < raw.size(); ++i) {
            text.push_back(raw[i]);
            if (raw[i] == '"')
                ++i;
        }
        return text;
    }

    const std::wstring& m_path;
    const char* m_p = nullptr;
    const char* m_end = nullptr;
    char m_separator = ',';
    size_t m_line = 1;
    size_t m_recordLine = 1;
    std::vector<std::string> m_unescaped;
};

class TableBuilder {
public:
    explicit TableBuilder(size_t expectedRows) : m_expectedRows(expectedRows) {}

    void Header(const std::vector<std::string_view>& names, CsvParser& parser) {
        for (size_t i = 0; i < names.size(); ++i) {
            std::wstring name = Widen(names[i]);
            if (name.empty())
                parser.FailAt(parser.RecordLine(),
                              Format(L"variable %lu has no name", Count(i + 1)));
            if (m_table->Find(name) >= 0)
                parser.FailAt(parser.RecordLine(),
                              Format(L"the variable name \"%ls\" appears twice", name.c_str()));
            m_table->AddColumn(std::move(name));
            m_table->MutableColumn(i).cells.reserve(m_expectedRows);
        }
        m_dated.assign(names.size(), false);
    }

    void Row(const std::vector<std::string_view>& fields, CsvParser& parser) {
        size_t columns = m_table->Columns();
        if (fields.size() != columns)
            parser.FailAt(parser.RecordLine(),
                          Format(L"%lu fields, but the header names %lu variables",
                                 Count(fields.size()), Count(columns)));
        for (size_t i = 0; i < columns; ++i)
            m_table->MutableColumn(i).cells.push_back(Classify(fields[i], i));
        ++m_rows;
    }

    std::shared_ptr<Table> Finish() {
        m_table->SetRows(m_rows);
        // The reservation counted every line break; only a file of many blank or multi-line
        // records leaves enough unused to be worth a copy.
        for (size_t i = 0; i < m_table->Columns(); ++i) {
            std::vector<Cell>& cells = m_table->MutableColumn(i).cells;
            if (cells.capacity() - cells.size() > cells.size() / 8)
                cells.shrink_to_fit();
        }
        return std::move(m_table);
    }

private:
    Cell Classify(std::string_view field, size_t column) {
        if (field.empty())
            return cell::kEmpty;
        double value = 0;
        if (ParseDouble(field, value))
            return cell::FromNumber(value);
        DateShape shape;
        if (field[0] >= '0' && field[0] <= '9' && ParseDateTime(field, value, shape)) {
            if (!m_dated[column]) {
                m_dated[column] = true;
                m_table->SetFormat(column, FormatCodeOf(shape));
            }
            return cell::FromNumber(value);
        }
        return cell::FromText(m_table->Texts().Intern(field));
    }

    std::shared_ptr<Table> m_table = std::make_shared<Table>();
    std::vector<bool> m_dated;
    size_t m_expectedRows;
    size_t m_rows = 0;
};

} // namespace

std::shared_ptr<Table> ReadCsv(const std::wstring& path) {
    MappedFile file(path, L"CSV file");
    std::string_view bytes = file.Bytes();
    CsvParser parser(bytes, path);
    std::vector<std::string_view> fields;
    parser.ChooseSeparator();
    if (!parser.Next(fields))
        Fail(kBadData, Format(L"CSV file \"%ls\" is empty: it needs a header row of variable names",
                              path.c_str()));
    TableBuilder builder(static_cast<size_t>(std::count(bytes.begin(), bytes.end(), '\n')));
    builder.Header(fields, parser);
    while (parser.Next(fields))
        builder.Row(fields, parser);
    return builder.Finish();
}

} // namespace refsrv
