// SPDX-License-Identifier: GPL-3.0-or-later
#include "MailSender.h"

#include "MailAddress.h"

#include <curl/curl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <random>

namespace {

// The attachment's content type, by its name's extension: the program sends memos as WAV, or
// converted to Ogg/Opus or FLAC.
const char* attachmentType(const std::string& name)
{
    const auto dot = name.find_last_of('.');
    std::string extension = dot == std::string::npos ? std::string() : name.substr(dot + 1);
    for (char& c : extension)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    if (extension == "opus" || extension == "ogg")
        return "audio/ogg";
    if (extension == "flac")
        return "audio/flac";
    return "audio/wav";
}

std::string dateHeader()
{
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    std::array<char, 64> buffer{};
    // Day and month names in English whatever the locale: the header's grammar demands them.
    static const char* days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const long offset = tm.tm_gmtoff / 60;
    std::snprintf(
        buffer.data(), buffer.size(), "Date: %s, %02d %s %04d %02d:%02d:%02d %c%02ld%02ld",
        days[tm.tm_wday], tm.tm_mday, months[tm.tm_mon], tm.tm_year + 1900, tm.tm_hour, tm.tm_min,
        tm.tm_sec, offset < 0 ? '-' : '+', std::labs(offset) / 60, std::labs(offset) % 60);
    return buffer.data();
}

std::string messageId(const std::string& from)
{
    std::random_device random;
    char id[40];
    std::snprintf(id, sizeof id, "%08x%08x%08x", random(), random(), random());
    const size_t at = from.find('@');
    return "Message-ID: <" + std::string(id) + "@" +
           (at == std::string::npos ? "localhost" : from.substr(at + 1)) + ">";
}

// Lines end in CR LF in a mail; the text may come with LF or CR LF.
std::string crlf(const std::string& text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 40);
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            out += "\r\n";
            if (i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else if (text[i] == '\n') {
            out += "\r\n";
        } else {
            out += text[i];
        }
    }
    return out;
}

// The attachment, read from a descriptor: the very file the upload wrote, whatever its name
// may lead to by the time the mail goes.
struct Attachment
{
    int fd = -1;
    curl_off_t size = 0;
    curl_off_t position = 0;

    static size_t read(char* buffer, size_t size, size_t count, void* self)
    {
        auto* file = static_cast<Attachment*>(self);
        const ssize_t n = ::pread(file->fd, buffer, size * count, file->position);
        if (n < 0)
            return CURL_READFUNC_ABORT;
        file->position += n;
        return size_t(n);
    }
    static int seek(void* self, curl_off_t offset, int origin)
    {
        auto* file = static_cast<Attachment*>(self);
        if (origin != SEEK_SET || offset < 0 || offset > file->size)
            return CURL_SEEKFUNC_CANTSEEK;
        file->position = offset;
        return CURL_SEEKFUNC_OK;
    }
};

struct CurlDeleter
{
    void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
    void operator()(curl_mime* mime) const { curl_mime_free(mime); }
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

} // namespace

MailSender::MailSender(Settings settings)
    : m_settings(std::move(settings))
{
}

bool MailSender::send(const Mail& mail, std::string& error) const
{
    std::unique_ptr<CURL, CurlDeleter> curl(curl_easy_init());
    if (!curl) {
        error = "libcurl could not start";
        return false;
    }
    std::array<char, CURL_ERROR_SIZE> errorBuffer{};
    CURL* c = curl.get();
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, errorBuffer.data());
    curl_easy_setopt(c, CURLOPT_URL, m_settings.url.c_str());
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "smtp,smtps");
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_TIMEOUT, m_settings.timeoutSeconds);
    if (m_settings.starttls)
        curl_easy_setopt(c, CURLOPT_USE_SSL, long(CURLUSESSL_ALL));
    if (!m_settings.user.empty()) {
        curl_easy_setopt(c, CURLOPT_USERNAME, m_settings.user.c_str());
        curl_easy_setopt(c, CURLOPT_PASSWORD, m_settings.password.c_str());
    }
    const std::string envelopeFrom = "<" + m_settings.from + ">";
    curl_easy_setopt(c, CURLOPT_MAIL_FROM, envelopeFrom.c_str());
    std::unique_ptr<curl_slist, CurlDeleter> recipients(
        curl_slist_append(nullptr, ("<" + mail.to + ">").c_str()));
    curl_easy_setopt(c, CURLOPT_MAIL_RCPT, recipients.get());

    std::unique_ptr<curl_slist, CurlDeleter> headers;
    auto addHeader = [&headers](const std::string& line) {
        headers.reset(curl_slist_append(headers.release(), line.c_str()));
    };
    addHeader(dateHeader());
    addHeader("From: Sonavell <" + m_settings.from + ">");
    addHeader("To: <" + mail.to + ">");
    if (!mail.replyTo.empty())
        addHeader("Reply-To: <" + mail.replyTo + ">");
    addHeader("Subject: " + MailAddress::encodeHeaderText(mail.subject));
    addHeader(messageId(m_settings.from));
    curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers.get());

    std::unique_ptr<curl_mime, CurlDeleter> mime(curl_mime_init(c));
    const std::string text = crlf(mail.text);
    curl_mimepart* body = curl_mime_addpart(mime.get());
    curl_mime_data(body, text.data(), text.size());
    curl_mime_type(body, "text/plain; charset=utf-8");
    curl_mime_encoder(body, "quoted-printable");
    struct stat status
    {
    };
    if (mail.attachmentFd < 0 || fstat(mail.attachmentFd, &status) != 0) {
        error = "the upload cannot be read";
        return false;
    }
    Attachment file{mail.attachmentFd, curl_off_t(status.st_size), 0};
    curl_mimepart* attachment = curl_mime_addpart(mime.get());
    curl_mime_data_cb(attachment, file.size, &Attachment::read, &Attachment::seek, nullptr, &file);
    curl_mime_filename(attachment, mail.attachmentName.c_str());
    curl_mime_type(attachment, attachmentType(mail.attachmentName));
    curl_mime_encoder(attachment, "base64");
    curl_easy_setopt(c, CURLOPT_MIMEPOST, mime.get());

    const CURLcode result = curl_easy_perform(c);
    if (result != CURLE_OK) {
        error = errorBuffer[0] ? errorBuffer.data() : curl_easy_strerror(result);
        return false;
    }
    return true;
}
