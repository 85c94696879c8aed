#include "corvid/host/bypass.h"

#include <algorithm>
#include <cstring>

namespace corvid::host {

void Bypass::prepare(std::int32_t maxFrames, std::int32_t channels, std::int32_t latency,
                     std::int32_t fadeFrames) {
    maxFrames_ = std::max(maxFrames, 1);
    channels_ = std::max(channels, 1);
    latency_ = std::max(latency, 0);
    step_ = 1.0f / static_cast<float>(std::max(fadeFrames, 1));
    storage_.assign(static_cast<std::size_t>(channels_) * stride(), 0.0f);
    reset();
}

void Bypass::reset() {
    std::fill(storage_.begin(), storage_.end(), 0.0f);
    gain_ = target_;
    captured_ = false;
}

void Bypass::capture(const float* const* in, std::int32_t inputs, std::int32_t frames) {
    inputs_ = std::clamp(inputs, 0, channels_);
    const auto n = static_cast<std::size_t>(frames);
    const auto l = static_cast<std::size_t>(latency_);
    captured_ = mixing();
    for (std::int32_t c = 0; c < inputs_; ++c) {
        float* s = channel(c);
        if (captured_) {
            // History first, then the block: the delayed input is s[0, frames).
            std::memcpy(s + l, in[c], n * sizeof(float));
        } else if (n >= l) {
            std::memcpy(s, in[c] + (n - l), l * sizeof(float));
        } else {
            std::memmove(s, s + n, (l - n) * sizeof(float));
            std::memcpy(s + (l - n), in[c], n * sizeof(float));
        }
    }
}

void Bypass::apply(float* const* out, std::int32_t outputs, std::int32_t frames) {
    if (!captured_ || inputs_ == 0) return;
    const auto n = static_cast<std::size_t>(frames);
    const auto l = static_cast<std::size_t>(latency_);
    float gain = gain_;
    for (std::int32_t c = 0; c < outputs; ++c) {
        const float* dry = channel(std::min(c, inputs_ - 1));
        float* o = out[c];
        gain = gain_;
        for (std::size_t i = 0; i < n; ++i) {
            gain =
                gain < target_ ? std::min(gain + step_, target_) : std::max(gain - step_, target_);
            o[i] = gain == 1.0f ? dry[i] : o[i] + gain * (dry[i] - o[i]);
        }
    }
    gain_ = gain;
    // Keep the last latency frames as the next block's history.
    for (std::int32_t c = 0; c < inputs_; ++c) {
        float* s = channel(c);
        std::memmove(s, s + n, l * sizeof(float));
    }
}

} // namespace corvid::host
