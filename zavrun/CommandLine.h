// zavrun's command line.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

namespace zavrun {

struct RunOptions {
    std::string dataFile; // --data: the CSV file of production data
    std::string qcpFile;  // --qcp: the QC project
    int charId = -1;      // --char-id; -1: the project's "CharID", else 1
    // --alarms: the alarm kinds to hand to the service (all four by default)
    std::vector<std::string> alarmKinds{"out of control", "outside warning limits",
                                        "runs violation", "outside specs"};
    std::string ignoreVariable;   // --ignore-var: name or number of the ignore variable
    double ignoreThreshold = 0.0; // --ignore-threshold
    std::vector<std::string> processVariables; // --process-vars: names, comma-separated
    std::string outputFile;                    // --out: JSON Lines; standard output when empty
    std::string svgFolder;                     // --svg: a control chart per run goes here
    std::string reportFolder;                  // --report: index.html of all runs goes here
    std::string logFolder;                     // --log-dir: the daily log's folder
    std::string logLevel = "INFO";             // --log-level
    bool quiet = false;                        // --quiet: no progress line
    bool help = false;
};

class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Raises UsageError naming the offending option.
RunOptions ParseCommandLine(const std::vector<std::string>& args);

extern const char kUsage[];

} // namespace zavrun
