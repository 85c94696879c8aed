#pragma once
// Helpers shared by the widgets' drawing: where an element's own pixel (0, 0) is in
// the maps it is handed, and guarded conversions of computed coordinates.

#include "corvid/graphics/rect.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace corvid {

// The maps handed to paintMaps start at the visible part of the element. For an
// element that reaches past the window's left or top edge that is not its own
// top-left corner, so drawing must be shifted by this much (zero or negative).
inline std::int32_t elementOriginInCrop(std::int32_t positionMin) {
    return std::min(positionMin, 0);
}

// Truncation toward zero of a computed coordinate. NaN gives 0 and huge values
// saturate, so the conversion is never undefined.
inline std::int32_t truncToPixel(double v) {
    if (!(v == v)) return 0;
    constexpr double limit = 1.0e9;
    return static_cast<std::int32_t>(std::clamp(v, -limit, limit));
}

// A value in [0, 1]; NaN counts as 0.
inline float clampUnit(float v) {
    return v > 0.0f ? std::min(v, 1.0f) : 0.0f;
}

} // namespace corvid
