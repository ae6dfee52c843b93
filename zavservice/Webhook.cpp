#include "Webhook.h"

#include <winhttp.h>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <stdexcept>

#include "AlarmStore.h"
#include "FolderListing.h"
#include "JsonLines.h"
#include "TextFile.h"

namespace zavservice {
namespace {

struct InternetCloser {
    void operator()(HINTERNET handle) const {
        if (handle)
            ::WinHttpCloseHandle(handle);
    }
};
using Internet = std::unique_ptr<void, InternetCloser>;

std::string LastError(const char* what) {
    return std::string(what) + " failed (error " + std::to_string(::GetLastError()) + ")";
}

} // namespace

Outbox::Outbox(const std::string& storeFolder) : m_folder(storeFolder + "\\outbox") {
    ::CreateDirectoryA(storeFolder.c_str(), nullptr);
    ::CreateDirectoryA(m_folder.c_str(), nullptr);
}

// Written to a temporary name and moved into place, so a document is there whole or not at all.
void Outbox::Add(const std::string& fileKey, const std::string& sourceFile,
                 const std::vector<std::string>& records) {
    std::string body =
        "{\"sourceFile\":" + zavrun::JsonString(_bstr_t(sourceFile.c_str())) + ",\"alarms\":[";
    for (size_t i = 0; i < records.size(); ++i)
        body += (i ? "," : "") + records[i];
    body += "]}\n";
    const std::string id = AlarmId(fileKey, 0);
    const std::string name = m_folder + "\\" + id.substr(0, id.find('-')) + ".json";
    const std::string part = name + ".part";
    if (!zavrun::WriteTextFile(part, body) ||
        !::MoveFileExA(part.c_str(), name.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        throw std::runtime_error(name + ": cannot be written");
}

std::vector<std::string> Outbox::Pending() const {
    struct Entry {
        ULONGLONG written;
        std::string path;
    };
    std::vector<Entry> entries;
    for (const WIN32_FIND_DATAA& found : ListFiles(m_folder + "\\*.json"))
        entries.push_back({(ULONGLONG(found.ftLastWriteTime.dwHighDateTime) << 32) |
                               found.ftLastWriteTime.dwLowDateTime,
                           m_folder + "\\" + found.cFileName});
    std::sort(entries.begin(), entries.end(),
              [](const Entry& a, const Entry& b) { return a.written < b.written; });
    std::vector<std::string> paths;
    for (const Entry& entry : entries)
        paths.push_back(entry.path);
    return paths;
}

WebhookSender::WebhookSender(const std::string& url, Outbox& outbox) : m_outbox(outbox) {
    const std::wstring wide(static_cast<const wchar_t*>(_bstr_t(url.c_str())));
    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof parts;
    wchar_t host[256] = L"", path[2048] = L"";
    parts.lpszHostName = host;
    parts.dwHostNameLength = ARRAYSIZE(host);
    parts.lpszUrlPath = path;
    parts.dwUrlPathLength = ARRAYSIZE(path);
    if (!::WinHttpCrackUrl(wide.c_str(), 0, 0, &parts))
        throw std::runtime_error(url + ": not a URL the webhook can use");
    m_host = host;
    m_path = *path ? path : L"/";
    m_port = parts.nPort;
    m_secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
}

bool WebhookSender::Post(const std::string& body, std::string& error) const {
    Internet session(::WinHttpOpen(L"zavservice", WINHTTP_ACCESS_TYPE_NO_PROXY,
                                   WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
    Internet connection(session ? ::WinHttpConnect(session.get(), m_host.c_str(), m_port, 0)
                                : nullptr);
    Internet request(connection
                         ? ::WinHttpOpenRequest(connection.get(), L"POST", m_path.c_str(), nullptr,
                                                WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                                m_secure ? WINHTTP_FLAG_SECURE : 0)
                         : nullptr);
    if (!request) {
        error = LastError("opening the request");
        return false;
    }
    ::WinHttpSetTimeouts(request.get(), 5000, 5000, 10000, 10000);
    const wchar_t headers[] = L"Content-Type: application/json\r\n";
    if (!::WinHttpSendRequest(request.get(), headers, static_cast<DWORD>(-1L),
                              const_cast<char*>(body.data()), static_cast<DWORD>(body.size()),
                              static_cast<DWORD>(body.size()), 0) ||
        !::WinHttpReceiveResponse(request.get(), nullptr)) {
        error = LastError("sending");
        return false;
    }
    DWORD status = 0, size = sizeof status;
    ::WinHttpQueryHeaders(request.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                          WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX);
    if (status < 200 || status >= 300) {
        error = "the receiver answered " + std::to_string(status);
        return false;
    }
    return true;
}

int WebhookSender::SendPending(std::string& error) {
    int sent = 0;
    for (const std::string& path : m_outbox.Pending()) {
        if (!Post(zavrun::ReadTextFile(path), error))
            break;
        ::DeleteFileA(path.c_str());
        ++sent;
    }
    return sent;
}

void WebhookSender::Run(HANDLE stop) {
    DWORD pause = 0;
    for (;;) {
        std::string error;
        SendPending(error);
        pause = error.empty() ? 500 : std::clamp<DWORD>(pause * 2, 1000, 30000);
        if (::WaitForSingleObject(stop, pause) == WAIT_OBJECT_0)
            return;
    }
}

} // namespace zavservice
