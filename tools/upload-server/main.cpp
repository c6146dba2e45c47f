// SPDX-License-Identifier: GPL-3.0-or-later
// sonavell-upload-server: the server that Sonavell's e-mail button talks to. It takes a
// recording in parts under a name it issued, and mails it through an SMTP smarthost.
#include "MailAddress.h"
#include "MailSender.h"
#include "SpoolFolder.h"
#include "UploadServer.h"

#include <curl/curl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <pthread.h>
#include <string>
#include <thread>

namespace {

const char* kUsage =
    "usage: sonavell-upload-server --smtp smtp://HOST:PORT [options]\n"
    "\n"
    "Receives recordings from Sonavell in parts and mails each one, attached, to the recipient\n"
    "the user entered. Point Sonavell's \"upload_url\" setting at http://THIS-MACHINE:PORT.\n"
    "\n"
    "  --listen HOST[:PORT]     address to listen on (default 127.0.0.1:8025; 0.0.0.0:8025 for\n"
    "                           every network of this machine; port 0 picks a free one)\n"
    "  --smtp URL               the smarthost: smtp://host:port, or smtps://host:port for TLS\n"
    "  --starttls               require STARTTLS on an smtp:// smarthost\n"
    "  --smtp-user USER         log in to the smarthost as USER; the password comes from the\n"
    "                           environment variable SONAVELL_SMTP_PASSWORD or from\n"
    "  --smtp-password-file F   the first line of file F\n"
    "  --from ADDRESS           the sender of the mails (default: --smtp-user when it is an\n"
    "                           address, else sonavell@HOSTNAME); the user's own address is\n"
    "                           set as Reply-To\n"
    "  --spool DIR              where uploads are kept until mailed: a folder of this user's,\n"
    "                           closed to others (default: sonavell-upload-server in\n"
    "                           $XDG_RUNTIME_DIR, or in $XDG_STATE_HOME or ~/.local/state)\n"
    "  --max-per-hour N         mails per client address and hour (default 20)\n"
    "  --max-names-per-client N open upload names per client address (default 10)\n"
    "  --max-spool-per-client BYTES\n"
    "                           bytes waiting to be mailed per client address (default 32M;\n"
    "                           K, M and G may follow the number)\n"
    "  --max-spool BYTES        bytes waiting to be mailed in all (default 512M)\n"
    "  --max-connections-per-client N\n"
    "                           connections one client address may hold at once (default 4)\n"
    "  --request-timeout SECONDS\n"
    "                           time a client has to send a whole request (default 20)\n"
    "  --mail-wait SECONDS      time a mail request waits for the smarthost's answer before it\n"
    "                           is answered without it (default 15)\n"
    "  --help                   this text\n";

int usageError(const std::string& message)
{
    std::fprintf(stderr, "sonavell-upload-server: %s\n\n%s", message.c_str(), kUsage);
    return 2;
}

bool splitHostPort(const std::string& text, std::string& host, int& port)
{
    std::string h = text;
    std::string p;
    if (!text.empty() && text.front() == '[') { // [::1]:8025
        const size_t close = text.find(']');
        if (close == std::string::npos)
            return false;
        h = text.substr(1, close - 1);
        if (close + 1 < text.size()) {
            if (text[close + 1] != ':')
                return false;
            p = text.substr(close + 2);
        }
    } else if (std::count(text.begin(), text.end(), ':') == 1) {
        h = text.substr(0, text.find(':'));
        p = text.substr(text.find(':') + 1);
    }
    if (h.empty())
        return false;
    host = h;
    if (!p.empty()) {
        char* end = nullptr;
        const long value = std::strtol(p.c_str(), &end, 10);
        if (*end || value < 0 || value > 65535)
            return false;
        port = int(value);
    }
    return true;
}

// A positive whole number; 0 when unreadable.
uint64_t parseCount(const std::string& text)
{
    char* end = nullptr;
    errno = 0;
    const unsigned long long value = std::strtoull(text.c_str(), &end, 10);
    if (text.empty() || text[0] == '-' || *end || errno)
        return 0;
    return value;
}

// A number of bytes, optionally followed by K, M or G (binary); 0 when unreadable.
uint64_t parseBytes(std::string text)
{
    uint64_t factor = 1;
    if (!text.empty() && std::strchr("KkMmGg", text.back())) {
        const char unit = char(std::toupper(static_cast<unsigned char>(text.back())));
        factor = unit == 'K' ? 1024 : unit == 'M' ? 1024 * 1024 : 1024 * 1024 * 1024;
        text.pop_back();
    }
    const uint64_t value = parseCount(text);
    if (value > (uint64_t(1) << 50) / factor)
        return 0;
    return value * factor;
}

// Seconds, with a fraction if wanted; a zero duration when unreadable or out of range.
std::chrono::milliseconds parseSeconds(const std::string& text)
{
    char* end = nullptr;
    const double seconds = std::strtod(text.c_str(), &end);
    if (text.empty() || *end || !(seconds > 0) || seconds > 86400)
        return std::chrono::milliseconds(0);
    return std::chrono::milliseconds(std::max<long long>(1, (long long)(seconds * 1000)));
}

} // namespace

int main(int argc, char* argv[])
{
    std::string host = "127.0.0.1";
    int port = 8025;
    MailSender::Settings smtp;
    std::string passwordFile;
    UploadServer::Settings settings;
    std::filesystem::path spoolPath;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= argc)
                return false;
            out = argv[++i];
            return true;
        };
        std::string text;
        if (option == "--help" || option == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (option == "--listen") {
            if (!value(text) || !splitHostPort(text, host, port))
                return usageError("--listen needs HOST or HOST:PORT");
        } else if (option == "--smtp") {
            if (!value(smtp.url) ||
                !(smtp.url.starts_with("smtp://") || smtp.url.starts_with("smtps://")))
                return usageError("--smtp needs smtp://HOST:PORT or smtps://HOST:PORT");
        } else if (option == "--starttls") {
            smtp.starttls = true;
        } else if (option == "--smtp-user") {
            if (!value(smtp.user))
                return usageError("--smtp-user needs a name");
        } else if (option == "--smtp-password-file") {
            if (!value(passwordFile))
                return usageError("--smtp-password-file needs a file");
        } else if (option == "--from") {
            if (!value(smtp.from) || !MailAddress::isSingleAddress(smtp.from))
                return usageError("--from needs one e-mail address");
        } else if (option == "--spool") {
            if (!value(text))
                return usageError("--spool needs a folder");
            spoolPath = text;
        } else if (option == "--max-per-hour") {
            char* end = nullptr;
            if (!value(text) ||
                (settings.maxMailsPerHour = int(std::strtol(text.c_str(), &end, 10)), *end) ||
                settings.maxMailsPerHour < 1)
                return usageError("--max-per-hour needs a number of at least 1");
        } else if (option == "--max-names-per-client") {
            if (!value(text) || (settings.maxNamesPerClient = parseCount(text)) == 0)
                return usageError("--max-names-per-client needs a number of at least 1");
        } else if (option == "--max-spool-per-client") {
            if (!value(text) || (settings.maxSpoolBytesPerClient = parseBytes(text)) == 0)
                return usageError("--max-spool-per-client needs a number of bytes");
        } else if (option == "--max-spool") {
            if (!value(text) || (settings.maxSpoolBytes = parseBytes(text)) == 0)
                return usageError("--max-spool needs a number of bytes");
        } else if (option == "--max-connections-per-client") {
            if (!value(text) || (settings.maxConnectionsPerClient = parseCount(text)) == 0)
                return usageError("--max-connections-per-client needs a number of at least 1");
        } else if (option == "--request-timeout") {
            if (!value(text) || (settings.requestTimeout = parseSeconds(text)).count() == 0)
                return usageError("--request-timeout needs a number of seconds");
        } else if (option == "--mail-wait") {
            if (!value(text) || (settings.mailWait = parseSeconds(text)).count() == 0)
                return usageError("--mail-wait needs a number of seconds");
        } else {
            return usageError("unknown option " + option);
        }
    }
    if (smtp.url.empty())
        return usageError("--smtp is required: the server mails through a smarthost");

    if (!passwordFile.empty()) {
        std::ifstream in(passwordFile);
        if (!in || !std::getline(in, smtp.password))
            return usageError("cannot read the password file " + passwordFile);
        if (!smtp.password.empty() && smtp.password.back() == '\r')
            smtp.password.pop_back();
    } else if (const char* password = std::getenv("SONAVELL_SMTP_PASSWORD")) {
        smtp.password = password;
    }
    if (smtp.from.empty()) {
        if (MailAddress::isSingleAddress(smtp.user)) {
            smtp.from = smtp.user;
        } else {
            char hostname[256] = {};
            gethostname(hostname, sizeof hostname - 1);
            smtp.from = std::string("sonavell@") + (hostname[0] ? hostname : "localhost");
            if (!MailAddress::isSingleAddress(smtp.from))
                smtp.from = "sonavell@localhost";
        }
    }

    if (spoolPath.empty())
        spoolPath = SpoolFolder::defaultPath();
    SpoolFolder spool;
    std::string spoolError;
    if (!spool.open(spoolPath, spoolError)) {
        std::fprintf(stderr, "sonavell-upload-server: %s\n", spoolError.c_str());
        return 1;
    }

    curl_global_init(CURL_GLOBAL_DEFAULT);
    // SIGINT and SIGTERM stop the server from a thread of its own; SIGPIPE is ignored, so a
    // client that hangs up only ends its own connection.
    std::signal(SIGPIPE, SIG_IGN);
    sigset_t quit;
    sigemptyset(&quit);
    sigaddset(&quit, SIGINT);
    sigaddset(&quit, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &quit, nullptr);

    UploadServer server(settings, std::move(spool), MailSender(smtp));
    const int bound = server.bind(host, port);
    if (bound < 0) {
        std::fprintf(stderr, "sonavell-upload-server: cannot listen on %s:%d\n", host.c_str(),
                     port);
        return 1;
    }
    std::thread stopper([&server, quit] {
        int signal = 0;
        sigwait(&quit, &signal);
        server.stop();
    });
    const bool v6 = host.find(':') != std::string::npos;
    std::printf("sonavell-upload-server: listening on http://%s%s%s:%d, mailing through %s as %s\n",
                v6 ? "[" : "", host.c_str(), v6 ? "]" : "", bound, smtp.url.c_str(),
                smtp.from.c_str());
    std::fflush(stdout);
    const bool ok = server.listen();
    // The stopper waits for a signal; one to ourselves ends it when listening ended otherwise.
    pthread_kill(stopper.native_handle(), SIGTERM);
    stopper.join();
    curl_global_cleanup();
    return ok ? 0 : 1;
}
