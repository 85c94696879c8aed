#pragma once
// Places a source between the ears with three cues: an inter-channel time difference,
// a head-shadow treble shelf and a partial constant-power pan law. The channel gains
// also carry the distance level and the output level handed in by the chain.

#include "corvid/core/isa.h"
#include "corvid/core/lastresult.h"
#include "corvid/dsp/delayline.h"
#include "corvid/dsp/iir.h"
#include "corvid/dsp/smooth.h"
#include "vireo/dsp/interpbiquad.h"

namespace spatium {

struct PannerTargets {
    float delayL = 3.0f; // frames
    float delayR = 3.0f;
    float shadowGainL = 0.0f; // dB
    float shadowGainR = 0.0f;
    corvid::BiquadCoeffs shadowL;
    corvid::BiquadCoeffs shadowR;
    float panGainL = 1.0f; // pan law alone
    float panGainR = 1.0f;
    float gainL = 0.5f; // pan law faded by closeness, times the chain's gain
    float gainR = 0.5f;
};

class BinauralPanner {
public:
    // Every channel is delayed by at least this many frames once settled.
    static constexpr int kMinimumDelay = 3;

    void reset(float rate, int maxFrames);

    // False when the delay lines could not be allocated.
    bool ready() const { return delayL.ready() && delayR.ready(); }

    PannerTargets targets(float gain, float closeness, float spectralAmount, float headAmount,
                          float panAmount) const;

    // In place on left and right; frames must not exceed the maxFrames of reset.
    void process(float* left, float* right, int frames, float gain, float closeness,
                 float spectralAmount, float headAmount, float panAmount);

    float sampleRate = 0.0f;
    // The moving loop's body, chosen by reset() off the audio thread.
    corvid::Isa isa = corvid::Isa::sse2;
    corvid::Delayline delayL, delayR;
    corvid::ExpSmoother delaySmootherL, delaySmootherR;
    corvid::ExpSmoother gainSmootherL, gainSmootherR;
    vireo::InterpolatedBiquad shadowL, shadowR;
    // The head-shadow shelf's corner at the rate of the last reset().
    corvid::ShelfCorner shadowCorner;
    // What process() last worked out, from its controls and the sample rate.
    corvid::LastResult<PannerTargets, 6> lastTargets;
};

} // namespace spatium
