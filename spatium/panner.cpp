#include "spatium/panner.h"

#include "corvid/simd/sse2_stereo.h"
#include "spatium/blockpasses.h"
#include "spatium/panner_kernel.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace spatium {

namespace {

constexpr double kPi = std::numbers::pi;
constexpr int kChunk = vireo::InterpolatedBiquad::kChunk;
constexpr int kSteadyRun = 512; // frames of a settled source's reads per call
// The head-shadow shelf: 2 pi times its corner frequency, and 2Q.
constexpr double kShadowNumerator = 25333.803158548093;
constexpr double kShadowDivisor = 1.04;

using Lanes = corvid::simd::Sse2Lanes;
using Floats = corvid::simd::Sse2Floats;
using VF = Lanes::VF;

// The four per-frame smoothers of the panner (delay and gain of each channel) stepped
// together, lane for lane the same arithmetic as ExpSmoother::next, so that their
// recurrences run side by side instead of one after another.
class SmootherLanes {
public:
    SmootherLanes(corvid::ExpSmoother* const (&s)[4], const float (&targets)[4]) : s_(s) {
        cur_ = VF{s[0]->current, s[1]->current, s[2]->current, s[3]->current};
        coef_ = VF{s[0]->coefficient, s[1]->coefficient, s[2]->coefficient, s[3]->coefficient};
        target_ = Floats::loadF(targets);
        steady_ = true;
        for (int k = 0; k < 4; ++k) steady_ = steady_ && s[k]->isSteady(targets[k]);
    }

    ~SmootherLanes() {
        for (int k = 0; k < 4; ++k) s_[k]->current = cur_[k];
    }

    SmootherLanes(const SmootherLanes&) = delete;
    SmootherLanes& operator=(const SmootherLanes&) = delete;

    // Nothing moves: every frame gets the current values.
    bool steady() const { return steady_; }

    VF current() const { return cur_; }
    void setCurrent(VF c) { cur_ = c; }

    // One frame of all four; callers keep the value in a register between frames.
    static VF next(VF cur, VF target, VF coef) {
        return panner_detail::stepSmoothers(cur, target, coef);
    }

    VF target() const { return target_; }
    VF coefficient() const { return coef_; }

    // out[i][k]: value of smoother k at frame i.
    void run(float (*out)[4], int n) {
        const VF target = target_, coef = coef_;
        VF cur = cur_;
        for (int i = 0; i < n; ++i) {
            cur = next(cur, target, coef);
            Floats::storeF(out[i], cur);
        }
        cur_ = cur;
    }

private:
    corvid::ExpSmoother* const (&s_)[4];
    VF cur_, coef_, target_;
    bool steady_;
};

inline void scale(float* l, float* r, const float (*g)[4], int n) {
    for (int i = 0; i < n; ++i) {
        l[i] = l[i] * g[i][2];
        r[i] = r[i] * g[i][3];
    }
}

} // namespace

void BinauralPanner::reset(float rate, int maxFrames) {
    sampleRate = rate;
    isa = corvid::bestIsa();
    const int size = maxFrames + static_cast<int>(0.002f * rate);
    delayL.resize(size);
    delayR.resize(size);
    delaySmootherL.initialise(2.0f, 0.05f, rate);
    delaySmootherR.initialise(2.0f, 0.05f, rate);
    gainSmootherL.initialise(0.5f, 0.04f, rate);
    gainSmootherR.initialise(0.5f, 0.04f, rate);
    shadowL.reset(rate);
    shadowR.reset(rate);
    shadowCorner = corvid::shelfCorner(kShadowNumerator, kShadowDivisor, rate);
    lastTargets.forget();
}

PannerTargets BinauralPanner::targets(float gain, float closeness, float spectralAmount,
                                      float headAmount, float panAmount) const {
    PannerTargets t;
    const float P = std::clamp(panAmount, -1.0f, 1.0f);
    const double s = std::cos(kPi / 2 * (static_cast<double>(P) - 1.0));

    const float itd = static_cast<float>(static_cast<double>(headAmount) * (s * 0.000653));
    const float dL = (itd * 0.5f) * sampleRate;
    const float dR = (itd * -0.5f) * sampleRate;
    const float m = std::min(dR, dL);
    // The nearer ear gets the minimum delay, the farther one the difference on top,
    // rounded to whole frames so a settled delay reads slots without interpolating.
    t.delayL = std::trunc(dL + 0.5f - m) + static_cast<float>(kMinimumDelay);
    t.delayR = std::trunc(dR + 0.5f - m) + static_cast<float>(kMinimumDelay);

    if (panAmount >= 0.0f) {
        t.shadowGainL = panAmount * -11.25f * spectralAmount;
        t.shadowGainR = 3.0f * panAmount * spectralAmount;
    } else {
        t.shadowGainL = panAmount * -3.0f * spectralAmount;
        t.shadowGainR = 11.25f * panAmount * spectralAmount;
    }
    // The corner's cosine and sine depend on the rate alone.
    const corvid::ShelfCorner corner =
        corvid::shelfCorner(kShadowNumerator, kShadowDivisor, sampleRate, shadowCorner);
    t.shadowL = corvid::highShelf(t.shadowGainL, corner);
    t.shadowR = corvid::highShelf(t.shadowGainR, corner);

    t.panGainL =
        static_cast<float>(std::cos((static_cast<double>(P) + 1.0) * kPi / 4) * 0.7257071421174686 +
                           0.4868475586532284);
    t.panGainR =
        static_cast<float>(std::cos((static_cast<double>(P) - 1.0) * kPi / 4) * 0.7257071421174686 +
                           0.4868475586532284);
    t.gainL = ((1.0f - t.panGainL) * (1.0f - closeness) + t.panGainL) * gain;
    t.gainR = ((1.0f - t.panGainR) * (1.0f - closeness) + t.panGainR) * gain;
    return t;
}

void BinauralPanner::process(float* left, float* right, int frames, float gain, float closeness,
                             float spectralAmount, float headAmount, float panAmount) {
    // A settled source asks for the same targets every block; their design (cosines,
    // powers, two shelves) is a fair part of a short block's work. Every entry point
    // runs under the same floating-point environment, so the same controls always
    // give the same design.
    const PannerTargets& t =
        lastTargets.get({gain, closeness, spectralAmount, headAmount, panAmount, sampleRate}, [&] {
            return targets(gain, closeness, spectralAmount, headAmount, panAmount);
        });
    // The whole sub-block goes into the history first, so every read below finds its
    // frame already written.
    delayL.feed(left, frames);
    delayR.feed(right, frames);

    vireo::InterpolatedBiquad* shadowLeft = &shadowL;
    vireo::InterpolatedBiquad* shadowRight = &shadowR;
    corvid::ExpSmoother* const smoothers[4] = {&delaySmootherL, &delaySmootherR, &gainSmootherL,
                                               &gainSmootherR};
    const float smootherTargets[4] = {t.delayL, t.delayR, t.gainL, t.gainR};
    SmootherLanes lanes(smoothers, smootherTargets);

    if (lanes.steady()) {
        // A settled source: constant delays and gains, so nothing is left to overlap and
        // each step runs over the whole sub-block; the shelf glides chunk by chunk as
        // anywhere else, and a centred source takes its copy-through path.
        // The reads go in long runs: each call of the batched read sets up its lanes.
        const BlockPasses& passes = blockPasses(isa);
        const float cL = delaySmootherL.current, cR = delaySmootherR.current;
        for (int done = 0; done < frames; done += kSteadyRun) {
            const int n = std::min(kSteadyRun, frames - done);
            float dl[kSteadyRun], dr[kSteadyRun];
            passes.delays(dl, dr, cL, cR, frames - 1 - done, n);
            corvid::Delayline::readBlockPair(delayL, dl, left + done, delayR, dr, right + done, n);
        }
        vireo::processCascadePair(&shadowLeft, &shadowRight, &t.shadowL, &t.shadowR, 1, left, right,
                                  left, right, frames);
        passes.scale(left, right, gainSmootherL.current, gainSmootherR.current, frames);
        return;
    }
    // The smoothers of chunk k+1 step in the same loop as the shelf and gains of chunk k:
    // two serial recurrences that overlap instead of queueing. The chunks line up with
    // the shelf's glide chunks, so the result is what whole-block passes would give.
    const int chunks = (frames + kChunk - 1) / kChunk;
    auto chunkLength = [&](int k) { return std::min(kChunk, frames - k * kChunk); };
    alignas(16) float values[2][kChunk][4];
    auto readChunk = [&](int k, const float(*v)[4]) {
        const int n = chunkLength(k);
        const int back = frames - 1 - k * kChunk; // reads reach back from the block's end
        float dl[kChunk], dr[kChunk];
        for (int i = 0; i < n; ++i) {
            dl[i] = v[i][0] + static_cast<float>(back - i);
            dr[i] = v[i][1] + static_cast<float>(back - i);
        }
        corvid::Delayline::readBlockPair(delayL, dl, left + k * kChunk, delayR, dr,
                                         right + k * kChunk, n);
    };
    if (frames > 0) {
        lanes.run(values[0], chunkLength(0));
        readChunk(0, values[0]);
    }
    const VF smootherTarget = lanes.target(), smootherCoef = lanes.coefficient();
    for (int k = 0; k < chunks; ++k) {
        const int n = chunkLength(k);
        const int nn = k + 1 < chunks ? chunkLength(k + 1) : 0;
        const float(*cur)[4] = values[k & 1];
        float(*next)[4] = values[(k + 1) & 1];
        float* l = left + k * kChunk;
        float* r = right + k * kChunk;
        shadowL.glideToward(t.shadowL, n);
        shadowR.glideToward(t.shadowR, n);
        if (shadowL.currentIsIdentity() && shadowR.currentIsIdentity() &&
            vireo::passesThroughExactly(l, n) && vireo::passesThroughExactly(r, n)) {
            // The shelf copies the chunk through; only its memory follows.
            vireo::passThroughMemory(shadowL.biquad.memory, l, n);
            vireo::passThroughMemory(shadowR.biquad.memory, r, n);
            lanes.run(next, nn);
            scale(l, r, cur, n);
        } else {
            namespace pd = panner_detail;
            pd::MovingJob job;
            const corvid::BiquadCoeffs& cl = shadowL.current;
            const corvid::BiquadCoeffs& cr = shadowR.current;
            const float coeffs[5][2] = {
                {cl.b0, cr.b0}, {cl.b1, cr.b1}, {cl.b2, cr.b2}, {cl.a1, cr.a1}, {cl.a2, cr.a2}};
            for (int j = 0; j < 5; ++j)
                for (int side = 0; side < 2; ++side) job.coeffs[j][side] = coeffs[j][side];
            const corvid::BiquadMemory* memories[2] = {&shadowL.biquad.memory,
                                                       &shadowR.biquad.memory};
            for (int side = 0; side < 2; ++side) {
                job.memory[0][side] = memories[side]->x1;
                job.memory[1][side] = memories[side]->x2;
                job.memory[2][side] = memories[side]->y1;
                job.memory[3][side] = memories[side]->y2;
            }
            Floats::storeF(job.current, lanes.current());
            Floats::storeF(job.target, smootherTarget);
            Floats::storeF(job.coefficient, smootherCoef);
            job.gains = cur;
            job.next = next;
            job.left = l;
            job.right = r;
            job.n = n;
            job.nn = nn;
            corvid::IsaBodies<pd::MovingBody>{&pd::movingSse2, &pd::movingAvx2,
                                              &pd::movingAvx512}[isa](job);
            lanes.setCurrent(Floats::loadF(job.current));
            shadowL.biquad.memory = {job.memory[0][0], job.memory[1][0], job.memory[2][0],
                                     job.memory[3][0]};
            shadowR.biquad.memory = {job.memory[0][1], job.memory[1][1], job.memory[2][1],
                                     job.memory[3][1]};
        }
        if (nn > 0) readChunk(k + 1, next);
    }
}

} // namespace spatium
