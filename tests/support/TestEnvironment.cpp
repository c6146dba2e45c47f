// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/TestEnvironment.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QThread>

namespace sonavell::test {

QString sourceDir()
{
    return qEnvironmentVariable("SONAVELL_SOURCE_DIR", QStringLiteral("."));
}

ScratchDir::ScratchDir()
{
    m_dir.setAutoRemove(true);
}

void ScratchDir::write(const QString& name, const QByteArray& bytes) const
{
    const QString path = file(name);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    // A short write (a small or full temporary folder) stops the test here, by name, rather
    // than failing it later for a reason that is hard to see.
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size() || !f.flush())
        qFatal("cannot write %s: %s", qPrintable(path), qPrintable(f.errorString()));
}

bool waitFor(const std::function<bool()>& condition, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(2);
    }
    return true;
}

void pumpEvents(int ms)
{
    waitFor([] { return false; }, ms);
}

std::shared_ptr<QSettings> privateSettings(const ScratchDir& dir)
{
    return std::make_shared<QSettings>(dir.file(QStringLiteral("settings.ini")),
                                       QSettings::IniFormat);
}

} // namespace sonavell::test
