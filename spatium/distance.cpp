#include "spatium/distance.h"

#include <algorithm>
#include <cmath>

namespace spatium {

using corvid::BiquadCoeffs;

namespace {
// The near shelf: 2 pi times its corner frequency, and 2Q.
constexpr double kNearNumerator = 1570.7963267948965;
constexpr double kNearDivisor = 1.4142135623730951;
} // namespace

void DistanceStage::reset(float rate) {
    sampleRate = rate;
    isa = corvid::bestIsa();
    for (vireo::InterpolatedBiquad* f :
         {&farLowpassL, &farLowpassR, &farSecondL, &farSecondR, &nearShelfL, &nearShelfR})
        f->reset(rate);
    nearCorner = corvid::shelfCorner(kNearNumerator, kNearDivisor, rate);
    lastTargets.forget();
}

DistanceTargets DistanceStage::targets(float x) const {
    DistanceTargets t;
    // Away from the listener the level falls faster than it rises when coming closer.
    const float k = x > 0.0f ? 0.8f : 1.32f;
    t.gain = std::exp(x * k * 0.115129255f);

    const float l = -0.041666668f * x;
    if (l > 0.0f) {
        const double rate = sampleRate;
        const float fLow = static_cast<float>(
            std::exp(std::log(14.207473754882812) * (1.0 - static_cast<double>(l))) * 1552.0);
        const double t1 = 1.0 - 2.0 * std::min(0.5, static_cast<double>(fLow) / rate);
        const double p = t1 * t1;
        t.farLowpass =
            BiquadCoeffs{static_cast<float>(1.0 - p), 0.0f, 0.0f, static_cast<float>(-p), 0.0f};

        const float fSecond =
            static_cast<float>(20.0 * std::pow(82.8499984741211, static_cast<double>(l))) - 20.0f;
        const double h = 2.0 * std::min(0.5, static_cast<double>(fSecond) / rate);
        const double w = h * h;
        t.farSecond =
            BiquadCoeffs{static_cast<float>(1.0 - w), 0.0f, 0.0f, static_cast<float>(w), 0.0f};
    }
    if (l < 0.0f) {
        // The corner's cosine and sine depend on the rate alone.
        const corvid::ShelfCorner corner =
            corvid::shelfCorner(kNearNumerator, kNearDivisor, sampleRate, nearCorner);
        t.nearShelf = corvid::lowShelf(l * -10.8f, corner);
    }
    return t;
}

float DistanceStage::process(const float* inL, const float* inR, float* outL, float* outR,
                             int frames, float distanceAmount) {
    const DistanceTargets& t =
        lastTargets.get({distanceAmount, sampleRate}, [&] { return targets(distanceAmount); });
    vireo::InterpolatedBiquad* left[3] = {&farLowpassL, &farSecondL, &nearShelfL};
    vireo::InterpolatedBiquad* right[3] = {&farLowpassR, &farSecondR, &nearShelfR};
    const BiquadCoeffs stageTargets[3] = {t.farLowpass, t.farSecond, t.nearShelf};
    vireo::processCascadePair(left, right, stageTargets, stageTargets, 3, inL, inR, outL, outR,
                              frames, isa);
    return t.gain;
}

} // namespace spatium
