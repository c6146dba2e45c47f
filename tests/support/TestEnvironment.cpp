#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

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
    if (!f.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
    f.write(bytes);
}

std::shared_ptr<QSettings> privateSettings(const ScratchDir& dir)
{
    return std::make_shared<QSettings>(dir.file(QStringLiteral("settings.ini")),
                                       QSettings::IniFormat);
}

} // namespace sonavell::test
