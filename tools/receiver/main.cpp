// SPDX-License-Identifier: GPL-3.0-or-later
// sonavell-receive: the receiving side of Sonavell's push to another device. Announces itself
// over Bonjour, answers every push with Accept or Reject, and saves accepted recordings as
// "<name>.wav" into a folder.
#include "PushReceiver.h"

#include "platform/system/DeviceName.h"
#include "platform/system/QuitSignals.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>

#include <cstdio>

#include <unistd.h>

namespace {

// A size in bytes, optionally with the binary suffix K, M or G; -1 when unreadable.
qint64 parseSize(const QString& text)
{
    QString digits = text.trimmed().toUpper();
    qint64 factor = 1;
    if (digits.endsWith(QLatin1Char('K')) || digits.endsWith(QLatin1Char('M')) ||
        digits.endsWith(QLatin1Char('G'))) {
        const QChar unit = digits.back();
        factor = unit == QLatin1Char('K')   ? 1024
                 : unit == QLatin1Char('M') ? 1024 * 1024
                                            : 1024 * 1024 * 1024;
        digits.chop(1);
    }
    bool ok = false;
    const qint64 value = digits.toLongLong(&ok);
    if (!ok || value < 0 || value > (qint64(1) << 50) / factor)
        return -1;
    return value * factor;
}

int fail(const char* message, const QString& value)
{
    std::fprintf(stderr, "sonavell-receive: %s: %s\n", message, qUtf8Printable(value));
    return 2;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("sonavell-receive"));
    QCoreApplication::setApplicationVersion(QStringLiteral(SONAVELL_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Receives recordings that Sonavell pushes from another device on the local network."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption name(QStringLiteral("name"),
                                  QStringLiteral("The name senders see (default: this device's "
                                                 "name)."),
                                  QStringLiteral("name"));
    const QCommandLineOption folder(
        QStringLiteral("folder"),
        QStringLiteral("Where recordings are saved (default: the music folder + /Sonavell)."),
        QStringLiteral("dir"));
    const QCommandLineOption ask(
        QStringLiteral("ask"), QStringLiteral("Ask about every push (the default on a terminal)."));
    const QCommandLineOption accept(QStringLiteral("accept"),
                                    QStringLiteral("Accept every push (the default otherwise)."));
    const QCommandLineOption reject(QStringLiteral("reject"), QStringLiteral("Reject every push."));
    const QCommandLineOption maxSize(QStringLiteral("max-size"),
                                     QStringLiteral("Reject recordings larger than this many "
                                                    "bytes; K, M and G may follow (default 2G)."),
                                     QStringLiteral("bytes"), QStringLiteral("2G"));
    const QCommandLineOption address(
        QStringLiteral("address"),
        QStringLiteral("Listen on this address only (default: every address)."),
        QStringLiteral("address"));
    const QCommandLineOption port(QStringLiteral("port"),
                                  QStringLiteral("Listen on this port (default: any free one)."),
                                  QStringLiteral("port"), QStringLiteral("0"));
    const QCommandLineOption timeout(
        QStringLiteral("timeout"),
        QCoreApplication::translate("main", "Seconds a sender may stay silent, or take over its "
                                            "header, before it is cut off (default 30)."),
        QStringLiteral("seconds"), QStringLiteral("30"));
    const QCommandLineOption maxPushes(
        QStringLiteral("max-pushes"),
        QCoreApplication::translate("main", "Pushes taken at once; more connections are closed "
                                            "(default 8)."),
        QStringLiteral("number"), QStringLiteral("8"));
    parser.addOptions(
        {name, folder, ask, accept, reject, maxSize, address, port, timeout, maxPushes});
    parser.process(app);

    PushReceiver::Options options;
    options.name = parser.isSet(name) ? parser.value(name) : DeviceName::current();
    if (options.name.trimmed().isEmpty())
        return fail("the name must not be empty", options.name);
    options.folder = parser.isSet(folder)
                         ? parser.value(folder)
                         : QStandardPaths::writableLocation(QStandardPaths::MusicLocation) +
                               QStringLiteral("/Sonavell");
    options.folder = QDir(options.folder).absolutePath();
    const int modes =
        int(parser.isSet(ask)) + int(parser.isSet(accept)) + int(parser.isSet(reject));
    if (modes > 1)
        return fail("choose one of", QStringLiteral("--ask, --accept, --reject"));
    if (parser.isSet(accept))
        options.mode = PushReceiver::Mode::Accept;
    else if (parser.isSet(reject))
        options.mode = PushReceiver::Mode::Reject;
    else if (parser.isSet(ask) || ::isatty(STDIN_FILENO))
        options.mode = PushReceiver::Mode::Ask;
    else
        options.mode = PushReceiver::Mode::Accept;
    options.maxSize = parseSize(parser.value(maxSize));
    if (options.maxSize < 0)
        return fail("--max-size is not a size", parser.value(maxSize));
    if (parser.isSet(address) && !options.address.setAddress(parser.value(address)))
        return fail("--address is not an IP address", parser.value(address));
    bool ok = false;
    const uint portNumber = parser.value(port).toUInt(&ok);
    if (!ok || portNumber > 65535)
        return fail("--port is not a port number", parser.value(port));
    options.port = static_cast<quint16>(portNumber);
    const double seconds = parser.value(timeout).toDouble(&ok);
    if (!ok || seconds <= 0 || seconds > 86400)
        return fail("--timeout is not a number of seconds", parser.value(timeout));
    options.stallTimeout = std::chrono::milliseconds(qint64(seconds * 1000));
    const int pushes = parser.value(maxPushes).toInt(&ok);
    if (!ok || pushes < 1)
        return fail("--max-pushes is not a number of at least 1", parser.value(maxPushes));
    options.maxPushes = pushes;

    PushReceiver receiver(options);
    QObject::connect(&receiver, &PushReceiver::failed, &app, [] { QCoreApplication::exit(1); });
    QuitSignals quit;
    QObject::connect(&quit, &QuitSignals::quitRequested, &app, [] { QCoreApplication::quit(); });
    if (!receiver.start())
        return 1;
    return app.exec();
}
