// The tile game's, the radio buttons', the logo's, the label's, the dropdown's, the
// parameter hint's, the image knob's, the bar graph's and the panel's drawing
// against a plain reference: every pixel of the
// element worked out from the formulas on its own, no spans, no clipping
// arithmetic. The widgets must give the same bytes on all three maps, drawn whole
// or box by box.

#include "corvid/graphics/mipmap.h"
#include "corvid/graphics/text/font.h"
#include "corvid/pbrwidgets/bargraph.h"
#include "corvid/pbrwidgets/label.h"
#include "corvid/pbrwidgets/logo.h"
#include "corvid/pbrwidgets/panel.h"
#include "corvid/pbrwidgets/paramhint.h"
#include "spatium/gui/bowgame.h"
#include "tests/widgets/harness.h"
#include "vireo/gui/dropdown.h"
#include "vireo/gui/imageknob.h"
#include "vireo/gui/radiobutton.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

namespace {

using namespace corvid;
using namespace widgettest;

// A soft disc at pixel centres (x, y) of the element, whose top-left pixel sits at
// (ox, oy) of the maps: full up to r0, fading linearly in squared distance to r1.
// layer 0 diffuse, 1 depth, 2 material.
void refDisc(Maps& m, int layer, std::int32_t ox, std::int32_t oy, const IntRect& element, float cx,
             float cy, float r1, float r0, RGBA c, std::uint16_t v, float strength) {
    for (std::int32_t j = element.minY; j < element.maxY; ++j)
        for (std::int32_t i = element.minX; i < element.maxX; ++i) {
            const float dx = cx - float(i - ox), dy = cy - float(j - oy);
            const float d2 = dx * dx + dy * dy;
            float s;
            if (d2 < r0 * r0)
                s = 1.0f;
            else if (d2 < r1 * r1)
                s = 1.0f - (d2 - r0 * r0) / (r1 * r1 - r0 * r0);
            else
                continue;
            if (s <= 0.0f) continue;
            if (layer == 1) {
                const float f = s * 65535.0f * strength + 0.5f;
                const auto w = std::uint32_t(std::clamp(f, 0.0f, 65535.0f));
                L16& p = m.depth.pixelAt(i, j);
                p = L16(std::uint16_t((w * v + (65535u - w) * p.l) / 65535u));
            } else {
                const float f = s * 255.0f * strength + 0.5f;
                const auto w = std::uint32_t(std::clamp(f, 0.0f, 255.0f));
                RGBA& p = (layer == 0 ? m.diffuse : m.material).pixelAt(i, j);
                auto mix = [&](std::uint8_t a, std::uint8_t b) {
                    return std::uint8_t((w * a + (255u - w) * b) / 255u);
                };
                p = {mix(c.r, p.r), mix(c.g, p.g), mix(c.b, p.b), mix(c.a, p.a)};
            }
        }
}

// Random boxes inside the maps, none overlapping another.
std::vector<IntRect> someBoxes(std::mt19937& rng, std::int32_t w, std::int32_t h) {
    std::vector<IntRect> boxes;
    for (int b = 0; b < 4; ++b) {
        const int bx = int(rng() % unsigned(w)), by = int(rng() % unsigned(h));
        const IntRect r{bx, by, bx + 1 + int(rng() % unsigned(w - bx)),
                        by + 1 + int(rng() % unsigned(h - by))};
        if (std::none_of(boxes.begin(), boxes.end(),
                         [&](const IntRect& o) { return o.overlaps(r); }))
            boxes.push_back(r);
    }
    return boxes;
}

// The reference's pixels inside the boxes over the untouched background.
Maps withinBoxes(const Maps& drawn, std::int32_t w, std::int32_t h, std::uint32_t seed,
                 const std::vector<IntRect>& boxes) {
    Maps out(w, h, seed);
    for (const IntRect& b : boxes)
        for (std::int32_t y = b.minY; y < b.maxY; ++y)
            for (std::int32_t x = b.minX; x < b.maxX; ++x) {
                out.diffuse.pixelAt(x, y) = const_cast<Maps&>(drawn).diffuse.pixelAt(x, y);
                out.depth.pixelAt(x, y) = const_cast<Maps&>(drawn).depth.pixelAt(x, y);
                out.material.pixelAt(x, y) = const_cast<Maps&>(drawn).material.pixelAt(x, y);
            }
    return out;
}

// What `paint` draws into fresh maps of the reference's seed, whole and then in
// random boxes, against the reference.
template <typename Paint>
void expectWholeAndInBoxes(const Maps& expected, std::int32_t w, std::int32_t h, std::uint32_t seed,
                           std::mt19937& rng, Paint paint) {
    Maps whole(w, h, seed);
    paint(whole, std::vector<IntRect>{{0, 0, w, h}});
    EXPECT_EQ(whole.firstDifference(expected), "");
    const std::vector<IntRect> parts = someBoxes(rng, w, h);
    Maps pieces(w, h, seed);
    paint(pieces, parts);
    EXPECT_EQ(pieces.firstDifference(withinBoxes(expected, w, h, seed, parts)), "");
}

void expectWholeAndInBoxes(UIElement& e, const Maps& expected, std::int32_t w, std::int32_t h,
                           std::uint32_t seed, std::mt19937& rng) {
    expectWholeAndInBoxes(expected, w, h, seed, rng,
                          [&](Maps& m, const std::vector<IntRect>& boxes) { m.paint(e, boxes); });
}

class Game : public spatium::BowGame {
public:
    using BowGame::BowGame;
    void setPointerOver(bool over) { mouseOver = over; }
};

void referenceGame(const Game& g, bool over, Maps& m, const IntRect& box) {
    const int W = box.width(), H = box.height();
    const int tw = W / 5, th = H / 4;
    if (tw <= 0 || th <= 0) return;
    const int left = (W - 5 * tw + 1) / 2, top = (H - 4 * th) / 2;
    bool anyLit = false, allLit = true;
    for (bool b : g.tileLit) {
        anyLit = anyLit || b;
        allLit = allLit && b;
    }
    const bool solved = allLit || !anyLit;
    for (int y = box.minY; y < box.maxY; ++y)
        for (int x = box.minX; x < box.maxX; ++x) {
            const int lx = x - box.minX - left, ly = y - box.minY - top;
            if (lx < 0 || ly < 0) continue;
            const int c = lx / tw, r = ly / th;
            if (c > 4 || r > 3) continue;
            const int inTileX = lx - c * tw, inTileY = ly - r * th;
            if (!solved && (inTileX == 0 || inTileY == 0 || inTileX == tw - 1 || inTileY == th - 1))
                continue;
            const std::size_t i = std::size_t(r * 5 + c);
            const bool lit = g.tileLit[i];
            RGBA d = lit ? RGBA{230, 230, 230, 0} : RGBA{100, 118, 120, 0};
            if (g.tileHovered[i] && !solved)
                d = lit ? RGBA{230, 230, 230, 50} : RGBA{100, 128, 135, 80};
            if (allLit && over) d = {240, 245, 250, 40};
            m.diffuse.pixelAt(x, y) = d;
            m.depth.pixelAt(x, y) = L16(lit ? 28000 : 3000);
            m.material.pixelAt(x, y) = {128, 255, 255, 255};
        }
}

TEST(ReferenceDrawing, BowGameEqualsTheTileFormulas) {
    UIContext ctx;
    std::mt19937 rng(5);
    const IntRect boxes[] = {{3, 2, 108, 86}, {1, 1, 18, 14}, {2, 3, 13, 7},
                             {0, 0, 1, 1},    {4, 4, 10, 9},  {2, 2, 58, 43}};
    for (const IntRect& box : boxes)
        for (int state = 0; state < 5; ++state) {
            SCOPED_TRACE(testing::Message()
                         << box.width() << "x" << box.height() << " state " << state);
            Game g(ctx);
            g.setPosition(box);
            g.lightAll();
            bool over = false;
            switch (state) {
            case 1: // mid-game, hovering a plus
                g.flipTile(1, 2);
                g.flipTile(3, 0);
                g.markTileHovered(0, 4);
                g.markTileHovered(1, 4);
                over = true;
                break;
            case 2: // solved dark, hover marks that must not show
                g.tileLit.fill(false);
                g.markTileHovered(2, 2);
                over = true;
                break;
            case 3: // all lit under the pointer
                over = true;
                break;
            case 4: // one tile dark, not hovered
                g.flipTile(3, 4);
                break;
            }
            g.setPointerOver(over);
            const int w = box.maxX + 3, h = box.maxY + 3;
            Maps expected(w, h, 3);
            referenceGame(g, over, expected, box);
            expectWholeAndInBoxes(g, expected, w, h, 3, rng);
        }
}

void referenceRadio(const vireo::VireoRadioButtonSet& set, int options, int selected, bool over,
                    Maps& m, const IntRect& box) {
    const int bh = box.height() / options;
    if (bh <= 0) return;
    for (int j = 0; j < options; ++j) {
        const bool hoverRow = over && set.hoverY / bh == j && j != selected;
        for (int y = box.minY + j * bh; y < box.minY + (j + 1) * bh; ++y)
            for (int x = box.minX; x < box.maxX; ++x) m.diffuse.pixelAt(x, y).a = hoverRow ? 30 : 0;
        const float cx = 0.85f * float(bh) * 0.5f, cy = float(j * bh) + float(bh) * 0.5f;
        const float glow = std::clamp(set.optionGlow[std::size_t(j)], 0.0f, 1.0f);
        const RGBA dot{set.onDiffuse.r, set.onDiffuse.g, set.onDiffuse.b,
                       std::uint8_t(int(glow * 225.0f + 20.0f))};
        refDisc(m, 1, box.minX, box.minY, box, cx, cy, 5.0f, 0.0f, {}, 40000, 0.5f);
        refDisc(m, 0, box.minX, box.minY, box, cx, cy, 5.0f, 4.0f, set.offDiffuse, 0, 1.0f);
        refDisc(m, 0, box.minX, box.minY, box, cx - 1.0f, cy, 3.5f, 2.5f, dot, 0, 1.0f);
        refDisc(m, 2, box.minX, box.minY, box, cx, cy, 5.0f, 4.0f, {0, 40, 40, 255}, 0, 1.0f);
    }
}

TEST(ReferenceDrawing, RadioButtonsEqualTheButtonFormulas) {
    Host host;
    auto wave = host.integer(1, 0, 3, 1);
    UIContext ctx;
    std::mt19937 rng(9);
    const IntRect boxes[] = {{2, 3, 61, 143}, {1, 1, 18, 30}, {3, 2, 40, 9}, {0, 0, 1, 4}};
    for (const IntRect& box : boxes)
        for (int state = 0; state < 3; ++state) {
            SCOPED_TRACE(testing::Message()
                         << box.width() << "x" << box.height() << " state " << state);
            auto set = vireo::VireoRadioButtonSet::create(wave.get(), ctx);
            set->setPosition(box);
            const int selected = state;
            wave->storeNormalized(double(selected) / 3.0);
            set->optionGlow[0] = state == 1 ? 0.4f : 0.0f;
            set->optionGlow[std::size_t(selected)] = 1.0f;
            set->optionGlow[3] = 0.73f;
            // The pointer arrives through the element's own routing.
            if (state != 0)
                set->dispatchMove(box.minX,
                                  box.minY + (state == 2 ? box.height() - 1 : box.height() / 4), 0,
                                  0, MouseState{});
            const int w = box.maxX + 4, h = box.maxY + 4;
            Maps expected(w, h, 4);
            referenceRadio(*set, 4, selected, state != 0, expected, box);
            expectWholeAndInBoxes(*set, expected, w, h, 4, rng);
        }
}

void referenceLogo(const UILogo& logo, const OwnedImage<RGBA>& art, Maps& m, const IntRect& box) {
    const float g = std::clamp(logo.glowAmount, 0.0f, 1.0f);
    const unsigned emissive = unsigned(int((1.0f - g) * float(logo.emissiveRest) +
                                           g * float(logo.emissiveHovered) + 0.5f)) &
                              255u;
    for (int y = 0; y < art.height(); ++y)
        for (int x = 0; x < art.width(); ++x) {
            if (!box.contains(box.minX + x, box.minY + y)) continue;
            const RGBA src = const_cast<OwnedImage<RGBA>&>(art).pixelAt(x, y);
            RGBA& d = m.diffuse.pixelAt(box.minX + x, box.minY + y);
            const unsigned a = src.a;
            const unsigned alpha =
                logo.emissiveBase + (emissive * ((a * a + (255 - a) * d.a) / 255) + 128) / 256;
            d = {std::uint8_t((src.r * a + d.r * (255 - a)) / 255),
                 std::uint8_t((src.g * a + d.g * (255 - a)) / 255),
                 std::uint8_t((src.b * a + d.b * (255 - a)) / 255),
                 std::uint8_t(std::min(alpha, 255u))};
        }
}

TEST(ReferenceDrawing, LogoEqualsTheImageBlendWithItsGlow) {
    UIContext ctx;
    std::mt19937 rng(13);
    OwnedImage<RGBA> art(23, 11);
    for (std::int32_t y = 0; y < 11; ++y)
        for (std::int32_t x = 0; x < 23; ++x)
            art.pixelAt(x, y) = {std::uint8_t(rng()), std::uint8_t(rng()), std::uint8_t(rng()),
                                 std::uint8_t(x == 0   ? 0
                                              : x == 1 ? 255
                                                       : rng())};
    // Image inside the box, cut by it, and a one-pixel box; base emissives up to one
    // that would wrap a byte.
    const IntRect boxes[] = {{2, 3, 40, 20}, {1, 2, 14, 8}, {3, 3, 4, 4}};
    for (const IntRect& box : boxes)
        for (int state = 0; state < 3; ++state) {
            SCOPED_TRACE(testing::Message()
                         << box.width() << "x" << box.height() << " state " << state);
            UILogo logo(ctx);
            logo.setPosition(box);
            logo.image = &art;
            logo.glowAmount = state == 0 ? 0.0f : state == 1 ? 0.37f : 1.0f;
            logo.emissiveRest = std::uint8_t(state * 11);
            logo.emissiveHovered = 200;
            logo.emissiveBase = state == 2 ? 240 : 3;
            const int w = box.maxX + 3, h = box.maxY + 3;
            Maps expected(w, h, 5);
            referenceLogo(logo, art, expected, box);
            expectWholeAndInBoxes(logo, expected, w, h, 5, rng);
        }
}

// The text primitive has its own tests; here it is the label's placement and colour:
// centred on the box's centre, the emissive raised while a clickable label is hovered.
TEST(ReferenceDrawing, LabelCentresItsTextInItsColour) {
    TestEditor root(200, 100);
    UIContext& ctx = root.getContext();
    std::mt19937 rng(17);
    const IntRect boxes[] = {{4, 3, 120, 21}, {2, 2, 31, 13}, {5, 1, 6, 9}};
    for (const IntRect& box : boxes)
        for (int state = 0; state < 3; ++state) {
            SCOPED_TRACE(testing::Message()
                         << box.width() << "x" << box.height() << " state " << state);
            UILabel label(ctx);
            label.setPosition(box);
            label.setFont(&testFont());
            label.setText(state == 2 ? "M-to-S Lowpass" : "Spatium");
            label.setTextSize(state == 1 ? 9.5f : 12.0f);
            label.setLetterSpacing(state == 2 ? 0.7f : 0.0f);
            label.setTextColor({20, 200, 90, 230});
            label.clickable = state != 0;
            if (state != 0) label.dispatchMove(box.minX, box.minY, 0, 0, MouseState{});
            const int w = box.maxX + 4, h = box.maxY + 4;
            Maps expected(w, h, 6);
            const RGBA colour{20, 200, 90, std::uint8_t(state != 0 ? 255 : 230)};
            drawText(expected.diffuse.asView().crop(box), testFont(), label.text, label.textSize,
                     label.letterSpacing, colour, float(box.width()) * 0.5f,
                     float(box.height()) * 0.5f, alignCentre, alignCentre);
            expectWholeAndInBoxes(label, expected, w, h, 6, rng);
        }
}

void referenceDropdown(const vireo::VireoDropdown& dd, int n, int value, int hoverRow, Maps& m,
                       const IntRect& box) {
    const float rh = float(box.height()) / float(n + 1);
    const int rows =
        std::min(n + 1, int(std::clamp(dd.openAmount, 0.0f, 1.0f) * float(n + 1) * 0.9999f) + 1);
    const auto top = [&](int j) { return j > n ? box.height() : int(float(j) * rh); };
    const auto label = [&](int k) -> std::string {
        return k >= 0 && k < int(dd.labels.size()) ? dd.labels[std::size_t(k)] : std::string();
    };
    const int selected = value + 1;
    for (int j = 0; j < rows; ++j) {
        RGBA d =
            j == 0 ? dd.headerDiffuse : (j == selected ? dd.selectedItemDiffuse : dd.itemDiffuse);
        if (j > 0 && j == hoverRow && j != selected) d.a = std::uint8_t(std::min(255, d.a + 40));
        for (int y = top(j); y < top(j + 1); ++y)
            for (int x = 0; x < box.width(); ++x) {
                m.depth.pixelAt(box.minX + x, box.minY + y) = L16(j == 0 ? 0 : 65535);
                m.diffuse.pixelAt(box.minX + x, box.minY + y) = d;
                m.material.pixelAt(box.minX + x, box.minY + y) = dd.listMaterial;
            }
        const std::string text = j == 0 ? label(value) : label(j - 1);
        if (text.empty() || top(j + 1) <= top(j)) continue;
        const IntRect row{box.minX, box.minY + top(j), box.maxX, box.minY + top(j + 1)};
        drawText(m.diffuse.asView().crop(row), testFont(), text, dd.textSize, 0.0f,
                 j == 0 || j == selected ? dd.selectedTextColor : dd.textColor,
                 float(box.width()) * 0.5f, (float(j) + 0.5f) * rh - float(top(j)), alignCentre,
                 alignCentre);
    }
}

TEST(ReferenceDrawing, DropdownUnfoldsItsRowsAsTheFormulasSay) {
    Host host;
    std::mt19937 rng(19);
    struct Case {
        IntRect box;
        int choices, labels;
    };
    const Case cases[] = {{{2, 3, 49, 323}, 12, 12}, {{1, 2, 31, 43}, 6, 2}, {{0, 1, 5, 4}, 4, 4}};
    for (const Case& c : cases) {
        auto tempo = host.integer(0, 0, c.choices - 1, 0);
        for (float openAmount : {0.0f, 0.45f, 1.0f})
            for (int state = 0; state < 2; ++state) {
                SCOPED_TRACE(testing::Message() << c.box.width() << "x" << c.box.height()
                                                << " open " << openAmount << " state " << state);
                UIContext ctx;
                vireo::VireoDropdown dd(ctx, tempo.get(), &testFont());
                for (int k = 0; k < c.labels; ++k)
                    dd.labels.push_back("1/" + std::to_string(k + 1));
                dd.setPosition(c.box);
                dd.openAmount = openAmount;
                const int value = state == 0 ? 0 : c.choices / 2;
                tempo->storeNormalized(double(value) / double(c.choices - 1));
                // The pointer over the second choice row.
                const float rh = float(c.box.height()) / float(c.choices + 1);
                int hoverRow = -1;
                if (state == 1) {
                    const int y = int(2.5f * rh);
                    dd.dispatchMove(c.box.minX, c.box.minY + y, 0, 0, MouseState{});
                    hoverRow = std::min(int(float(y) / rh), c.choices);
                }
                const int w = c.box.maxX + 3, h = c.box.maxY + 3;
                Maps expected(w, h, 8);
                referenceDropdown(dd, c.choices, value, hoverRow, expected, c.box);
                expectWholeAndInBoxes(dd, expected, w, h, 8, rng);
            }
    }
}

// The hint's three layers worked out pixel by pixel (plate, face and what lies
// above the plate), then laid over the maps with the layer rules written out.
// The text is the text primitive's, drawn on a face of its own.
void referenceHint(const UIParamHint& hint, Maps& m, const IntRect& box) {
    const int w = box.width(), h = box.height();
    const float v = std::clamp(hint.visibility, 0.0f, 1.0f);
    const float r = std::min(1.0f, 2.0f * v), e = std::max(0.0f, 2.0f * v - 1.0f);
    const int plateTop = std::clamp(int(float(h) * (1.0f - r)), 0, h);
    const float s = 0.8f + 0.2f * e;
    const int ix = std::max(0, int((float(w) - s * float(w)) * 0.5f));
    const int iy = std::max(0, int((float(h) - s * float(h)) * 0.5f));
    auto mix = [&](RGBA lo, RGBA hi) {
        auto c = [&](std::uint8_t a, std::uint8_t b) {
            return std::uint8_t(
                std::clamp(int(float(a) * (1.0f - e) + float(b) * e + 0.5f), 0, 255));
        };
        return RGBA{c(lo.r, hi.r), c(lo.g, hi.g), c(lo.b, hi.b), c(lo.a, hi.a)};
    };
    const RGBA faceColour = mix(hint.faceDiffuseLow, hint.faceDiffuseHigh);
    const auto faceDepth = std::uint16_t(std::clamp(
        int((float(hint.faceDepthHigh) - float(hint.faceDepthLow)) * e + float(hint.faceDepthLow)),
        0, 65535));
    const bool face = e > 0.0f && w - 2 * ix > 0 && h - 2 * iy > 0;
    OwnedImage<RGBA> faceImage(std::max(1, w - 2 * ix), std::max(1, h - 2 * iy));
    faceImage.fill(faceColour);
    if (face && drawableTextSize(s * hint.textSize))
        drawText(faceImage.asView(), testFont(), hint.currentText(), s * hint.textSize, 0.0f,
                 mix(hint.textColorLow, hint.textColorHigh), float(w) * 0.5f - float(ix),
                 float(h) * 0.5f - float(iy), alignCentre, alignCentre);
    const auto baseOpacity =
        std::uint8_t(int(std::clamp(hint.baseAlpha, 0.0f, 1.0f) * 255.0f + 0.5f));
    auto over = [](std::uint8_t src, std::uint8_t dst, unsigned o) {
        return std::uint8_t((src * o + dst * (255u - o) + 127u) / 255u);
    };
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int mx = box.minX + x, my = box.minY + y;
            if (mx < 0 || my < 0 || mx >= m.diffuse.width() || my >= m.diffuse.height()) continue;
            RGBA dif{128, 128, 128, 0}, mat{128, 255, 128, 255};
            std::uint16_t dep = 15000;
            unsigned difO = 0, depO = 0, matO = 0;
            if (y < plateTop) {
                mat = hint.baseMaterial;
                matO = baseOpacity;
            } else {
                dep = 0;
                depO = 255;
                dif = hint.plateDiffuse;
                difO = 255;
            }
            if (face && x >= ix && x < w - ix && y >= iy && y < h - iy) {
                dep = faceDepth;
                mat = hint.faceMaterial;
                dif = faceImage.pixelAt(x - ix, y - iy);
                depO = matO = difO = 255;
            }
            RGBA& d = m.diffuse.pixelAt(mx, my);
            RGBA& t = m.material.pixelAt(mx, my);
            L16& z = m.depth.pixelAt(mx, my);
            if (difO != 0)
                d = {over(dif.r, d.r, difO), over(dif.g, d.g, difO), over(dif.b, d.b, difO),
                     over(dif.a, d.a, difO)};
            if (matO != 0)
                t = {over(mat.r, t.r, matO), over(mat.g, t.g, matO), over(mat.b, t.b, matO),
                     over(mat.a, t.a, matO)};
            if (depO != 0) {
                const std::uint32_t u = depO * 257u;
                z = L16(std::uint16_t((u * dep + (65535u - u) * z.l + 32768u) >> 16));
            }
        }
}

TEST(ReferenceDrawing, ParamHintRisesAndShowsItsFaceAsTheFormulasSay) {
    TestEditor root(200, 100);
    UIContext& ctx = root.getContext();
    LinearFloatParameter width(3, "Width", "%", 0.0, 200.0, 100.0);
    std::mt19937 rng(23);
    // The editor's hint, odd and tiny sizes, and one hanging over the maps' edge.
    const IntRect boxes[] = {{5, 4, 45, 26}, {3, 2, 44, 25}, {6, 6, 7, 7},
                             {2, 3, 5, 5},   {1, 2, 8, 32},  {30, 20, 70, 42}};
    for (const IntRect& box : boxes)
        for (const float v : {0.0f, 0.2f, 0.5f, 0.55f, 0.8f, 0.97f, 1.0f}) {
            SCOPED_TRACE(testing::Message() << box.width() << "x" << box.height() << " at "
                                            << box.minX << "," << box.minY << " visibility " << v);
            UIParamHint hint(ctx, &width, &testFont());
            hint.setPosition(box);
            width.storeNormalized(double(rng() % 1000) / 999.0);
            hint.rebuildText();
            hint.visibility = v;
            const int w = std::min(box.maxX + 3, 60), h = std::min(box.maxY + 3, 36);
            Maps expected(w, h, 9);
            referenceHint(hint, expected, box);
            // Each drawing starts from freshly painted layers.
            expectWholeAndInBoxes(expected, w, h, 9, rng,
                                  [&](Maps& m, const std::vector<IntRect>& dirty) {
                                      hint.markDirty();
                                      m.paint(hint, dirty);
                                  });
        }
}

// The image knob's body pixel by pixel as its Part gives it, through the picture's
// own bilinear sampler.
void referenceImageKnob(vireo::UIImageKnob& k, Maps& m) {
    const Mipmap<RGBA>& image = *k.knobImage;
    const float w = float(image.level(0).width());
    const KnobGeometry g = k.geometry();
    const IntRect box = k.getPosition();
    const float phi = k.screenValueAngle() + 1.57079632679490f;
    const float c = std::cos(phi), s = std::sin(phi);
    auto byte = [](float v) { return std::uint32_t(std::clamp(v + 0.5f, 0.0f, 255.0f)); };
    for (int row = 0; row < box.height(); ++row)
        for (int col = 0; col < box.width(); ++col) {
            const int mx = box.minX + col, my = box.minY + row;
            if (mx < 0 || my < 0 || mx >= m.diffuse.width() || my >= m.diffuse.height()) continue;
            const float dx = float(col) - g.cx, dy = float(row) - g.cy;
            const float x = c * dy - s * dx + w / 2.0f;
            const float y = std::clamp(c * dx + s * dy + w / 2.0f, 0.5f, w - 0.5f);
            const std::uint32_t k8 = byte(image.sampleBilinear(0, x, y)[0]);
            if (k8 == 0) continue;
            const auto colour = image.sampleBilinear(0, x, y + w);
            const auto height = image.sampleBilinear(0, x, y + 2.0f * w);
            const auto material = image.sampleBilinear(0, x, y + 3.0f * w);
            auto over = [&](float src, std::uint8_t dst) {
                return std::uint8_t((byte(src) * k8 + dst * (255u - k8)) / 255u);
            };
            RGBA& d = m.diffuse.pixelAt(mx, my);
            d = {over(colour[0], d.r), over(colour[1], d.g), over(colour[2], d.b),
                 over(colour[3], d.a)};
            RGBA& t = m.material.pixelAt(mx, my);
            t = {over(material[0], t.r), over(material[1], t.g), over(material[2], t.b),
                 over(material[3], t.a)};
            const float grey = (height[0] + height[1] + height[2]) * 257.0f / 3.0f + 0.5f;
            const auto value = std::uint32_t(std::clamp(grey, 0.0f, 65535.0f));
            const std::uint32_t u = k8 * 257u;
            L16& z = m.depth.pixelAt(mx, my);
            z = L16(std::uint16_t((value * u + (65535u - u) * z.l + 32768u) >> 16));
        }
}

// A picture of the knob's layout: a soft-edged disc in the mask, and colour, depth
// and material layers that change in every direction. Taller than four squares
// when asked, which the knob allows.
std::unique_ptr<OwnedImage<RGBA>> knobPicture(int n, int extraRows) {
    auto image = std::make_unique<OwnedImage<RGBA>>(n, 4 * n + extraRows);
    const float r = float(n) * 0.45f;
    for (int y = 0; y < 4 * n + extraRows; ++y)
        for (int x = 0; x < n; ++x) {
            const float dx = float(x) - float(n) * 0.5f, dy = float(y % n) - float(n) * 0.5f;
            const auto cover =
                std::uint8_t(std::clamp((r - std::sqrt(dx * dx + dy * dy)) * 90.0f, 0.0f, 255.0f));
            image->pixelAt(x, y) = y < n ? RGBA{cover, 3, 5, 7}
                                         : RGBA{std::uint8_t(x * 37 + y), std::uint8_t(y * 11),
                                                std::uint8_t(x ^ y), std::uint8_t(255 - x * 3)};
        }
    return image;
}

TEST(ReferenceDrawing, ImageKnobTurnsItsPictureAsTheFormulasSay) {
    LinearFloatParameter value(4, "Image", "%", 0.0, 100.0, 70.0);
    UIContext ctx;
    std::mt19937 rng(29);
    const Mipmap<RGBA> square(knobPicture(64, 0), 4);
    const Mipmap<RGBA> odd(knobPicture(23, 9), 2);
    // One pixel wide and 65536 rows high: past what the lanes' offsets hold, so it
    // takes the one-pixel path.
    const Mipmap<RGBA> tall = [] {
        auto image = std::make_unique<OwnedImage<RGBA>>(1, 65536);
        for (int y = 0; y < 65536; ++y)
            image->pixelAt(0, y) = {std::uint8_t(200 - y), std::uint8_t(y * 3), 50, 255};
        return Mipmap<RGBA>(std::move(image), 0);
    }();
    struct Case {
        IntRect box;
        const Mipmap<RGBA>* picture;
    };
    // The demo's knob, odd and tiny boxes, one hanging over the maps' edge, an odd
    // picture taller than its four layers, and one too tall for the lanes.
    const Case cases[] = {{{3, 2, 68, 67}, &square}, {{1, 4, 52, 34}, &square},
                          {{5, 1, 22, 41}, &odd},    {{2, 2, 5, 5}, &square},
                          {{4, 4, 5, 5}, &odd},      {{40, 30, 105, 95}, &square},
                          {{2, 3, 9, 10}, &tall}};
    for (const Case& cs : cases)
        for (const double v : {0.0, 0.27, 0.5, 0.91, 1.0})
            for (const Isa path : supportedIsas()) {
                SCOPED_TRACE(testing::Message() << cs.box.width() << "x" << cs.box.height()
                                                << " value " << v << " path " << isaName(path));
                vireo::UIImageKnob knob(ctx, &value, cs.picture);
                knob.setPosition(cs.box);
                value.storeNormalized(v);
                const int w = std::min(cs.box.maxX + 3, 80), h = std::min(cs.box.maxY + 3, 80);
                Maps expected(w, h, 11);
                referenceImageKnob(knob, expected);
                auto bodyOnly = [&](Maps& m, const std::vector<IntRect>& windowBoxes) {
                    // The maps cropped to the element, as a redraw hands them over.
                    const IntRect clipped = cs.box.intersect({0, 0, w, h});
                    std::vector<IntRect> local;
                    for (const IntRect& b : windowBoxes) {
                        const IntRect r = b.intersect(clipped);
                        if (!r.isEmpty())
                            local.push_back({r.minX - clipped.minX, r.minY - clipped.minY,
                                             r.maxX - clipped.minX, r.maxY - clipped.minY});
                    }
                    vireo::drawImageKnobBody(knob, path, m.diffuse.asView().crop(clipped),
                                             m.depth.asView().crop(clipped),
                                             m.material.asView().crop(clipped), local);
                };
                expectWholeAndInBoxes(expected, w, h, 11, rng, bodyOnly);
            }
}

// Every LED rectangle of the bar graph tried at every pixel, channel by channel and
// row by row, the last one holding the pixel winning.
void referenceBargraph(const UIBargraph& bars, const std::vector<float>& levels, Maps& m) {
    const IntRect box = bars.getPosition();
    const int n = int(bars.ledColours.size()), channels = bars.channelCount();
    const float W = float(box.width()), H = float(box.height());
    const float c = 0.06f * W, e = (H - 2.0f * c) / float(n), f = (W - 2.0f * c) / float(channels);
    for (int py = 0; py < box.height(); ++py)
        for (int px = 0; px < box.width(); ++px) {
            const int mx = box.minX + px, my = box.minY + py;
            if (mx < 0 || my < 0 || mx >= m.diffuse.width() || my >= m.diffuse.height()) continue;
            for (int ch = 0; ch < channels; ++ch)
                for (int i = 0; i < n; ++i) {
                    const float x0 = (float(ch) + 0.15f) * f + c, x1 = x0 + 0.7f * f;
                    const float y0 = c + (float(i) + 0.1f) * e, y1 = y0 + 0.8f * e;
                    if (px < int(x0) || px >= int(x1) || py < int(y0) || py >= int(y1)) continue;
                    const float u = levels[std::size_t(ch)];
                    const float E = 1.0f - (n > 1 ? float(i) / float(n - 1) : 0.0f);
                    const float d = u - 1.0f / float(n);
                    float lit;
                    if (E <= d) {
                        lit = 1.0f;
                    } else if (E >= u) {
                        lit = 0.0f;
                    } else {
                        const float g = (E - d) * float(n);
                        lit = 1.0f - g * g * (3.0f - 2.0f * g);
                    }
                    const unsigned a = unsigned(int(lit * 160.0f + 0.5f));
                    const RGBA base = bars.ledColours[std::size_t(i)];
                    m.diffuse.pixelAt(mx, my) = {std::uint8_t(base.r * (a + 255u) / 510u),
                                                 std::uint8_t(base.g * (a + 255u) / 510u),
                                                 std::uint8_t(base.b * (a + 255u) / 510u),
                                                 std::uint8_t(a)};
                    m.depth.pixelAt(mx, my) = L16(16000);
                    m.material.pixelAt(mx, my) = {0, 128, 255, 255};
                }
        }
}

TEST(ReferenceDrawing, BargraphAndPanelEqualTheirFormulas) {
    UIContext ctx;
    std::mt19937 rng(31);
    const IntRect boxes[] = {
        {3, 2, 43, 145}, {1, 1, 30, 20}, {2, 5, 9, 60}, {4, 4, 6, 7}, {50, 40, 90, 99}};
    for (const IntRect& box : boxes)
        for (const int channels : {1, 2, 3})
            for (const int leds : {1, 4, 13}) {
                SCOPED_TRACE(testing::Message() << box.width() << "x" << box.height() << " "
                                                << channels << " channels " << leds << " leds");
                std::vector<RGBA> colours;
                for (int i = 0; i < leds; ++i)
                    colours.push_back(
                        {std::uint8_t(rng()), std::uint8_t(rng()), std::uint8_t(rng()), 0});
                UIBargraph bars(ctx, channels, colours);
                bars.setPosition(box);
                std::vector<float> levels;
                for (int ch = 0; ch < channels; ++ch)
                    levels.push_back(float(rng() % 1001) / 1000.0f);
                // One level exactly on a threshold, where the smoothstep meets its ends.
                if (leds > 1) levels[0] = 1.0f - 1.0f / float(leds - 1);
                bars.setLevels(levels);
                std::vector<float> shown;
                for (int ch = 0; ch < channels; ++ch) shown.push_back(bars.readLevel(ch));
                const int w = std::min(box.maxX + 3, 80), h = std::min(box.maxY + 3, 150);
                Maps expected(w, h, 13);
                referenceBargraph(bars, shown, expected);
                expectWholeAndInBoxes(bars, expected, w, h, 13, rng);
            }
    // The panel fills every box it is given, and only those.
    UIPanel panel(ctx);
    panel.panelDiffuse = {9, 80, 170, 33};
    panel.panelMaterial = {200, 1, 77, 255};
    panel.panelDepth = 4321;
    panel.setPosition({3, 5, 61, 47});
    Maps expected(64, 50, 14);
    for (int y = 5; y < 47; ++y)
        for (int x = 3; x < 61; ++x) {
            expected.diffuse.pixelAt(x, y) = panel.panelDiffuse;
            expected.material.pixelAt(x, y) = panel.panelMaterial;
            expected.depth.pixelAt(x, y) = L16(4321);
        }
    const std::vector<IntRect> parts = someBoxes(rng, 64, 50);
    Maps pieces(64, 50, 14);
    pieces.paint(panel, parts);
    EXPECT_EQ(pieces.firstDifference(withinBoxes(expected, 64, 50, 14, parts)), "");
}

} // namespace
