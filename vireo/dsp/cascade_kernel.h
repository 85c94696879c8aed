#pragma once
// A cascade of stereo biquads with every filter of every stage in one set of wide
// lanes. Stage k runs one 32-frame chunk behind stage k-1, so within a frame the
// lanes never wait on each other: the only value carried from frame to frame is each
// filter's own recurrence, and stage k's input is what stage k-1 rounded to float one
// chunk earlier. Written once over a double lane type of corvid/simd and instantiated
// by one source per instruction set. Like the lane headers it has internal linkage
// only and includes nothing with inline functions of external linkage, so the copies
// built for wider sets never replace the baseline's at link time.

#include "corvid/simd/sse2_stereo.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace vireo::cascade_detail {

constexpr int kChunk = 32;
constexpr int kMaxChunks = 16; // frames per call: at most kMaxChunks * kChunk
constexpr int kMaxStages = 4;

// Everything a run needs, in plain arrays: the coefficients each filter glides to
// chunk by chunk are worked out by the caller, which owns the filters.
struct Job {
    int stages = 0;
    int frames = 0;
    const float* inL = nullptr;
    const float* inR = nullptr;
    float* outL = nullptr; // may be inL
    float* outR = nullptr; // may be inR
    // coeffs[c][k][j][side]: coefficient j (b0, b1, b2, a1, a2) of stage k, left (0)
    // or right (1), for chunk c.
    const float (*coeffs)[kMaxStages][5][2] = nullptr;
    // memory[k][side]: x1, x2, y1, y2 of the filter; read at its first chunk and
    // written, settled, after its last.
    double (*memory)[2][4] = nullptr;
};

using Body = void (*)(const Job& job);

void skewedSse2(const Job& job);
void skewedAvx2(const Job& job);
void skewedAvx512(const Job& job);

// passesThroughExactly on both channels at once, in the widest lanes of each set.
using PassCheck = bool (*)(const float* left, const float* right, int n);

bool passesSse2(const float* left, const float* right, int n);
bool passesAvx2(const float* left, const float* right, int n);
bool passesAvx512(const float* left, const float* right, int n);

namespace {

// The end-of-chunk settling of a filter's memory, lane by lane: a small offset added
// and removed rounds far-below-audible values to zero, and a lane whose memory is not
// finite is cleared (x - x is zero exactly when x is finite).
template <class D>
[[gnu::always_inline]] inline void settle(typename D::VD& x1, typename D::VD& x2,
                                          typename D::VD& y1, typename D::VD& y2) {
    using VD = typename D::VD;
    const VD up = D::splat(1e-10);
    const VD down = D::splat(-1e-10);
    x1 = (x1 + up) + down;
    x2 = (x2 + up) + down;
    y1 = (y1 + up) + down;
    y2 = (y2 + up) + down;
    const VD zero = D::splat(0.0);
    const auto finite = D::both(D::both(D::equal(x1 - x1, zero), D::equal(x2 - x2, zero)),
                                D::both(D::equal(y1 - y1, zero), D::equal(y2 - y2, zero)));
    x1 = D::keep(x1, finite);
    x2 = D::keep(x2, finite);
    y1 = D::keep(y1, finite);
    y2 = D::keep(y2, finite);
}

// One frame of the filters in the lanes of x: y = ((b0 x + b1 x1) - a1 y1) +
// (b2 x2 - a2 y2), the operations and order of Biquad::filter. The products of the
// older samples come first: they do not wait for x.
template <class VD>
[[gnu::always_inline]] inline VD stepBiquad(const VD& x, const VD& b0, const VD& b1, const VD& b2,
                                            const VD& a1, const VD& a2, VD& x1, VD& x2, VD& y1,
                                            VD& y2) {
    const VD a2y2 = a2 * y2;
    const VD older = b2 * x2 - a2y2;
    const VD a1y1 = a1 * y1;
    const VD b1x1 = b1 * x1;
    const VD y = ((b0 * x + b1x1) - a1y1) + older;
    x2 = x1;
    x1 = x;
    y2 = y1;
    y1 = y;
    return y;
}

// The lanes of a run: coefficients and memories of every filter, G registers each.
template <class D, int G>
struct Lanes {
    using VD = typename D::VD;
    VD b0[G], b1[G], b2[G], a1[G], a2[G];
    VD x1[G], x2[G], y1[G], y2[G];
};

// Per frame: the block's input in the first two slots, then every lane's output
// rounded to float. Loading from the start shifts each stage's output onto the next
// stage's lanes.
template <class D, int G>
constexpr int kSlots = D::lanes* G + 2;

// Frames [from, to) of one round. The loop waits on the recurrences, so it also
// carries the next chunk's input in (In) and the finished chunk's output out (Out).
template <class D, int G, bool In, bool Out>
[[gnu::always_inline]] inline void
runFrames(Lanes<D, G>& v, double (*staged)[kSlots<D, G>], int from, int to, const float* nextL,
          const float* nextR, int lastOut, float* doneL, float* doneR) {
    using VD = typename D::VD;
    using Pair = corvid::simd::Sse2Doubles;
    constexpr int W = D::lanes;
    for (int i = from; i < to; ++i) {
        VD x[G];
        // Every input first: a register's output overlaps the next one's input.
        for (int g = 0; g < G; ++g) x[g] = D::load(&staged[i][g * W]);
        if constexpr (In) Pair::store(&staged[i][0], Pair::widen(nextL[i], nextR[i]));
        for (int g = 0; g < G; ++g) {
            const VD y = stepBiquad(x[g], v.b0[g], v.b1[g], v.b2[g], v.a1[g], v.a2[g], v.x1[g],
                                    v.x2[g], v.y1[g], v.y2[g]);
            D::store(&staged[i][2 + g * W], D::roundToFloat(y));
        }
        if constexpr (Out) Pair::storeFloats(Pair::load(&staged[i][lastOut]), doneL + i, doneR + i);
    }
}

// G registers of D::lanes doubles each; lane 2k holds stage k's left filter and lane
// 2k+1 its right one. Lanes of stages that have not started or have finished compute
// values nobody reads.
template <class D, int G>
void runSkewed(const Job& job) {
    using VD = typename D::VD;
    using Pair = corvid::simd::Sse2Doubles;
    constexpr int W = D::lanes;
    constexpr int L = W * G;
    const int stages = job.stages;
    const int frames = job.frames;
    const int chunks = (frames + kChunk - 1) / kChunk;
    auto length = [&](int c) {
        return frames - c * kChunk < kChunk ? frames - c * kChunk : kChunk;
    };

    alignas(64) double staged[kChunk][kSlots<D, G>] = {};
    alignas(64) float coefficients[5][L] = {}; // b0, b1, b2, a1, a2
    alignas(64) double memory[4][L] = {};      // x1, x2, y1, y2
    Lanes<D, G> v;
    for (int g = 0; g < G; ++g) v.x1[g] = v.x2[g] = v.y1[g] = v.y2[g] = D::splat(0.0);
    auto stash = [&](const VD* m1, const VD* m2, const VD* m3, const VD* m4) {
        for (int g = 0; g < G; ++g) {
            D::store(memory[0] + g * W, m1[g]);
            D::store(memory[1] + g * W, m2[g]);
            D::store(memory[2] + g * W, m3[g]);
            D::store(memory[3] + g * W, m4[g]);
        }
    };

    for (int i = 0, n = length(0); i < n; ++i)
        Pair::store(&staged[i][0], Pair::widen(job.inL[i], job.inR[i]));

    for (int t = 0; t < chunks + stages - 1; ++t) {
        if (t < stages) {
            // Stage t starts: its lanes take the filters' memories.
            stash(v.x1, v.x2, v.y1, v.y2);
            for (int side = 0; side < 2; ++side)
                for (int j = 0; j < 4; ++j) memory[j][2 * t + side] = job.memory[t][side][j];
            for (int g = 0; g < G; ++g) {
                v.x1[g] = D::load(memory[0] + g * W);
                v.x2[g] = D::load(memory[1] + g * W);
                v.y1[g] = D::load(memory[2] + g * W);
                v.y2[g] = D::load(memory[3] + g * W);
            }
        }
        bool full = false; // some stage runs a whole chunk in this round
        for (int k = 0; k < stages; ++k) {
            const int c = t - k;
            const bool active = c >= 0 && c < chunks;
            full = full || (active && c < chunks - 1);
            for (int j = 0; j < 5; ++j)
                for (int side = 0; side < 2; ++side)
                    coefficients[j][2 * k + side] = active ? job.coeffs[c][k][j][side] : 0.0f;
        }
        for (int g = 0; g < G; ++g) {
            v.b0[g] = D::widen(coefficients[0] + g * W);
            v.b1[g] = D::widen(coefficients[1] + g * W);
            v.b2[g] = D::widen(coefficients[2] + g * W);
            v.a1[g] = D::widen(coefficients[3] + g * W);
            v.a2[g] = D::widen(coefficients[4] + g * W);
        }

        const int next = t + 1 < chunks ? length(t + 1) : 0;
        const float* nextL = next > 0 ? job.inL + (t + 1) * kChunk : job.inL;
        const float* nextR = next > 0 ? job.inR + (t + 1) * kChunk : job.inR;
        const int done = t - (stages - 1);
        const int finished = done >= 0 ? length(done) : 0;
        float* doneL = finished > 0 ? job.outL + done * kChunk : job.outL;
        float* doneR = finished > 0 ? job.outR + done * kChunk : job.outR;
        const int lastOut = 2 * stages;

        // The stage on the block's last chunk may stop short of the others; input and
        // output too stop where their chunks end.
        const int ending = t - (chunks - 1);
        const int endLength = ending >= 0 ? length(chunks - 1) : kChunk;
        const int to = full ? kChunk : endLength;
        for (int from = 0; from < to;) {
            int end = to;
            if (from < endLength && endLength < end) end = endLength;
            const bool in = from < next, out = from < finished;
            if (in && next < end) end = next;
            if (out && finished < end) end = finished;
            if (in && out)
                runFrames<D, G, true, true>(v, staged, from, end, nextL, nextR, lastOut, doneL,
                                            doneR);
            else if (in)
                runFrames<D, G, true, false>(v, staged, from, end, nextL, nextR, lastOut, doneL,
                                             doneR);
            else if (out)
                runFrames<D, G, false, true>(v, staged, from, end, nextL, nextR, lastOut, doneL,
                                             doneR);
            else
                runFrames<D, G, false, false>(v, staged, from, end, nextL, nextR, lastOut, doneL,
                                              doneR);
            from = end;
            if (from == endLength && ending >= 0) {
                VD m1[G], m2[G], m3[G], m4[G];
                for (int g = 0; g < G; ++g) {
                    m1[g] = v.x1[g];
                    m2[g] = v.x2[g];
                    m3[g] = v.y1[g];
                    m4[g] = v.y2[g];
                    settle<D>(m1[g], m2[g], m3[g], m4[g]);
                }
                stash(m1, m2, m3, m4);
                for (int side = 0; side < 2; ++side)
                    for (int j = 0; j < 4; ++j)
                        job.memory[ending][side][j] = memory[j][2 * ending + side];
            }
        }
        for (int g = 0; g < G; ++g) settle<D>(v.x1[g], v.x2[g], v.y1[g], v.y2[g]);
    }
}

// Whether an identity filter gives every sample of the channels back exactly: +0 and
// normal numbers do, their magnitudes lying strictly between the largest denormal and
// infinity; -0, denormals, infinities and NaNs meet the zero terms. L is a lane set of
// corvid/simd (L::VI of 32-bit lanes).
template <class L, std::size_t C>
bool passesEvery(const float* const (&channels)[C], int n) {
    using VI = typename L::VI;
    constexpr int W = L::lanes;
    const VI magnitude = L::splatI(0x7fffffff);
    const VI largestDenormal = L::splatI(0x007fffff);
    const VI infinity = L::splatI(0x7f800000);
    const VI zero = L::splatI(0);
    VI fine = L::splatI(-1);
    int i = 0;
    for (; i + W <= n; i += W) {
        for (const float* x : channels) {
            const VI bits = L::load(x + i);
            const VI m = bits & magnitude;
            fine &= ((m > largestDenormal) & (m < infinity)) | (bits == zero);
        }
    }
    bool bad = L::any(~fine);
    for (; i < n; ++i) {
        for (const float* x : channels) {
            std::uint32_t bits;
            std::memcpy(&bits, x + i, sizeof bits);
            const std::uint32_t exponent = bits & 0x7f800000u;
            bad |= bits != 0 && (exponent == 0 || exponent == 0x7f800000u);
        }
    }
    return !bad;
}

} // namespace
} // namespace vireo::cascade_detail
