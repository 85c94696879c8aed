#pragma once
// A plain, loop-by-loop rendering of the audio chain: every stage runs over the whole
// sub-block in turn with the basic smoother, filter and delay-line operations, without
// any of the shortcuts of the product code. Tests hold the product to it bit for bit.

#include "corvid/dsp/delayline.h"
#include "corvid/dsp/smooth.h"
#include "spatium/distance.h"
#include "spatium/panner.h"
#include "spatium/params.h"
#include "spatium/spatium.h"
#include "vireo/dsp/interpbiquad.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace spatium::testing {

struct ChainInputs {
    float distance = 0.0f;
    float width = 100.0f;
    float tilt = 0.0f;
    float pan = 0.0f;
    float headSize = 100.0f;
    float spectralPan = 100.0f;
    float outputLevel = 0.0f;
    float dryWet = 100.0f;
    bool testMono = false;
};

inline ChainInputs readInputs(const SpatiumClient& c) {
    ChainInputs p;
    p.distance = static_cast<float>(c.floatParameter(kDistance)->value());
    p.width = static_cast<float>(c.floatParameter(kStereoWidth)->value());
    p.tilt = static_cast<float>(c.floatParameter(kTilt)->value());
    p.pan = static_cast<float>(c.floatParameter(kPan)->value());
    p.headSize = static_cast<float>(c.floatParameter(kHeadSize)->value());
    p.spectralPan = static_cast<float>(c.floatParameter(kSpectralPan)->value());
    p.outputLevel = static_cast<float>(c.floatParameter(kOutputLevel)->value());
    p.dryWet = static_cast<float>(c.floatParameter(kDryWet)->value());
    p.testMono = c.boolParameter(kTestMono)->value();
    return p;
}

class ReferenceChain {
public:
    void reset(double sampleRate, int maxFrames, int numInputs) {
        const float rate = static_cast<float>(sampleRate);
        inputs_ = numInputs;
        rate_ = rate;
        designs_.reset(rate);
        pannerDesigns_.reset(rate, 0);
        for (vireo::InterpolatedBiquad* f :
             {&farL_, &farR_, &secondL_, &secondR_, &nearL_, &nearR_, &shadowL_, &shadowR_})
            f->reset(rate);
        const int size = maxFrames + static_cast<int>(0.002f * rate);
        delayL_.resize(size);
        delayR_.resize(size);
        delaySmootherL_.initialise(2.0f, 0.05f, rate);
        delaySmootherR_.initialise(2.0f, 0.05f, rate);
        gainSmootherL_.initialise(0.5f, 0.04f, rate);
        gainSmootherR_.initialise(0.5f, 0.04f, rate);
        widthSmoother_.initialise(1.0f, 0.04f, rate);
        mid_.assign(static_cast<std::size_t>(maxFrames), 0.0f);
        side_.assign(static_cast<std::size_t>(maxFrames), 0.0f);
        silentFrames_ = 0;
        silenceThreshold_ = static_cast<std::int64_t>(sampleRate * 0.1 + 0.5);
    }

    // One sub-block. Inputs are copied first, so any aliasing of the caller's buffers
    // is harmless here.
    void process(const float* const* inputs, float* const* outputs, int frames,
                 const ChainInputs& p) {
        std::vector<float> inL(inputs[0], inputs[0] + frames);
        std::vector<float> inR(inputs[inputs_ == 2 ? 1 : 0], inputs[inputs_ == 2 ? 1 : 0] + frames);
        float* outL = outputs[0];
        float* outR = outputs[1];

        const float wet = p.dryWet * 0.01f;
        const float panAmount = p.pan * wet / 90.0f;
        const float distanceAmount = p.distance * wet;
        const float closeness = 1.0f - std::max(0.0f, distanceAmount / 6.0f);
        const float headAmount = p.headSize * 0.01f * closeness;
        const float spectralAmount = p.spectralPan * 0.01f * closeness;
        const float outputGain =
            p.outputLevel == -INFINITY ? 0.0f : std::exp(p.outputLevel * 0.115129255f);
        const float levelBlend = (1.0f - outputGain) * (1.0f - wet) + outputGain;
        const float w = p.width * 0.01f;
        const float widthTarget = (1.0f - wet) * (1.0f - w) + w;

        bool silent = true;
        for (int i = 0; i < frames && silent; ++i) silent = inL[std::size_t(i)] == 0.0f;
        for (int i = 0; i < frames && silent; ++i) silent = inR[std::size_t(i)] == 0.0f;
        if (silent) {
            const std::int64_t old = silentFrames_;
            silentFrames_ += frames;
            if (old >= silenceThreshold_) {
                for (int i = 0; i < frames; ++i) outL[i] = outR[i] = 0.0f;
                return;
            }
        } else {
            silentFrames_ = 0;
        }

        // Distance.
        const DistanceTargets d = designs_.targets(distanceAmount);
        farL_.process(d.farLowpass, inL.data(), outL, frames);
        farR_.process(d.farLowpass, inR.data(), outR, frames);
        secondL_.process(d.farSecond, outL, outL, frames);
        secondR_.process(d.farSecond, outR, outR, frames);
        nearL_.process(d.nearShelf, outL, outL, frames);
        nearR_.process(d.nearShelf, outR, outR, frames);

        // Width.
        for (int i = 0; i < frames; ++i) mid_[std::size_t(i)] = outL[i] + outR[i];
        for (int i = 0; i < frames; ++i) {
            const float c = widthSmoother_.next(widthTarget);
            side_[std::size_t(i)] = (outL[i] - outR[i]) * c;
        }
        for (int i = 0; i < frames; ++i) {
            outL[i] = mid_[std::size_t(i)] + side_[std::size_t(i)];
            outR[i] = mid_[std::size_t(i)] - side_[std::size_t(i)];
        }

        // Panner.
        const PannerTargets t = pannerDesigns_.targets(d.gain * 0.5f * levelBlend, closeness,
                                                       spectralAmount, headAmount, panAmount);
        delayL_.feed(outL, frames);
        delayR_.feed(outR, frames);
        for (int i = 0; i < frames; ++i) {
            const float cL = delaySmootherL_.next(t.delayL);
            const float cR = delaySmootherR_.next(t.delayR);
            const float back = static_cast<float>(frames - 1 - i);
            outL[i] = delayL_.readInterpolated(cL + back);
            outR[i] = delayR_.readInterpolated(cR + back);
        }
        shadowL_.process(t.shadowL, outL, outL, frames);
        shadowR_.process(t.shadowR, outR, outR, frames);
        for (int i = 0; i < frames; ++i) {
            outL[i] = outL[i] * gainSmootherL_.next(t.gainL);
            outR[i] = outR[i] * gainSmootherR_.next(t.gainR);
        }

        if (p.testMono) {
            for (int i = 0; i < frames; ++i) {
                const float m = (outL[i] + outR[i]) * 0.5f;
                outL[i] = outR[i] = m;
            }
        }
    }

    // A host block, cut the way the client cuts it.
    void processBlock(const float* const* inputs, float* const* outputs, int frames,
                      const ChainInputs& p) {
        for (int done = 0; done < frames; done += 512) {
            const int n = std::min(512, frames - done);
            const float* in[2] = {inputs[0] + done, inputs[inputs_ == 2 ? 1 : 0] + done};
            float* out[2] = {outputs[0] + done, outputs[1] + done};
            process(in, out, n, p);
        }
    }

private:
    int inputs_ = 2;
    float rate_ = 0.0f;
    DistanceStage designs_;
    BinauralPanner pannerDesigns_;
    vireo::InterpolatedBiquad farL_, farR_, secondL_, secondR_, nearL_, nearR_;
    vireo::InterpolatedBiquad shadowL_, shadowR_;
    corvid::Delayline delayL_, delayR_;
    corvid::ExpSmoother delaySmootherL_, delaySmootherR_, gainSmootherL_, gainSmootherR_;
    corvid::ExpSmoother widthSmoother_;
    std::vector<float> mid_, side_;
    std::int64_t silentFrames_ = 0;
    std::int64_t silenceThreshold_ = 0;
};

} // namespace spatium::testing
