// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

// Sends one e-mail with one attachment through an SMTP smarthost, with libcurl: its SMTP client
// speaks STARTTLS and AUTH, and its MIME builder encodes the text (quoted-printable) and the
// attachment (base64).
class MailSender
{
public:
    struct Settings
    {
        std::string url; // smtp://host:port or smtps://host:port
        bool starttls = false;
        std::string user; // logs in when not empty
        std::string password;
        std::string from; // the sender of every mail (the smarthost's account, as a rule)
        long timeoutSeconds = 120;
    };

    struct Mail
    {
        std::string to;        // one address, already checked
        std::string replyTo;   // one address or empty, already checked
        std::string subject;   // one line of UTF-8, already checked
        std::string text;      // UTF-8
        int attachmentFd = -1; // read from its start; open until send() returns
        std::string attachmentName;
    };

    explicit MailSender(Settings settings);

    // True when the smarthost accepted the mail; otherwise `error` says why.
    bool send(const Mail& mail, std::string& error) const;

private:
    Settings m_settings;
};
