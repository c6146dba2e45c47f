// SPDX-License-Identifier: GPL-3.0-or-later
// sonavell-upload-server as a process on 127.0.0.1, mailing through the test SMTP server: what
// it mails, and what it refuses.
#include "support/MailServers.h"
#include "support/TestEnvironment.h"

#include "platform/net/UrlLoader.h"
#include "sharing/Uploader.h"

#include <QFileInfo>
#include <QProcessEnvironment>
#include <QTcpSocket>
#include <QTimer>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <optional>

using namespace sonavell::test;

namespace {

class Client
{
public:
    explicit Client(const UploadServerProcess& server)
        : m_base(server.baseUrl())
    {
    }

    UrlLoader::Result nameRequest()
    {
        UrlRequest request;
        request.url = QUrl(m_base + Uploader::kRandomNamePath);
        request.timeoutMs = 10000;
        return answer(request);
    }
    QString name()
    {
        const auto result = nameRequest();
        return result.ok ? QString::fromUtf8(result.body) : QString();
    }
    UrlLoader::Result post(const char* path, const QByteArray& body)
    {
        UrlRequest request;
        request.url = QUrl(m_base + path);
        request.method = "POST";
        request.headers.append(
            qMakePair(QByteArray("Content-Type"),
                      QByteArray("multipart/form-data; boundary=0xKhTmLbOuNdArY")));
        request.body = body;
        request.timeoutMs = 20000;
        return answer(request);
    }
    UrlLoader::Result part(const QString& name, const QByteArray& data,
                           const QString& file = QStringLiteral("REC1.wav"))
    {
        return post(Uploader::kPartsPath, Uploader::partRequestBody(file, name, data));
    }
    UrlLoader::Result mail(const QString& name, const QString& to,
                           const QString& from = "me@example.org", const QString& subject = "Memo",
                           const QString& text = "Hi")
    {
        return post(Uploader::kEmailPath,
                    Uploader::emailRequestBody(name, to, from, text, subject));
    }

private:
    // Sends the request and waits for its outcome.
    static UrlLoader::Result answer(const UrlRequest& request)
    {
        QObject context;
        std::optional<UrlLoader::Result> result;
        UrlLoader::send(request, &context, [&](const UrlLoader::Result& r) { result = r; });
        waitFor([&] { return result.has_value(); }, request.timeoutMs + 5000);
        return result.value_or(UrlLoader::Result{});
    }

    QString m_base;
};

// Bytes in a pattern that shows any shift or gap.
QByteArray patterned(qsizetype size)
{
    QByteArray bytes(size, 0);
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = char((i * 7 + i / 251) & 0xff);
    return bytes;
}

} // namespace

TEST(UploadServer, MailsTheJoinedPartsToTheOneRecipientAndForgetsThem)
{
    SmtpSink smtp;
    ASSERT_GT(smtp.port(), 0);
    UploadServerProcess server(smtp.url(), {"--from", "memos@example.net"});
    ASSERT_GT(server.port(), 0) << server.banner().toStdString();
    Client client(server);

    const QString name = client.name();
    EXPECT_TRUE(QRegularExpression("^[0-9a-f]{32}$").match(name).hasMatch()) << name.toStdString();
    EXPECT_NE(client.name(), name);
    const QByteArray wav = patterned(40000);
    for (qsizetype at = 0; at < wav.size(); at += 16384) {
        const auto answer = client.part(name, wav.mid(at, 16384), "REC20261208.wav");
        ASSERT_TRUE(answer.ok) << answer.error.toStdString();
        EXPECT_EQ(answer.body, "SUCCESS");
    }
    const auto answer = client.mail(name, "ann@example.org", "me@example.org",
                                    QStringLiteral("Memo from Åsa"), "Line one\nLine two = 2\n");
    ASSERT_TRUE(answer.ok) << answer.error.toStdString() << server.log().toStdString();
    EXPECT_EQ(answer.body, "SUCCESS");

    const auto mails = smtp.mails();
    ASSERT_EQ(mails.size(), 1);
    const ReceivedMail& mail = mails[0];
    EXPECT_EQ(mail.envelopeTo, QStringList{"ann@example.org"});
    EXPECT_EQ(mail.envelopeFrom, "memos@example.net");
    EXPECT_EQ(mail.headers.value("to"), "<ann@example.org>");
    EXPECT_EQ(mail.headers.value("reply-to"), "<me@example.org>");
    EXPECT_EQ(decodeHeader(mail.headers.value("subject")), QStringLiteral("Memo from Åsa"));
    EXPECT_EQ(mail.text, "Line one\r\nLine two = 2\r\n");
    EXPECT_EQ(mail.attachment, wav);
    EXPECT_TRUE(mail.attachmentHead.contains("filename=\"REC20261208.wav\""));
    EXPECT_TRUE(mail.attachmentHead.contains("Content-Type: audio/wav"));
    EXPECT_TRUE(server.spoolFiles().isEmpty());

    // The name is spent.
    EXPECT_FALSE(client.part(name, "more").ok);
    EXPECT_FALSE(client.mail(name, "ann@example.org").ok);
    EXPECT_EQ(smtp.mails().size(), 1);
}

TEST(UploadServer, AttachesConvertedMemosWithTheirOwnType)
{
    SmtpSink smtp;
    UploadServerProcess server(smtp.url());
    ASSERT_GT(server.port(), 0) << server.banner().toStdString();
    Client client(server);
    const struct
    {
        const char* file;
        const char* type;
    } cases[] = {{"REC1.opus", "audio/ogg"}, {"REC2.FLAC", "audio/flac"}, {"REC3", "audio/wav"}};
    for (const auto& c : cases) {
        const QString name = client.name();
        ASSERT_TRUE(client.part(name, patterned(100), c.file).ok);
        ASSERT_TRUE(client.mail(name, "ann@example.org").ok) << server.log().toStdString();
    }
    const auto mails = smtp.mails();
    ASSERT_EQ(mails.size(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(mails[i].attachmentHead.contains(QByteArray("filename=\"") + cases[i].file))
            << mails[i].attachmentHead.toStdString();
        EXPECT_TRUE(mails[i].attachmentHead.contains(QByteArray("Content-Type: ") + cases[i].type))
            << mails[i].attachmentHead.toStdString();
    }
}

TEST(UploadServer, RefusesWhatWouldMakeItAnOpenDoor)
{
    SmtpSink smtp;
    UploadServerProcess server(smtp.url(), {"--max-per-hour", "2"});
    ASSERT_GT(server.port(), 0) << server.banner().toStdString();
    Client client(server);

    // Names it never issued, in any form.
    for (const QString& name : {QStringLiteral("0123456789abcdef0123456789abcdef"),
                                QStringLiteral("../../etc/passwd"), QString()}) {
        const auto answer = client.part(name, "data");
        EXPECT_FALSE(answer.ok) << name.toStdString();
        EXPECT_EQ(answer.status, 403);
    }
    EXPECT_TRUE(server.spoolFiles().isEmpty());

    // A request body over 64 KiB.
    const QString big = client.name();
    EXPECT_EQ(client.part(big, QByteArray(70000, 'x')).status, 413);

    // Header injection and more than one recipient.
    const QString name = client.name();
    ASSERT_TRUE(client.part(name, "RIFF").ok);
    for (const auto& [to, from, subject] : std::vector<std::tuple<QString, QString, QString>>{
             {"ann@example.org\r\nBcc: all@example.org", "me@example.org", "Memo"},
             {"ann@example.org, bob@example.org", "me@example.org", "Memo"},
             {"Ann <ann@example.org>", "me@example.org", "Memo"},
             {"ann@example.org", "me@example.org\nBcc: all@example.org", "Memo"},
             {"ann@example.org", "me@example.org", "Memo\r\nBcc: all@example.org"},
             {"", "me@example.org", "Memo"}}) {
        const auto answer = client.mail(name, to, from, subject);
        EXPECT_EQ(answer.status, 400)
            << to.toStdString() << from.toStdString() << subject.toStdString();
    }
    EXPECT_TRUE(smtp.mails().isEmpty());

    // At most two mails an hour from one address (here).
    for (int i = 0; i < 3; ++i) {
        const QString n = client.name();
        ASSERT_TRUE(client.part(n, "RIFF").ok);
        const auto answer = client.mail(n, "ann@example.org");
        EXPECT_EQ(answer.ok, i < 2) << i;
        if (i == 2) {
            EXPECT_EQ(answer.status, 429);
        }
    }
    EXPECT_EQ(smtp.mails().size(), 2);
}

TEST(UploadServer, AnUploadStopsAtTenMegabytesAndOnePart)
{
    SmtpSink smtp;
    UploadServerProcess server(smtp.url());
    Client client(server);
    const QString name = client.name();
    const QByteArray part(16384, 'x');
    // 10 MiB and one part are taken ...
    for (int i = 0; i < 641; ++i)
        ASSERT_TRUE(client.part(name, part).ok) << i;
    // ... one byte more is not, and the upload is dropped.
    const auto answer = client.part(name, "x");
    EXPECT_EQ(answer.status, 413);
    EXPECT_TRUE(server.spoolFiles().isEmpty());
    EXPECT_EQ(client.mail(name, "ann@example.org").status, 403);
}

TEST(UploadServer, ReportsASmarthostThatRefusesAndLogsIn)
{
    {
        SmtpSink smtp({"--refuse"});
        UploadServerProcess server(smtp.url());
        Client client(server);
        const QString name = client.name();
        ASSERT_TRUE(client.part(name, "RIFF").ok);
        const auto answer = client.mail(name, "ann@example.org");
        EXPECT_FALSE(answer.ok);
        EXPECT_EQ(answer.status, 502);
        EXPECT_TRUE(server.spoolFiles().isEmpty());
    }
    {
        SmtpSink smtp({"--user", "family", "--password", "s3cret"});
        ScratchDir dir;
        dir.write("password", "s3cret\n");
        UploadServerProcess server(smtp.url(),
                                   {"--smtp-user", "family", "--smtp-password-file",
                                    dir.file("password"), "--from", "family@example.org"});
        Client client(server);
        // Nothing uploaded under a name: nothing to mail.
        EXPECT_EQ(client.mail(client.name(), "ann@example.org").status, 400);
        const QString name = client.name();
        ASSERT_TRUE(client.part(name, "RIFF").ok);
        const auto answer = client.mail(name, "ann@example.org");
        EXPECT_TRUE(answer.ok) << server.log().toStdString();
        ASSERT_EQ(smtp.mails().size(), 1);
        EXPECT_EQ(smtp.mails()[0].login, "family");
    }
}

TEST(UploadServer, ExplainsItsOptions)
{
    QProcess process;
    process.start(UploadServerProcess::program(), {"--listen", "127.0.0.1:0"});
    ASSERT_TRUE(process.waitForFinished(10000));
    EXPECT_EQ(process.exitCode(), 2);
    EXPECT_TRUE(process.readAllStandardError().contains("--smtp is required"));
    process.start(UploadServerProcess::program(), {"--help"});
    ASSERT_TRUE(process.waitForFinished(10000));
    EXPECT_EQ(process.exitCode(), 0);
    const QByteArray help = process.readAllStandardOutput();
    for (const char* option :
         {"--max-per-hour", "--max-names-per-client", "--max-spool-per-client", "--max-spool",
          "--max-connections-per-client", "--request-timeout", "--mail-wait"})
        EXPECT_TRUE(help.contains(option)) << option;
}

namespace {

// The server started with an environment of its own and no --spool: where it keeps uploads
// by default. `exitCode` is set when it ends at once.
struct StartedServer
{
    int port = 0;
    int exitCode = -1;
    QByteArray errors;
};

StartedServer startServer(const QString& smtpUrl, const QStringList& options,
                          const QMap<QString, QString>& environment)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString& name :
         {QStringLiteral("XDG_RUNTIME_DIR"), QStringLiteral("XDG_STATE_HOME")})
        env.remove(name);
    for (auto it = environment.begin(); it != environment.end(); ++it)
        env.insert(it.key(), it.value());
    process.setProcessEnvironment(env);
    process.start(UploadServerProcess::program(),
                  QStringList{"--listen", "127.0.0.1:0", "--smtp", smtpUrl} + options);
    StartedServer started;
    started.port =
        readPort(process, QRegularExpression(QStringLiteral("http://127\\.0\\.0\\.1:(\\d+)")));
    if (started.port == 0) {
        process.waitForFinished(10000);
        started.exitCode = process.exitCode();
    }
    started.errors = process.readAllStandardError();
    process.terminate();
    process.waitForFinished(5000);
    return started;
}

mode_t modeOf(const QString& path)
{
    struct stat status
    {
    };
    return ::lstat(QFile::encodeName(path).constData(), &status) == 0 ? status.st_mode & 07777
                                                                      : mode_t(0);
}

} // namespace

TEST(UploadServer, SpoolsOnlyInAPrivateFolderOfItsOwn)
{
    SmtpSink smtp;
    ScratchDir dir;
    // By default: a folder of its own in the runtime folder, else in the state folder.
    StartedServer started =
        startServer(smtp.url(), {}, {{"XDG_RUNTIME_DIR", dir.file("run")}, {"HOME", dir.path()}});
    EXPECT_GT(started.port, 0) << started.errors.toStdString();
    EXPECT_EQ(modeOf(dir.file("run/sonavell-upload-server")), mode_t(0700));
    started = startServer(smtp.url(), {}, {{"HOME", dir.path()}});
    EXPECT_GT(started.port, 0) << started.errors.toStdString();
    EXPECT_EQ(modeOf(dir.file(".local/state/sonavell-upload-server")), mode_t(0700));

    // Folders another user could change under it are refused, and left as they are.
    dir.write("open/x", "");
    ASSERT_EQ(::chmod(QFile::encodeName(dir.file("open")).constData(), 0777), 0);
    ASSERT_TRUE(QDir().mkpath(dir.file("private")));
    ASSERT_EQ(::chmod(QFile::encodeName(dir.file("private")).constData(), 0700), 0);
    ASSERT_TRUE(QFile::link(dir.file("private"), dir.file("link")));
    std::vector<std::pair<QString, QByteArray>> refused{{dir.file("open"), "open to other users"},
                                                        {dir.file("link"), "symbolic link"}};
    if (::geteuid() == 0) {
        // Someone else's folder, as the old default in /tmp could be.
        ASSERT_TRUE(QDir().mkpath(dir.file("theirs")));
        ASSERT_EQ(::chmod(QFile::encodeName(dir.file("theirs")).constData(), 0700), 0);
        ASSERT_EQ(::chown(QFile::encodeName(dir.file("theirs")).constData(), 65534, 65534), 0);
        refused.emplace_back(dir.file("theirs"), "belongs to user 65534");
        // The default folder, taken by someone else before the server's first start.
        ASSERT_TRUE(QDir().mkpath(dir.file("run2/sonavell-upload-server")));
        ASSERT_EQ(::chown(QFile::encodeName(dir.file("run2/sonavell-upload-server")).constData(),
                          65534, 65534),
                  0);
        started = startServer(smtp.url(), {}, {{"XDG_RUNTIME_DIR", dir.file("run2")}});
        EXPECT_EQ(started.exitCode, 1);
        EXPECT_TRUE(started.errors.contains("belongs to user 65534")) << started.errors.data();
    }
    for (const auto& [folder, reason] : refused) {
        const mode_t before = modeOf(folder);
        started = startServer(smtp.url(), {"--spool", folder}, {});
        EXPECT_EQ(started.exitCode, 1) << folder.toStdString();
        EXPECT_TRUE(started.errors.contains(reason)) << started.errors.data();
        EXPECT_TRUE(started.errors.contains(QFile::encodeName(folder))) << started.errors.data();
        EXPECT_EQ(modeOf(folder), before) << folder.toStdString();
    }
}

TEST(UploadServer, NeverWritesOrMailsThroughALinkInItsSpool)
{
    SmtpSink smtp;
    UploadServerProcess server(smtp.url());
    ASSERT_GT(server.port(), 0) << server.banner().toStdString();
    Client client(server);
    ScratchDir dir;
    dir.write("victim", "precious");
    auto plantLink = [&](const QString& name) {
        const QString file = server.spoolDir() + "/" + name + ".wav";
        QFile::remove(file);
        return QFile::link(dir.file("victim"), file);
    };
    auto victim = [&] {
        QFile file(dir.file("victim"));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };

    // A link in place of an upload's file before its first part, ...
    const QString first = client.name();
    ASSERT_TRUE(plantLink(first));
    EXPECT_EQ(client.part(first, "RIFFpart").status, 500);
    // ... before a later part, ...
    const QString second = client.name();
    ASSERT_TRUE(client.part(second, "RIFF").ok);
    ASSERT_TRUE(plantLink(second));
    EXPECT_EQ(client.part(second, "more").status, 500);
    // ... or before the mail.
    const QString third = client.name();
    ASSERT_TRUE(client.part(third, "RIFF").ok);
    ASSERT_TRUE(plantLink(third));
    EXPECT_EQ(client.mail(third, "ann@example.org").status, 500);

    EXPECT_EQ(victim(), "precious");
    for (const QString& name : {first, second})
        EXPECT_EQ(client.mail(name, "ann@example.org").status, 403) << name.toStdString();
    EXPECT_TRUE(smtp.mails().isEmpty());
}

TEST(UploadServer, LimitsWhatEachClientAndAllClientsHold)
{
    SmtpSink smtp;
    {
        // By default one address holds ten open names at most (not all the server's names).
        UploadServerProcess server(smtp.url());
        Client client(server);
        for (int i = 0; i < 10; ++i)
            ASSERT_FALSE(client.name().isEmpty()) << i;
        const auto refused = client.nameRequest();
        EXPECT_EQ(refused.status, 429);
        EXPECT_FALSE(refused.body.startsWith("SUCCESS"));
    }
    {
        UploadServerProcess server(
            smtp.url(), {"--max-names-per-client", "3", "--max-spool-per-client", "40K"});
        Client client(server);
        const QString a = client.name();
        const QString b = client.name();
        const QString c = client.name();
        EXPECT_EQ(client.nameRequest().status, 429);
        // A name that is mailed is given back.
        ASSERT_TRUE(client.part(a, "RIFF").ok);
        ASSERT_TRUE(client.mail(a, "ann@example.org").ok);
        const QString d = client.name();
        EXPECT_FALSE(d.isEmpty());
        // Bytes waiting to be mailed, over all of a client's uploads: the upload that would go
        // over is dropped whole.
        const QByteArray part(16384, 'p');
        ASSERT_TRUE(client.part(b, part).ok);
        ASSERT_TRUE(client.part(c, part).ok);
        EXPECT_EQ(client.part(b, part).status, 429);
        EXPECT_EQ(server.spoolFiles().size(), 1);
        EXPECT_EQ(client.mail(b, "ann@example.org").status, 403);
        ASSERT_TRUE(client.part(d, part).ok);
        EXPECT_EQ(server.spoolFiles().size(), 2);
    }
    {
        // The spool's budget over every client.
        UploadServerProcess server(smtp.url(), {"--max-spool", "40000"});
        Client client(server);
        const QString a = client.name();
        const QString b = client.name();
        const QByteArray part(16384, 'p');
        ASSERT_TRUE(client.part(a, part).ok);
        ASSERT_TRUE(client.part(b, part).ok);
        EXPECT_EQ(client.part(b, part).status, 503);
        EXPECT_EQ(server.spoolFiles().size(), 1);
        ASSERT_TRUE(client.mail(a, "ann@example.org").ok);
        const QString c = client.name();
        ASSERT_TRUE(client.part(c, part).ok);
        ASSERT_TRUE(client.part(c, part).ok);
    }
}

TEST(UploadServer, CutsOffRequestsThatTrickleAndCapsConnections)
{
    SmtpSink smtp;
    {
        // More trickling clients than the server has workers, each sending a byte every 100 ms:
        // every one is cut off once its request has taken a second, whatever it sends.
        UploadServerProcess server(
            smtp.url(), {"--request-timeout", "1", "--max-connections-per-client", "100"});
        ASSERT_GT(server.port(), 0) << server.banner().toStdString();
        std::vector<std::unique_ptr<QTcpSocket>> tricklers;
        for (int i = 0; i < 20; ++i) {
            tricklers.push_back(std::make_unique<QTcpSocket>());
            tricklers.back()->connectToHost(QHostAddress::LocalHost, quint16(server.port()));
            ASSERT_TRUE(tricklers.back()->waitForConnected(2000));
            tricklers.back()->write("GET /snv/uploadRandomName.php HTTP/1.1\r\nX-Slow: ");
        }
        QTimer drip;
        QObject::connect(&drip, &QTimer::timeout, [&] {
            for (auto& socket : tricklers)
                if (socket->state() == QAbstractSocket::ConnectedState)
                    socket->write("a");
        });
        drip.start(100);
        EXPECT_TRUE(waitFor(
            [&] {
                return std::all_of(tricklers.begin(), tricklers.end(), [](const auto& socket) {
                    return socket->state() == QAbstractSocket::UnconnectedState;
                });
            },
            8000));
        drip.stop();
        Client client(server);
        EXPECT_FALSE(client.name().isEmpty());
    }
    {
        // One address holds at most four connections at once; the fifth is turned away.
        UploadServerProcess server(smtp.url(), {"--request-timeout", "30"});
        std::vector<std::unique_ptr<QTcpSocket>> idle;
        for (int i = 0; i < 4; ++i) {
            idle.push_back(std::make_unique<QTcpSocket>());
            idle.back()->connectToHost(QHostAddress::LocalHost, quint16(server.port()));
            ASSERT_TRUE(idle.back()->waitForConnected(2000));
        }
        pumpEvents(300); // the workers take them up
        Client client(server);
        EXPECT_EQ(client.nameRequest().status, 503);
        for (auto& socket : idle)
            socket->abort();
        EXPECT_TRUE(waitFor([&] { return !client.name().isEmpty(); }, 5000));
    }
}

TEST(UploadServer, MailsFromAQueueWithoutHoldingTheRequestForTheSmarthost)
{
    // A smarthost that takes two seconds per mail; requests wait half a second for it.
    SmtpSink smtp({"--delay", "2"});
    UploadServerProcess server(smtp.url(), {"--mail-wait", "0.5"});
    ASSERT_GT(server.port(), 0) << server.banner().toStdString();
    Client client(server);
    const QString a = client.name();
    const QString b = client.name();
    ASSERT_TRUE(client.part(a, "RIFFa").ok);
    ASSERT_TRUE(client.part(b, "RIFFb").ok);

    // The first mail is with the smarthost, unconfirmed: the answer says so, not SUCCESS.
    const auto first = client.mail(a, "ann@example.org");
    EXPECT_EQ(first.status, 504);
    EXPECT_FALSE(first.body.startsWith("SUCCESS"));
    // The second waits behind it and is taken back: nothing is lost, the name still holds.
    EXPECT_EQ(client.mail(b, "bob@example.org").status, 503);
    EXPECT_EQ(client.name().size(), 32); // the other workers serve on meanwhile

    ASSERT_TRUE(waitFor([&] { return smtp.mails().size() == 1; }, 10000));
    EXPECT_EQ(smtp.mails()[0].envelopeTo, QStringList{"ann@example.org"});
    EXPECT_EQ(smtp.mails()[0].attachment, "RIFFa");
    ASSERT_TRUE(waitFor([&] { return server.spoolFiles().size() == 1; }, 5000));
    EXPECT_EQ(client.mail(b, "bob@example.org").status, 504);
    ASSERT_TRUE(waitFor([&] { return smtp.mails().size() == 2; }, 10000));
    EXPECT_EQ(smtp.mails()[1].attachment, "RIFFb");
    EXPECT_TRUE(waitFor([&] { return server.spoolFiles().isEmpty(); }, 5000));
}
