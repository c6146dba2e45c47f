// SPDX-License-Identifier: GPL-3.0-or-later
// The program as a screen reader sees it: `sonavell` on a private X display (Xvfb) with a
// private session bus and the accessibility bus of at-spi2-core on it. A Python script reads
// the accessibility tree with pyatspi, as Orca would, checks that every control on the recorder
// screen, the category list and a recording list is named and has the right role (the
// first-run tip an alert, the delete question a dialog), and starts a take by pressing the
// Record button through its accessible action; the take's WAV file grows.
#include "support/PrivateBus.h"
#include "support/PrivateDisplay.h"
#include "support/TestEnvironment.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>

#include <gtest/gtest.h>

using namespace sonavell::test;

namespace {

const QString kBusLauncher = QStringLiteral("/usr/libexec/at-spi-bus-launcher");
// Debian's python3 (with python3-pyatspi), not another one on the PATH.
const QString kPython = QStringLiteral("/usr/bin/python3");

// The caller's environment, without its display, session bus or platform choice, with the
// given display and bus.
QProcessEnvironment environmentFor(const QString& display, const QString& bus)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.remove(QStringLiteral("AT_SPI_BUS_ADDRESS"));
    env.insert(QStringLiteral("DISPLAY"), display);
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus);
    return env;
}

void stop(QProcess& process)
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(20000)) {
        process.kill();
        process.waitForFinished(5000);
    }
}

} // namespace

TEST(AccessibilityTree, EveryControlIsNamedHasItsRoleAndRecordWorksFromItsAction)
{
    ASSERT_TRUE(QFile::exists(kBusLauncher)) << "at-spi2-core is not installed";
    ASSERT_TRUE(QFile::exists(kPython)) << "python3 is not installed";
    PrivateDisplay display(QStringLiteral("800x900x24"));
    ASSERT_FALSE(display.name().isEmpty()) << "Xvfb did not start";
    PrivateBus bus;
    ASSERT_FALSE(bus.address().isEmpty()) << "dbus-daemon did not start";
    const QProcessEnvironment env = environmentFor(display.name(), bus.address());

    // The accessibility bus, announced on the session bus as org.a11y.Bus; its registry daemon
    // is started on it when first asked for.
    QProcess launcher;
    launcher.setProcessEnvironment(env);
    launcher.setProcessChannelMode(QProcess::MergedChannels);
    launcher.start(kBusLauncher, {QStringLiteral("--launch-immediately")});
    ASSERT_TRUE(launcher.waitForStarted());
    const std::unique_ptr<QDBusConnection> probe = bus.connect(QStringLiteral("a11yProbe"));
    ASSERT_TRUE(waitFor(
        [&] {
            return probe->interface()->isServiceRegistered(QStringLiteral("org.a11y.Bus")).value();
        },
        15000))
        << launcher.readAll().toStdString();

    ScratchDir dir;
    QProcessEnvironment appEnv = env;
    appEnv.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.file(QStringLiteral("config")));
    appEnv.insert(QStringLiteral("XDG_DATA_HOME"), dir.file(QStringLiteral("data")));
    appEnv.insert(QStringLiteral("SONAVELL_AUDIO"), QStringLiteral("virtual"));
    // Qt's bridge to the accessibility bus, whether or not a screen reader says it runs.
    appEnv.insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
    QProcess app;
    app.setProcessEnvironment(appEnv);
    app.setProcessChannelMode(QProcess::MergedChannels);
    app.start(qEnvironmentVariable("SONAVELL_BUILD_DIR") + QStringLiteral("/app/sonavell"),
              {QStringLiteral("-platform"), QStringLiteral("xcb"), QStringLiteral("--documents"),
               dir.file(QStringLiteral("Documents"))});
    ASSERT_TRUE(app.waitForStarted());

    QProcess reader;
    reader.setProcessEnvironment(env);
    reader.setProcessChannelMode(QProcess::MergedChannels);
    reader.start(kPython, {sourceDir() + QStringLiteral("/tests/app/accessibility_tree.py"),
                           QStringLiteral("--documents"), dir.file(QStringLiteral("Documents"))});
    ASSERT_TRUE(reader.waitForStarted());
    const bool finished = reader.waitForFinished(180000);
    const QString report = QString::fromUtf8(reader.readAll());
    if (!finished)
        stop(reader);
    // Stopped first, so that everything it wrote (a start-up failure too) is in the report.
    stop(app);
    const std::string appOutput = app.readAll().toStdString();
    EXPECT_TRUE(finished) << report.toStdString();
    EXPECT_EQ(reader.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(reader.exitCode(), 0) << report.toStdString() << "\n--- sonavell:\n" << appOutput;
    std::printf("%s", report.toUtf8().constData());
    EXPECT_EQ(app.exitStatus(), QProcess::NormalExit) << appOutput;
    stop(launcher);
}
