#pragma once
// The vertical drag rule the knob and the slider share: the move in float, fine
// with Ctrl or Shift, and the crossing marks that hold the value at a bound until
// the pointer comes back past where it got there.

#include "corvid/window/window.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>

namespace corvid {

struct CrossingMarks {
    float low = std::numeric_limits<float>::infinity();
    float high = -std::numeric_limits<float>::infinity();
    void clear() {
        low = std::numeric_limits<float>::infinity();
        high = -std::numeric_limits<float>::infinity();
    }
};

inline constexpr float kFineDragFactor = 0.1f;

// The clamped normalised value after a move of dy pixels at pointer height y on a
// control height pixels tall, or none when the move changes nothing.
inline std::optional<double> dragToValue(double old, std::int32_t y, std::int32_t dy,
                                         std::int32_t height, float sensitivity, MouseState state,
                                         float& lowMark, float& highMark) {
    const auto fy = static_cast<float>(y);
    if (fy > lowMark || fy < highMark) return std::nullopt;
    if (height <= 0) return std::nullopt;
    const float factor = (state.ctrlPressed || state.shiftPressed) ? kFineDragFactor : 1.0f;
    const float delta = static_cast<float>(dy) / static_cast<float>(height) * factor * sensitivity;
    const double next = old - static_cast<double>(delta);
    if (old > 0.0 && next <= 0.0) lowMark = fy;
    if (old < 1.0 && next >= 1.0) highMark = fy;
    // A NaN sensitivity must not reach the parameter.
    if (std::isnan(next)) return std::nullopt;
    const double clamped = std::fmin(1.0, std::fmax(0.0, next));
    if (clamped > 0.0) lowMark = std::numeric_limits<float>::infinity();
    if (clamped < 1.0) highMark = -std::numeric_limits<float>::infinity();
    if (clamped == old) return std::nullopt;
    return clamped;
}

// One step of the press animations: toward target at the given rate per second,
// stored only when it moves by more than 0.001. Returns whether it moved.
inline bool approach(float& amount, double target, double rate, double dt) {
    const double a = std::exp(-rate * dt);
    const auto next = static_cast<float>(static_cast<double>(amount) * a + target * (1.0 - a));
    if (!(std::fabs(next - amount) > 0.001f)) return false;
    amount = next;
    return true;
}

} // namespace corvid
