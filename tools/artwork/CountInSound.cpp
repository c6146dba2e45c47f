// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/artwork/CountInSound.h"

#include "platform/system/AtomicFile.h"

#include <QDataStream>
#include <QIODevice>

#include <cmath>
#include <numbers>

namespace sonavell::artwork {

QByteArray countInSamples()
{
    const int total = static_cast<int>(kCountInBeeps * kCountInBeepSpacing * kCountInSampleRate);
    const int beepLength = static_cast<int>(kCountInBeepLength * kCountInSampleRate);
    const int spacing = static_cast<int>(kCountInBeepSpacing * kCountInSampleRate);
    // 5 ms raised-cosine edges keep the beeps from clicking.
    const int fade = kCountInSampleRate / 200;
    const double amplitude = 0.5 * 32767.0;

    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    for (int i = 0; i < total; ++i) {
        const int inBeep = i % spacing;
        double value = 0.0;
        if (inBeep < beepLength) {
            double envelope = 1.0;
            if (inBeep < fade)
                envelope = 0.5 - 0.5 * std::cos(std::numbers::pi * inBeep / fade);
            else if (inBeep >= beepLength - fade)
                envelope = 0.5 - 0.5 * std::cos(std::numbers::pi * (beepLength - inBeep) / fade);
            value = amplitude * envelope *
                    std::sin(2.0 * std::numbers::pi * kCountInPitch * inBeep / kCountInSampleRate);
        }
        out << static_cast<qint16>(std::lround(value));
    }
    return bytes;
}

QByteArray wavFile(const QByteArray& samples, int sampleRate)
{
    const quint16 channels = 1;
    const quint16 bitsPerSample = 16;
    const quint16 blockAlign = channels * bitsPerSample / 8;
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out.writeRawData("RIFF", 4);
    out << static_cast<quint32>(36 + samples.size());
    out.writeRawData("WAVE", 4);
    out.writeRawData("fmt ", 4);
    out << quint32(16) << quint16(1) << channels << static_cast<quint32>(sampleRate)
        << static_cast<quint32>(sampleRate * blockAlign) << blockAlign << bitsPerSample;
    out.writeRawData("data", 4);
    out << static_cast<quint32>(samples.size());
    out.writeRawData(samples.constData(), static_cast<int>(samples.size()));
    return bytes;
}

bool writeCountInSound(const QString& path, QString* error)
{
    QString reason;
    if (!AtomicFile::write(path, wavFile(countInSamples(), kCountInSampleRate), &reason)) {
        if (error)
            *error = path + QStringLiteral(": ") + reason;
        return false;
    }
    return true;
}

} // namespace sonavell::artwork
