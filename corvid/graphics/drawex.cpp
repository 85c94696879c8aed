#include "corvid/graphics/drawex.h"

#include <algorithm>
#include <cmath>

namespace corvid {

namespace {

// Coordinates are clamped far outside any view before conversion to int, so wild
// or non-finite inputs cannot overflow the conversion.
constexpr float coordLimit = 1.0e9f;

inline int32_t truncToInt(float v) {
    return int32_t(std::clamp(v, -coordLimit, coordLimit));
}

inline bool finite(float v) {
    return std::isfinite(v);
}

struct PixelBox {
    int32_t x0, y0, x1, y1;
};

// The rows trunc(y - r - 1) .. before trunc(y + r + 1), and the same for columns,
// cut to what the view lets us draw.
inline PixelBox discBox(const IntRect& drawable, float x, float y, float r) {
    return {std::max(truncToInt(x - r - 1.0f), drawable.minX),
            std::max(truncToInt(y - r - 1.0f), drawable.minY),
            std::min(truncToInt(x + r + 1.0f), drawable.maxX),
            std::min(truncToInt(y + r + 1.0f), drawable.maxY)};
}

inline uint32_t clampWeight(float v, uint32_t max) {
    if (!(v > 0.0f)) return 0;
    const float m = float(max);
    return v >= m ? max : uint32_t(v);
}

inline void blend(RGBA& d, const RGBA& c, uint32_t w) {
    // Full weight is a plain store: (255 c + 0 d) / 255 is c. Most pixels of a disc
    // lie inside its full radius.
    if (w == 255) {
        d = c;
        return;
    }
    const uint32_t inv = 255 - w;
    d = {uint8_t((w * c.r + inv * d.r) / 255), uint8_t((w * c.g + inv * d.g) / 255),
         uint8_t((w * c.b + inv * d.b) / 255), uint8_t((w * c.a + inv * d.a) / 255)};
}

inline void blend(L16& d, uint32_t value, uint32_t w) {
    if (w == 65535u) {
        d = L16(uint16_t(value));
        return;
    }
    d = L16(uint16_t((w * value + (65535u - w) * d.l) / 65535u));
}

// Linear fade in squared distance between r1 and r2; <= 0 means untouched.
inline float discStrength(float d2, float r1sq, float r2sq) {
    if (d2 < r1sq) return 1.0f;
    if (d2 < r2sq) return 1.0f - (d2 - r1sq) / (r2sq - r1sq);
    return 0.0f;
}

template <typename Pixel, typename Plot>
void walkDisc(const ImageView<Pixel>& view, float x, float y, float r, Plot plot) {
    if (!finite(x) || !finite(y) || !finite(r)) return;
    const PixelBox b = discBox(view.drawableArea(), x, y, r);
    const float rsq = r * r;
    for (int32_t j = b.y0; j < b.y1; ++j) {
        const float dy = y - float(j);
        const float dy2 = dy * dy;
        // Only the columns whose distance can fall inside r: the span is widened by
        // two pixels so rounding never drops one the exact test would keep, and
        // every pixel in it is still tested.
        if (!(dy2 <= rsq)) continue;
        const float half = std::sqrt(rsq - dy2) + 2.0f;
        const int32_t i0 = std::max(b.x0, truncToInt(x - half));
        const int32_t i1 = std::min(b.x1, truncToInt(x + half) + 1);
        Pixel* row = view.row(j);
        for (int32_t i = i0; i < i1; ++i) {
            const float dx = x - float(i);
            plot(row[i], dx * dx + dy2);
        }
    }
}

} // namespace

void aaDisc(const ImageView<RGBA>& view, float x, float y, float r1, float r2, RGBA color,
            float opacity) {
    const float r1sq = r1 * r1, r2sq = r2 * r2;
    walkDisc(view, x, y, r2, [&](RGBA& p, float d2) {
        const float s = discStrength(d2, r1sq, r2sq);
        if (s <= 0.0f) return;
        blend(p, color, clampWeight(s * 255.0f * opacity + 0.5f, 255));
    });
}

void aaDisc(const ImageView<L16>& view, float x, float y, float r1, float r2, L16 value,
            float opacity) {
    const float r1sq = r1 * r1, r2sq = r2 * r2;
    walkDisc(view, x, y, r2, [&](L16& p, float d2) {
        const float s = discStrength(d2, r1sq, r2sq);
        if (s <= 0.0f) return;
        blend(p, value.l, clampWeight(s * 65535.0f * opacity + 0.5f, 65535));
    });
}

void aaRing(const ImageView<RGBA>& view, float x, float y, float rInner, float rMiddle,
            float rOuter, RGBA color, float opacity) {
    const float riSq = rInner * rInner, rmSq = rMiddle * rMiddle, roSq = rOuter * rOuter;
    walkDisc(view, x, y, rOuter, [&](RGBA& p, float d2) {
        if (d2 < riSq || d2 >= roSq) return;
        const float t =
            d2 >= rmSq ? (d2 - rmSq) / (roSq - rmSq) : 1.0f - (d2 - riSq) / (rmSq - riSq);
        blend(p, color, clampWeight((1.0f - t) * 255.0f * opacity + 0.5f, 255));
    });
}

void depthRamp(const ImageView<L16>& view, const IntRect& rect, uint16_t valueTop,
               uint16_t valueBottom, DepthCurve curve) {
    const IntRect full = rect.normalized();
    const IntRect r = full.intersect(view.drawableArea());
    if (r.isEmpty()) return;
    const float span = float(int64_t(full.maxY) - full.minY);
    for (int32_t i = r.minY; i < r.maxY; ++i) {
        const float t = float(int64_t(i) - full.minY) / span;
        float c;
        switch (curve) {
        case DepthCurve::quadratic:
            c = t * t;
            break;
        case DepthCurve::squareRoot:
            c = std::sqrt(t);
            break;
        case DepthCurve::power07:
            c = std::pow(t, 0.699999988079071f);
            break;
        case DepthCurve::power14:
            c = std::pow(t, 1.399999976158142f);
            break;
        default:
            c = t;
            break;
        }
        const uint32_t u = uint32_t(c * 65535.0f + 0.5f);
        const L16 v(
            uint16_t((uint32_t(valueBottom) * u + uint32_t(valueTop) * (65535u - u)) / 65535u));
        L16* row = view.row(i);
        std::fill(row + r.minX, row + r.maxX, v);
    }
}

void splatPoint(const ImageView<RGBA>& view, float x, float y, RGBA color, int intensity) {
    const float sx = x * 256.0f, sy = y * 256.0f;
    // Far outside the view nothing can be drawn; this also keeps the fixed-point
    // conversion in range.
    if (!(std::fabs(sx) < 2.0e9f) || !(std::fabs(sy) < 2.0e9f)) return;
    const int32_t fx = int32_t(sx), fy = int32_t(sy);
    const int32_t cx = fx >> 8, cy = fy >> 8;
    const uint32_t gx = uint32_t(fx & 255), gy = uint32_t(fy & 255);
    const uint32_t hx = 255 - gx, hy = 255 - gy;
    const uint32_t level = uint32_t(std::clamp(intensity, 0, 255));
    const IntRect area = view.drawableArea();
    const uint32_t weights[4] = {(hx * hy) >> 8, (gx * hy) >> 8, (hx * gy) >> 8, (gx * gy) >> 8};
    for (int k = 0; k < 4; ++k) {
        const int32_t px = cx + (k & 1), py = cy + (k >> 1);
        if (!area.contains(px, py)) continue;
        blend(view.at(px, py), color, (level * weights[k]) >> 8);
    }
}

void aaLine(const ImageView<RGBA>& view, float x1, float y1, float x2, float y2, RGBA color,
            int intensity) {
    if (!finite(x1) || !finite(y1) || !finite(x2) || !finite(y2)) return;
    const IntRect area = view.drawableArea();
    if (area.isEmpty()) return;
    const bool majorX = std::fabs(x2 - x1) > std::fabs(y2 - y1);
    const float a1 = majorX ? x1 : y1, a2 = majorX ? x2 : y2; // major axis
    const float b1 = majorX ? y1 : x1, b2 = majorX ? y2 : x2; // minor axis
    if (a1 == a2) return;
    const float step = a2 > a1 ? 1.0f : -1.0f;
    // Splats beyond the far side of the view draw nothing, and neither can any
    // later one: stop there. The step count bound keeps a float that no longer
    // changes when 1 is added from looping for ever.
    const float lo = float(majorX ? area.minX : area.minY) - 2.0f;
    const float hi = float(majorX ? area.maxX : area.maxY) + 1.0f;
    const double maxSteps = std::fabs(double(a2) - double(a1)) + 2.0;
    if (step > 0 ? a1 > hi || a2 < lo : a1 < lo || a2 > hi) return;
    double steps = 0;
    float o = a1;
    // A line starting very far before the view skips ahead in one jump; the
    // points it passes over could not be drawn anyway.
    const double gap = step > 0 ? double(lo) - double(a1) : double(a1) - double(hi);
    if (gap > 65536.0) {
        const double skip = std::floor(gap);
        o = float(double(a1) + double(step) * skip);
        steps = skip;
    }
    for (; step > 0 ? o <= a2 : o >= a2; o += step) {
        if (step > 0 ? o > hi : o < lo) break;
        if (++steps > maxSteps) break;
        const float m = b1 + (o - a1) * (b2 - b1) / (a2 - a1);
        if (majorX) {
            splatPoint(view, o, m, color, intensity);
        } else {
            splatPoint(view, m, o, color, intensity);
        }
    }
}

} // namespace corvid
