#pragma once
// Distance: farther darkens the sound through two one-pole sections and lowers the
// level; closer lifts the bass with a low shelf and raises the level. The level is
// returned, not applied, so the panner can fold it into its smoothed channel gains.

#include "corvid/core/lastresult.h"
#include "corvid/dsp/iir.h"
#include "vireo/dsp/interpbiquad.h"

namespace spatium {

struct DistanceTargets {
    float gain = 1.0f;
    corvid::BiquadCoeffs farLowpass;
    corvid::BiquadCoeffs farSecond;
    corvid::BiquadCoeffs nearShelf;
};

class DistanceStage {
public:
    void reset(float rate);

    // The filter targets and level for a distance amount (-24 far .. +6 near).
    DistanceTargets targets(float distanceAmount) const;

    // Filters inL into outL and inR into outR and returns the level to apply.
    // Inputs and outputs may be the same buffers.
    float process(const float* inL, const float* inR, float* outL, float* outR, int frames,
                  float distanceAmount);

    float sampleRate = 0.0f;
    // The filters' body, chosen by reset() off the audio thread.
    corvid::Isa isa = corvid::Isa::sse2;
    vireo::InterpolatedBiquad farLowpassL, farLowpassR;
    vireo::InterpolatedBiquad farSecondL, farSecondR;
    vireo::InterpolatedBiquad nearShelfL, nearShelfR;
    // The near shelf's corner at the rate of the last reset().
    corvid::ShelfCorner nearCorner;
    // What process() last worked out, from the distance amount and the sample rate.
    corvid::LastResult<DistanceTargets, 2> lastTargets;
};

} // namespace spatium
