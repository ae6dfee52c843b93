#include "AlarmStore.h"

#include <cstdio>
#include <map>
#include <sstream>
#include <stdexcept>

#include "FolderListing.h"

namespace zavservice {
namespace {

const char kJournal[] = "journal.txt";

// A file handle closed on every path.
class File {
public:
    File(const std::string& path, DWORD access, DWORD disposition)
        : m_path(path), m_handle(::CreateFileA(path.c_str(), access, FILE_SHARE_READ, nullptr,
                                               disposition, FILE_ATTRIBUTE_NORMAL, nullptr)) {}
    ~File() {
        if (Open())
            ::CloseHandle(m_handle);
    }
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    bool Open() const { return m_handle != INVALID_HANDLE_VALUE; }
    [[noreturn]] void Fail(const char* what) const {
        throw std::runtime_error(m_path + ": cannot be " + what + " (error " +
                                 std::to_string(::GetLastError()) + ")");
    }
    long long Size() const {
        LARGE_INTEGER size{};
        if (!::GetFileSizeEx(m_handle, &size))
            Fail("read");
        return size.QuadPart;
    }
    // Appends the text and flushes it to the disk.
    long long Append(const std::string& text) const {
        LARGE_INTEGER end{};
        DWORD written = 0;
        if (!::SetFilePointerEx(m_handle, {}, &end, FILE_END) ||
            !::WriteFile(m_handle, text.data(), static_cast<DWORD>(text.size()), &written,
                         nullptr) ||
            written != text.size() || !::FlushFileBuffers(m_handle))
            Fail("written");
        return end.QuadPart + static_cast<long long>(text.size());
    }
    void CutAt(long long size) const {
        LARGE_INTEGER at{};
        at.QuadPart = size;
        if (!::SetFilePointerEx(m_handle, at, nullptr, FILE_BEGIN) || !::SetEndOfFile(m_handle) ||
            !::FlushFileBuffers(m_handle))
            Fail("repaired");
    }
    std::string Text() const {
        std::string text(static_cast<size_t>(Size()), '\0');
        DWORD read = 0;
        if (!text.empty() &&
            (!::ReadFile(m_handle, text.data(), static_cast<DWORD>(text.size()), &read, nullptr) ||
             read != text.size()))
            Fail("read");
        return text;
    }

private:
    std::string m_path;
    HANDLE m_handle;
};

std::string DayFileName() {
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    char name[32];
    snprintf(name, sizeof name, "alarms-%04u%02u%02u.jsonl", now.wYear, now.wMonth, now.wDay);
    return name;
}

std::vector<std::string> StoreFiles(const std::string& folder) {
    std::vector<std::string> names;
    for (const WIN32_FIND_DATAA& found : ListFiles(folder + "\\alarms-*.jsonl"))
        names.push_back(found.cFileName);
    return names;
}

} // namespace

AlarmStore::AlarmStore(const std::string& folder) : m_folder(folder) {
    ::CreateDirectoryA(folder.c_str(), nullptr);
    Recover();
}

// Journal lines: "commit STORE-FILE END COUNT FILE-KEY\n". Everything after the last whole line
// is torn; every store file is cut back to its last committed end, or emptied when no commit
// names it.
void AlarmStore::Recover() {
    const File journal(m_folder + "\\" + kJournal, GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS);
    if (!journal.Open())
        journal.Fail("opened");
    const std::string text = journal.Text();
    std::map<std::string, long long> ends;
    size_t whole = 0;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line) && !lines.eof();) {
        std::istringstream fields(line);
        std::string word, store, key;
        long long end = 0;
        size_t count = 0;
        if (!(fields >> word >> store >> end >> count) || word != "commit" ||
            !std::getline(fields >> std::ws, key))
            break;
        ends[store] = end;
        m_committed.insert(key);
        whole += line.size() + 1;
    }
    if (whole < text.size())
        journal.CutAt(static_cast<long long>(whole));
    for (const std::string& name : StoreFiles(m_folder)) {
        const File store(m_folder + "\\" + name, GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING);
        if (!store.Open())
            store.Fail("opened");
        const long long end = ends.count(name) ? ends[name] : 0;
        if (store.Size() > end)
            store.CutAt(end);
    }
}

void AlarmStore::Commit(const std::string& fileKey, const std::vector<std::string>& records) {
    const std::string name = DayFileName();
    const File store(m_folder + "\\" + name, GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS);
    if (!store.Open())
        store.Fail("opened");
    std::string text;
    for (const std::string& record : records)
        text += record + "\n";
    const long long end = text.empty() ? store.Size() : store.Append(text);
    const File journal(m_folder + "\\" + kJournal, GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS);
    if (!journal.Open())
        journal.Fail("opened");
    journal.Append("commit " + name + " " + std::to_string(end) + " " +
                   std::to_string(records.size()) + " " + fileKey + "\n");
    m_committed.insert(fileKey);
}

std::string FileKey(const std::string& folderName, const std::string& fileName,
                    const WIN32_FILE_ATTRIBUTE_DATA& data) {
    const unsigned long long size =
        (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    const unsigned long long written =
        (static_cast<unsigned long long>(data.ftLastWriteTime.dwHighDateTime) << 32) |
        data.ftLastWriteTime.dwLowDateTime;
    return folderName + "|" + fileName + "|" + std::to_string(size) + "|" + std::to_string(written);
}

std::string AlarmId(const std::string& fileKey, size_t index) {
    unsigned long long hash = 14695981039346656037ull; // FNV-1a, 64 bits
    for (unsigned char ch : fileKey)
        hash = (hash ^ ch) * 1099511628211ull;
    char id[48];
    snprintf(id, sizeof id, "%016llx-%zu", hash, index);
    return id;
}

} // namespace zavservice
