// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <optional>

// Where a WAV file keeps its audio, read from its RIFF chunks, and how much audio it really
// holds. A take that ended without closing its file (the process killed mid-take) leaves audio
// after the data size its header last declared; that audio is counted here, and repair() writes
// the sizes the header should have. Read with plain file access: only the chunk headers are
// read, never the audio.
class WavLayout
{
public:
    // The facts of an uncompressed ("fmt " format 1, 3 or extensible) WAV file, or none when
    // the file is not one (no RIFF/WAVE, no "fmt " before "data", a frame size of zero).
    static std::optional<WavLayout> read(const QString& path);

    int sampleRate() const { return m_rate; }
    int channels() const { return m_channels; }
    // The frames whose bytes are present in the file, whatever the header declares.
    qint64 frames() const { return m_presentBytes / m_blockAlign; }
    double seconds() const { return double(frames()) / m_rate; }
    // Whether the header declares less audio than the file holds after its data chunk.
    bool headerIsStale() const { return m_presentBytes > m_declaredBytes; }

    // Rewrites the RIFF and data sizes of a stale header to cover every whole frame present.
    // The audio is not touched. False (with the reason in `error`) when the file cannot be
    // written or the sizes do not fit a RIFF file.
    bool repair(const QString& path, QString* error = nullptr) const;

private:
    WavLayout() = default;

    int m_rate = 0;
    int m_channels = 0;
    int m_blockAlign = 0;
    qint64 m_dataOffset = 0;    // where the audio starts
    qint64 m_declaredBytes = 0; // the data size in the header
    qint64 m_presentBytes = 0;  // the audio bytes that are really there
};
