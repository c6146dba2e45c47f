// SPDX-License-Identifier: GPL-3.0-or-later
// The window on a real X display (a private Xvfb on a local socket): it carries the class that
// the desktop entry's StartupWMClass names, so docks and switchers match it to the entry, and an
// icon of its own.
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <unistd.h>

using namespace sonavell::test;

namespace {

QString run(const QString& program, const QStringList& arguments, const QString& display)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", display);
    process.setProcessEnvironment(env);
    process.start(program, arguments);
    process.waitForFinished(10000);
    return QString::fromLocal8Bit(process.readAllStandardOutput());
}

// An X server of our own, listening on its local socket only.
class PrivateDisplay
{
public:
    PrivateDisplay()
    {
        for (int number = 90 + int(::getpid() % 400); number < 1000 && m_name.isEmpty();
             number += 7) {
            if (QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(number)))
                continue;
            m_server.start("Xvfb", {QStringLiteral(":%1").arg(number), "-nolisten", "tcp",
                                    "-screen", "0", "800x600x24"});
            const QString name = QStringLiteral(":%1").arg(number);
            if (waitFor(
                    [&] {
                        return !run("xprop", {"-root", "-display", name}, name).isEmpty();
                    },
                    10000))
                m_name = name;
            else
                stop();
        }
    }
    ~PrivateDisplay() { stop(); }
    QString name() const { return m_name; }

private:
    void stop()
    {
        m_server.terminate();
        m_server.waitForFinished(5000);
    }
    QProcess m_server;
    QString m_name;
};

} // namespace

TEST(WindowOnX11, ItsClassIsTheDesktopEntrysAndItHasAnIcon)
{
    PrivateDisplay display;
    ASSERT_FALSE(display.name().isEmpty()) << "Xvfb did not start";

    ScratchDir dir;
    QProcess app;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", display.name());
    env.insert("XDG_CONFIG_HOME", dir.file("config"));
    env.insert("XDG_DATA_HOME", dir.file("data"));
    env.insert("SONAVELL_AUDIO", "virtual");
    env.remove("QT_QPA_PLATFORM");
    env.remove("WAYLAND_DISPLAY");
    app.setProcessEnvironment(env);
    app.setProcessChannelMode(QProcess::MergedChannels);
    app.start(qEnvironmentVariable("SONAVELL_BUILD_DIR") + "/app/sonavell",
              {"-platform", "xcb", "--documents", dir.file("Documents")});

    // The top-level window that carries a class (Qt's own helper windows carry none).
    QString windowId;
    QString wmClass;
    waitFor(
        [&] {
            const QString tree = run("xwininfo", {"-root", "-children"}, display.name());
            const QRegularExpression line(
                QStringLiteral(R"re((0x[0-9a-f]+) .*: \("([^"]*)" "([^"]*)"\))re"));
            for (const auto& match : line.globalMatch(tree)) {
                windowId = match.captured(1);
                wmClass = match.captured(3);
                return true;
            }
            return false;
        },
        20000);
    ASSERT_FALSE(windowId.isEmpty()) << app.readAll().toStdString();

    QFile entry(sourceDir() + "/desktop/org.sonavell.Sonavell.desktop");
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
    const QString startupClass = QRegularExpression(QStringLiteral("^StartupWMClass=(.*)$"),
                                                    QRegularExpression::MultilineOption)
                                     .match(QString::fromUtf8(entry.readAll()))
                                     .captured(1);
    EXPECT_EQ(startupClass, wmClass);
    EXPECT_EQ(wmClass, "Sonavell");

    // The icon is a property of its own, set after the window (and its class) exists: wait for
    // it rather than read it in the same instant.
    QString icon;
    waitFor(
        [&] {
            icon = run("xprop", {"-id", windowId, "_NET_WM_ICON"}, display.name());
            return icon.contains("Icon (");
        },
        10000);
    EXPECT_TRUE(icon.contains("Icon (32 x 32)") || icon.contains("Icon (48 x 48)"))
        << icon.left(200).toStdString();

    app.terminate();
    EXPECT_TRUE(app.waitForFinished(20000));
}
