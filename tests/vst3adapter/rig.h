#pragma once
// One Spatium instance behind the VST3 adapter, driven the way a host drives it.

#include "corvid/vst3/component.h"
#include "spatium/spatium.h"
#include "tests/vst3adapter/host_objects.h"

#include <cmath>
#include <memory>
#include <vector>

namespace vst3test {

struct Rig {
    corvid::vst3::Component* component;
    int inputs;

    explicit Rig(int inputChannels = 2, double rate = 48000.0, int32 maxBlock = 512)
        : component(new corvid::vst3::Component(corvid::createClient<spatium::SpatiumClient>())),
          inputs(inputChannels) {
        component->initialize(nullptr);
        SpeakerArrangement in = inputChannels == 1 ? speaker::kMono : speaker::kStereo;
        SpeakerArrangement out = speaker::kStereo;
        component->setBusArrangements(&in, 1, &out, 1);
        ProcessSetup setup{kRealtime, kSample32, maxBlock, rate};
        component->setupProcessing(setup);
        component->setActive(1);
        component->setProcessing(1);
    }
    ~Rig() {
        component->setProcessing(0);
        component->setActive(0);
        component->terminate();
        component->release();
    }
    Rig(const Rig&) = delete;
    Rig& operator=(const Rig&) = delete;

    // Processes frames of the given input channels in place of out (stereo).
    void process(std::vector<std::vector<float>>& in, std::vector<std::vector<float>>& out,
                 int32 offset, int32 frames, IParameterChanges* changes = nullptr,
                 uint64 silence = 0) {
        float* inPointers[2] = {in[0].data() + offset, in[in.size() > 1 ? 1 : 0].data() + offset};
        float* outPointers[2] = {out[0].data() + offset, out[1].data() + offset};
        Block block(inPointers, inputs, outPointers, frames, changes, silence);
        component->process(block.data);
        lastOutputSilence = block.outBus.silenceFlags;
    }
    uint64 lastOutputSilence = 0;
};

inline std::vector<std::vector<float>> noise(int channels, std::size_t frames) {
    std::vector<std::vector<float>> in(static_cast<std::size_t>(channels),
                                       std::vector<float>(frames));
    std::uint32_t seed = 12345;
    for (auto& channel : in)
        for (float& s : channel) {
            seed = seed * 1664525u + 1013904223u;
            s = static_cast<float>(seed >> 8) / 16777216.0f - 0.5f;
        }
    return in;
}

} // namespace vst3test
