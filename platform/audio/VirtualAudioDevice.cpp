// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/audio/VirtualAudioDevice.h"

#include "platform/audio/AudioFile.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <numbers>

namespace {
constexpr size_t kChunkFrames = 1024;
}

class VirtualAudioDevice::Stream : public AudioDeviceStream
{
public:
    Stream(VirtualAudioDevice* device, double rate, uint32_t channels, AudioInputHandler* input,
           AudioOutputHandler* output)
        : m_device(device)
        , m_rate(rate)
        , m_channels(std::max<uint32_t>(1, channels))
        , m_input(input)
        , m_output(output)
    {
        std::lock_guard lock(device->m_mutex);
        m_generator = device->m_generator;
        m_frequency = device->m_frequency;
        m_amplitude = device->m_amplitude;
        m_file = device->m_fileSamples;
        m_loop = device->m_loopFile;
    }
    ~Stream() override { stop(); }

    bool start() override
    {
        std::lock_guard lock(m_callMutex);
        if (m_stopped)
            return false;
        if (!m_registered) {
            m_device->addStream(this);
            m_registered = true;
        }
        m_running = true;
        return true;
    }
    void pause() override
    {
        std::lock_guard lock(m_callMutex);
        m_running = false;
    }
    void stop() override
    {
        {
            std::lock_guard lock(m_callMutex);
            m_running = false;
            m_stopped = true;
        }
        if (m_registered) {
            m_device->removeStream(this);
            m_registered = false;
        }
    }

    // Moves this stream's time on by the given seconds.
    void run(double seconds)
    {
        std::lock_guard lock(m_callMutex);
        if (!m_running || m_stopped)
            return;
        m_time += seconds;
        const uint64_t due = uint64_t(std::floor(m_time * m_rate + 1e-9));
        while (m_done < due && m_running && !m_drained) {
            const size_t n = size_t(std::min<uint64_t>(kChunkFrames, due - m_done));
            if (m_input)
                produce(n);
            else
                consume(n);
            m_done += n;
        }
    }

private:
    int16_t sourceSample(uint64_t index) const
    {
        if (m_file) {
            const auto& samples = *m_file;
            if (samples.empty())
                return 0;
            if (m_loop)
                return samples[index % samples.size()];
            return index < samples.size() ? samples[index] : 0;
        }
        switch (m_generator) {
        case Generator::Sine:
            return int16_t(std::lround(
                m_amplitude * 32767.0 *
                std::sin(2.0 * std::numbers::pi * m_frequency * double(index) / m_rate)));
        case Generator::Ramp:
            return int16_t(int(index % 65536) - 32768);
        case Generator::Silence:
            break;
        }
        return 0;
    }

    void produce(size_t frames)
    {
        m_scratch16.resize(frames * m_channels);
        for (size_t i = 0; i < frames; ++i) {
            const int16_t v = sourceSample(m_sourceIndex++);
            for (uint32_t c = 0; c < m_channels; ++c)
                m_scratch16[i * m_channels + c] = v;
        }
        m_input->audioInput(m_scratch16.data(), frames);
    }

    void consume(size_t frames)
    {
        m_scratchF.assign(frames * m_channels, 0.0f);
        bool end = false;
        const size_t got = std::min(frames, m_output->audioOutput(m_scratchF.data(), frames, &end));
        m_device->capture(m_scratchF.data(), frames, m_channels, end ? 0 : frames - got);
        if (end) {
            m_drained = true;
            m_output->outputDrained();
        }
    }

    VirtualAudioDevice* const m_device;
    const double m_rate;
    const uint32_t m_channels;
    AudioInputHandler* const m_input;
    AudioOutputHandler* const m_output;

    Generator m_generator = Generator::Silence;
    double m_frequency = 0.0;
    double m_amplitude = 0.0;
    std::shared_ptr<std::vector<int16_t>> m_file;
    bool m_loop = false;

    std::mutex m_callMutex; // held while the handler runs, so stop() waits for it
    bool m_running = false;
    bool m_stopped = false;
    bool m_registered = false;
    bool m_drained = false;
    double m_time = 0.0;
    uint64_t m_done = 0;
    uint64_t m_sourceIndex = 0;
    std::vector<int16_t> m_scratch16;
    std::vector<float> m_scratchF;
};

VirtualAudioDevice::VirtualAudioDevice(Clock clock, double outputSampleRate)
    : m_clock(clock)
    , m_outputRate(outputSampleRate)
{
    if (m_clock == Clock::Real)
        m_thread = std::thread([this] { clockThread(); });
}

VirtualAudioDevice::~VirtualAudioDevice()
{
    if (m_thread.joinable()) {
        {
            std::lock_guard lock(m_clockMutex);
            m_quit = true;
        }
        m_wake.notify_all();
        m_thread.join();
    }
}

std::unique_ptr<AudioDeviceStream>
VirtualAudioDevice::openInput(double sampleRate, uint32_t channels, AudioInputHandler* handler)
{
    if (!(sampleRate > 0.0) || !handler)
        return nullptr;
    return std::make_unique<Stream>(this, sampleRate, channels, handler, nullptr);
}

std::unique_ptr<AudioDeviceStream> VirtualAudioDevice::openOutput(uint32_t channels,
                                                                  AudioOutputHandler* handler)
{
    if (!handler)
        return nullptr;
    return std::make_unique<Stream>(this, m_outputRate, channels, nullptr, handler);
}

void VirtualAudioDevice::setInputGenerator(Generator generator, double frequency, double amplitude)
{
    std::lock_guard lock(m_mutex);
    m_generator = generator;
    m_frequency = frequency;
    m_amplitude = amplitude;
    m_fileSamples.reset();
}

bool VirtualAudioDevice::setInputFile(const QString& path, bool loop)
{
    std::unique_ptr<AudioFile> file;
    if (AudioFile::openURL(path, AudioFile::kReadPermission, &file) != noErr)
        return false;
    auto samples = std::make_shared<std::vector<int16_t>>(size_t(file->audioDataPacketCount()));
    uint32_t n = uint32_t(samples->size());
    file->readPackets(0, &n, samples->data(), nullptr);
    samples->resize(n);
    std::lock_guard lock(m_mutex);
    m_fileSamples = std::move(samples);
    m_loopFile = loop;
    return true;
}

void VirtualAudioDevice::advance(double seconds)
{
    if (m_clock != Clock::Manual || !(seconds > 0.0))
        return;
    std::lock_guard lock(m_clockMutex);
    runStreams(seconds);
}

void VirtualAudioDevice::runStreams(double seconds)
{
    std::lock_guard running(m_runMutex);
    std::vector<Stream*> streams;
    {
        std::lock_guard lock(m_mutex);
        streams = m_streams;
    }
    for (Stream* s : streams) {
        // A stream stopped meanwhile has left the list; only run those still in it.
        std::unique_lock lock(m_mutex);
        if (std::find(m_streams.begin(), m_streams.end(), s) == m_streams.end())
            continue;
        lock.unlock();
        s->run(seconds);
    }
}

void VirtualAudioDevice::clockThread()
{
    using namespace std::chrono;
    auto last = steady_clock::now();
    std::unique_lock lock(m_clockMutex);
    while (!m_quit) {
        m_wake.wait_for(lock, milliseconds(5));
        const auto now = steady_clock::now();
        const double dt = duration<double>(now - last).count();
        last = now;
        if (!m_quit)
            runStreams(dt);
    }
}

void VirtualAudioDevice::addStream(Stream* stream)
{
    std::lock_guard lock(m_mutex);
    if (std::find(m_streams.begin(), m_streams.end(), stream) == m_streams.end())
        m_streams.push_back(stream);
}

void VirtualAudioDevice::removeStream(Stream* stream)
{
    std::lock_guard running(m_runMutex);
    std::lock_guard lock(m_mutex);
    std::erase(m_streams, stream);
}

void VirtualAudioDevice::capture(const float* samples, size_t frameCount, uint32_t channels,
                                 size_t unfilledFrames)
{
    m_underrunFrames += unfilledFrames;
    m_outputFrames += frameCount;
    const size_t sampleCount = frameCount * channels;
    std::lock_guard lock(m_mutex);
    if (m_captureOutput) {
        const size_t base = m_output.size();
        m_output.resize(base + sampleCount);
        for (size_t i = 0; i < sampleCount; ++i) {
            const float v = std::clamp(samples[i] * 32768.0f, -32768.0f, 32767.0f);
            m_output[base + i] = int16_t(std::lrint(v));
        }
    }
}

std::vector<int16_t> VirtualAudioDevice::outputSamples() const
{
    std::lock_guard lock(m_mutex);
    return m_output;
}

void VirtualAudioDevice::clearOutput()
{
    std::lock_guard lock(m_mutex);
    m_output.clear();
}

void VirtualAudioDevice::setCaptureOutput(bool capture)
{
    std::lock_guard lock(m_mutex);
    m_captureOutput = capture;
}
