// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "BenchSupport.h"
#include "core/AppDelegate.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QStringList>

#include <cstdio>

// The library code logs a line for what it checks and loads; a benchmark prints figures, so only
// warnings and errors are passed on.
inline void passOnlyLibraryWarnings()
{
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& message) {
        if (type != QtInfoMsg && type != QtDebugMsg)
            std::fprintf(stderr, "%s\n", qPrintable(message));
    });
}

// Writes a library of `count` recordings into `env.documentsPath` through the library code
// itself: varied names, places, durations and play positions, spread over the categories, dated
// one second apart from `first`, each with a WAV file of 100 silent samples. False when a file
// or the archives could not be written.
inline bool writeBenchLibrary(const AppDelegate::Environment& env, const QDateTime& first,
                              int count)
{
    AppDelegate builder(env);
    AppDelegate::RecordingList list;
    const QStringList places = {"Kitchener ON N2G 1A1 CA", "Cupertino CA 95014 US",
                                "Zürich ZH 8001 CH"};
    const QByteArray wav = wavHeader(200) + QByteArray(200, '\0');
    for (int i = 0; i < count; ++i) {
        const QDateTime date = first.addSecs(i);
        auto r = std::make_shared<Recording>(QStringLiteral("Memo %1 about topic %2")
                                                 .arg(QString::number(i), QString::number(i % 97)),
                                             date.toString(QStringLiteral("yyyyMMddHHmmss")),
                                             builder.categories()[1 + i % 7]->name(), date);
        r->setDuration(1 + i % 3600);
        r->setLocationString(places[i % places.size()]);
        r->setLastPlayTime(float(i % 60));
        list.append(r);
        QFile f(QDir(env.documentsPath).filePath(r->filename()));
        if (!f.open(QIODevice::WriteOnly) || f.write(wav) != wav.size())
            return false;
    }
    builder.setRecordings(list);
    return builder.persist() && builder.waitForSaves();
}
