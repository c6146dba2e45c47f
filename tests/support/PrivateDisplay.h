// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "support/TestEnvironment.h"

#include <QProcess>
#include <QString>

namespace sonavell::test {

// An X server of the test's own (Xvfb), listening on its local socket only, on a display number
// it picks itself among the free ones. Stopped with the object.
//
// It never resets: an X server by default resets when its last client disconnects, and refuses
// the connections that arrive meanwhile, so a program started just after a probe (or after
// another client closed) could find no display at all.
class PrivateDisplay
{
public:
    explicit PrivateDisplay(const QString& screen = QStringLiteral("800x600x24"))
    {
        m_server.start(QStringLiteral("Xvfb"),
                       {QStringLiteral("-displayfd"), QStringLiteral("1"),
                        QStringLiteral("-noreset"), QStringLiteral("-nolisten"),
                        QStringLiteral("tcp"), QStringLiteral("-screen"), QStringLiteral("0"),
                        screen});
        // The number is written once the server accepts connections.
        QByteArray number;
        waitFor(
            [&] {
                number += m_server.readAllStandardOutput();
                return number.contains('\n') || m_server.state() == QProcess::NotRunning;
            },
            10000);
        if (number.contains('\n'))
            m_name = QStringLiteral(":") + QString::fromLatin1(number.trimmed());
        else
            stop();
    }
    ~PrivateDisplay() { stop(); }
    PrivateDisplay(const PrivateDisplay&) = delete;
    PrivateDisplay& operator=(const PrivateDisplay&) = delete;

    // The display's name (":93"); empty when no server started.
    QString name() const { return m_name; }

private:
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
