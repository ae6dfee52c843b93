// The alarm store: every alarm the service keeps, as JSON Lines in a file per day
// (alarms-YYYYMMDD.jsonl), and the journal (journal.txt) that commits each data file's alarms
// in one step.
//
// A file's alarms are appended to the day's store file and flushed; then one journal line
// records the file as committed, with the store file and its new end. On start the store is cut
// back to the journal's last commit: alarms of a file whose commit line was never written are
// gone (the file is charted again), and a torn journal line with them. A file the journal holds
// is never charted again. So after a kill at any instant each file's alarms are there once.
#pragma once

#include <windows.h>
#include <set>
#include <string>
#include <vector>

namespace zavservice {

class AlarmStore {
public:
    // Makes the folder when missing and recovers the store; raises std::runtime_error naming
    // the file when the store cannot be read or repaired.
    explicit AlarmStore(const std::string& folder);

    bool Committed(const std::string& fileKey) const { return m_committed.count(fileKey) > 0; }
    // Appends the records (one JSON object each, without line ends) to the day's file and
    // commits them under `fileKey` (one line, no line ends).
    void Commit(const std::string& fileKey, const std::vector<std::string>& records);

    const std::string& Folder() const { return m_folder; }

private:
    void Recover();

    std::string m_folder;
    std::set<std::string> m_committed;
};

// What identifies a data file across restarts: its watched folder's name, its own name, size and
// last write time.
std::string FileKey(const std::string& folderName, const std::string& fileName,
                    const WIN32_FILE_ATTRIBUTE_DATA& data);

// The stable id of the file's `index`-th alarm (from 1): the same every time the file is charted.
std::string AlarmId(const std::string& fileKey, size_t index);

} // namespace zavservice
