// The audio chain of SpatiumClient: runs on the host's audio thread, so nothing here
// allocates, locks, waits or calls the system.

#include "spatium/blockpasses.h"
#include "spatium/editorfeed.h"
#include "spatium/spatium.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace spatium {

namespace {

struct ChainValues {
    float wet;
    float panAmount;
    float distanceAmount;
    float closeness;
    float headAmount;
    float spectralAmount;
    float levelBlend;
    float widthTarget;
    float tiltAmount;
    bool testMono;
};

// Compared as addresses: the buffers come from unrelated host allocations.
bool overlaps(const float* a, const float* b, std::int32_t frames) {
    const auto x = reinterpret_cast<std::uintptr_t>(a);
    const auto y = reinterpret_cast<std::uintptr_t>(b);
    const auto bytes = static_cast<std::uintptr_t>(frames) * sizeof(float);
    return x < y + bytes && y < x + bytes;
}

} // namespace

bool SpatiumClient::scratchHolds(std::int32_t frames) const {
    const auto n = static_cast<std::size_t>(frames);
    return midBuffer_.size() >= n && sideBuffer_.size() >= n && inputCopyL_.size() >= n &&
           inputCopyR_.size() >= n && panner_.ready();
}

void SpatiumClient::processSubBlock(const float* const* inputs, float* const* outputs,
                                    std::int32_t frames, corvid::TransportInfo) {
    const float* inL = inputs[0];
    const float* inR = inputChannels_ == 2 ? inputs[1] : inputs[0];
    float* outL = outputs[0];
    float* outR = outputs[1];

    // Every value is read once, so a concurrent change lands between sub-blocks.
    ChainValues v;
    const float dryWet = static_cast<float>(floatParameter(kDryWet)->value());
    const float pan = static_cast<float>(floatParameter(kPan)->value());
    const float distance = static_cast<float>(floatParameter(kDistance)->value());
    const float headSize = static_cast<float>(floatParameter(kHeadSize)->value());
    const float spectralPan = static_cast<float>(floatParameter(kSpectralPan)->value());
    const float outputLevel = static_cast<float>(floatParameter(kOutputLevel)->value());
    const float width = static_cast<float>(floatParameter(kStereoWidth)->value());
    const float tilt = static_cast<float>(floatParameter(kTilt)->value());
    v.testMono = boolParameter(kTestMono)->value();

    // Dry/wet is an amount: at 0 every stage is neutral, there is no separate dry path.
    v.wet = dryWet * 0.01f;
    v.panAmount = pan * v.wet / 90.0f;
    v.distanceAmount = distance * v.wet;
    v.closeness = 1.0f - std::max(0.0f, v.distanceAmount / 6.0f);
    v.headAmount = headSize * 0.01f * v.closeness;
    v.spectralAmount = spectralPan * 0.01f * v.closeness;
    const float outputGain =
        std::isinf(outputLevel) && outputLevel < 0.0f ? 0.0f : std::exp(outputLevel * 0.115129255f);
    v.levelBlend = (1.0f - outputGain) * (1.0f - v.wet) + outputGain;
    const float w = width * 0.01f;
    v.widthTarget = (1.0f - v.wet) * (1.0f - w) + w;
    v.tiltAmount = tilt * v.wet;

    const BlockPasses& passes = blockPasses(panner_.isa);
    bool mute = false;
    if (passes.silent(inL, frames) && (inR == inL || passes.silent(inR, frames))) {
        const std::int64_t old = silentFrames_;
        silentFrames_ += frames;
        // The chain renders its decaying tail for the reported tail length before it
        // stops; muted sub-blocks leave every stage's state where it was.
        mute = old >= silenceThreshold_;
    } else {
        silentFrames_ = 0;
    }
    // Without scratch of the sub-block's length the stages would write past it.
    if (!scratchHolds(frames)) mute = true;

    if (mute) {
        std::fill_n(outL, frames, 0.0f);
        std::fill_n(outR, frames, 0.0f);
    } else {
        // A host may process in place, even with the mono input as the left output. The
        // distance stage writes the left output before it has read the right input, so
        // an input that shares storage with an output other than its own goes to scratch.
        const auto bytes = static_cast<std::size_t>(frames) * sizeof(float);
        const float* srcL = inL;
        const float* srcR = inR;
        if (overlaps(inR, outL, frames) || (overlaps(inR, outR, frames) && inR != outR)) {
            std::memcpy(inputCopyR_.data(), inR, bytes);
            srcR = inputCopyR_.data();
        }
        if (overlaps(inL, outR, frames) || (overlaps(inL, outL, frames) && inL != outL)) {
            std::memcpy(inputCopyL_.data(), inL, bytes);
            srcL = inputCopyL_.data();
        }

        const float distanceGain =
            distance_.process(srcL, srcR, outL, outR, frames, v.distanceAmount);

        // Width on mid and side; at a factor of 1 this doubles both channels, which the
        // 0.5 in the panner's gain takes back.
        float* mid = midBuffer_.data();
        float* side = sideBuffer_.data();
        if (widthSmoother_.isSteady(v.widthTarget)) {
            // A constant factor: the three passes fold into one with the same arithmetic.
            passes.width(outL, outR, widthSmoother_.current, frames);
        } else {
            for (std::int32_t i = 0; i < frames; ++i) mid[i] = outL[i] + outR[i];
            for (std::int32_t i = 0; i < frames; ++i)
                side[i] = (outL[i] - outR[i]) * widthSmoother_.next(v.widthTarget);
            for (std::int32_t i = 0; i < frames; ++i) {
                outL[i] = mid[i] + side[i];
                outR[i] = mid[i] - side[i];
            }
        }

        panner_.process(outL, outR, frames, distanceGain * 0.5f * v.levelBlend, v.closeness,
                        v.spectralAmount, v.headAmount, v.panAmount);

        if (v.testMono) {
            for (std::int32_t i = 0; i < frames; ++i) {
                const float m = (outL[i] + outR[i]) * 0.5f;
                outL[i] = m;
                outR[i] = m;
            }
        }
    }

    feedEditor(outL, outR, frames, v.panAmount, v.distanceAmount, v.tiltAmount);
}

void SpatiumClient::feedEditor(const float* outL, const float* outR, std::int32_t frames,
                               float panAmount, float distanceAmount, float tiltAmount) {
    // One compare-and-swap; if the editor thread holds the token this sub-block is
    // simply not shown.
    corvid::IGraphics* editor = tryTakeEditor();
    if (!editor) return;
    if (auto* feed = dynamic_cast<IEditorFeed*>(editor)) {
        feed->feedPanorama(panAmount, distanceAmount, tiltAmount, 1.0f, editorSampleRate_);
        feed->feedPhaseDisplay(outL, outR, frames, editorSampleRate_);
    }
    releaseEditor();
}

} // namespace spatium
