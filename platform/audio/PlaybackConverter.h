// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

struct soxr;
namespace RubberBand {
class RubberBandStretcher;
}

// Turns the interleaved float audio an output queue plays, at the queue's rate, into audio at
// the device's rate with a fixed-ratio high-quality resampler. Optionally a real-time
// time-stretcher runs first: it plays audio handed over at one rate (a memo at 1.5 times its own
// rate) in the same time as plain resampling would, but at the pitch of its natural rate.
//
// The converter pulls its input from a source as it needs it and takes no more than the output
// asked for needs, so that audio not yet pulled can still be replaced (a scrub's new position).
class PlaybackConverter
{
public:
    // Gives up to maxFrames interleaved frames into dst; returns how many (0: nothing now).
    using Source = std::function<size_t(float* dst, size_t maxFrames)>;

    // A converter from inputRate to outputRate. naturalRate is the rate at which the audio sounds
    // at its own pitch: 0, or inputRate, for plain resampling (speed and pitch change together).
    // Null when the libraries refuse the rates.
    static std::unique_ptr<PlaybackConverter> create(double inputRate, double outputRate,
                                                     uint32_t channels, double naturalRate = 0.0);
    ~PlaybackConverter();
    PlaybackConverter(const PlaybackConverter&) = delete;
    PlaybackConverter& operator=(const PlaybackConverter&) = delete;

    // Writes up to `frames` frames into out and returns how many. With endOfInput the source
    // gives nothing more once it runs dry: what the converter still holds comes out instead.
    size_t convert(float* out, size_t frames, const Source& source, bool endOfInput);
    // Everything given in has come out, after a convert() with endOfInput.
    bool flushed() const { return m_flushed; }
    // Forgets the audio held, ready for an unrelated signal (a new read position).
    void clear();
    bool stretches() const { return m_stretcher != nullptr; }

private:
    PlaybackConverter(uint32_t channels, double ratio);
    // The resampler's input: the source's audio, through the stretcher when there is one.
    size_t pull(float* dst, size_t maxFrames, const Source& source, bool endOfInput);
    size_t pullStretched(float* dst, size_t maxFrames, const Source& source, bool endOfInput);
    void primeStretcher();

    const uint32_t m_channels;
    const double m_ratio; // output frames per resampler input frame
    soxr* m_resampler = nullptr;
    std::vector<float> m_in; // resampler input, interleaved
    size_t m_inPos = 0;
    size_t m_inCount = 0;
    bool m_flushed = false;

    std::unique_ptr<RubberBand::RubberBandStretcher> m_stretcher;
    std::vector<float> m_stretchIn;           // interleaved, from the source
    std::vector<std::vector<float>> m_planar; // one line per channel
    std::vector<float*> m_planarPtrs;
    size_t m_discard = 0;        // stretcher output still to drop (its start delay)
    bool m_stretchEnded = false; // the stretcher has been told that no more input comes
    bool m_stretchDone = false;  // everything the input stretches to has come out
    double m_timeRatio = 1.0;    // stretched frames per input frame
    size_t m_stretchedIn = 0;    // input frames since the last clear
    size_t m_stretchedOut = 0;   // stretched frames given out since then
};
