#include "spatium/gui/phasedisplay.h"

#include "tests/views/view_support.h"

#include "corvid/graphics/image.h"
#include "corvid/gui/context.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <set>
#include <string>
#include <vector>

namespace {

using corvid::IntRect;
using corvid::RGBA;
using spatium::PhaseDisplay;
using spatium::StereoPair;
using view_testing::kPhaseBox;

constexpr int kW = PhaseDisplay::kGlowWidth, kH = PhaseDisplay::kGlowHeight;
constexpr float kRate = 48000.0f;

struct Signal {
    std::vector<float> left, right;
};

Signal lissajous(int frames, float gainL, float gainR, float phase, float ratio = 1.0f) {
    Signal s;
    for (int i = 0; i < frames; ++i) {
        const float t = static_cast<float>(i) * 0.013f;
        s.left.push_back(gainL * std::sin(t));
        s.right.push_back(gainR * std::sin(t * ratio + phase));
    }
    return s;
}

void feedBlocks(PhaseDisplay& d, const Signal& s, int block = 512) {
    const int n = static_cast<int>(s.left.size());
    for (int i = 0; i < n; i += block)
        d.feed(s.left.data() + i, s.right.data() + i, std::min(block, n - i), kRate);
}

// The plain scope: points, peak scale, fade, splat and composite from the formulas.
struct ReferenceScope {
    std::vector<std::int32_t> glow = std::vector<std::int32_t>(kW * kH, 0);

    void frame(const std::vector<StereoPair>& pairs, bool dragged) {
        std::vector<std::pair<float, float>> pts;
        for (const auto& p : pairs) pts.push_back({p.left - p.right, p.left + p.right});
        float peak = 1e-10f;
        for (const auto& [x, y] : pts) peak = std::max(peak, x * x + y * y);
        const float s = 0.9f * 65.0f / std::sqrt(peak);
        for (auto& c : glow) c = std::min(255, std::max(0, c - (dragged ? 26 : 13)));
        const int k = dragged ? 3 : 4;
        for (std::size_t i = 0; i + 1 < pts.size(); ++i) {
            for (const float e : {0.0f, 0.2f, 0.4f, 0.6f, 0.8f}) {
                const float qx = (1.0f - e) * pts[i].first + e * pts[i + 1].first;
                const float qy = (1.0f - e) * pts[i].second + e * pts[i + 1].second;
                const auto X = static_cast<std::int32_t>((qx * s + 69.0f) * 16.0f);
                const auto Y = static_cast<std::int32_t>((qy * s + 69.0f) * 16.0f);
                const int fx = X & 15, fy = Y & 15, col = X >> 4, row = Y >> 4;
                const auto add = [&](int r, int c, int w) {
                    auto& cell = glow[static_cast<std::size_t>(r * kW + c)];
                    cell = std::min(255, cell + w);
                };
                add(row, col, ((15 - fx) * (15 - fy)) >> k);
                add(row, col + 1, (fx * (15 - fy)) >> k);
                add(row + 1, col, ((15 - fx) * fy) >> k);
                add(row + 1, col + 1, (fx * fy) >> k);
            }
        }
    }
    void composite(corvid::OwnedImage<RGBA>& img) const {
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x) {
                const int v = std::min(glow[y * kW + x], 255);
                RGBA& p = img.pixelAt(x, y);
                p.r = static_cast<std::uint8_t>(std::min(210, p.r + v));
                p.g = static_cast<std::uint8_t>(std::min(210, p.g + v));
                p.b = static_cast<std::uint8_t>(std::min(255, p.b + v));
            }
    }
};

void fillPanel(corvid::OwnedImage<RGBA>& img) {
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            img.pixelAt(x, y) = {static_cast<std::uint8_t>(x + y), static_cast<std::uint8_t>(3 * y),
                                 static_cast<std::uint8_t>(200 + (x & 31)),
                                 static_cast<std::uint8_t>(x)};
}

class Scope : public ::testing::Test {
protected:
    Scope() : display(context) { display.setPosition(kPhaseBox); }

    corvid::OwnedImage<RGBA> paint(const std::vector<IntRect>& boxes) {
        corvid::OwnedImage<RGBA> img(kW, kH);
        fillPanel(img);
        corvid::OwnedImage<corvid::L16> depth(kW, kH);
        corvid::OwnedImage<RGBA> material(kW, kH);
        display.paintMaps(img.asView(), depth.asView(), material.asView(), boxes);
        return img;
    }
    corvid::OwnedImage<RGBA> paintAll() { return paint({{0, 0, kW, kH}}); }
    bool takeDirty() {
        std::vector<IntRect> dirty;
        context.takeDirtyRects(dirty);
        return !dirty.empty();
    }
    // Glow cells that are lit.
    std::vector<std::pair<int, int>> litCells() const {
        std::vector<std::pair<int, int>> lit;
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x)
                if (display.glow()[static_cast<std::size_t>(y * kW + x)] > 0) lit.push_back({x, y});
        return lit;
    }

    corvid::UIContext context;
    PhaseDisplay display;
};

TEST_F(Scope, SplatAndCompositeEqualThePlainReferenceFrameAfterFrame) {
    const Signal s = lissajous(8192, 0.8f, 0.5f, 0.7f, 1.5f);
    feedBlocks(display, s);
    // The queue keeps the fourth pair of every four.
    std::vector<StereoPair> stored;
    for (std::size_t i = 3; i < s.left.size(); i += 4) stored.push_back({s.left[i], s.right[i]});
    ASSERT_EQ(display.feedQueue().size(), static_cast<std::int32_t>(stored.size()));

    ReferenceScope ref;
    for (int frame = 0; frame < 6; ++frame) {
        const auto start = stored.size() - static_cast<std::size_t>(display.feedQueue().size());
        const std::size_t n = std::min<std::size_t>(256, stored.size() - start);
        const bool dragged = frame == 3;
        context.dragged = dragged ? &display : nullptr;
        display.animateSelf(0.015, 0.0);
        ASSERT_EQ(display.pointCount(), static_cast<std::int32_t>(n));
        ref.frame({stored.begin() + static_cast<std::ptrdiff_t>(start),
                   stored.begin() + static_cast<std::ptrdiff_t>(start + n)},
                  dragged);

        const auto whole = paintAll();
        for (int i = 0; i < kW * kH; ++i)
            ASSERT_EQ(display.glow()[static_cast<std::size_t>(i)],
                      ref.glow[static_cast<std::size_t>(i)])
                << "frame " << frame << " cell " << i % kW << "," << i / kW;
        corvid::OwnedImage<RGBA> expected(kW, kH);
        fillPanel(expected);
        ref.composite(expected);
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x)
                ASSERT_EQ(whole.pixelAt(x, y), expected.pixelAt(x, y)) << x << "," << y;

        // Repainted in pieces before the next frame (a neighbour's redraw), the
        // same glow shows: it is neither faded nor splatted again.
        const std::vector<IntRect> pieces{{0, 0, 70, 40}, {70, 0, 139, 40}, {0, 40, 139, 134}};
        const auto cut = paint(pieces);
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x)
                ASSERT_EQ(cut.pixelAt(x, y), expected.pixelAt(x, y)) << x << "," << y;
    }
    context.dragged = nullptr;
}

TEST_F(Scope, MonoDrawsAVerticalLineAndOppositePolarityAHorizontalOne) {
    const Signal mono = lissajous(4096, 0.5f, 0.5f, 0.0f);
    feedBlocks(display, mono);
    display.animateSelf(0.015, 0.0);
    paintAll();
    auto lit = litCells();
    std::set<int> columns, rows;
    for (const auto& [x, y] : lit) columns.insert(x), rows.insert(y);
    EXPECT_EQ(columns, std::set<int>{69});
    // The loudest point reaches 58.5 pixels out.
    EXPECT_GE(*rows.rbegin() - *rows.begin(), 100);

    PhaseDisplay opposite(context);
    opposite.setPosition(kPhaseBox);
    const Signal s = lissajous(4096, 0.5f, -0.5f, 0.0f);
    feedBlocks(opposite, s);
    opposite.animateSelf(0.015, 0.0);
    corvid::OwnedImage<RGBA> img(kW, kH), mat(kW, kH);
    corvid::OwnedImage<corvid::L16> depth(kW, kH);
    opposite.paintMaps(img.asView(), depth.asView(), mat.asView(), {{0, 0, kW, kH}});
    columns.clear();
    rows.clear();
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x)
            if (opposite.glow()[static_cast<std::size_t>(y * kW + x)] > 0)
                columns.insert(x), rows.insert(y);
    EXPECT_EQ(rows, std::set<int>{69});
    EXPECT_GE(*columns.rbegin() - *columns.begin(), 100);
}

TEST_F(Scope, TwentySilentFramesStopTheRedrawsAndSoundRestartsThem) {
    const std::vector<float> zeros(512, 0.0f);
    for (int frame = 0; frame < PhaseDisplay::kSilentFramesToIdle; ++frame) {
        display.feed(zeros.data(), zeros.data(), 512, kRate);
        display.animateSelf(0.015, 0.0);
        EXPECT_TRUE(takeDirty()) << frame;
        paintAll();
    }
    for (int frame = 0; frame < 5; ++frame) {
        display.feed(zeros.data(), zeros.data(), 512, kRate);
        display.animateSelf(0.015, 0.0);
        EXPECT_FALSE(takeDirty()) << frame;
    }
    // Negative zero is silence too.
    const std::vector<float> negZeros(512, -0.0f);
    display.feed(negZeros.data(), zeros.data(), 512, kRate);
    display.animateSelf(0.015, 0.0);
    EXPECT_FALSE(takeDirty());

    const Signal sound = lissajous(512, 0.3f, 0.2f, 1.0f);
    display.feed(sound.left.data(), sound.right.data(), 512, kRate);
    display.animateSelf(0.015, 0.0);
    EXPECT_TRUE(takeDirty());
    // Its trace gets twenty silent frames to fade, then the display rests again.
    for (int frame = 0; frame < PhaseDisplay::kSilentFramesToIdle; ++frame) {
        display.animateSelf(0.015, 0.0);
        EXPECT_TRUE(takeDirty()) << frame;
    }
    display.animateSelf(0.015, 0.0);
    EXPECT_FALSE(takeDirty());
}

TEST_F(Scope, TheGlowFadesOutWithinTwentyFramesOfSilence) {
    feedBlocks(display, lissajous(2048, 0.7f, 0.1f, 0.3f));
    display.animateSelf(0.015, 0.0);
    paintAll();
    ASSERT_FALSE(litCells().empty());
    // Drain the queue, then let frames pass while the display still asks for them.
    takeDirty();
    for (int frame = 0; frame < 100; ++frame) {
        display.animateSelf(0.5, 0.0);
        if (!takeDirty()) break;
        paintAll();
    }
    EXPECT_TRUE(litCells().empty());
    corvid::OwnedImage<RGBA> panel(kW, kH);
    fillPanel(panel);
    const auto shown = paintAll();
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            RGBA want = panel.pixelAt(x, y);
            want.r = std::min<std::uint8_t>(want.r, 210);
            want.g = std::min<std::uint8_t>(want.g, 210);
            ASSERT_EQ(shown.pixelAt(x, y), want);
        }
}

TEST_F(Scope, NonFiniteAndHugeSamplesAreLeftOutAndTheScopeCarriesOn) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    Signal s = lissajous(2048, 0.6f, 0.4f, 0.9f);
    // Every fourth pair is kept; spoil many of those with values whose point is
    // NaN, infinite or squares past the float range, and one huge finite one.
    const float bad[] = {nan, inf, -inf, 1.0e20f, -3.0e38f, std::numeric_limits<float>::max()};
    for (std::size_t i = 3, k = 0; i < 1024; i += 12, ++k) {
        s.left[i] = bad[k % 6];
        if (k % 3 == 0) s.right[i] = bad[(k + 2) % 6];
    }
    s.left[1023] = 1.2e19f;
    s.right[1023] = 0.0f;
    feedBlocks(display, s);
    for (int frame = 0; frame < 12; ++frame) {
        display.animateSelf(0.015, 0.0);
        for (int i = 0; i < display.pointCount(); ++i) {
            const StereoPair p = display.points()[i];
            ASSERT_TRUE(std::isfinite(p.left * p.left + p.right * p.right));
        }
        paintAll();
    }
    EXPECT_FALSE(litCells().empty());

    // Later frames with ordinary sound draw the ordinary picture.
    PhaseDisplay clean(context);
    clean.setPosition(kPhaseBox);
    const Signal good = lissajous(2048, 0.6f, 0.4f, 0.9f);
    for (int frame = 0; frame < 30; ++frame) {
        display.animateSelf(1.0, 0.0);
        paintAll();
    }
    feedBlocks(display, good);
    feedBlocks(clean, good);
    display.animateSelf(0.015, 0.0);
    clean.animateSelf(0.015, 0.0);
    paintAll();
    corvid::OwnedImage<RGBA> img(kW, kH), mat(kW, kH);
    corvid::OwnedImage<corvid::L16> depth(kW, kH);
    clean.paintMaps(img.asView(), depth.asView(), mat.asView(), {{0, 0, kW, kH}});
    EXPECT_EQ(display.glow(), clean.glow());
}

TEST_F(Scope, NothingIsDrawnOutsideTheGlowImageOrTheBoxes) {
    // A display placed in a larger box still composites only its glow image.
    display.setPosition({0, 0, 300, 300});
    feedBlocks(display, lissajous(4096, 1.0f, -0.3f, 0.2f));
    display.animateSelf(0.015, 0.0);
    corvid::OwnedImage<RGBA> img(300, 300), mat(300, 300);
    corvid::OwnedImage<corvid::L16> depth(300, 300);
    img.fill({1, 2, 3, 4});
    display.paintMaps(img.asView(), depth.asView(), mat.asView(), {{100, 100, 300, 300}});
    for (int y = 0; y < 300; ++y)
        for (int x = 0; x < 300; ++x)
            if (x < 100 || y < 100 || x >= kW || y >= kH) {
                ASSERT_EQ(img.pixelAt(x, y), (RGBA{1, 2, 3, 4})) << x << "," << y;
            }
}

TEST_F(Scope, TheFeedBufferIsSizedAheadAndGrowsOnlyForALargerBlock) {
    EXPECT_EQ(display.feedCapacity(), 0);
    display.reserveFeedFrames(512);
    EXPECT_EQ(display.feedCapacity(), 512);
    const Signal s = lissajous(700, 0.5f, 0.5f, 0.0f);
    display.feed(s.left.data(), s.right.data(), 512, kRate);
    EXPECT_EQ(display.feedCapacity(), 512);
    display.feed(s.left.data(), s.right.data(), 700, kRate);
    EXPECT_EQ(display.feedCapacity(), 700);
    display.feed(s.left.data(), s.right.data(), 100, kRate);
    EXPECT_EQ(display.feedCapacity(), 700);
    EXPECT_EQ(display.feedQueue().size(), 128 + 175 + 25);
    EXPECT_EQ(display.feedQueue().itemsPerSecond(), kRate);
    // Nothing to copy is nothing to push.
    display.feed(s.left.data(), s.right.data(), 0, kRate);
    display.feed(nullptr, s.right.data(), 100, kRate);
    EXPECT_EQ(display.feedQueue().size(), 128 + 175 + 25);
}

TEST(ScopeInput, RightClickFreezesTheInputAndEveryClickIsTaken) {
    view_testing::Root root;
    auto& display = root.place(std::make_unique<PhaseDisplay>(root.getContext()), kPhaseBox);
    auto& window = root.openHeadlessEditor();
    window.paint();
    const Signal s = lissajous(512, 0.5f, 0.1f, 0.0f);

    window.mouseMove(kPhaseBox.minX + 20, kPhaseBox.minY + 100);
    EXPECT_TRUE(window.mouseDown(corvid::MouseButton::right));
    window.mouseUp(corvid::MouseButton::right);
    EXPECT_TRUE(display.isFrozen());
    display.feed(s.left.data(), s.right.data(), 512, kRate);
    EXPECT_EQ(display.feedQueue().size(), 0);

    // A left click is taken (it starts the bright drag) but does not unfreeze.
    EXPECT_TRUE(window.mouseDown(corvid::MouseButton::left));
    EXPECT_EQ(root.getContext().dragged, &display);
    window.mouseUp(corvid::MouseButton::left);
    EXPECT_TRUE(display.isFrozen());

    EXPECT_TRUE(window.mouseDown(corvid::MouseButton::right));
    window.mouseUp(corvid::MouseButton::right);
    EXPECT_FALSE(display.isFrozen());
    display.feed(s.left.data(), s.right.data(), 512, kRate);
    EXPECT_EQ(display.feedQueue().size(), 128);
}

} // namespace
