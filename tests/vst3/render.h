#pragma once
// Rendering audio through a VST3 instance the way `spatium render --no-compensate`
// renders it through the AAX library: the input followed by 0.1 s of silence, in
// host blocks of a chosen size, 32-bit float stereo out.

#include "tests/vst3/host.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vst3host {

struct Audio {
    std::int32_t channels = 0;
    std::int32_t rate = 0;
    std::vector<float> samples; // interleaved
    std::int64_t frames() const {
        return channels ? static_cast<std::int64_t>(samples.size()) / channels : 0;
    }
};

// Through libsndfile; throw on failure.
Audio readAudio(const std::string& path);
void writeAudio(const std::string& path, const Audio& audio);

// A sweep over noise moving between the channels, so every part of the audio path
// has something to do; the same samples on every system.
Audio testSignal(std::int32_t channels, std::int32_t rate, double seconds);

// A parameter change at a frame of the whole render.
struct Change {
    std::int64_t frame;
    ParamID id;
    ParamValue value;
};

// How changes reach the plug-in: inside the regular blocks at their offsets, or
// with the blocks cut at every change frame so each change comes at offset 0.
enum class Delivery { atOffsets, cutBlocks };

// The plug-in was made for input.channels channels at input.rate; parameters set
// on it beforehand apply from the first frame.
Audio render(Plugin& plugin, const Audio& input, std::int32_t block,
             const std::vector<Change>& changes = {}, Delivery delivery = Delivery::atOffsets);

// The longest block a render may use, as for the command-line host.
constexpr std::int32_t kMaxBlock = 1024;

} // namespace vst3host
