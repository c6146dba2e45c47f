// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

namespace sonavell::artwork {

// The count-in sound: three short beeps 0.5 s apart, then silence up to 1.5 s, so the take that
// follows starts half a second after the last beep. Mono, 16-bit, 22050 Hz, as a WAV file.
constexpr int kCountInSampleRate = 22050;
constexpr int kCountInBeeps = 3;
constexpr double kCountInBeepSpacing = 0.5;
constexpr double kCountInBeepLength = 0.08;
constexpr double kCountInPitch = 1000.0;

// The 16-bit samples of the sound.
QByteArray countInSamples();
// A complete RIFF WAVE file holding the samples.
QByteArray wavFile(const QByteArray& samples, int sampleRate);
// Writes the count-in sound to path; false and a message on failure.
bool writeCountInSound(const QString& path, QString* error);

} // namespace sonavell::artwork
