// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLockFile>
#include <QObject>
#include <QString>

#include <memory>

class QLocalServer;

// The one running copy of the program on a documents folder. Two copies on one library would
// each write the archives over the other's; so the first holds a lock file in the folder (freed
// at exit, and taken over when the process that held it is gone, as after a crash), and listens
// on a local socket of the user's runtime folder through which a second start asks it to show
// its window instead of opening the library a second time.
class RunningInstance : public QObject
{
    Q_OBJECT
public:
    enum class Outcome
    {
        Claimed,          // this process is the running copy
        RaisedOther,      // another copy runs and was asked to show its window
        OtherNotAnswering // another copy holds the lock but does not answer
    };

    // Claims `documentsPath` for this process, or asks the copy that holds it to come forward.
    // A folder where no lock can be made (read-only, say) is claimed without one, with a log line.
    explicit RunningInstance(const QString& documentsPath, QObject* parent = nullptr);
    ~RunningInstance() override;

    Outcome outcome() const { return m_outcome; }
    // The process that holds the lock, when another one does (0 when unknown).
    qint64 otherProcess() const { return m_otherProcess; }

    // The lock file's name inside the documents folder (not a document: the web server keeps
    // it to itself).
    static constexpr const char* kLockFileName = ".sonavell.lock";

signals:
    // A later start on the same folder asks for the window.
    void raiseRequested();

private:
    void listen(const QString& name);
    bool askToRaise(const QString& name);

    QLockFile m_lock;
    std::unique_ptr<QLocalServer> m_server;
    Outcome m_outcome = Outcome::Claimed;
    qint64 m_otherProcess = 0;
};
