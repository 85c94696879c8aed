#pragma once
// A host's bypass for formats that have one: the output becomes the input,
// delayed by the plug-in's latency so it stays aligned with the rest of the mix,
// and the change fades over a few milliseconds instead of clicking. The plug-in
// keeps running underneath, so coming back is as smooth as leaving. While not
// bypassed and not fading, the output is left exactly as the plug-in made it.
//
// A small DSP block: prepare on the main thread, everything else on the audio
// thread, where it neither allocates nor locks.

#include <cstdint>
#include <vector>

namespace corvid::host {

class Bypass {
public:
    // Main thread. Room for blocks of up to maxFrames frames of up to channels
    // channels, a delay of latency frames and a fade of fadeFrames.
    void prepare(std::int32_t maxFrames, std::int32_t channels, std::int32_t latency,
                 std::int32_t fadeFrames);
    // Audio thread: no history, and the fade jumps to where it is going.
    void reset();
    void setBypassed(bool bypassed) { target_ = bypassed ? 1.0f : 0.0f; }
    bool bypassed() const { return target_ > 0.5f; }
    std::int32_t maxFrames() const { return maxFrames_; }

    // Audio thread, before the plug-in runs (hosts may process in place): keeps
    // what the delayed input needs. frames <= maxFrames().
    void capture(const float* const* in, std::int32_t inputs, std::int32_t frames);
    // Audio thread, after the plug-in ran: mixes the delayed input into out (the
    // last input channel feeds the outputs it has no channel for).
    void apply(float* const* out, std::int32_t outputs, std::int32_t frames);

private:
    bool mixing() const { return gain_ != 0.0f || target_ != 0.0f; }
    float* channel(std::int32_t c) {
        return storage_.data() + static_cast<std::size_t>(c) * stride();
    }
    std::size_t stride() const { return static_cast<std::size_t>(latency_ + maxFrames_); }

    std::int32_t maxFrames_ = 0;
    std::int32_t channels_ = 0;
    std::int32_t latency_ = 0;
    float step_ = 1.0f;
    float gain_ = 0.0f; // 0 = the plug-in's output, 1 = the delayed input
    float target_ = 0.0f;
    std::int32_t inputs_ = 0;
    bool captured_ = false; // the whole block is in storage, not only its end
    // Per channel: latency frames of history, then the block's input.
    std::vector<float> storage_;
};

} // namespace corvid::host
