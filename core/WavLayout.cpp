// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/WavLayout.h"

#include <QFile>
#include <QtEndian>

namespace {

// A file names its chunks with printable ASCII.
bool isChunkId(const char* id)
{
    for (int i = 0; i < 4; ++i) {
        if (uchar(id[i]) < 0x20 || uchar(id[i]) > 0x7E)
            return false;
    }
    return true;
}

// Enough for any chunk list a real file has before its audio; it bounds the walk.
constexpr int kMaxChunks = 64;

} // namespace

std::optional<WavLayout> WavLayout::read(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const qint64 size = file.size();
    char riff[12];
    if (file.read(riff, 12) != 12 || qstrncmp(riff, "RIFF", 4) != 0 ||
        qstrncmp(riff + 8, "WAVE", 4) != 0)
        return std::nullopt;

    WavLayout layout;
    bool haveFormat = false;
    qint64 at = 12;
    for (int chunk = 0; chunk < kMaxChunks && at + 8 <= size; ++chunk) {
        char head[8];
        if (!file.seek(at) || file.read(head, 8) != 8)
            return std::nullopt;
        const qint64 length = qFromLittleEndian<quint32>(head + 4);
        const qint64 body = at + 8;
        if (qstrncmp(head, "fmt ", 4) == 0 && length >= 16) {
            char fmt[16];
            if (file.read(fmt, 16) != 16)
                return std::nullopt;
            const quint16 format = qFromLittleEndian<quint16>(fmt);
            layout.m_channels = qFromLittleEndian<quint16>(fmt + 2);
            layout.m_rate = int(qFromLittleEndian<quint32>(fmt + 4));
            layout.m_blockAlign = qFromLittleEndian<quint16>(fmt + 12);
            haveFormat = (format == 1 || format == 3 || format == 0xFFFE) &&
                         layout.m_channels > 0 && layout.m_rate > 0 && layout.m_blockAlign > 0;
            if (!haveFormat)
                return std::nullopt;
        } else if (qstrncmp(head, "data", 4) == 0) {
            if (!haveFormat)
                return std::nullopt;
            layout.m_dataOffset = body;
            layout.m_declaredBytes = length;
            const qint64 available = size - body;
            // Audio past the declared end counts only when no chunk follows it there: a writer
            // that died left it, rather than a tool that put a chunk after the audio.
            const qint64 next = body + length + (length & 1);
            char after[8];
            bool chunkFollows = false;
            if (next + 8 <= size && file.seek(next) && file.read(after, 8) == 8)
                chunkFollows = isChunkId(after) &&
                               next + 8 + qint64(qFromLittleEndian<quint32>(after + 4)) <= size;
            layout.m_presentBytes =
                length > available ? available : (chunkFollows ? length : available);
            return layout;
        }
        at = body + length + (length & 1);
    }
    return std::nullopt;
}

bool WavLayout::repair(const QString& path, QString* error) const
{
    const qint64 dataBytes = frames() * m_blockAlign;
    const qint64 riffBytes = m_dataOffset - 8 + dataBytes + (dataBytes & 1);
    if (riffBytes > qint64(0xFFFFFFFF)) {
        if (error)
            *error = QStringLiteral("too large for a RIFF file");
        return false;
    }
    QFile file(path);
    // Read-write without truncation: only the two sizes change.
    if (!file.open(QIODevice::ReadWrite)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    char riff[4];
    char data[4];
    qToLittleEndian<quint32>(quint32(riffBytes), riff);
    qToLittleEndian<quint32>(quint32(dataBytes), data);
    const bool written = file.seek(4) && file.write(riff, 4) == 4 && file.seek(m_dataOffset - 4) &&
                         file.write(data, 4) == 4 && file.flush();
    if (!written && error)
        *error = file.errorString();
    return written;
}
