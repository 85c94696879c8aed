#pragma once
// Playback of the rendered audio on a sound card through ALSA.

#include <cstdint>
#include <string>

struct _snd_pcm;

namespace spatium::host {

class AlsaOutput {
public:
    // Opens the device for interleaved 32-bit float at the rate; throws HostError
    // naming the device when there is no such sound card or it refuses the format.
    AlsaOutput(const std::string& device, std::int32_t sampleRate, std::int32_t channels);
    ~AlsaOutput();
    AlsaOutput(const AlsaOutput&) = delete;
    AlsaOutput& operator=(const AlsaOutput&) = delete;

    // Blocks until the card has taken the frames, which paces the caller in real
    // time. An underrun is recovered from; other failures throw HostError.
    void write(const float* interleaved, std::int32_t frames);

private:
    std::string device_;
    _snd_pcm* pcm_ = nullptr;
    std::int32_t channels_;
};

} // namespace spatium::host
