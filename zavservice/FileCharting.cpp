#include "FileCharting.h"

#include "AlarmService.h"
#include "AlarmStore.h"
#include "JsonLines.h"
#include "QcSession.h"

namespace zavservice {

ChartedFile ChartFile(const WatchedFolder& folder, const std::string& path,
                      const std::string& fileKey, zavrun::HostModule& module) {
    zavrun::RunOptions options = folder.options;
    options.dataFile = path;
    std::vector<std::string> lines;
    zavrun::AlarmService service(nullptr);
    service.CollectInto(&lines);
    zavrun::QcSession session(options, module, service);
    session.Open();
    ChartedFile charted;
    std::vector<size_t> runEnds; // the records each run ends with
    session.RunAll([&](const zavrun::RunSummary& summary) {
        runEnds.push_back(lines.size());
        charted.stopped |= summary.cancelled;
    });
    charted.stopped |= module.StopRequested();
    charted.runs = static_cast<int>(runEnds.size());
    const std::string source = zavrun::JsonString(_bstr_t(path.c_str()));
    size_t run = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
        while (run + 1 < runEnds.size() && i >= runEnds[run])
            ++run;
        std::string& record = lines[i];
        record.pop_back(); // the closing brace
        record += ",\"sourceFile\":" + source + ",\"run\":" + std::to_string(run + 1) +
                  ",\"alarmId\":\"" + AlarmId(fileKey, i + 1) + "\"}";
    }
    charted.records = std::move(lines);
    return charted;
}

} // namespace zavservice
