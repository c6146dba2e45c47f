// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDBusUnixFileDescriptor>
#include <QObject>
#include <QStringList>

#include <unistd.h>

// Stand-ins for logind's manager and the session's screen saver, served on a private bus.

class FakeLogind : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")
public:
    ~FakeLogind() override
    {
        for (int fd : readEnds)
            ::close(fd);
    }

    QStringList requests;
    // The reading ends of the pipes whose writing ends were handed out as locks.
    std::vector<int> readEnds;

public slots:
    QDBusUnixFileDescriptor Inhibit(const QString& what, const QString& who, const QString& why,
                                    const QString& mode)
    {
        requests << what + "/" + who + "/" + why + "/" + mode;
        int fds[2];
        if (::pipe(fds) != 0)
            return {};
        readEnds.push_back(fds[0]);
        QDBusUnixFileDescriptor lock(fds[1]); // a duplicate goes to the caller
        ::close(fds[1]);
        return lock;
    }
};

class FakeScreenSaver : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.ScreenSaver")
public:
    QList<uint> granted;
    QList<uint> released;

public slots:
    uint Inhibit(const QString&, const QString&)
    {
        granted << 41 + static_cast<uint>(granted.size());
        return granted.last();
    }
    void UnInhibit(uint cookie) { released << cookie; }
};
