// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>

class QThread;

// Turns a WAV memo into a compressed copy for sharing: Ogg/Opus (lossy, about 24 kbit/s, small
// enough to mail a long memo) or FLAC (lossless, about half the WAV), over libsndfile.
//
// Opus accepts only 8, 12, 16, 24 and 48 kHz, so the memo is first resampled (libsoxr) to the
// lowest of these at or above its own rate; FLAC keeps the memo's rate. Several channels are
// mixed down to one, as memos are mono.
//
// The copy is written under a temporary name beside the destination and renamed into place only
// once it is complete, so a reader never sees half a file and a failed or cancelled conversion
// leaves nothing behind (an earlier file at the destination stays as it was).
//
// convertFile() does the work on the calling thread; an AudioConverter object does it on a worker
// thread of its own and reports progress and the outcome on the thread that owns the object.
class AudioConverter : public QObject
{
    Q_OBJECT
public:
    enum class Format
    {
        Opus,
        Flac
    };

    enum class Outcome
    {
        Converted,
        Cancelled,
        Failed
    };

    struct Result
    {
        Outcome outcome = Outcome::Failed;
        // Why it failed, for the user; empty otherwise.
        QString error;
        bool ok() const { return outcome == Outcome::Converted; }
    };

    // "opus" or "flac": the file name extension of a converted copy.
    static QString extensionFor(Format format);
    // "audio/ogg" or "audio/flac".
    static QByteArray contentTypeFor(Format format);
    // The sample rate an Opus copy of a memo at `sourceRate` is encoded at.
    static int opusRateFor(int sourceRate);
    // The Opus bit rate used, in bits per second.
    static constexpr int kOpusBitrate = 24000;

    // Converts `source` into `destination`. `progress`, when given, is called on this thread
    // with the fraction done (0.0 to 1.0, rising); `cancel`, when given, is polled between blocks
    // of about a tenth of a second of audio.
    static Result convertFile(const QString& source, const QString& destination, Format format,
                              const std::atomic<bool>* cancel = nullptr,
                              const std::function<void(double)>& progress = {});

    explicit AudioConverter(QObject* parent = nullptr);
    // Cancels a running conversion and waits for its thread.
    ~AudioConverter() override;

    // Starts converting on the worker thread; false (and nothing started) while one runs.
    bool start(const QString& source, const QString& destination, Format format);
    // Asks the running conversion to stop; finished() follows with Outcome::Cancelled.
    void cancel();
    bool isRunning() const { return m_running; }

signals:
    // The fraction done, at most about a hundred times per conversion.
    void progressChanged(double fraction);
    void finished(AudioConverter::Result result);

private:
    std::unique_ptr<QThread> m_thread;
    std::shared_ptr<std::atomic<bool>> m_cancel;
    bool m_running = false;
};

Q_DECLARE_METATYPE(AudioConverter::Result)
