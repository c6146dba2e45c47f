// SPDX-License-Identifier: GPL-3.0-or-later
// The window on a real X display (a private Xvfb on a local socket): it carries the class that
// the desktop entry's StartupWMClass names, so docks and switchers match it to the entry, and an
// icon of its own.
#include "support/PrivateDisplay.h"
#include "support/TestEnvironment.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>

#include <gtest/gtest.h>

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
