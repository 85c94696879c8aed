#pragma once
// One-pole control smoother: every step covers a fixed fraction of the distance that
// remains to the target. Used once per frame for gains and delays, so it is kept inline
// and in single precision.

#include <cmath>

namespace corvid {

class ExpSmoother {
public:
    // The time constant is taken at single precision on purpose: the coefficient must
    // come out the same whether a caller passes 0.04 as a float or as a double.
    void initialise(float initialValue, float timeConstantSeconds, float rate) {
        current = initialValue;
        sampleRate = rate;
        coefficient =
            static_cast<float>(1.0 - std::exp(-1.0 / (static_cast<double>(timeConstantSeconds) *
                                                      static_cast<double>(rate))));
    }

    float next(float target) {
        const float d = target - current;
        if (d == 0.0f) return current;
        // Without the snap the value would creep toward the target in ever smaller steps.
        if (std::fabs(d) < 1e-10f)
            current = target;
        else
            current = current + d * coefficient;
        return current;
    }

    // True when next(target) would return the current value, and so would every later
    // call: either the target is reached, or the remaining step is too small to move a
    // float (a single-precision smoother can stop a little short of its target).
    bool isSteady(float target) const {
        const float d = target - current;
        if (d == 0.0f) return true;
        return !(std::fabs(d) < 1e-10f) && current + d * coefficient == current;
    }

    float current = 0.0f;
    float coefficient = 1.0f;
    float sampleRate = 0.0f;
};

} // namespace corvid
