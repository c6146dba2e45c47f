// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "support/TestEnvironment.h"

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>

#include <unistd.h>

namespace sonavell::test {

// An X server of the test's own (Xvfb), listening on its local socket only, on a display number
// no other server uses. Stopped with the object.
class PrivateDisplay
{
public:
    explicit PrivateDisplay(const QString& screen = QStringLiteral("800x600x24"))
    {
        for (int number = 90 + int(::getpid() % 400); number < 1000 && m_name.isEmpty();
             number += 7) {
            if (QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(number)))
                continue;
            const QString name = QStringLiteral(":%1").arg(number);
            m_server.start(QStringLiteral("Xvfb"),
                           {name, QStringLiteral("-nolisten"), QStringLiteral("tcp"),
                            QStringLiteral("-screen"), QStringLiteral("0"), screen});
            if (waitFor([&] { return answers(name); }, 10000))
                m_name = name;
            else
                stop();
        }
    }
    ~PrivateDisplay() { stop(); }
    PrivateDisplay(const PrivateDisplay&) = delete;
    PrivateDisplay& operator=(const PrivateDisplay&) = delete;

    // The display's name (":93"); empty when no server started.
    QString name() const { return m_name; }

private:
    static bool answers(const QString& name)
    {
        QProcess probe;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), name);
        probe.setProcessEnvironment(env);
        probe.start(QStringLiteral("xprop"), {QStringLiteral("-root")});
        probe.waitForFinished(5000);
        return probe.exitStatus() == QProcess::NormalExit && probe.exitCode() == 0 &&
               !probe.readAllStandardOutput().isEmpty();
    }
    void stop()
    {
        if (m_server.state() == QProcess::NotRunning)
            return;
        m_server.terminate();
        m_server.waitForFinished(5000);
    }

    QProcess m_server;
    QString m_name;
};

} // namespace sonavell::test
