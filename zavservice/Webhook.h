// Alerting: each file's alarms as one JSON document POSTed to the configured webhook. Documents
// wait in the store's outbox folder until the receiver takes one (a 2xx answer), so a receiver
// that refuses or is down gets them later, and a restart loses none. Every alarm carries its
// stable id: a receiver that is sent one twice knows it (at-least-once delivery).
#pragma once

#include <windows.h>
#include <string>
#include <vector>

namespace zavservice {

class Outbox {
public:
    explicit Outbox(const std::string& storeFolder); // makes store\outbox when missing

    // {"sourceFile":..,"alarms":[record,...]} as a file of the outbox, replacing any earlier
    // document of the same file key (written again when a file is charted again).
    void Add(const std::string& fileKey, const std::string& sourceFile,
             const std::vector<std::string>& records);
    // The documents waiting, oldest first.
    std::vector<std::string> Pending() const;
    const std::string& Folder() const { return m_folder; }

private:
    std::string m_folder;
};

// Posts the outbox's documents to `url` (http:// or https://).
class WebhookSender {
public:
    WebhookSender(const std::string& url, Outbox& outbox);

    // One attempt at every waiting document, oldest first, stopping at the first the receiver
    // does not take; how many it took. `error` says why the last attempt failed.
    int SendPending(std::string& error);
    // Until `stop` is set: sends what waits, and after a failure waits 1, 2, 4... up to 30 s.
    void Run(HANDLE stop);

private:
    bool Post(const std::string& body, std::string& error) const;

    std::wstring m_host, m_path;
    unsigned short m_port = 0;
    bool m_secure = false;
    Outbox& m_outbox;
};

} // namespace zavservice
