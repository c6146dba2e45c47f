// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "MailQueue.h"
#include "MailSender.h"
#include "SpoolFolder.h"

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace httplib {
struct Request;
struct Response;
} // namespace httplib

class BoundedHttpServer;

// The upload server's three addresses: a fresh name for an upload, the parts of a recording
// joined in a spool file under that name, and the request that mails the recording to one
// recipient and then deletes it.
//
// It is not an open relay: only names it issued in the last hour are accepted; an upload stops
// at 10 MiB plus one part; a request body may hold 64 KiB; a mail goes to one valid address,
// with header fields that cannot carry line breaks; each client address may send a limited
// number of mails an hour.
//
// Nor can a few clients take it over: each client address may hold a limited number of open
// names, of bytes waiting to be mailed and of connections, the spool as a whole has a budget,
// a request must arrive whole within a deadline, and mails go out from a queue on a thread of
// their own. The mail request still answers with the smarthost's verdict when that comes
// within the mail wait.
class UploadServer
{
public:
    using Clock = std::chrono::steady_clock;

    struct Settings
    {
        int maxMailsPerHour = 20;
        std::chrono::seconds nameLifetime{3600};
        size_t maxNamesPerClient = 10;
        uint64_t maxSpoolBytesPerClient = uint64_t(32) << 20;
        uint64_t maxSpoolBytes = uint64_t(512) << 20;
        size_t maxConnectionsPerClient = 4;
        std::chrono::milliseconds requestTimeout{20000};
        // How long a mail request waits for the smarthost's answer: below the client's own
        // time-out of 20 seconds, so that it hears the outcome.
        std::chrono::milliseconds mailWait{15000};
    };

    static constexpr uint64_t kMaxUploadBytes = 10 * 1024 * 1024 + 16384;
    static constexpr size_t kMaxRequestBytes = 64 * 1024;
    static constexpr size_t kMaxOpenUploads = 1000;
    static constexpr size_t kWorkers = 16;
    // Requests that may wait for a mail's outcome at once: the other workers stay free.
    static constexpr size_t kMostMailWaits = kWorkers / 2;

    UploadServer(Settings settings, SpoolFolder spool, MailSender sender);
    ~UploadServer();

    // Binds to the address; port 0 picks a free one. Returns the port, or -1.
    int bind(const std::string& host, int port);
    // Serves until stop() is called (from any thread).
    bool listen();
    void stop();

private:
    struct Upload
    {
        Clock::time_point issued;
        std::string client;         // the address the name was issued to
        std::string attachmentName; // the recording's own file name, from its first part
        uint64_t size = 0;
        ino_t inode = 0; // the spool file, once the first part has created it
        bool mailing = false;
    };

    void randomName(const httplib::Request& request, httplib::Response& response);
    void part(const httplib::Request& request, httplib::Response& response);
    void email(const httplib::Request& request, httplib::Response& response);

    // Drops uploads older than their lifetime, with their spool files. Holds m_mutex.
    void expire(Clock::time_point now);
    // The upload a "fileName" field names (the issued name followed by "wav"). Holds m_mutex.
    Upload* find(const std::string& fileNameField, std::string& name);
    static std::string spoolFile(const std::string& name);
    // Drops the upload and its spool file. Holds m_mutex.
    void forget(const std::string& name);
    // What one client address holds now. Hold m_mutex.
    size_t namesOf(const std::string& client) const;
    uint64_t bytesOf(const std::string& client) const;

    Settings m_settings;
    SpoolFolder m_spool;
    std::unique_ptr<BoundedHttpServer> m_server;
    std::atomic<bool> m_stopRequested = false;
    std::atomic<bool> m_listenEnded = false;
    std::mutex m_mutex;
    std::map<std::string, Upload> m_uploads;
    uint64_t m_spoolBytes = 0;
    size_t m_mailWaits = 0;
    std::map<std::string, std::deque<Clock::time_point>> m_mailsByClient;
    // Last, so that it ends (and calls back into the members above) before they go.
    MailQueue m_mail;
};
