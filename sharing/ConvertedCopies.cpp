// SPDX-License-Identifier: GPL-3.0-or-later
#include "sharing/ConvertedCopies.h"

#include "platform/system/DocumentPath.h"
#include "sharing/SharingLog.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QStandardPaths>

ConvertedCopies::ConvertedCopies(QString documentsPath, QString cacheFolder)
    : m_documentsPath(std::move(documentsPath))
    , m_cacheFolder(std::move(cacheFolder))
{
}

QString ConvertedCopies::defaultCacheFolder(const QString& documentsPath)
{
    const QString library = QFileInfo(documentsPath).absoluteFilePath();
    const QByteArray hash =
        QCryptographicHash::hash(library.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
           QStringLiteral("/Sonavell/converted/") + QString::fromLatin1(hash);
}

QString ConvertedCopies::nameHash(const QString& filename)
{
    // The memo's own name is hashed: it may hold folders and any characters.
    return QString::fromLatin1(
        QCryptographicHash::hash(filename.toUtf8(), QCryptographicHash::Sha1).toHex().left(20));
}

QString ConvertedCopies::copyName(const QString& filename, const QString& wavPath,
                                  AudioConverter::Format format)
{
    const QFileInfo wav(wavPath);
    if (wavPath.isEmpty() || DocumentPath::kind(wavPath) != DocumentPath::Kind::Regular)
        return {};
    return QStringLiteral("%1-%2-%3.%4")
        .arg(nameHash(filename), QString::number(wav.size()),
             QString::number(wav.lastModified().toMSecsSinceEpoch()),
             AudioConverter::extensionFor(format));
}

std::optional<ConvertedCopies::Request> ConvertedCopies::requestFor(const LibrarySnapshot& library,
                                                                    const QString& name) const
{
    if (m_cacheFolder.isEmpty())
        return std::nullopt;
    Request request;
    QString stem;
    if (name.endsWith(QLatin1String(".opus"))) {
        request.format = AudioConverter::Format::Opus;
        stem = name.chopped(5);
    } else if (name.endsWith(QLatin1String(".flac"))) {
        request.format = AudioConverter::Format::Flac;
        stem = name.chopped(5);
    } else {
        return std::nullopt;
    }
    const QString filename = stem + QLatin1String(".wav");
    for (const auto& recording : library.recordings) {
        if (recording.filename != filename)
            continue;
        if (recording.hideFromWebSharing)
            return std::nullopt;
        request.wavPath = DocumentPath::resolve(m_documentsPath, filename);
        const QString copy = copyName(filename, request.wavPath, request.format);
        if (copy.isEmpty())
            return std::nullopt;
        request.copyPath = m_cacheFolder + QLatin1Char('/') + copy;
        return request;
    }
    return std::nullopt;
}

bool ConvertedCopies::convert(const Request& request, const std::atomic<bool>* cancel)
{
    if (!QDir().mkpath(QFileInfo(request.copyPath).path())) {
        qCWarning(lcSharing).noquote()
            << "Cannot make the folder for converted memos:" << QFileInfo(request.copyPath).path();
        return false;
    }
    const AudioConverter::Result result =
        AudioConverter::convertFile(request.wavPath, request.copyPath, request.format, cancel);
    if (!result.ok() && result.outcome != AudioConverter::Outcome::Cancelled)
        qCWarning(lcSharing).noquote()
            << "No converted copy of" << request.wavPath << "-" << result.error;
    return result.ok();
}

void ConvertedCopies::prune(const LibrarySnapshot& library) const
{
    if (m_cacheFolder.isEmpty() || !QFileInfo(m_cacheFolder).isDir())
        return;
    QDir folder(m_cacheFolder);
    QStringList copies = folder.entryList(QDir::Files | QDir::Hidden);
    copies.removeIf([](const QString& file) { return file.endsWith(QLatin1String(".part")); });
    if (copies.isEmpty())
        return;
    // Only the memos a copy is named after are looked up on disk: a large library with a few
    // copies costs a hash per memo, not a path resolution and file status each.
    QSet<QString> copiedNames;
    for (const QString& file : copies)
        copiedNames.insert(file.section(QLatin1Char('-'), 0, 0));
    QSet<QString> current;
    for (const auto& recording : library.recordings) {
        if (recording.hideFromWebSharing || !copiedNames.contains(nameHash(recording.filename)))
            continue;
        const QString wav = DocumentPath::resolve(m_documentsPath, recording.filename);
        for (const auto format : {AudioConverter::Format::Opus, AudioConverter::Format::Flac})
            current.insert(copyName(recording.filename, wav, format));
    }
    for (const QString& file : copies) {
        if (!current.contains(file))
            folder.remove(file);
    }
}
