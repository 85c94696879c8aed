#include "spatium/panner.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <emmintrin.h>
#include <numbers>

namespace spatium {

namespace {

constexpr double kPi = std::numbers::pi;
constexpr int kChunk = vireo::InterpolatedBiquad::kChunk;

// Fills d[0..n) with the smoothed delay of each frame plus its distance from the end
// of the sub-block, which is what the read of that frame needs.
void smoothDelays(corvid::ExpSmoother& s, float target, int backStart, int n, float* d) {
    if (s.isSteady(target)) {
        // next() would return the same value for every frame.
        const float c = s.current;
        for (int i = 0; i < n; ++i) d[i] = c + static_cast<float>(backStart - i);
        return;
    }
    for (int i = 0; i < n; ++i) d[i] = s.next(target) + static_cast<float>(backStart - i);
}

void applyGain(corvid::ExpSmoother& s, float target, float* x, int n) {
    if (s.isSteady(target)) {
        const float g = s.current;
        for (int i = 0; i < n; ++i) x[i] = x[i] * g;
        return;
    }
    for (int i = 0; i < n; ++i) x[i] = x[i] * s.next(target);
}

typedef float V4 __attribute__((vector_size(16)));

// Four interpolated reads at once; lane for lane the same operations as the scalar
// read, so the results are identical.
void readChunk(const corvid::Delayline& line, const float* d, float* out, int n) {
    const float* b = line.buffer.get();
    const int mask = line.mask;
    const __m128 newest = _mm_set1_ps(static_cast<float>(line.newest));
    const __m128 twice = _mm_set1_ps(static_cast<float>(2 * line.capacity));
    int i = 0;
    for (; i + 4 <= n; i += 4) {
        const __m128 p = _mm_add_ps(_mm_sub_ps(newest, _mm_loadu_ps(d + i)), twice);
        const __m128i e = _mm_cvttps_epi32(p);
        const __m128 x = _mm_sub_ps(p, _mm_cvtepi32_ps(e));
        alignas(16) std::int32_t ei[4];
        _mm_store_si128(reinterpret_cast<__m128i*>(ei), e);
        V4 y[6];
        const int base = (ei[0] - 2) & mask;
        if (ei[1] == ei[0] + 1 && ei[2] == ei[0] + 2 && ei[3] == ei[0] + 3 &&
            base + 9 <= mask + 1) {
            // A steady delay reads consecutive slots: plain unaligned loads.
            for (int j = 0; j < 6; ++j) {
                __m128 v = _mm_loadu_ps(b + base + j);
                __builtin_memcpy(&y[j], &v, sizeof v);
            }
        } else {
            for (int j = 0; j < 6; ++j)
                y[j] = V4{b[(ei[0] + j - 2) & mask], b[(ei[1] + j - 2) & mask],
                          b[(ei[2] + j - 2) & mask], b[(ei[3] + j - 2) & mask]};
        }
        V4 xv;
        __builtin_memcpy(&xv, &x, sizeof x);
        const V4 r = corvid::Delayline::interpolate(xv, y[0], y[1], y[2], y[3], y[4], y[5]);
        __builtin_memcpy(out + i, &r, sizeof r);
    }
    for (; i < n; ++i) out[i] = line.readInterpolated(d[i]);
}

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
    // Chunks line up with the shelf's glide chunks, so each step below can run chunk by
    // chunk while the data is in cache and still give what whole-block passes would.
    for (int done = 0; done < frames; done += kChunk) {
        const int n = std::min(kChunk, frames - done);
        float* l = left + done;
        float* r = right + done;
        float dl[kChunk];
        float dr[kChunk];
        smoothDelays(delaySmootherL, t.delayL, frames - 1 - done, n, dl);
        smoothDelays(delaySmootherR, t.delayR, frames - 1 - done, n, dr);
        readChunk(delayL, dl, l, n);
        readChunk(delayR, dr, r, n);
        vireo::processCascadePair(&shadowLeft, &shadowRight, &t.shadowL, &t.shadowR, 1, l, r, l, r,
                                  n);
        applyGain(gainSmootherL, t.gainL, l, n);
        applyGain(gainSmootherR, t.gainR, r, n);
    }
}

} // namespace spatium
