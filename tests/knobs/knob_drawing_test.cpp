// The knob's drawing against a plain reference: every formula written out per
// pixel over the whole element, no bounding squares, no per-box geometry. The
// widget must give the same bytes on all three maps, whatever boxes it is asked
// to draw, and leave everything outside those boxes alone.

#include "tests/knobs/knob_support.h"

#include "corvid/pbrwidgets/shapes.h"
#include "spatium/gui/panknob.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

using namespace corvid;
using namespace knob_testing;

namespace {

constexpr float kPi = 3.14159265358979f;
constexpr float kTwoPi = 6.28318530717959f;

// ---- reference primitives, over every pixel of the map

void refDisc(Maps& m, int layer, float cx, float cy, float r1, float r0, RGBA c, std::uint16_t v) {
    r1 = std::max(r1, 0.0f);
    r0 = std::clamp(r0, 0.0f, r1);
    for (std::int32_t j = 0; j < m.depth.height(); ++j)
        for (std::int32_t i = 0; i < m.depth.width(); ++i) {
            const float dx = cx - float(i), dy = cy - float(j);
            const float d2 = dx * dx + dy * dy;
            float s;
            if (d2 < r0 * r0)
                s = 1.0f;
            else if (d2 < r1 * r1)
                s = 1.0f - (d2 - r0 * r0) / (r1 * r1 - r0 * r0);
            else
                continue;
            if (layer == 1) {
                const auto w = std::uint32_t(std::min(s * 65535.0f + 0.5f, 65535.0f));
                L16& p = m.depth.pixelAt(i, j);
                p = L16(std::uint16_t((w * v + (65535u - w) * p.l) / 65535u));
            } else {
                const auto w = std::uint32_t(std::min(s * 255.0f + 0.5f, 255.0f));
                RGBA& p = (layer == 0 ? m.diffuse : m.material).pixelAt(i, j);
                auto mix = [&](std::uint8_t a, std::uint8_t b) {
                    return std::uint8_t((w * a + (255u - w) * b) / 255u);
                };
                p = {mix(c.r, p.r), mix(c.g, p.g), mix(c.b, p.b), mix(c.a, p.a)};
            }
        }
}

void refRounded(Maps& m, float cx, float cy, float r1, float r0, std::uint16_t v) {
    for (std::int32_t j = 0; j < m.depth.height(); ++j)
        for (std::int32_t i = 0; i < m.depth.width(); ++i) {
            const float dx = cx - float(i), dy = cy - float(j);
            const float d2 = dx * dx + dy * dy;
            L16& p = m.depth.pixelAt(i, j);
            if (d2 < r0 * r0) {
                p = L16(v);
            } else if (d2 < r1 * r1) {
                const float t = (d2 - r0 * r0) / (r1 * r1 - r0 * r0);
                const auto w = std::uint32_t((1.0f - std::pow(t, 1.2f)) * 65535.0f + 0.5f);
                p = L16(std::uint16_t((v * w + (65535u - w) * p.l) / 65535u));
            }
        }
}

void refArc(Maps& m, float cx, float cy, float ri, float ro, float a, float b, RGBA c) {
    if (a == b) return;
    if (b < a) b += kTwoPi;
    if (a < -kPi || b < -kPi) {
        a += kTwoPi;
        b += kTwoPi;
    }
    for (std::int32_t j = 0; j < m.diffuse.height(); ++j)
        for (std::int32_t i = 0; i < m.diffuse.width(); ++i) {
            const float dx = float(i) - cx, dy = float(j) - cy;
            const float d = std::sqrt(dx * dx + dy * dy);
            if (d == 0.0f || !(ri <= d && d < ro)) continue;
            float cov = d > ro - 1.0f ? ro - d : (d < ri + 1.0f ? d - ri : 1.0f);
            float e = std::atan2(dy, dx);
            if (!(a <= e && e <= b)) e += kTwoPi;
            if (!(a <= e && e <= b)) continue;
            const float k = 1.0f / d;
            if (e < a + k)
                cov *= (e - a) / k;
            else if (b < e + k)
                cov *= (b - e) / k;
            const float w = cov * 255.0f + 0.5f;
            if (w < 1.0f) continue;
            const auto u = std::uint32_t(std::min(w, 255.0f));
            RGBA& p = m.diffuse.pixelAt(i, j);
            auto mix = [&](std::uint8_t x, std::uint8_t y) {
                return std::uint8_t((u * x + (255u - u) * y) / 255u);
            };
            p = {mix(c.r, p.r), mix(c.g, p.g), mix(c.b, p.b), mix(c.a, p.a)};
        }
}

// ---- the knob as its fields say, straight from the formulas

void referenceKnob(const UIKnob& k, double v, bool dragged, Maps& m) {
    const int w = k.getPosition().width(), h0 = k.getPosition().height();
    int x0 = 0, x1 = w, y0 = 0, y1 = h0;
    if (h0 >= w) {
        y0 = (h0 - w) / 2;
        y1 = y0 + w;
    } else {
        x0 = (w - h0) / 2;
        x1 = x0 + h0;
    }
    const float cx = float(x0 + x1 - 1) / 2.0f, cy = float(y0 + y1 - 1) / 2.0f;
    const float H = float(std::min(w, h0)) / 2.0f, R = H * k.bodyRadius;
    const float off = 4.71238898f;
    const float sMin = k.minAngle + off, sMax = k.maxAngle + off, sBase = k.baseAngle + off;
    const float sValue = sMin * (1.0f - float(v)) + sMax * float(v);
    // Trail.
    const float tx = cx + k.trailShiftX * R, ty = cy + k.trailShiftY * R;
    refArc(m, tx, ty, k.trailRadiusMin * H, k.trailRadiusMax * H, sMin, sMax, k.trailUnlitDiffuse);
    RGBA lit =
        k.useBelowBaseColour && sBase > sValue ? k.trailLitDiffuseBelowBase : k.trailLitDiffuse;
    if (dragged) lit.a = std::uint8_t(std::min(255, lit.a * 2));
    refArc(m, tx, ty, k.trailRadiusMin * H, k.trailRadiusMax * H, std::min(sBase, sValue),
           std::max(sBase, sValue), lit);
    // Body.
    const float p = k.pressAmount;
    const auto D = std::uint16_t((1.0f - p) * 65535.0f + p * 45000.0f + 0.5f);
    switch (k.bodyStyle) {
    case KnobBodyStyle::dimpled:
        refDisc(m, 1, cx, cy, R, std::max(0.0f, 3 * R / 5), {}, 65535);
        refDisc(m, 1, cx, cy, std::max(0.0f, 3 * R / 5), 0, {}, 38400);
        break;
    case KnobBodyStyle::cylinder:
        refDisc(m, 1, cx, cy, R, R - 5, {}, D);
        break;
    case KnobBodyStyle::cone:
        refDisc(m, 1, cx, cy, R, 0, {}, D);
        break;
    case KnobBodyStyle::ball:
        refRounded(m, cx, cy, R, 2, D);
        break;
    }
    const RGBA body{k.bodyDiffuse.r, k.bodyDiffuse.g, k.bodyDiffuse.b,
                    std::uint8_t(k.hovered && !dragged ? 30 : 0)};
    refDisc(m, 0, cx, cy, R, R - 1, body, 0);
    refDisc(m, 2, cx, cy, R, R - 5, k.bodyMaterial, 0);
    // LEDs.
    for (int j = 0; j < k.ledCount; ++j) {
        const float s = kTwoPi * float(j) / float(k.ledCount);
        const float phi = sValue + 1.57079632679490f + s;
        const float orbit = (1 - p) * k.ledOrbit + p * k.ledOrbitPressed;
        const float lx = cx + std::sin(phi) * R * orbit, ly = cy - std::cos(phi) * R * orbit;
        const float wt = 2.0f * std::fabs(s - kPi) / kPi - 1.0f;
        const float r = std::max(0.0f, wt * k.ledRadiusMax + (1.0f - wt) * k.ledRadiusMin) * R;
        auto ch = [&](std::uint8_t u, std::uint8_t l) {
            return std::uint8_t((1.0f - p) * float(u) + p * float(l));
        };
        const RGBA led{
            ch(k.ledUnlitDiffuse.r, k.ledLitDiffuse.r), ch(k.ledUnlitDiffuse.g, k.ledLitDiffuse.g),
            ch(k.ledUnlitDiffuse.b, k.ledLitDiffuse.b), ch(k.ledUnlitDiffuse.a, k.ledLitDiffuse.a)};
        refDisc(m, 1, lx, ly, r, 0, {}, k.ledDepth);
        refDisc(m, 0, lx, ly, r, 0, led, 0);
        refDisc(m, 2, lx, ly, r, 0.714f * r, {128, 128, 255, 255}, 0);
    }
}

void referencePanMarker(const UIKnob& k, double v, Maps& m) {
    const int w = k.getPosition().width(), h0 = k.getPosition().height();
    const int side = std::min(w, h0);
    const int x0 = h0 >= w ? 0 : (w - h0) / 2, y0 = h0 >= w ? (h0 - w) / 2 : 0;
    const float cx = float(2 * x0 + side - 1) / 2.0f, cy = float(2 * y0 + side - 1) / 2.0f;
    const float H = float(side) / 2.0f;
    const float phi = (1.0f - float(v)) * (k.minAngle + 4.71238898f) +
                      float(v) * (k.maxAngle + 4.71238898f) + 1.57079632679490f;
    refDisc(m, 0, cx + std::sin(phi) * H * 0.9375f, cy - std::cos(phi) * H * 0.9375f, 3, 2,
            {60, 60, 60, 0}, 0);
}

// Copies the pixels inside the boxes from `drawn` over `base`: what drawing only
// those boxes must give.
Maps boxesOf(const Maps& drawn, const std::vector<IntRect>& boxes, Maps base) {
    for (const IntRect& b : boxes)
        for (std::int32_t y = b.minY; y < b.maxY; ++y)
            for (std::int32_t x = b.minX; x < b.maxX; ++x) {
                base.diffuse.pixelAt(x, y) = const_cast<Maps&>(drawn).diffuse.pixelAt(x, y);
                base.depth.pixelAt(x, y) = const_cast<Maps&>(drawn).depth.pixelAt(x, y);
                base.material.pixelAt(x, y) = const_cast<Maps&>(drawn).material.pixelAt(x, y);
            }
    return base;
}

std::size_t differences(Maps& a, Maps& b) {
    std::size_t n = 0;
    for (std::int32_t y = 0; y < a.depth.height(); ++y)
        for (std::int32_t x = 0; x < a.depth.width(); ++x) {
            const RGBA p = a.diffuse.pixelAt(x, y), q = b.diffuse.pixelAt(x, y);
            const RGBA r = a.material.pixelAt(x, y), s = b.material.pixelAt(x, y);
            n += p.r != q.r || p.g != q.g || p.b != q.b || p.a != q.a;
            n += r.r != s.r || r.g != s.g || r.b != s.b || r.a != s.a;
            n += a.depth.pixelAt(x, y).l != b.depth.pixelAt(x, y).l;
        }
    return n;
}

// The editor's looks, and the defaults.
void applyLook(UIKnob& k, int look) {
    switch (look) {
    case 1: // large
        k.bodyRadius = 0.8f;
        k.bodyMaterial = {64, 255, 128, 255};
        k.ledRadiusMin = 0.06f;
        k.ledRadiusMax = 0.1f;
        k.ledOrbit = 0.95f;
        k.ledOrbitPressed = 0.9f;
        k.trailRadiusMin = 0.8f;
        k.baseAngle = 0.0f;
        break;
    case 2: // medium
        k.bodyRadius = 0.8f;
        k.bodyStyle = KnobBodyStyle::cylinder;
        k.ledCount = 13;
        k.ledRadiusMin = k.ledRadiusMax = 0.06f;
        k.trailRadiusMin = 0.7f;
        k.trailRadiusMax = 1.0f;
        k.minAngle = -0.7f * kPi;
        k.maxAngle = 0.7f * kPi;
        k.baseAngle = -0.7f * kPi;
        break;
    case 3: // small
        k.bodyStyle = KnobBodyStyle::cone;
        k.ledCount = 1;
        k.ledRadiusMin = k.ledRadiusMax = 0.15f;
        k.ledDepth = 0;
        k.minAngle = -kPi;
        k.maxAngle = kPi;
        k.baseAngle = 0.0f;
        k.useBelowBaseColour = true;
        break;
    case 4: // ball, shifted trail
        k.bodyStyle = KnobBodyStyle::ball;
        k.trailShiftX = 0.0167f;
        k.trailShiftY = 0.06f;
        k.useBelowBaseColour = true;
        k.baseAngle = 0.0f;
        break;
    default:
        break;
    }
}

struct Case {
    IntRect box;
    int look;
};

} // namespace

TEST(KnobDrawing, EqualsTheReferenceInEveryBoxOnEveryMap) {
    Bound bound;
    Root root(300, 300);
    std::mt19937 rng(7);
    const std::vector<Case> cases{{{0, 0, 112, 112}, 0}, {{0, 0, 65, 65}, 1}, {{0, 0, 44, 44}, 2},
                                  {{0, 0, 34, 34}, 3},   {{0, 0, 51, 30}, 4}, {{0, 0, 17, 40}, 0},
                                  {{0, 0, 3, 3}, 2},     {{0, 0, 1, 1}, 3}};
    for (const Case& c : cases) {
        for (double v : {0.0, 0.13, 0.5, 0.77, 1.0}) {
            for (int state = 0; state < 3; ++state) {
                SCOPED_TRACE(testing::Message()
                             << c.box.width() << "x" << c.box.height() << " look " << c.look
                             << " value " << v << " state " << state);
                UIKnob knob(root.getContext(), &bound.value);
                knob.setPosition(c.box);
                applyLook(knob, c.look);
                knob.hovered = state == 1;
                knob.pressAmount = state == 2 ? 0.6f : 0.0f;
                bound.value.storeNormalized(v);
                const int w = c.box.width(), h = c.box.height();
                Maps expected(w, h);
                referenceKnob(knob, bound.value.normalizedValue(), false, expected);
                // The whole element at once.
                Maps whole(w, h);
                knob.paintMaps(whole.diffuse.asView(), whole.depth.asView(),
                               whole.material.asView(), {{0, 0, w, h}});
                EXPECT_EQ(differences(whole, expected), 0u);
                // Random boxes that cut through it.
                std::vector<IntRect> boxes;
                for (int b = 0; b < 3; ++b) {
                    const int bx = int(rng() % unsigned(w)), by = int(rng() % unsigned(h));
                    const int bw = 1 + int(rng() % unsigned(w - bx));
                    const int bh = 1 + int(rng() % unsigned(h - by));
                    const IntRect r{bx, by, bx + bw, by + bh};
                    if (std::none_of(boxes.begin(), boxes.end(),
                                     [&](const IntRect& o) { return o.overlaps(r); }))
                        boxes.push_back(r);
                }
                Maps parts(w, h);
                knob.paintMaps(parts.diffuse.asView(), parts.depth.asView(),
                               parts.material.asView(), boxes);
                Maps want = boxesOf(expected, boxes, Maps(w, h));
                EXPECT_EQ(differences(parts, want), 0u);
            }
        }
    }
}

TEST(KnobDrawing, PanKnobAddsItsMarkerOnTheTrail) {
    Bound bound;
    Root root(200, 200);
    spatium::PanKnob knob(root.getContext(), &bound.value);
    knob.setPosition({0, 0, 112, 112});
    knob.minAngle = -2.0546017f;
    knob.maxAngle = 2.0546017f;
    knob.baseAngle = 0.0f;
    knob.useBelowBaseColour = true;
    knob.trailRadiusMin = 0.875f;
    knob.trailRadiusMax = 1.0f;
    for (double v : {0.0, 0.5, 1.0, 0.3}) {
        bound.value.storeNormalized(v);
        Maps expected(112, 112), drawn(112, 112);
        referenceKnob(knob, v, false, expected);
        referencePanMarker(knob, v, expected);
        knob.paintMaps(drawn.diffuse.asView(), drawn.depth.asView(), drawn.material.asView(),
                       {{0, 0, 112, 56}, {0, 56, 112, 112}});
        EXPECT_EQ(differences(drawn, expected), 0u) << v;
    }
}

TEST(KnobDrawing, OddFieldsNeverReachPastTheBox) {
    Bound bound;
    Root root(100, 100);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    for (int variant = 0; variant < 7; ++variant) {
        SCOPED_TRACE(variant);
        UIKnob knob(root.getContext(), &bound.value);
        knob.setPosition({0, 0, 20, 20});
        switch (variant) {
        case 0:
            knob.ledCount = 1000;
            break;
        case 1:
            knob.ledCount = -5;
            break;
        case 2:
            knob.bodyRadius = -3.0f;
            knob.ledRadiusMax = -1.0f;
            break;
        case 3:
            knob.minAngle = knob.maxAngle = 1.0f;
            break;
        case 4:
            knob.bodyRadius = nan;
            knob.trailRadiusMax = inf;
            knob.pressAmount = nan;
            break;
        case 5:
            knob.trailShiftX = 1e30f;
            knob.ledOrbit = -inf;
            break;
        case 6:
            knob.bodyStyle = static_cast<KnobBodyStyle>(99);
            break;
        }
        // The element's maps sit inside a larger map with a guard band around them.
        Maps big(40, 40);
        Maps before(40, 40);
        const IntRect inner{10, 10, 30, 30};
        knob.paintMaps(big.diffuse.asView().crop(inner), big.depth.asView().crop(inner),
                       big.material.asView().crop(inner), {{0, 0, 20, 20}});
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 40; ++x) {
                if (inner.contains(x, y)) continue;
                ASSERT_EQ(big.depth.pixelAt(x, y).l, before.depth.pixelAt(x, y).l);
                ASSERT_EQ(big.diffuse.pixelAt(x, y).r, before.diffuse.pixelAt(x, y).r);
                ASSERT_EQ(big.material.pixelAt(x, y).g, before.material.pixelAt(x, y).g);
            }
    }
    // A zero-sized knob draws nothing at all.
    UIKnob empty(root.getContext(), &bound.value);
    empty.setPosition({5, 5, 5, 5});
    Maps m(4, 4), untouched(4, 4);
    empty.paintMaps(m.diffuse.asView().crop({0, 0, 0, 0}), m.depth.asView().crop({0, 0, 0, 0}),
                    m.material.asView().crop({0, 0, 0, 0}), {{0, 0, 0, 0}});
    EXPECT_EQ(differences(m, untouched), 0u);
}

// The shapes on their own, with ends, centres and radii the knobs never use: the
// fast paths decide most pixels without the exact angle or distance test, and any
// misjudged pixel shows here. Views narrower than four pixels and shapes cut by the
// view's edge take the paths at the end of a row.
TEST(KnobDrawing, ShapesEqualTheReferenceForAnyEndsAndCentres) {
    std::mt19937 rng(11);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    for (int round = 0; round < 300; ++round) {
        SCOPED_TRACE(round);
        const int w = 1 + int(rng() % 90u), h = 1 + int(rng() % 90u);
        float cx = unit(rng) * float(w), cy = unit(rng) * float(h);
        float ro = 0.5f + unit(rng) * 50.0f, ri = unit(rng) * ro;
        if (round % 10 == 9) {
            // A ring far larger than the view, whose rims cross it: the row spans found
            // by square roots of large squares must still cover every pixel.
            ro = 200.0f + unit(rng) * 20000.0f;
            ri = ro - 1.0f - unit(rng) * float(w);
            cy -= ro - unit(rng) * float(h);
        }
        const float a = (unit(rng) - 0.5f) * 4.0f * kPi, b = (unit(rng) - 0.5f) * 4.0f * kPi;
        const float c = (unit(rng) - 0.5f) * 2.0f * kPi, d = c + unit(rng) * 2.0f * kPi;
        const RGBA first{200, 10, 40, 90}, second{5, 250, 99, 255};
        Maps expected(w, h);
        refArc(expected, cx, cy, ri, ro, a, b, first);
        refArc(expected, cx, cy, ri, ro, c, d, second);
        const float r1 = round % 10 == 9 ? ro : unit(rng) * 30.0f;
        const float r0 = round % 3 == 0 ? 0.0f : unit(rng) * r1;
        const auto level = std::uint16_t(rng());
        refDisc(expected, 0, cx, cy, r1, r0, first, 0);
        refDisc(expected, 1, cx, cy, r1, r0, {}, level);
        const RGBA ledColour{9, 99, 199, 30};
        const auto ledLevel = std::uint16_t(rng());
        // A depth and a colour disc drawn together, as the knob's lights are.
        refDisc(expected, 1, cx, cy, 0.7f * r1, 0.5f * r0, {}, ledLevel);
        refDisc(expected, 2, cx, cy, 0.7f * r1, 0.5f * r0, ledColour, 0);
        // Every path this processor has, each on its own against the reference.
        for (const Isa path : supportedIsas()) {
            Maps drawn(w, h);
            annularArcPair(drawn.diffuse.asView(), cx, cy, ri, ro, {a, b, first}, {c, d, second},
                           path);
            softDisc(drawn.diffuse.asView(), cx, cy, r1, r0, first, 1.0f, path);
            softDisc(drawn.depth.asView(), cx, cy, r1, r0, level, 1.0f, path);
            softDiscs(drawn.depth.asView(), ledLevel, drawn.material.asView(), ledColour, cx, cy,
                      0.7f * r1, 0.5f * r0, path);
            EXPECT_EQ(differences(drawn, expected), 0u)
                << "path " << isaName(path) << ", " << w << "x" << h << " at " << cx << "," << cy
                << " ring " << ri << "-" << ro;
        }
    }
}
