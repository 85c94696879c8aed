#include "vireo/dsp/interpbiquad.h"

#include "vireo/dsp/cascade_kernel.h"

#include <cmath>
#include <cstdint>
#include <cstring>

namespace vireo {

using corvid::Biquad;
using corvid::BiquadCoeffs;
using corvid::BiquadMemory;
using Pair = corvid::simd::Sse2Doubles;

void InterpolatedBiquad::reset(float sampleRate) {
    chunkShift = kChunkShift;
    biquad.memory = BiquadMemory{};
    current = BiquadCoeffs::identity();
    for (int k = 1; k <= kChunk; ++k) {
        const float rate = sampleRate / static_cast<float>(k);
        glide[k - 1] = static_cast<float>(
            1.0 - std::exp(-1.0 / (static_cast<double>(0.04f) * static_cast<double>(rate))));
    }
}

void InterpolatedBiquad::glideToward(const BiquadCoeffs& target, int n) {
    const float g = glide[n - 1];
    current.b0 = current.b0 + (target.b0 - current.b0) * g;
    current.b1 = current.b1 + (target.b1 - current.b1) * g;
    current.b2 = current.b2 + (target.b2 - current.b2) * g;
    current.a1 = current.a1 + (target.a1 - current.a1) * g;
    current.a2 = current.a2 + (target.a2 - current.a2) * g;
}

bool InterpolatedBiquad::currentIsIdentity() const {
    return corvid::isIdentity(current);
}

void InterpolatedBiquad::process(const BiquadCoeffs& target, const float* input, float* output,
                                 int frames) {
    const int chunk = 1 << chunkShift;
    int done = 0;
    while (frames - done >= chunk) {
        glideToward(target, chunk);
        biquad.filter(current, input + done, output + done, chunk);
        done += chunk;
    }
    if (frames > done) {
        glideToward(target, frames - done);
        biquad.filter(current, input + done, output + done, frames - done);
    }
}

bool passesThroughExactly(const float* x, int n) {
    return cascade_detail::passesEvery<corvid::simd::Sse2Lanes>({x}, n);
}

bool passesThroughExactly(const float* left, const float* right, int n, corvid::Isa isa) {
    namespace cd = cascade_detail;
    return corvid::IsaBodies<cd::PassCheck>{&cd::passesSse2, &cd::passesAvx2,
                                            &cd::passesAvx512}[isa](left, right, n);
}

void passThroughMemory(BiquadMemory& m, const float* s, int n) {
    if (n >= 2) {
        m.x2 = m.y2 = s[n - 2];
    } else {
        m.x2 = m.x1;
        m.y2 = m.y1;
    }
    m.x1 = m.y1 = s[n - 1];
    Biquad::settleMemory(m);
}

void BiquadPair::load(InterpolatedBiquad& left, InterpolatedBiquad& right) {
    left_ = &left;
    right_ = &right;
    loadCoefficients();
    const BiquadMemory& ml = left.biquad.memory;
    const BiquadMemory& mr = right.biquad.memory;
    x1_ = Pair::pair(ml.x1, mr.x1);
    x2_ = Pair::pair(ml.x2, mr.x2);
    y1_ = Pair::pair(ml.y1, mr.y1);
    y2_ = Pair::pair(ml.y2, mr.y2);
}

void BiquadPair::loadCoefficients() {
    const BiquadCoeffs& l = left_->current;
    const BiquadCoeffs& r = right_->current;
    b0_ = Pair::pair(l.b0, r.b0);
    b1_ = Pair::pair(l.b1, r.b1);
    b2_ = Pair::pair(l.b2, r.b2);
    a1_ = Pair::pair(l.a1, r.a1);
    a2_ = Pair::pair(l.a2, r.a2);
}

void BiquadPair::finish() {
    settle();
    store();
}

void BiquadPair::settle() {
    // Biquad::settleMemory on both lanes.
    cascade_detail::settle<Pair>(x1_, x2_, y1_, y2_);
}

void BiquadPair::store() {
    BiquadMemory& l = left_->biquad.memory;
    BiquadMemory& r = right_->biquad.memory;
    Pair::store(x1_, &l.x1, &r.x1);
    Pair::store(x2_, &l.x2, &r.x2);
    Pair::store(y1_, &l.y1, &r.y1);
    Pair::store(y2_, &l.y2, &r.y2);
}

namespace {

template <int N>
void runPairs(BiquadPair* p, const float* inL, const float* inR, float* outL, float* outR, int n) {
    for (int i = 0; i < n; ++i) {
        Pair::VD v = Pair::widen(inL[i], inR[i]);
        for (int s = 0; s < N - 1; ++s) v = Pair::roundToFloat(p[s].step(v));
        Pair::storeFloats(p[N - 1].step(v), outL + i, outR + i);
    }
}

template <int N>
void runStages(InterpolatedBiquad* const* left, InterpolatedBiquad* const* right, const float* inL,
               const float* inR, float* outL, float* outR, int n) {
    BiquadPair p[N];
    for (int s = 0; s < N; ++s) p[s].load(*left[s], *right[s]);
    runPairs<N>(p, inL, inR, outL, outR, n);
    for (int s = 0; s < N; ++s) p[s].finish();
}

// The stages interleaved frame by frame, chunk by chunk. While no stage is skipped the
// same pairs carry the memories from chunk to chunk in registers, settled in place
// after every chunk, and store them once.
void runChunked(InterpolatedBiquad* const* left, InterpolatedBiquad* const* right,
                const BiquadCoeffs* targetsLeft, const BiquadCoeffs* targetsRight, int stages,
                const float* inL, const float* inR, float* outL, float* outR, int frames) {
    const int chunk = InterpolatedBiquad::kChunk;
    BiquadPair kept[3];
    bool holding = false; // kept[] holds the memories, the filters' copies are stale
    for (int done = 0; done < frames; done += chunk) {
        const int n = frames - done < chunk ? frames - done : chunk;
        for (int s = 0; s < stages; ++s) {
            left[s]->glideToward(targetsLeft[s], n);
            right[s]->glideToward(targetsRight[s], n);
        }
        const float* xl = inL + done;
        const float* xr = inR + done;
        float* yl = outL + done;
        float* yr = outR + done;

        // Leading stages that are exactly the identity copy their input through; only
        // their memory needs to follow the signal.
        int first = 0;
        if (left[0]->currentIsIdentity() && right[0]->currentIsIdentity() &&
            passesThroughExactly(xl, n) && passesThroughExactly(xr, n)) {
            if (holding) {
                for (int s = 0; s < stages; ++s) kept[s].store();
                holding = false;
            }
            while (first < stages && left[first]->currentIsIdentity() &&
                   right[first]->currentIsIdentity()) {
                passThroughMemory(left[first]->biquad.memory, xl, n);
                passThroughMemory(right[first]->biquad.memory, xr, n);
                ++first;
            }
        }
        if (first == 0) {
            for (int s = 0; s < stages; ++s) {
                if (holding)
                    kept[s].loadCoefficients();
                else
                    kept[s].load(*left[s], *right[s]);
            }
            holding = true;
            switch (stages) {
            case 1:
                runPairs<1>(kept, xl, xr, yl, yr, n);
                break;
            case 2:
                runPairs<2>(kept, xl, xr, yl, yr, n);
                break;
            default:
                runPairs<3>(kept, xl, xr, yl, yr, n);
                break;
            }
            for (int s = 0; s < stages; ++s) kept[s].settle();
            continue;
        }
        switch (stages - first) {
        case 0:
            if (yl != xl) std::memmove(yl, xl, sizeof(float) * static_cast<std::size_t>(n));
            if (yr != xr) std::memmove(yr, xr, sizeof(float) * static_cast<std::size_t>(n));
            break;
        case 1:
            runStages<1>(left + first, right + first, xl, xr, yl, yr, n);
            break;
        default:
            runStages<2>(left + first, right + first, xl, xr, yl, yr, n);
            break;
        }
    }
    if (holding)
        for (int s = 0; s < stages; ++s) kept[s].store();
}

bool staysIdentity(const InterpolatedBiquad& left, const InterpolatedBiquad& right,
                   const BiquadCoeffs& targetLeft, const BiquadCoeffs& targetRight) {
    // Identity coefficients glide onto themselves.
    return left.currentIsIdentity() && right.currentIsIdentity() &&
           corvid::isIdentity(targetLeft) && corvid::isIdentity(targetRight);
}

// The memory of a filter that copied the block x through chunk by chunk: it follows
// only the last one or two chunks (a one-frame last chunk keeps the settled sample of
// the chunk before it).
void followThrough(BiquadMemory& m, const float* x, int frames) {
    const int chunk = InterpolatedBiquad::kChunk;
    const int last = (frames - 1) / chunk * chunk;
    if (last > 0) passThroughMemory(m, x + last - chunk, chunk);
    passThroughMemory(m, x + last, frames - last);
}

} // namespace

void processCascadeSkewed(InterpolatedBiquad* const* left, InterpolatedBiquad* const* right,
                          const BiquadCoeffs* targetsLeft, const BiquadCoeffs* targetsRight,
                          int stages, const float* inL, const float* inR, float* outL, float* outR,
                          int frames, corvid::Isa isa) {
    // The glides run first: they do not depend on the audio.
    namespace cd = cascade_detail;
    const cd::Body body =
        corvid::IsaBodies<cd::Body>{&cd::skewedSse2, &cd::skewedAvx2, &cd::skewedAvx512}[isa];
    constexpr int kPiece = cd::kMaxChunks * cd::kChunk;
    static_assert(cd::kChunk == InterpolatedBiquad::kChunk);
    float coeffs[cd::kMaxChunks][cd::kMaxStages][5][2];
    double memory[cd::kMaxStages][2][4];
    for (int done = 0; done < frames; done += kPiece) {
        const int n = frames - done < kPiece ? frames - done : kPiece;
        // Chunk by chunk across the filters, so that their glides overlap.
        for (int c = 0; c * cd::kChunk < n; ++c) {
            const int length = n - c * cd::kChunk < cd::kChunk ? n - c * cd::kChunk : cd::kChunk;
            for (int k = 0; k < stages; ++k) {
                for (int side = 0; side < 2; ++side) {
                    InterpolatedBiquad& f = *(side == 0 ? left[k] : right[k]);
                    f.glideToward(side == 0 ? targetsLeft[k] : targetsRight[k], length);
                    coeffs[c][k][0][side] = f.current.b0;
                    coeffs[c][k][1][side] = f.current.b1;
                    coeffs[c][k][2][side] = f.current.b2;
                    coeffs[c][k][3][side] = f.current.a1;
                    coeffs[c][k][4][side] = f.current.a2;
                }
            }
        }
        for (int k = 0; k < stages; ++k) {
            for (int side = 0; side < 2; ++side) {
                const BiquadMemory& m = (side == 0 ? left[k] : right[k])->biquad.memory;
                memory[k][side][0] = m.x1;
                memory[k][side][1] = m.x2;
                memory[k][side][2] = m.y1;
                memory[k][side][3] = m.y2;
            }
        }
        cd::Job job;
        job.stages = stages;
        job.frames = n;
        job.inL = inL + done;
        job.inR = inR + done;
        job.outL = outL + done;
        job.outR = outR + done;
        job.coeffs = coeffs;
        job.memory = memory;
        body(job);
        for (int k = 0; k < stages; ++k) {
            for (int side = 0; side < 2; ++side) {
                BiquadMemory& m = (side == 0 ? left[k] : right[k])->biquad.memory;
                m.x1 = memory[k][side][0];
                m.x2 = memory[k][side][1];
                m.y1 = memory[k][side][2];
                m.y2 = memory[k][side][3];
            }
        }
    }
}

void processCascadePair(InterpolatedBiquad* const* left, InterpolatedBiquad* const* right,
                        const BiquadCoeffs* targetsLeft, const BiquadCoeffs* targetsRight,
                        int stages, const float* inL, const float* inR, float* outL, float* outR,
                        int frames, corvid::Isa isa) {
    if (frames <= 0) return;
    // Each stage reads what the stages before it left: the input at first, the output
    // buffers once something has been written there.
    const float* srcL = inL;
    const float* srcR = inR;
    // Identity stages in a row see the same samples: one check serves them all.
    bool passes = false;
    int s = 0;
    while (s < stages) {
        if (staysIdentity(*left[s], *right[s], targetsLeft[s], targetsRight[s])) {
            // An identity stage gives its input back exactly unless a sample meets its
            // zero terms (-0, denormals, infinities, NaN); then it does the arithmetic.
            passes = passes || passesThroughExactly(srcL, srcR, frames, isa);
            if (passes) {
                followThrough(left[s]->biquad.memory, srcL, frames);
                followThrough(right[s]->biquad.memory, srcR, frames);
            } else {
                left[s]->process(targetsLeft[s], srcL, outL, frames);
                right[s]->process(targetsRight[s], srcR, outR, frames);
                srcL = outL;
                srcR = outR;
            }
            ++s;
            continue;
        }
        passes = false;
        int end = s + 1;
        while (end < stages &&
               !staysIdentity(*left[end], *right[end], targetsLeft[end], targetsRight[end]))
            ++end;
        // Two working stages already keep the interleaved loop waiting on their
        // recurrences; with three it waits on instructions, which the wider lanes cut.
        if (end - s >= 3 && isa != corvid::Isa::sse2)
            processCascadeSkewed(left + s, right + s, targetsLeft + s, targetsRight + s, end - s,
                                 srcL, srcR, outL, outR, frames, isa);
        else
            runChunked(left + s, right + s, targetsLeft + s, targetsRight + s, end - s, srcL, srcR,
                       outL, outR, frames);
        srcL = outL;
        srcR = outR;
        s = end;
    }
    const auto bytes = sizeof(float) * static_cast<std::size_t>(frames);
    if (srcL != outL) std::memmove(outL, srcL, bytes);
    if (srcR != outR) std::memmove(outR, srcR, bytes);
}

} // namespace vireo
