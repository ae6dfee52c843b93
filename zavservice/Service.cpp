#include "Service.h"

#include <cstdio>
#include <memory>
#include <thread>
#include <vector>

#include "FileCharting.h"
#include "FolderListing.h"
#include "QcSession.h"
#include "TextFile.h"

namespace zavservice {
namespace {

constexpr DWORD kLookInterval = 250; // ms between looks when nothing changes

struct HandleCloser {
    void operator()(HANDLE handle) const {
        if (handle && handle != INVALID_HANDLE_VALUE)
            ::CloseHandle(handle);
    }
};
using UniqueHandle = std::unique_ptr<void, HandleCloser>;

// A folder's change notifications, asked for again each time they come.
class FolderChanges {
public:
    explicit FolderChanges(const std::string& folder)
        : m_folder(::CreateFileA(folder.c_str(), FILE_LIST_DIRECTORY,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED,
                                 nullptr)),
          m_event(::CreateEventA(nullptr, TRUE, FALSE, nullptr)) {
        Ask();
    }
    ~FolderChanges() {
        if (m_asked)
            ::CancelIoEx(m_folder.get(), &m_overlapped);
        DWORD bytes = 0;
        if (m_asked)
            ::GetOverlappedResult(m_folder.get(), &m_overlapped, &bytes, TRUE);
    }
    HANDLE Event() const { return m_event.get(); }
    void Ask() {
        m_overlapped = OVERLAPPED{};
        m_overlapped.hEvent = m_event.get();
        ::ResetEvent(m_event.get());
        DWORD bytes = 0;
        m_asked = ::ReadDirectoryChangesW(m_folder.get(), m_buffer, sizeof m_buffer, FALSE,
                                          FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_SIZE |
                                              FILE_NOTIFY_CHANGE_LAST_WRITE,
                                          &bytes, &m_overlapped, nullptr) != FALSE;
    }

private:
    UniqueHandle m_folder, m_event;
    OVERLAPPED m_overlapped{};
    alignas(DWORD) char m_buffer[4096];
    bool m_asked = false;
};

// `folder\sub\name`, or with " (2)", " (3)"... before the extension when that is taken.
std::string FreeName(const std::string& folder, const std::string& sub, const std::string& name) {
    const std::string dir = folder + "\\" + sub;
    ::CreateDirectoryA(dir.c_str(), nullptr);
    const size_t dot = name.find_last_of('.');
    const std::string stem = name.substr(0, dot),
                      extension = dot == std::string::npos ? std::string() : name.substr(dot);
    std::string path = dir + "\\" + name;
    for (int n = 2; ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; ++n)
        path = dir + "\\" + stem + " (" + std::to_string(n) + ")" + extension;
    return path;
}

} // namespace

Service::Service(const ServiceConfig& config, zavrun::HostModule& module)
    : m_config(config), m_module(module), m_store(config.storeFolder),
      m_outbox(config.webhookUrl.empty() ? nullptr : std::make_unique<Outbox>(config.storeFolder)) {
}

void Service::Run() {
    std::unique_ptr<WebhookSender> sender;
    std::thread delivery;
    if (m_outbox) {
        sender = std::make_unique<WebhookSender>(m_config.webhookUrl, *m_outbox);
        delivery = std::thread([&] { sender->Run(m_module.m_hStopEvent); });
    }
    struct Joiner {
        std::thread& thread;
        ~Joiner() {
            if (thread.joinable())
                thread.join();
        }
    } joiner{delivery};
    std::vector<std::unique_ptr<FolderChanges>> changes;
    std::vector<HANDLE> events{m_module.m_hStopEvent};
    for (const WatchedFolder& folder : m_config.folders) {
        changes.push_back(std::make_unique<FolderChanges>(folder.folder));
        events.push_back(changes.back()->Event());
    }
    while (!m_module.StopRequested()) {
        const DWORD woke = ::WaitForMultipleObjects(static_cast<DWORD>(events.size()),
                                                    events.data(), FALSE, kLookInterval);
        if (woke > WAIT_OBJECT_0 && woke < WAIT_OBJECT_0 + events.size())
            changes[woke - WAIT_OBJECT_0 - 1]->Ask();
        LookOnce();
    }
}

int Service::LookOnce() {
    int taken = 0;
    for (const WatchedFolder& folder : m_config.folders) {
        for (const WIN32_FIND_DATAA& found : ListFiles(folder.folder + "\\" + folder.pattern)) {
            const std::string name = found.cFileName;
            if (m_module.StopRequested())
                return taken;
            WIN32_FILE_ATTRIBUTE_DATA data{};
            const std::string path = folder.folder + "\\" + name;
            if (::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) &&
                Ready(path, data)) {
                Take(folder, name);
                ++taken;
            }
        }
    }
    return taken;
}

// Its writer is done with it: the size has not changed since the last look, and nobody else
// has it open for writing.
bool Service::Ready(const std::string& path, const WIN32_FILE_ATTRIBUTE_DATA& data) {
    const unsigned long long size =
        (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    auto last = m_lastSize.find(path);
    const bool steady = last != m_lastSize.end() && last->second == size;
    m_lastSize[path] = size;
    if (!steady)
        return false;
    UniqueHandle alone(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                     OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return alone.get() != INVALID_HANDLE_VALUE;
}

void Service::Take(const WatchedFolder& folder, const std::string& name) {
    const std::string path = folder.folder + "\\" + name;
    m_lastSize.erase(path);
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
        return;
    const std::string key = FileKey(folder.name, name, data);
    if (!m_store.Committed(key)) {
        ChartedFile charted;
        std::string error;
        ModuleLog(m_module, LOG_INFO, "%s: charting", path.c_str());
        try {
            charted = ChartFile(folder, path, key, m_module);
        } catch (const _com_error& e) {
            error = e.Description().length() ? static_cast<const char*>(e.Description())
                                             : e.ErrorMessage();
        } catch (const std::exception& e) {
            error = e.what();
        }
        if (!error.empty()) {
            const std::string target = FreeName(folder.folder, "failed", name);
            zavrun::WriteTextFile(target + ".error.txt", error + "\r\n");
            ::MoveFileA(path.c_str(), target.c_str());
            ModuleLog(m_module, LOG_ERROR, "%s: %s", path.c_str(), error.c_str());
            return;
        }
        if (charted.stopped) {
            ModuleLog(m_module, LOG_INFO, "%s: stopped, it stays for the next start", path.c_str());
            return;
        }
        // Into the outbox first: a kill between the two charts the file again, and the
        // document is written again whole.
        if (m_outbox && !charted.records.empty())
            m_outbox->Add(key, path, charted.records);
        m_store.Commit(key, charted.records);
        ModuleLog(m_module, LOG_INFO, "%s: %d run(s), %zu alarm(s) stored", path.c_str(),
                  charted.runs, charted.records.size());
    }
    ::MoveFileA(path.c_str(), FreeName(folder.folder, "done", name).c_str());
}

void RunService(
    const std::string& configFile, const char* how,
    const std::function<void(ServiceModule& module, const ServiceConfig& config)>& ready) {
    const ServiceConfig config = LoadServiceConfig(configFile);
    ::CreateDirectoryA(config.logFolder.c_str(), nullptr);
    ServiceModule module(config.logFolder, config.logLevel);
    Service service(config, module);
    ready(module, config);
    ModuleLog(module, LOG_INFO, "zavservice started %s: %zu watched folder(s), store %s", how,
              config.folders.size(), config.storeFolder.c_str());
    service.Run();
    ModuleLog(module, LOG_INFO, "zavservice stopped");
}

} // namespace zavservice
