// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/audio/AudioConverter.h"

#include "platform/audio/PlatformAudioLog.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <sndfile.h>
#include <soxr.h>

#include <atomic>
#include <cstdio>
#include <vector>

namespace {

// Frames read from the memo in one block: about a tenth of a second at 44.1 kHz.
constexpr sf_count_t kBlockFrames = 4096;

std::atomic<unsigned> g_temporaryCounter{0};

// A name beside `destination` that no other conversion (in this or another process) uses.
QString temporaryNameFor(const QString& destination)
{
    return QStringLiteral("%1.%2-%3.part")
        .arg(destination, QString::number(QCoreApplication::applicationPid()),
             QString::number(g_temporaryCounter.fetch_add(1)));
}

// The errors' texts, which the e-mail screen shows: translated in the context "AudioConverter".
struct Texts
{
    Q_DECLARE_TR_FUNCTIONS(AudioConverter)
};

struct SndfileCloser
{
    void operator()(SNDFILE* file) const
    {
        if (file)
            sf_close(file);
    }
};
using SndfilePtr = std::unique_ptr<SNDFILE, SndfileCloser>;

struct SoxrDeleter
{
    void operator()(soxr_t resampler) const
    {
        if (resampler)
            soxr_delete(resampler);
    }
};
using SoxrPtr = std::unique_ptr<std::remove_pointer_t<soxr_t>, SoxrDeleter>;

// Writes the memo's frames into the open output: resampled float for Opus, 16-bit integers as
// they are for FLAC (lossless). Returns an empty string or why it failed.
class Pump
{
public:
    Pump(SNDFILE* in, const SF_INFO& inInfo, SNDFILE* out, AudioConverter::Format format,
         int outRate, const std::atomic<bool>* cancel, const std::function<void(double)>& progress)
        : m_in(in)
        , m_inInfo(inInfo)
        , m_out(out)
        , m_format(format)
        , m_outRate(outRate)
        , m_cancel(cancel)
        , m_progress(progress)
    {
    }

    // Converted, cancelled (an empty error and cancelled() true) or failed.
    QString run()
    {
        if (m_format == AudioConverter::Format::Opus && m_outRate != m_inInfo.samplerate) {
            const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
            const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
            soxr_error_t error = nullptr;
            m_resampler.reset(
                soxr_create(m_inInfo.samplerate, m_outRate, 1, &error, &io, &quality, nullptr));
            if (error || !m_resampler)
                return Texts::tr("The memo could not be resampled for Opus.");
        }
        const int channels = m_inInfo.channels;
        std::vector<short> shorts(size_t(kBlockFrames) * channels);
        std::vector<float> floats(size_t(kBlockFrames) * channels);
        std::vector<short> monoShorts(kBlockFrames);
        std::vector<float> monoFloats(kBlockFrames);
        sf_count_t done = 0;
        int reported = -1;
        for (;;) {
            if (m_cancel && m_cancel->load()) {
                m_cancelled = true;
                return {};
            }
            sf_count_t got = 0;
            if (m_format == AudioConverter::Format::Flac) {
                got = sf_readf_short(m_in, shorts.data(), kBlockFrames);
                for (sf_count_t i = 0; i < got; ++i) {
                    int sum = 0;
                    for (int c = 0; c < channels; ++c)
                        sum += shorts[size_t(i) * channels + c];
                    monoShorts[i] = short(sum / channels);
                }
                if (got > 0 && sf_writef_short(m_out, monoShorts.data(), got) != got)
                    return writeError();
            } else {
                got = sf_readf_float(m_in, floats.data(), kBlockFrames);
                for (sf_count_t i = 0; i < got; ++i) {
                    float sum = 0.0f;
                    for (int c = 0; c < channels; ++c)
                        sum += floats[size_t(i) * channels + c];
                    monoFloats[i] = sum / float(channels);
                }
                if (got > 0 && !writeFloats(monoFloats.data(), size_t(got), false))
                    return writeError();
            }
            if (got < 0 || sf_error(m_in) != SF_ERR_NO_ERROR)
                return Texts::tr("The memo's file is damaged and could not be read.");
            if (got == 0)
                break;
            done += got;
            const int percent = m_inInfo.frames > 0 ? int(done * 100 / m_inInfo.frames) : 0;
            if (m_progress && percent > reported && percent < 100) {
                reported = percent;
                m_progress(percent / 100.0);
            }
        }
        if (m_inInfo.frames > 0 && done < m_inInfo.frames)
            return Texts::tr("The memo's file is damaged and could not be read.");
        if (m_resampler && !writeFloats(nullptr, 0, true))
            return writeError();
        return {};
    }

    bool cancelled() const { return m_cancelled; }

private:
    QString writeError() const
    {
        return Texts::tr("The converted file could not be written: %1")
            .arg(QString::fromUtf8(sf_strerror(m_out)));
    }

    // Hands frames to the output, through the resampler when there is one; with `flush`, drains
    // what the resampler still holds.
    bool writeFloats(const float* frames, size_t count, bool flush)
    {
        if (!m_resampler)
            return sf_writef_float(m_out, frames, sf_count_t(count)) == sf_count_t(count);
        std::vector<float> out(size_t(double(count) * m_outRate / m_inInfo.samplerate) + 256);
        size_t consumed = 0;
        do {
            size_t inDone = 0;
            size_t outDone = 0;
            const soxr_error_t error =
                soxr_process(m_resampler.get(), flush ? nullptr : frames + consumed,
                             count - consumed, &inDone, out.data(), out.size(), &outDone);
            if (error)
                return false;
            consumed += inDone;
            if (outDone > 0 &&
                sf_writef_float(m_out, out.data(), sf_count_t(outDone)) != sf_count_t(outDone))
                return false;
            if (flush && outDone == 0)
                return true;
        } while (flush || consumed < count);
        return true;
    }

    SNDFILE* m_in;
    SF_INFO m_inInfo;
    SNDFILE* m_out;
    AudioConverter::Format m_format;
    int m_outRate;
    const std::atomic<bool>* m_cancel;
    const std::function<void(double)>& m_progress;
    SoxrPtr m_resampler;
    bool m_cancelled = false;
};

} // namespace

QString AudioConverter::extensionFor(Format format)
{
    return format == Format::Opus ? QStringLiteral("opus") : QStringLiteral("flac");
}

QByteArray AudioConverter::contentTypeFor(Format format)
{
    return format == Format::Opus ? QByteArrayLiteral("audio/ogg")
                                  : QByteArrayLiteral("audio/flac");
}

int AudioConverter::opusRateFor(int sourceRate)
{
    for (const int rate : {8000, 12000, 16000, 24000})
        if (sourceRate <= rate)
            return rate;
    return 48000;
}

AudioConverter::Result AudioConverter::convertFile(const QString& source,
                                                   const QString& destination, Format format,
                                                   const std::atomic<bool>* cancel,
                                                   const std::function<void(double)>& progress)
{
    Result result;
    // Only a regular file is read: a FIFO or a device at the path would block or never end.
    const QFileInfo sourceInfo(source);
    if (!sourceInfo.exists() || !sourceInfo.isFile()) {
        result.error = Texts::tr("The memo's file is missing.");
        return result;
    }
    SF_INFO inInfo{};
    SndfilePtr in(sf_open(QFile::encodeName(source).constData(), SFM_READ, &inInfo));
    if (!in || inInfo.channels < 1 || inInfo.samplerate < 1) {
        result.error = Texts::tr("The memo's file is damaged and could not be read.");
        return result;
    }
    // An Ogg/Opus or FLAC stream without a single frame is refused by decoders, libsndfile's
    // own included: an empty memo has no copy.
    if (inInfo.frames == 0) {
        result.error = Texts::tr("The memo holds no audio.");
        return result;
    }

    SF_INFO outInfo{};
    outInfo.channels = 1;
    if (format == Format::Opus) {
        outInfo.samplerate = opusRateFor(inInfo.samplerate);
        outInfo.format = SF_FORMAT_OGG | SF_FORMAT_OPUS;
    } else {
        outInfo.samplerate = inInfo.samplerate;
        outInfo.format = SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
    }
    const QString temporary = temporaryNameFor(destination);
    const QByteArray temporaryName = QFile::encodeName(temporary);
    QString error;
    bool cancelled = false;
    {
        SndfilePtr out(sf_open(temporaryName.constData(), SFM_WRITE, &outInfo));
        if (!out) {
            result.error = Texts::tr("The converted file could not be written: %1")
                               .arg(QString::fromUtf8(sf_strerror(nullptr)));
            return result;
        }
        if (format == Format::Opus) {
            int mode = SF_BITRATE_MODE_VARIABLE;
            sf_command(out.get(), SFC_SET_BITRATE_MODE, &mode, sizeof mode);
            // libsndfile maps the level 0.0 to 1.0 linearly onto the bit rates Opus allows.
            double level = 1.0 - double(kOpusBitrate - 6000) / double(256000 - 6000);
            sf_command(out.get(), SFC_SET_COMPRESSION_LEVEL, &level, sizeof level);
        } else {
            double level = 0.5;
            sf_command(out.get(), SFC_SET_COMPRESSION_LEVEL, &level, sizeof level);
        }
        Pump pump(in.get(), inInfo, out.get(), format, outInfo.samplerate, cancel, progress);
        error = pump.run();
        cancelled = pump.cancelled();
        // Closing writes the last pages; a full disk can still fail here.
        if (error.isEmpty() && !cancelled && sf_close(out.release()) != 0)
            error = Texts::tr("The converted file could not be written.");
    }
    if (cancelled || !error.isEmpty() ||
        std::rename(temporaryName.constData(), QFile::encodeName(destination).constData())) {
        QFile::remove(temporary);
        if (cancelled) {
            result.outcome = Outcome::Cancelled;
            return result;
        }
        result.error =
            error.isEmpty() ? Texts::tr("The converted file could not be put in place.") : error;
        qCWarning(lcPlatformAudio).noquote() << "Converting" << source << "failed:" << result.error;
        return result;
    }
    if (progress)
        progress(1.0);
    result.outcome = Outcome::Converted;
    return result;
}

AudioConverter::AudioConverter(QObject* parent)
    : QObject(parent)
{
    qRegisterMetaType<AudioConverter::Result>();
}

AudioConverter::~AudioConverter()
{
    if (m_cancel)
        m_cancel->store(true);
    if (m_thread)
        m_thread->wait();
}

bool AudioConverter::start(const QString& source, const QString& destination, Format format)
{
    if (m_running)
        return false;
    if (m_thread) {
        m_thread->wait();
        m_thread.reset();
    }
    m_running = true;
    m_cancel = std::make_shared<std::atomic<bool>>(false);
    const std::shared_ptr<std::atomic<bool>> cancelFlag = m_cancel;
    m_thread.reset(QThread::create([this, source, destination, format, cancelFlag] {
        const Result result =
            convertFile(source, destination, format, cancelFlag.get(), [this](double fraction) {
                QMetaObject::invokeMethod(
                    this, [this, fraction] { emit progressChanged(fraction); },
                    Qt::QueuedConnection);
            });
        QMetaObject::invokeMethod(
            this,
            [this, result] {
                m_running = false;
                emit finished(result);
            },
            Qt::QueuedConnection);
    }));
    m_thread->start();
    return true;
}

void AudioConverter::cancel()
{
    if (m_cancel)
        m_cancel->store(true);
}
