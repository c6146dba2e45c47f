// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QTemporaryDir>

#include <functional>
#include <memory>

class QSettings;

namespace sonavell::test {

// The source tree, for committed fixtures.
QString sourceDir();

// A fresh, empty directory that is removed when the object goes away.
class ScratchDir
{
public:
    ScratchDir();
    QString path() const { return m_dir.path(); }
    QString file(const QString& name) const { return m_dir.filePath(name); }
    // Writes bytes to a file below the directory, creating sub-folders.
    void write(const QString& name, const QByteArray& bytes) const;

private:
    QTemporaryDir m_dir;
};

// Runs the event loop until `condition` holds or `timeoutMs` has passed; true when it holds.
bool waitFor(const std::function<bool()>& condition, int timeoutMs = 10000);
// Runs the event loop for `ms` milliseconds.
void pumpEvents(int ms);

// A settings store in a private INI file, never the user's.
std::shared_ptr<QSettings> privateSettings(const ScratchDir& dir);

} // namespace sonavell::test

// Readable failure messages for Qt strings.
#include <ostream>
inline void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}
