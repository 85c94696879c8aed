#pragma once
// A biquad whose coefficients glide toward a target once per 32-frame chunk, so that
// designs recomputed once per block never click. The glide factor depends on the
// chunk length, which keeps the 40 ms time constant exact for the short last chunk.

#include "corvid/dsp/iir.h"

namespace vireo {

class InterpolatedBiquad {
public:
    static constexpr int kChunkShift = 5;
    static constexpr int kChunk = 1 << kChunkShift;

    // Identity coefficients, cleared memory, glide factors for 40 ms at this rate.
    void reset(float sampleRate);

    // Input and output may be the same buffer.
    void process(const corvid::BiquadCoeffs& target, const float* input, float* output, int frames);

    // One glide step of the coefficients for a chunk of n frames (1..32).
    void glideToward(const corvid::BiquadCoeffs& target, int n);

    bool currentIsIdentity() const;

    int chunkShift = kChunkShift;
    corvid::Biquad biquad;
    corvid::BiquadCoeffs current;
    float glide[kChunk] = {};
};

// Runs a cascade of `stages` filters over two channels at once. Stage s of the left
// channel is left[s] with target targetsLeft[s], likewise for the right. The result is
// bit for bit what calling process() on every filter in turn, each over the whole
// block, would give; the two channels and the stages are interleaved chunk by chunk so
// that their recurrences overlap instead of running one after another. Input and
// output may be the same buffers. stages is 1 to 3.
void processCascadePair(InterpolatedBiquad* const* left, InterpolatedBiquad* const* right,
                        const corvid::BiquadCoeffs* targetsLeft,
                        const corvid::BiquadCoeffs* targetsRight, int stages, const float* inL,
                        const float* inR, float* outL, float* outR, int frames);

} // namespace vireo
