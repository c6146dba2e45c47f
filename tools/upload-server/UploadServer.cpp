// SPDX-License-Identifier: GPL-3.0-or-later
#include "UploadServer.h"

#include "BoundedHttpServer.h"
#include "MailAddress.h"

#include <httplib.h>

#include <sys/random.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <regex>
#include <thread>

namespace {

std::string newName()
{
    unsigned char bytes[16];
    size_t got = 0;
    while (got < sizeof bytes) {
        const ssize_t n = getrandom(bytes + got, sizeof bytes - got, 0);
        if (n > 0)
            got += size_t(n);
    }
    static const char* hex = "0123456789abcdef";
    std::string name;
    for (unsigned char b : bytes) {
        name += hex[b >> 4];
        name += hex[b & 15];
    }
    return name;
}

void answer(httplib::Response& response, int status, const std::string& text)
{
    response.status = status;
    response.set_content(text, "text/plain; charset=utf-8");
}

// The recording's file name for the attachment: its last path component, in characters that
// need no quoting; "recording.wav" when nothing usable is left.
std::string attachmentName(const std::string& given)
{
    std::string name = given.substr(
        given.find_last_of("/\\") == std::string::npos ? 0 : given.find_last_of("/\\") + 1);
    std::string clean;
    for (char c : name) {
        const bool safe = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                          (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '_' || c == ' ';
        clean += safe ? c : '_';
    }
    while (!clean.empty() && (clean.front() == '.' || clean.front() == ' '))
        clean.erase(clean.begin());
    if (clean.size() > 100)
        clean = clean.substr(clean.size() - 100);
    return clean.empty() ? "recording.wav" : clean;
}

bool isIssuedNameForm(const std::string& name)
{
    static const std::regex form("[0-9a-f]{32}");
    return std::regex_match(name, form);
}

} // namespace

UploadServer::UploadServer(Settings settings, SpoolFolder spool, MailSender sender)
    : m_settings(std::move(settings))
    , m_spool(std::move(spool))
    , m_server(std::make_unique<BoundedHttpServer>(m_settings.requestTimeout,
                                                   m_settings.maxConnectionsPerClient))
    , m_mail(std::move(sender))
{
    // Spool files left by an earlier run belong to names nobody holds any more.
    for (const std::string& file : m_spool.entries()) {
        if (file.size() == 36 && file.ends_with(".wav") && isIssuedNameForm(file.substr(0, 32)))
            m_spool.remove(file);
    }

    m_server->new_task_queue = [] { return new httplib::ThreadPool(kWorkers); };
    m_server->set_payload_max_length(kMaxRequestBytes);
    m_server->Get("/snv/uploadRandomName.php",
                  [this](const httplib::Request& q, httplib::Response& r) { randomName(q, r); });
    m_server->Post("/snv/uploadParts.php",
                   [this](const httplib::Request& q, httplib::Response& r) { part(q, r); });
    m_server->Post("/snv/uploadEmail.php",
                   [this](const httplib::Request& q, httplib::Response& r) { email(q, r); });
    m_server->set_logger([](const httplib::Request& q, const httplib::Response& r) {
        std::fprintf(stderr, "%s %s %s %d\n", q.remote_addr.c_str(), q.method.c_str(),
                     q.path.c_str(), r.status);
    });
}

UploadServer::~UploadServer() = default;

int UploadServer::bind(const std::string& host, int port)
{
    if (port == 0)
        return m_server->bind_to_any_port(host);
    return m_server->bind_to_port(host, port) ? port : -1;
}

bool UploadServer::listen()
{
    const bool ok = m_stopRequested || m_server->listen_after_bind();
    m_listenEnded = true;
    return ok;
}

void UploadServer::stop()
{
    // Requests waiting for a mail's outcome answer at once, so the workers can end.
    m_mail.shutdown();
    m_stopRequested = true;
    // cpp-httplib ignores a stop before it listens: one that comes early (a signal right after
    // the start) waits until the server listens, or until listen() has seen the request.
    while (!m_listenEnded) {
        if (m_server->is_running()) {
            m_server->stop();
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

std::string UploadServer::spoolFile(const std::string& name)
{
    return name + ".wav";
}

void UploadServer::forget(const std::string& name)
{
    const auto it = m_uploads.find(name);
    if (it == m_uploads.end())
        return;
    m_spool.remove(spoolFile(name));
    m_spoolBytes -= it->second.size;
    m_uploads.erase(it);
}

void UploadServer::expire(Clock::time_point now)
{
    for (auto it = m_uploads.begin(); it != m_uploads.end();) {
        const auto next = std::next(it);
        if (now - it->second.issued > m_settings.nameLifetime && !it->second.mailing)
            forget(it->first);
        it = next;
    }
}

size_t UploadServer::namesOf(const std::string& client) const
{
    return size_t(std::count_if(m_uploads.begin(), m_uploads.end(),
                                [&](const auto& entry) { return entry.second.client == client; }));
}

uint64_t UploadServer::bytesOf(const std::string& client) const
{
    uint64_t bytes = 0;
    for (const auto& [name, upload] : m_uploads)
        if (upload.client == client)
            bytes += upload.size;
    return bytes;
}

UploadServer::Upload* UploadServer::find(const std::string& fileNameField, std::string& name)
{
    if (!fileNameField.ends_with("wav"))
        return nullptr;
    name = fileNameField.substr(0, fileNameField.size() - 3);
    const auto it = m_uploads.find(name);
    return it == m_uploads.end() ? nullptr : &it->second;
}

void UploadServer::randomName(const httplib::Request& request, httplib::Response& response)
{
    std::lock_guard lock(m_mutex);
    const auto now = Clock::now();
    expire(now);
    if (m_uploads.size() >= kMaxOpenUploads) {
        answer(response, 503, "ERROR: too many uploads at once; try again later");
        return;
    }
    if (namesOf(request.remote_addr) >= m_settings.maxNamesPerClient) {
        answer(response, 429, "ERROR: too many open uploads from this address; try again later");
        return;
    }
    std::string name = newName();
    Upload upload;
    upload.issued = now;
    upload.client = request.remote_addr;
    m_uploads[name] = upload;
    // The client takes the whole body as the name: no line break after it.
    response.set_content(name, "text/plain; charset=utf-8");
}

void UploadServer::part(const httplib::Request& request, httplib::Response& response)
{
    if (!request.is_multipart_form_data() || !request.has_file("uploadedFile") ||
        !request.has_file("fileName")) {
        answer(response, 400, "ERROR: a part needs the fields uploadedFile and fileName");
        return;
    }
    const httplib::MultipartFormData file = request.get_file_value("uploadedFile");
    std::lock_guard lock(m_mutex);
    expire(Clock::now());
    std::string name;
    Upload* upload = find(request.get_file_value("fileName").content, name);
    if (!upload || upload->mailing) {
        answer(response, 403, "ERROR: unknown or expired upload name");
        return;
    }
    const uint64_t size = file.content.size();
    if (upload->size + size > kMaxUploadBytes) {
        forget(name);
        answer(response, 413, "ERROR: the recording is too large to be mailed");
        return;
    }
    // An upload that would go over a budget is dropped whole: its client gets its room back.
    if (bytesOf(upload->client) + size > m_settings.maxSpoolBytesPerClient) {
        forget(name);
        answer(response, 429, "ERROR: this address has too much waiting to be mailed; try later");
        return;
    }
    if (m_spoolBytes + size > m_settings.maxSpoolBytes) {
        forget(name);
        answer(response, 503, "ERROR: the server has no room for more uploads; try again later");
        return;
    }
    std::string error;
    if (!m_spool.append(spoolFile(name), file.content, upload->inode, error)) {
        std::fprintf(stderr, "upload %s dropped: %s\n", name.c_str(), error.c_str());
        forget(name);
        answer(response, 500, "ERROR: the upload could not be stored");
        return;
    }
    if (upload->attachmentName.empty())
        upload->attachmentName = attachmentName(file.filename);
    upload->size += size;
    m_spoolBytes += size;
    answer(response, 200, "SUCCESS");
}

void UploadServer::email(const httplib::Request& request, httplib::Response& response)
{
    for (const char* field : {"fileName", "mailTo", "mailFrom", "mailText", "mailSubject"}) {
        if (!request.is_multipart_form_data() || !request.has_file(field) ||
            request.files.count(field) != 1) {
            answer(response, 400,
                   std::string("ERROR: the field ") + field + " is missing or repeated");
            return;
        }
    }
    const std::string to = request.get_file_value("mailTo").content;
    const std::string replyTo = request.get_file_value("mailFrom").content;
    const std::string subject = request.get_file_value("mailSubject").content;
    const std::string text = request.get_file_value("mailText").content;
    if (!MailAddress::isSingleAddress(to)) {
        answer(response, 400, "ERROR: the recipient must be one e-mail address");
        return;
    }
    if (!replyTo.empty() && !MailAddress::isSingleAddress(replyTo)) {
        answer(response, 400, "ERROR: the sender must be one e-mail address");
        return;
    }
    if (!MailAddress::isHeaderText(subject)) {
        answer(response, 400, "ERROR: the subject must be one line of text");
        return;
    }

    MailSender::Mail mail;
    std::string name;
    const auto now = Clock::now();
    {
        std::lock_guard lock(m_mutex);
        expire(now);
        Upload* upload = find(request.get_file_value("fileName").content, name);
        if (!upload || upload->mailing) {
            answer(response, 403, "ERROR: unknown or expired upload name");
            return;
        }
        if (upload->size == 0) {
            forget(name);
            answer(response, 400, "ERROR: nothing was uploaded under this name");
            return;
        }
        auto& sent = m_mailsByClient[request.remote_addr];
        while (!sent.empty() && now - sent.front() > std::chrono::hours(1))
            sent.pop_front();
        if (int(sent.size()) >= m_settings.maxMailsPerHour) {
            answer(response, 429, "ERROR: too many mails from this address; try again later");
            return;
        }
        if (m_mailWaits >= kMostMailWaits) {
            answer(response, 503, "ERROR: too many mails are waiting to be sent; try again later");
            return;
        }
        // The mail reads the file the parts were written to, not whatever its name may lead
        // to later.
        mail.attachmentFd = m_spool.openForReading(spoolFile(name), upload->inode);
        if (mail.attachmentFd < 0) {
            std::fprintf(stderr, "upload %s dropped: its spool file is gone or replaced\n",
                         name.c_str());
            forget(name);
            answer(response, 500, "ERROR: the upload could not be read");
            return;
        }
        sent.push_back(now);
        upload->mailing = true;
        ++m_mailWaits;
        mail.attachmentName = upload->attachmentName;
    }
    mail.to = to;
    mail.replyTo = replyTo;
    mail.subject = subject;
    mail.text = text;

    const int fd = mail.attachmentFd;
    const std::string attachment = mail.attachmentName;
    const MailQueue::Ticket ticket = m_mail.submit(
        std::move(mail), [this, fd, name, to, attachment](bool sent, const std::string& error) {
            ::close(fd);
            std::lock_guard lock(m_mutex);
            forget(name);
            if (sent)
                std::fprintf(stderr, "mailed %s (%s) to %s\n", name.c_str(), attachment.c_str(),
                             to.c_str());
            else
                std::fprintf(stderr, "mail to %s not sent: %s\n", to.c_str(), error.c_str());
        });
    std::string error;
    const MailQueue::State state = m_mail.await(ticket, now + m_settings.mailWait, error);
    {
        std::lock_guard lock(m_mutex);
        --m_mailWaits;
        if (state == MailQueue::State::Withdrawn) {
            // Never started: the upload is kept for another try, and this one does not count.
            ::close(fd);
            if (const auto it = m_uploads.find(name); it != m_uploads.end())
                it->second.mailing = false;
            auto& sent = m_mailsByClient[request.remote_addr];
            if (const auto it = std::find(sent.rbegin(), sent.rend(), now); it != sent.rend())
                sent.erase(std::next(it).base());
        }
    }
    switch (state) {
    case MailQueue::State::Sent:
        answer(response, 200, "SUCCESS");
        return;
    case MailQueue::State::Failed:
        answer(response, 502, "ERROR: the mail could not be sent");
        return;
    case MailQueue::State::Withdrawn:
    case MailQueue::State::Queued:
        answer(response, 503, "ERROR: the mail server is busy; try again later");
        return;
    case MailQueue::State::Sending:
        // The smarthost has the mail but has not answered yet: it may still go out, and the
        // log will say.
        answer(response, 504,
               "ERROR: the mail server has not confirmed the mail yet; it may still arrive");
        return;
    }
}
