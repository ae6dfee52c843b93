#include "CommandLine.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>

namespace zavrun {

const char kUsage[] =
    "usage: zavrun --data FILE.csv --qcp FILE.qcp [options]\n"
    "  --char-id N            characteristic id (default: the project's CharID, else 1)\n"
    "  --alarms KINDS         comma-separated: out-of-control, outside-warning-limits,\n"
    "                         runs-violation, outside-specs (default: all four)\n"
    "  --ignore-var VAR       variable (name or number) whose value decides ignored alarms\n"
    "  --ignore-threshold X   alarms on cases whose ignore value is below X are dropped\n"
    "  --process-vars VARS    comma-separated variables naming the process; each block of\n"
    "                         cases with one process name is its own run\n"
    "  --out FILE.jsonl       alarm records as JSON Lines (default: standard output)\n"
    "  --svg FOLDER           write a control chart per run as SVG into FOLDER\n"
    "  --report FOLDER        write FOLDER\\index.html: every run's chart and alarm records\n"
    "                         on one page to open in a browser\n"
    "  --quiet                no progress line on the console\n"
    "  --log-dir FOLDER       folder of the daily log (default: the current folder)\n"
    "  --log-level LEVEL      ERROR, WARNING, INFO, DEBUG or TRACE (default INFO)\n";

namespace {

std::vector<std::string> SplitList(const std::string& text) {
    std::vector<std::string> items;
    size_t start = 0;
    while (start <= text.size()) {
        size_t comma = text.find(',', start);
        std::string item = text.substr(start, comma == std::string::npos ? comma : comma - start);
        if (!item.empty())
            items.push_back(item);
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    return items;
}

std::string AlarmKind(std::string kind) {
    std::replace(kind.begin(), kind.end(), '-', ' ');
    static const char* const kKinds[] = {"out of control", "outside warning limits",
                                         "runs violation", "outside specs"};
    for (const char* known : kKinds)
        if (kind == known)
            return kind;
    throw UsageError("--alarms: unknown alarm kind \"" + kind + "\"");
}

int ParseInt(const std::string& option, const std::string& text) {
    char* end = nullptr;
    errno = 0;
    long value = strtol(text.c_str(), &end, 10);
    if (text.empty() || *end || errno || value < -2147483647L || value > 2147483647L)
        throw UsageError(option + ": \"" + text + "\" is not a whole number");
    return static_cast<int>(value);
}

double ParseDouble(const std::string& option, const std::string& text) {
    char* end = nullptr;
    double value = strtod(text.c_str(), &end);
    if (text.empty() || *end)
        throw UsageError(option + ": \"" + text + "\" is not a number");
    return value;
}

} // namespace

RunOptions ParseCommandLine(const std::vector<std::string>& args) {
    RunOptions options;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& option = args[i];
        if (option == "--help" || option == "-h" || option == "--quiet") {
            (option == "--quiet" ? options.quiet : options.help) = true;
            continue;
        }
        if (option.rfind("--", 0) != 0)
            throw UsageError("unexpected argument \"" + option + "\"");
        if (i + 1 >= args.size())
            throw UsageError(option + " needs a value");
        const std::string& value = args[++i];
        if (option == "--data")
            options.dataFile = value;
        else if (option == "--qcp")
            options.qcpFile = value;
        else if (option == "--char-id")
            options.charId = ParseInt(option, value);
        else if (option == "--alarms") {
            options.alarmKinds.clear();
            for (const std::string& kind : SplitList(value))
                options.alarmKinds.push_back(AlarmKind(kind));
        } else if (option == "--ignore-var")
            options.ignoreVariable = value;
        else if (option == "--ignore-threshold")
            options.ignoreThreshold = ParseDouble(option, value);
        else if (option == "--process-vars")
            options.processVariables = SplitList(value);
        else if (option == "--out")
            options.outputFile = value;
        else if (option == "--svg")
            options.svgFolder = value;
        else if (option == "--report")
            options.reportFolder = value;
        else if (option == "--log-dir")
            options.logFolder = value;
        else if (option == "--log-level")
            options.logLevel = value;
        else
            throw UsageError("unknown option " + option);
    }
    if (!options.help && (options.dataFile.empty() || options.qcpFile.empty()))
        throw UsageError("--data and --qcp are required");
    return options;
}

} // namespace zavrun
