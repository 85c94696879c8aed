#include "spatium/panner.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <xmmintrin.h>

namespace spatium {

namespace {

constexpr double kPi = std::numbers::pi;
constexpr int kChunk = vireo::InterpolatedBiquad::kChunk;

// The four per-frame smoothers of the panner (delay and gain of each channel) stepped
// together, lane for lane the same arithmetic as ExpSmoother::next, so that their
// recurrences run side by side instead of one after another.
class SmootherLanes {
public:
    SmootherLanes(corvid::ExpSmoother* const (&s)[4], const float (&targets)[4]) : s_(s) {
        cur_ = _mm_setr_ps(s[0]->current, s[1]->current, s[2]->current, s[3]->current);
        coef_ =
            _mm_setr_ps(s[0]->coefficient, s[1]->coefficient, s[2]->coefficient, s[3]->coefficient);
        target_ = _mm_loadu_ps(targets);
        steady_ = true;
        for (int k = 0; k < 4; ++k) steady_ = steady_ && s[k]->isSteady(targets[k]);
    }

    ~SmootherLanes() {
        alignas(16) float c[4];
        _mm_store_ps(c, cur_);
        for (int k = 0; k < 4; ++k) s_[k]->current = c[k];
    }

    bool steady() const { return steady_; }

    SmootherLanes(const SmootherLanes&) = delete;
    SmootherLanes& operator=(const SmootherLanes&) = delete;

    // out[i][k]: value of smoother k at frame i.
    void run(float (*out)[4], int n) {
        if (steady_) {
            // Nothing would move: every frame gets the current values.
            for (int i = 0; i < n; ++i) _mm_store_ps(out[i], cur_);
            return;
        }
        const __m128 zero = _mm_setzero_ps();
        const __m128 tiny = _mm_set1_ps(1e-10f);
        const __m128 sign = _mm_set1_ps(-0.0f);
        __m128 cur = cur_;
        for (int i = 0; i < n; ++i) {
            const __m128 d = _mm_sub_ps(target_, cur);
            const __m128 unchanged = _mm_cmpeq_ps(d, zero);
            const __m128 snap = _mm_cmplt_ps(_mm_andnot_ps(sign, d), tiny);
            const __m128 stepped = _mm_add_ps(cur, _mm_mul_ps(d, coef_));
            const __m128 moved = _mm_or_ps(_mm_and_ps(snap, target_), _mm_andnot_ps(snap, stepped));
            cur = _mm_or_ps(_mm_and_ps(unchanged, cur), _mm_andnot_ps(unchanged, moved));
            _mm_store_ps(out[i], cur);
        }
        cur_ = cur;
    }

private:
    corvid::ExpSmoother* const (&s_)[4];
    __m128 cur_, coef_, target_;
    bool steady_;
};

} // namespace

void BinauralPanner::reset(float rate, int maxFrames) {
    sampleRate = rate;
    const int size = maxFrames + static_cast<int>(0.002f * rate);
    delayL.resize(size);
    delayR.resize(size);
    delaySmootherL.initialise(2.0f, 0.05f, rate);
    delaySmootherR.initialise(2.0f, 0.05f, rate);
    gainSmootherL.initialise(0.5f, 0.04f, rate);
    gainSmootherR.initialise(0.5f, 0.04f, rate);
    shadowL.reset(rate);
    shadowR.reset(rate);
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
    t.shadowL = corvid::highShelf(t.shadowGainL, 25333.803158548093, 1.04, sampleRate);
    t.shadowR = corvid::highShelf(t.shadowGainR, 25333.803158548093, 1.04, sampleRate);

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
    const PannerTargets t = targets(gain, closeness, spectralAmount, headAmount, panAmount);
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

    if (lanes.steady() && shadowL.currentIsIdentity() && shadowR.currentIsIdentity() &&
        corvid::isIdentity(t.shadowL) && corvid::isIdentity(t.shadowR)) {
        // A centred, settled source: constant delays and gains and no shelf, so each step
        // can run over the whole sub-block and the shelf can take its copy-through path.
        const float cL = delaySmootherL.current, cR = delaySmootherR.current;
        for (int done = 0; done < frames; done += kChunk) {
            const int n = std::min(kChunk, frames - done);
            float dl[kChunk], dr[kChunk];
            const int back = frames - 1 - done;
            for (int i = 0; i < n; ++i) {
                dl[i] = cL + static_cast<float>(back - i);
                dr[i] = cR + static_cast<float>(back - i);
            }
            delayL.readBlock(dl, left + done, n);
            delayR.readBlock(dr, right + done, n);
        }
        vireo::processCascadePair(&shadowLeft, &shadowRight, &t.shadowL, &t.shadowR, 1, left, right,
                                  left, right, frames);
        const float gL = gainSmootherL.current, gR = gainSmootherR.current;
        for (int i = 0; i < frames; ++i) {
            left[i] = left[i] * gL;
            right[i] = right[i] * gR;
        }
        return;
    }
    // Chunks line up with the shelf's glide chunks, so each step below can run chunk by
    // chunk while the data is in cache and still give what whole-block passes would.
    for (int done = 0; done < frames; done += kChunk) {
        const int n = std::min(kChunk, frames - done);
        float* l = left + done;
        float* r = right + done;
        alignas(16) float values[kChunk][4];
        lanes.run(values, n);
        // The read for frame i reaches back from the end of the sub-block.
        float dl[kChunk], dr[kChunk], gl[kChunk], gr[kChunk];
        const int back = frames - 1 - done;
        for (int i = 0; i < n; ++i) {
            dl[i] = values[i][0] + static_cast<float>(back - i);
            dr[i] = values[i][1] + static_cast<float>(back - i);
            gl[i] = values[i][2];
            gr[i] = values[i][3];
        }
        delayL.readBlock(dl, l, n);
        delayR.readBlock(dr, r, n);
        vireo::processCascadePair(&shadowLeft, &shadowRight, &t.shadowL, &t.shadowR, 1, l, r, l, r,
                                  n);
        for (int i = 0; i < n; ++i) {
            l[i] = l[i] * gl[i];
            r[i] = r[i] * gr[i];
        }
    }
}

} // namespace spatium
