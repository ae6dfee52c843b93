#include "ServiceConfig.h"

#include <windows.h>
#include <cstdlib>
#include <map>

#include "CommandLine.h"

namespace zavservice {
namespace {

constexpr DWORD kSectionChars = 32768; // the profile API's own limit for a section

// The "key=value" entries of a section, keys as written; an absent section gives none.
std::map<std::string, std::string> ReadSection(const std::string& path, const std::string& name) {
    std::string buffer(kSectionChars, '\0');
    const DWORD length =
        ::GetPrivateProfileSectionA(name.c_str(), buffer.data(), kSectionChars, path.c_str());
    std::map<std::string, std::string> entries;
    for (size_t at = 0; at < length && buffer[at];) {
        const std::string entry(buffer.c_str() + at);
        at += entry.size() + 1;
        const size_t equals = entry.find('=');
        if (equals != std::string::npos)
            entries[entry.substr(0, equals)] = entry.substr(equals + 1);
    }
    return entries;
}

std::vector<std::string> SectionNames(const std::string& path) {
    std::string buffer(kSectionChars, '\0');
    const DWORD length =
        ::GetPrivateProfileSectionNamesA(buffer.data(), kSectionChars, path.c_str());
    std::vector<std::string> names;
    for (size_t at = 0; at < length && buffer[at]; at += names.back().size() + 1)
        names.emplace_back(buffer.c_str() + at);
    return names;
}

bool Exists(const std::string& path, bool folder) {
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES &&
           ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) == folder;
}

std::string FullPath(const std::string& path) {
    char full[MAX_PATH];
    const DWORD length = ::GetFullPathNameA(path.c_str(), MAX_PATH, full, nullptr);
    return length > 0 && length < MAX_PATH ? std::string(full) : path;
}

// Reads one section, naming the file, the section and the key in every complaint.
class Section {
public:
    Section(const std::string& path, const std::string& name, const std::string& base)
        : m_path(path), m_name(name), m_base(base), m_entries(ReadSection(path, name)) {}

    [[noreturn]] void Fail(const std::string& key, const std::string& problem) const {
        throw ConfigError(m_path + " [" + m_name + "]" + (key.empty() ? "" : " " + key) + ": " +
                          problem);
    }
    std::string Text(const std::string& key, bool required, const std::string& fallback = {}) {
        m_known.push_back(key);
        auto found = FindKey(key);
        if (found == m_entries.end() || found->second.empty()) {
            if (required)
                Fail(key, "missing; it is required");
            return fallback;
        }
        return found->second;
    }
    // A path taken from the configuration's folder when relative; `folder` tells what must be
    // there (a folder, or a file), unless `mayBeMissing`.
    std::string Path(const std::string& key, bool required, bool folder, bool mayBeMissing) {
        std::string value = Text(key, required);
        if (value.empty())
            return value;
        const bool relative =
            !(value[0] == '\\' || value[0] == '/' || (value.size() > 1 && value[1] == ':'));
        const std::string full = FullPath(relative ? m_base + "\\" + value : value);
        if (!mayBeMissing && !Exists(full, folder))
            Fail(key, "\"" + value + "\" is not " + (folder ? "a folder" : "a file"));
        return full;
    }
    // Every key written must be one this section knows.
    void CheckKeys() const {
        for (const auto& [key, value] : m_entries) {
            bool known = false;
            for (const std::string& name : m_known)
                known |= _stricmp(name.c_str(), key.c_str()) == 0;
            if (!known)
                Fail(key, "unknown key");
        }
    }

private:
    std::map<std::string, std::string>::const_iterator FindKey(const std::string& key) const {
        for (auto i = m_entries.begin(); i != m_entries.end(); ++i)
            if (_stricmp(i->first.c_str(), key.c_str()) == 0)
                return i;
        return m_entries.end();
    }

    std::string m_path, m_name, m_base;
    std::map<std::string, std::string> m_entries;
    std::vector<std::string> m_known;
};

void ReadService(ServiceConfig& config, Section service, const std::string& base) {
    config.logFolder = service.Path("LogFolder", false, true, true);
    if (config.logFolder.empty())
        config.logFolder = base;
    config.logLevel = service.Text("LogLevel", false, "INFO");
    bool known = false;
    for (const char* level : {"ERROR", "WARNING", "INFO", "DEBUG", "TRACE"})
        known |= _stricmp(level, config.logLevel.c_str()) == 0;
    if (!known)
        service.Fail("LogLevel", "\"" + config.logLevel +
                                     "\" is not one of ERROR, WARNING, INFO, DEBUG, TRACE");
    config.storeFolder = service.Path("StoreFolder", true, true, true);
    config.webhookUrl = service.Text("WebhookUrl", false);
    if (!config.webhookUrl.empty() && config.webhookUrl.rfind("http://", 0) != 0 &&
        config.webhookUrl.rfind("https://", 0) != 0)
        service.Fail("WebhookUrl",
                     "\"" + config.webhookUrl + "\" is not an http:// or https:// URL");
    service.CheckKeys();
}

WatchedFolder ReadFolder(Section section, const std::string& name) {
    WatchedFolder watched;
    watched.name = name;
    watched.folder = section.Path("Folder", true, true, false);
    watched.pattern = section.Text("Pattern", false, "*.csv");
    const std::string qcpFile = section.Path("Qcp", true, false, false);
    std::vector<std::string> arguments = {"--data", "-", "--qcp", "-"};
    for (const auto& [key, option] :
         {std::pair<const char*, const char*>{"ProcessVars", "--process-vars"},
          {"Alarms", "--alarms"},
          {"IgnoreVar", "--ignore-var"},
          {"IgnoreThreshold", "--ignore-threshold"}}) {
        const std::string value = section.Text(key, false);
        if (!value.empty()) {
            arguments.push_back(option);
            arguments.push_back(value);
        }
        try {
            watched.options = zavrun::ParseCommandLine(arguments);
        } catch (const zavrun::UsageError& e) {
            const std::string text = e.what();
            section.Fail(key, text.substr(text.find(": ") + 2));
        }
    }
    watched.options.qcpFile = qcpFile;
    watched.options.quiet = true;
    section.CheckKeys();
    return watched;
}

} // namespace

ServiceConfig LoadServiceConfig(const std::string& path) {
    ServiceConfig config;
    config.path = FullPath(path);
    if (!Exists(config.path, false))
        throw ConfigError(path + ": no such file");
    const std::string base = config.path.substr(0, config.path.find_last_of('\\'));
    bool service = false;
    for (const std::string& name : SectionNames(config.path)) {
        Section section(config.path, name, base);
        if (_stricmp(name.c_str(), "Service") == 0) {
            service = true;
            ReadService(config, section, base);
        } else {
            config.folders.push_back(ReadFolder(section, name));
        }
    }
    if (!service)
        Section(config.path, "Service", base).Fail("", "the section is missing");
    if (config.folders.empty())
        throw ConfigError(config.path + ": no watched folder (a section besides [Service])");
    return config;
}

} // namespace zavservice
