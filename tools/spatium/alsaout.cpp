#include "tools/spatium/alsaout.h"

#include "tools/aaxhost/host.h"

#include <alsa/asoundlib.h>

namespace spatium::host {

namespace {
// Enough buffering to ride over a busy GUI thread, little enough that a turned
// knob is heard at once.
constexpr unsigned kLatencyMicroseconds = 60000;
} // namespace

AlsaOutput::AlsaOutput(const std::string& device, std::int32_t sampleRate, std::int32_t channels)
    : device_(device), channels_(channels) {
    int error = snd_pcm_open(&pcm_, device.c_str(), SND_PCM_STREAM_PLAYBACK, 0);
    if (error < 0) {
        pcm_ = nullptr;
        throw HostError("cannot open the sound card \"" + device + "\" for --play: " +
                        snd_strerror(error) + "; name another with --device NAME");
    }
    error = snd_pcm_set_params(pcm_, SND_PCM_FORMAT_FLOAT_LE, SND_PCM_ACCESS_RW_INTERLEAVED,
                               static_cast<unsigned>(channels), static_cast<unsigned>(sampleRate),
                               1, kLatencyMicroseconds);
    if (error < 0) {
        snd_pcm_close(pcm_);
        pcm_ = nullptr;
        throw HostError("the sound card \"" + device + "\" cannot play " +
                        std::to_string(channels) + " channels of float at " +
                        std::to_string(sampleRate) + " Hz: " + snd_strerror(error));
    }
}

AlsaOutput::~AlsaOutput() {
    if (pcm_) {
        snd_pcm_drop(pcm_);
        snd_pcm_close(pcm_);
    }
}

void AlsaOutput::write(const float* interleaved, std::int32_t frames) {
    while (frames > 0) {
        const snd_pcm_sframes_t n =
            snd_pcm_writei(pcm_, interleaved, static_cast<snd_pcm_uframes_t>(frames));
        if (n < 0) {
            const int recovered = snd_pcm_recover(pcm_, static_cast<int>(n), 1);
            if (recovered < 0)
                throw HostError("playback on \"" + device_ +
                                "\" failed: " + snd_strerror(recovered));
            continue;
        }
        interleaved += n * channels_;
        frames -= static_cast<std::int32_t>(n);
    }
}

} // namespace spatium::host
