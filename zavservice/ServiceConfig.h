// zavservice's configuration: one initialization-style file with a [Service] section and one
// section per watched folder.
//
//   [Service]
//   LogFolder=logs            the daily log's folder (default: the configuration's folder)
//   LogLevel=INFO             ERROR, WARNING, INFO, DEBUG or TRACE
//   StoreFolder=store         the alarm store and its journal (required)
//   WebhookUrl=http://...     where each file's alarms are POSTed (optional)
//
//   [Line A]                  any other section is a watched folder
//   Folder=drop\line-a        required; done\ and failed\ are made below it
//   Pattern=*.csv             the files taken (default *.csv)
//   Qcp=diameter.qcp          the QC project (required)
//   ProcessVars=Line          comma-separated; each block of cases is its own run
//   Alarms=out-of-control,... the alarm kinds (default all four)
//   IgnoreVar=Scrap           and IgnoreThreshold=0.5: alarms on cases below it are dropped
//
// Relative paths are taken from the configuration file's folder.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "CommandLine.h"

namespace zavservice {

struct WatchedFolder {
    std::string name; // the section
    std::string folder, pattern = "*.csv";
    // How each file is charted, as zavrun's command line gives it: the project, the process
    // variables, the alarm kinds and the ignore variable (the data file is each file's own).
    zavrun::RunOptions options;
};

struct ServiceConfig {
    std::string path; // the configuration file, full
    std::string logFolder, logLevel = "INFO", storeFolder, webhookUrl;
    std::vector<WatchedFolder> folders;
};

// A configuration that cannot be used: "FILE [Section] Key: problem".
class ConfigError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

ServiceConfig LoadServiceConfig(const std::string& path);

} // namespace zavservice
