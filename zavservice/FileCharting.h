// One data file charted the way zavrun charts it (per process block, through the library and
// the reference server), its alarm records kept for the store.
#pragma once

#include <string>
#include <vector>

#include "HostModule.h"
#include "ServiceConfig.h"

namespace zavservice {

struct ChartedFile {
    // zavrun's record fields plus "sourceFile", "run" (from 1) and "alarmId", one JSON object each.
    std::vector<std::string> records;
    int runs = 0;
    bool stopped = false; // the module's stop came first: nothing of the file is to be kept
};

// Raises zavrun::InputError or _com_error, whose text is the file's one clear message.
ChartedFile ChartFile(const WatchedFolder& folder, const std::string& path,
                      const std::string& fileKey, zavrun::HostModule& module);

} // namespace zavservice
