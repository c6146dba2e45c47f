// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/audio/PlaybackConverter.h"

#include "platform/audio/PlatformAudioLog.h"

#include <QDebug>

#include <rubberband/RubberBandStretcher.h>
#include <soxr.h>

#include <algorithm>
#include <cmath>

namespace {
// Frames handed to a library in one call.
constexpr size_t kChunkFrames = 1024;
} // namespace

PlaybackConverter::PlaybackConverter(uint32_t channels, double ratio)
    : m_channels(channels)
    , m_ratio(ratio)
{
}

PlaybackConverter::~PlaybackConverter()
{
    if (m_resampler)
        soxr_delete(m_resampler);
}

std::unique_ptr<PlaybackConverter> PlaybackConverter::create(double inputRate, double outputRate,
                                                             uint32_t channels, double naturalRate)
{
    if (!(inputRate > 0.0) || !(outputRate > 0.0) || channels == 0)
        return nullptr;
    const bool stretch = naturalRate > 0.0 && naturalRate != inputRate;
    const double resampleFrom = stretch ? naturalRate : inputRate;
    std::unique_ptr<PlaybackConverter> c(
        new PlaybackConverter(channels, outputRate / resampleFrom));
    if (resampleFrom != outputRate) {
        // High quality at a fixed ratio: a speed change makes a new queue, so the ratio never
        // changes during a converter's life.
        const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
        const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
        const soxr_runtime_spec_t runtime = soxr_runtime_spec(1);
        soxr_error_t error = nullptr;
        c->m_resampler =
            soxr_create(resampleFrom, outputRate, channels, &error, &io, &quality, &runtime);
        if (error || !c->m_resampler) {
            qCWarning(lcPlatformAudio).noquote()
                << "Cannot convert" << resampleFrom << "Hz to" << outputRate
                << "Hz:" << (error ? error : "no resampler");
            return nullptr;
        }
        c->m_in.resize(kChunkFrames * channels);
    }
    if (stretch) {
        using RB = RubberBand::RubberBandStretcher;
        // The stretcher sees the audio at its natural rate and makes it last as long as it
        // would at the rate it is handed over at. The finer engine with its short window: it
        // keeps a steady tone's pitch (the faster engine, in real-time mode, moved it by about
        // 1 %) at about a third of the CPU of its standard window, which speech does not need.
        // The pitch scale never changes, so no pitch-change options are asked for (high
        // consistency alone cost half as much again).
        c->m_stretcher = std::make_unique<RB>(size_t(std::lround(naturalRate)), channels,
                                              RB::OptionProcessRealTime | RB::OptionEngineFiner |
                                                  RB::OptionWindowShort | RB::OptionThreadingNever,
                                              naturalRate / inputRate);
        c->m_timeRatio = naturalRate / inputRate;
        c->m_stretcher->setMaxProcessSize(kChunkFrames);
        c->m_stretchIn.resize(kChunkFrames * channels);
        c->m_planar.assign(channels, std::vector<float>(kChunkFrames));
        for (auto& line : c->m_planar)
            c->m_planarPtrs.push_back(line.data());
        c->primeStretcher();
    }
    return c;
}

void PlaybackConverter::primeStretcher()
{
    // A real-time stretcher answers late: silence of its preferred length goes in first, and as
    // much of its output as its start delay is dropped, so that the audio starts at once and in
    // step with the input.
    for (auto& line : m_planar)
        std::fill(line.begin(), line.end(), 0.0f);
    size_t pad = m_stretcher->getPreferredStartPad();
    while (pad > 0) {
        const size_t n = std::min(pad, kChunkFrames);
        m_stretcher->process(m_planarPtrs.data(), n, false);
        pad -= n;
    }
    m_discard = m_stretcher->getStartDelay();
    m_stretchEnded = false;
    m_stretchDone = false;
    m_stretchedIn = m_stretchedOut = 0;
}

void PlaybackConverter::clear()
{
    if (m_resampler)
        soxr_clear(m_resampler);
    m_inPos = m_inCount = 0;
    m_flushed = false;
    if (m_stretcher) {
        m_stretcher->reset();
        primeStretcher();
    }
}

size_t PlaybackConverter::pullStretched(float* dst, size_t maxFrames, const Source& source,
                                        bool endOfInput)
{
    const size_t channels = m_channels;
    if (m_stretchDone)
        return 0;
    for (;;) {
        const int available = m_stretcher->available();
        if (available < 0)
            return 0; // everything has come out
        if (available > 0) {
            const size_t n = m_stretcher->retrieve(
                m_planarPtrs.data(), std::min({size_t(available), maxFrames, kChunkFrames}));
            const size_t dropped = std::min(n, m_discard);
            m_discard -= dropped;
            size_t kept = n - dropped;
            if (m_stretchEnded) {
                // After the last input the stretcher gives out its window's fade as well; the
                // stretched audio ends where the input's stretched length ends, so playback
                // ends when it would without the stretcher.
                const auto total = size_t(std::llround(double(m_stretchedIn) * m_timeRatio));
                kept = std::min(kept, total > m_stretchedOut ? total - m_stretchedOut : 0);
                if (kept == 0) {
                    m_stretchDone = true;
                    return 0;
                }
            }
            for (size_t i = 0; i < kept; ++i)
                for (size_t c = 0; c < channels; ++c)
                    dst[i * channels + c] = m_planar[c][dropped + i];
            m_stretchedOut += kept;
            if (kept > 0)
                return kept;
            continue;
        }
        if (m_stretchEnded)
            return 0;
        const size_t wanted =
            std::clamp<size_t>(m_stretcher->getSamplesRequired(), 1, kChunkFrames);
        size_t got = 0;
        while (got < wanted) {
            const size_t n = source(m_stretchIn.data() + got * channels, wanted - got);
            if (n == 0)
                break;
            got += n;
        }
        if (got == 0 && !endOfInput)
            return 0;
        for (size_t i = 0; i < got; ++i)
            for (size_t c = 0; c < channels; ++c)
                m_planar[c][i] = m_stretchIn[i * channels + c];
        // The last piece tells the stretcher to give out what it holds. It must hold at least
        // one frame: an empty last piece ends the stretcher without the audio it still holds.
        m_stretchedIn += got;
        m_stretchEnded = got < wanted && endOfInput;
        if (m_stretchEnded && got == 0) {
            for (size_t c = 0; c < channels; ++c)
                m_planar[c][0] = 0.0f;
            got = 1;
        }
        m_stretcher->process(m_planarPtrs.data(), got, m_stretchEnded);
    }
}

size_t PlaybackConverter::pull(float* dst, size_t maxFrames, const Source& source, bool endOfInput)
{
    if (m_stretcher)
        return pullStretched(dst, maxFrames, source, endOfInput);
    size_t got = 0;
    while (got < maxFrames) {
        const size_t n = source(dst + got * m_channels, maxFrames - got);
        if (n == 0)
            break;
        got += n;
    }
    return got;
}

size_t PlaybackConverter::convert(float* out, size_t frames, const Source& source, bool endOfInput)
{
    if (!m_resampler) {
        size_t n = 0;
        while (n < frames && !m_flushed) {
            const size_t got = pull(out + n * m_channels, frames - n, source, endOfInput);
            if (got == 0)
                break;
            n += got;
        }
        if (n < frames && endOfInput)
            m_flushed = true;
        return n;
    }
    size_t produced = 0;
    while (produced < frames && !m_flushed) {
        if (m_inPos >= m_inCount) {
            // Only about the input the output still wants: every frame pulled early is one a
            // new read position can no longer replace.
            const size_t wanted =
                std::min(kChunkFrames, size_t(std::ceil(double(frames - produced) / m_ratio)) + 1);
            m_inPos = 0;
            m_inCount = pull(m_in.data(), wanted, source, endOfInput);
            if (m_inCount == 0) {
                if (!endOfInput)
                    break;
                // No more input: the resampler gives out the rest of what it holds.
                size_t done = 0;
                soxr_process(m_resampler, nullptr, 0, nullptr, out + produced * m_channels,
                             frames - produced, &done);
                produced += done;
                if (done == 0)
                    m_flushed = true;
                continue;
            }
        }
        size_t used = 0;
        size_t done = 0;
        if (soxr_process(m_resampler, m_in.data() + m_inPos * m_channels, m_inCount - m_inPos,
                         &used, out + produced * m_channels, frames - produced, &done)) {
            m_inPos = m_inCount;
            break;
        }
        m_inPos += used;
        produced += done;
        if (used == 0 && done == 0)
            break;
    }
    return produced;
}
