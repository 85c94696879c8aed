#pragma once
// A biquad whose coefficients glide toward a target once per 32-frame chunk, so that
// designs recomputed once per block never click. The glide factor depends on the
// chunk length, which keeps the 40 ms time constant exact for the short last chunk.

#include "corvid/core/isa.h"
#include "corvid/dsp/iir.h"
#include "corvid/simd/sse2_stereo.h"

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

// True when an identity filter gives these samples back exactly: each is +0 or a normal
// number. -0, denormals (read as zero when the processor treats them so), infinities and
// NaNs interact with the filter's zero terms and must go through the arithmetic.
bool passesThroughExactly(const float* x, int n);
// The same for both channels of a block, in the lanes of isa.
bool passesThroughExactly(const float* left, const float* right, int n, corvid::Isa isa);

// The memory an identity filter holds after passing the n samples s through (one call
// of Biquad::filter).
void passThroughMemory(corvid::BiquadMemory& m, const float* s, int n);

// A left and a right filter with their current coefficients and memories in the two
// lanes of a vector, for callers that interleave the recurrence with other work. step()
// is the recurrence of Biquad::filter for one frame of both channels, the same
// operations in the same order; finish() ends the call as Biquad::filter does.
class BiquadPair {
public:
    using VD = corvid::simd::Sse2Doubles::VD;

    void load(InterpolatedBiquad& left, InterpolatedBiquad& right);
    // The filters' current coefficients again, after a glide; the memories stay.
    void loadCoefficients();

    VD step(VD x) {
        // y = ((b0 x + b1 x1) - a1 y1) + (b2 x2 - a2 y2). The products of the older
        // samples are taken first: they do not wait for x, and in this order a
        // three-stage cascade keeps its values in registers instead of spilling them.
        const VD a2y2 = a2_ * y2_;
        const VD older = b2_ * x2_ - a2y2;
        const VD a1y1 = a1_ * y1_;
        const VD b1x1 = b1_ * x1_;
        const VD y = ((b0_ * x + b1x1) - a1y1) + older;
        x2_ = x1_;
        x1_ = x;
        y2_ = y1_;
        y1_ = y;
        return y;
    }

    // finish() is settle() and then store(): callers that go on to the next chunk
    // with the same pair settle the memories in place and store them once at the end.
    void finish();
    void settle();
    void store();

private:
    InterpolatedBiquad* left_ = nullptr;
    InterpolatedBiquad* right_ = nullptr;
    VD b0_, b1_, b2_, a1_, a2_;
    VD x1_, x2_, y1_, y2_;
};

// Runs a cascade of `stages` filters over two channels at once. Stage s of the left
// channel is left[s] with target targetsLeft[s], likewise for the right. The result is
// bit for bit what calling process() on every filter in turn, each over the whole
// block, would give; the two channels and the stages run side by side so that their
// recurrences overlap instead of running one after another. A stage that stays the
// identity for the whole block is left out whenever that gives the same samples.
// Input and output may be the same buffers. stages is 1 to 3. isa picks the body for
// three working stages (the processor must run it).
void processCascadePair(InterpolatedBiquad* const* left, InterpolatedBiquad* const* right,
                        const corvid::BiquadCoeffs* targetsLeft,
                        const corvid::BiquadCoeffs* targetsRight, int stages, const float* inL,
                        const float* inR, float* outL, float* outR, int frames,
                        corvid::Isa isa = corvid::Isa::sse2);

// The same cascade with every filter of every stage in one set of lanes of isa, each
// stage a 32-frame chunk behind the one before: within a frame no lane waits on
// another, and only each filter's own recurrence is carried from frame to frame. The
// same result, always through the arithmetic. stages is 1 to 4.
void processCascadeSkewed(InterpolatedBiquad* const* left, InterpolatedBiquad* const* right,
                          const corvid::BiquadCoeffs* targetsLeft,
                          const corvid::BiquadCoeffs* targetsRight, int stages, const float* inL,
                          const float* inR, float* outL, float* outR, int frames, corvid::Isa isa);

} // namespace vireo
