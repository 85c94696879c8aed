#pragma once
// The panner's frame loop while its source moves: the head-shadow shelf of both
// channels and the channel gains of one chunk, with the four smoothers (delay and gain
// of each channel) stepping the next chunk in the same loop. The two recurrences then
// overlap instead of queueing. Written once over the baseline's lanes and instantiated
// by one source per instruction set: the wider builds bring three-operand forms and,
// with AVX-512, 32 registers, which keep every coefficient, memory and constant of the
// loop in registers. Internal linkage only, like the lane headers, so the copies built
// for wider sets never replace the baseline's at link time.

#include "corvid/simd/sse2_stereo.h"
#include "vireo/dsp/cascade_kernel.h"

namespace spatium::panner_detail {

constexpr int kChunk = 32;

struct MovingJob {
    // The shelf of the left (0) and right (1) channel: coefficient j (b0, b1, b2, a1,
    // a2) and memory j (x1, x2, y1, y2). The memory comes back settled.
    double coeffs[5][2] = {};
    double memory[4][2] = {};
    // The smoothers in the order delay left, delay right, gain left, gain right; their
    // current values come back stepped nn frames.
    float current[4] = {};
    float target[4] = {};
    float coefficient[4] = {};
    // gains[i][2] and gains[i][3] scale frame i of this chunk; next[i] receives the
    // smoothers at frame i of the next chunk.
    const float (*gains)[4] = nullptr;
    float (*next)[4] = nullptr;
    float* left = nullptr;
    float* right = nullptr;
    int n = 0;  // frames of this chunk
    int nn = 0; // frames of the next chunk
};

using MovingBody = void (*)(MovingJob& job);

void movingSse2(MovingJob& job);
void movingAvx2(MovingJob& job);
void movingAvx512(MovingJob& job);

namespace {

using Lanes = corvid::simd::Sse2Lanes;
using Floats = corvid::simd::Sse2Floats;
using Pair = corvid::simd::Sse2Doubles;
using VF = Lanes::VF;
using VD = Pair::VD;

// One frame of the four smoothers, lane for lane the arithmetic of ExpSmoother::next.
[[gnu::always_inline]] inline VF stepSmoothers(VF cur, VF target, VF coef) {
    const VF d = target - cur;
    const VF stepped = cur + d * coef;
    const Lanes::VI unchanged = Floats::equal(d, Lanes::splatF(0.0f));
    const Lanes::VI snap = Floats::less(Lanes::abs(d), Lanes::splatF(1e-10f));
    // The step is what every frame waits on, so the selections stay off that path
    // unless a lane needs them: one that snaps, or one at rest on -0 or a denormal,
    // which the step would turn into +0. A lane at rest on +0 or a normal number keeps
    // its value through the step.
    const Lanes::VI bits = (Lanes::VI)cur;
    const Lanes::VI plain = (bits & Lanes::splatI(0x7f800000)) != Lanes::splatI(0);
    const Lanes::VI keepsValue = unchanged & (plain | (bits == Lanes::splatI(0)));
    if (!Lanes::any(snap & ~keepsValue)) return stepped;
    // A zero distance is also below the snap.
    return Floats::select(snap, Floats::select(unchanged, cur, target), stepped);
}

struct Shelf {
    VD b0, b1, b2, a1, a2;
    VD x1, x2, y1, y2;

    // One frame of both channels, the output rounded to float before the gain scales
    // it, as in separate passes.
    [[gnu::always_inline]] void shadeAndScale(float* l, float* r, const float* g) {
        const VD y = vireo::cascade_detail::stepBiquad(Pair::widen(*l, *r), b0, b1, b2, a1, a2, x1,
                                                       x2, y1, y2);
        const VF out = Pair::narrow(y) * VF{g[2], g[3], 0.0f, 0.0f};
        *l = out[0];
        *r = out[1];
    }
};

[[gnu::always_inline]] inline void runMoving(MovingJob& job) {
    Shelf s;
    s.b0 = Pair::load(job.coeffs[0]);
    s.b1 = Pair::load(job.coeffs[1]);
    s.b2 = Pair::load(job.coeffs[2]);
    s.a1 = Pair::load(job.coeffs[3]);
    s.a2 = Pair::load(job.coeffs[4]);
    s.x1 = Pair::load(job.memory[0]);
    s.x2 = Pair::load(job.memory[1]);
    s.y1 = Pair::load(job.memory[2]);
    s.y2 = Pair::load(job.memory[3]);
    const VF target = Floats::loadF(job.target), coef = Floats::loadF(job.coefficient);
    VF cur = Floats::loadF(job.current);
    const float(*g)[4] = job.gains;
    float(*next)[4] = job.next;
    float* l = job.left;
    float* r = job.right;
    const int n = job.n, nn = job.nn;
    const int both = n < nn ? n : nn;
    int i = 0;
    for (; i < both; ++i) {
        cur = stepSmoothers(cur, target, coef);
        Floats::storeF(next[i], cur);
        s.shadeAndScale(l + i, r + i, g[i]);
    }
    for (; i < n; ++i) s.shadeAndScale(l + i, r + i, g[i]);
    for (; i < nn; ++i) {
        cur = stepSmoothers(cur, target, coef);
        Floats::storeF(next[i], cur);
    }
    Floats::storeF(job.current, cur);
    vireo::cascade_detail::settle<Pair>(s.x1, s.x2, s.y1, s.y2);
    Pair::store(job.memory[0], s.x1);
    Pair::store(job.memory[1], s.x2);
    Pair::store(job.memory[2], s.y1);
    Pair::store(job.memory[3], s.y2);
}

} // namespace
} // namespace spatium::panner_detail
