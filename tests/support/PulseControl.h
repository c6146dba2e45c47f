// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The tests' sound server seen from outside, through pactl: modules loaded for one test, and the
// streams and sources the server holds, as pactl's JSON reports them.
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace sonavell::test {

// `pactl --format=json list <what>`: one object per entry (empty when pactl fails).
inline QJsonArray pactlList(const QString& what)
{
    QProcess pactl;
    pactl.start(QStringLiteral("pactl"),
                {QStringLiteral("--format=json"), QStringLiteral("list"), what});
    if (!pactl.waitForFinished(10000) || pactl.exitCode() != 0)
        return {};
    return QJsonDocument::fromJson(pactl.readAllStandardOutput()).array();
}

// The entries of a list whose property `key` is `value`.
inline QList<QJsonObject> pactlEntriesWith(const QString& what, const QString& key,
                                           const QString& value)
{
    QList<QJsonObject> found;
    for (const QJsonValue& entry : pactlList(what))
        if (entry[QLatin1String("properties")][key].toString() == value)
            found << entry.toObject();
    return found;
}

// The index of a source by name, or -1.
inline int pulseSourceIndex(const QString& name)
{
    for (const QJsonValue& source : pactlList(QStringLiteral("sources")))
        if (source[QLatin1String("name")].toString() == name)
            return source[QLatin1String("index")].toInt();
    return -1;
}

// A module loaded for the life of the object, such as a second microphone.
class PulseModule
{
public:
    PulseModule(const QString& name, const QStringList& arguments)
    {
        QProcess pactl;
        pactl.start(QStringLiteral("pactl"),
                    QStringList{QStringLiteral("load-module"), name} + arguments);
        if (pactl.waitForFinished(10000) && pactl.exitCode() == 0)
            m_index = pactl.readAllStandardOutput().trimmed().toInt();
    }
    ~PulseModule() { unload(); }
    PulseModule(const PulseModule&) = delete;
    PulseModule& operator=(const PulseModule&) = delete;

    bool isLoaded() const { return m_index >= 0; }
    // Unloads it now, as unplugging the device does.
    void unload()
    {
        if (m_index < 0)
            return;
        QProcess::execute(QStringLiteral("pactl"),
                          {QStringLiteral("unload-module"), QString::number(m_index)});
        m_index = -1;
    }

private:
    int m_index = -1;
};

} // namespace sonavell::test
