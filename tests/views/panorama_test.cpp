#include "spatium/gui/panorama.h"

#include "tests/views/view_support.h"

#include "corvid/graphics/image.h"
#include "corvid/gui/context.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <vector>

namespace {

using corvid::IntRect;
using corvid::MouseButton;
using corvid::RGBA;
using spatium::Panorama;
using spatium::PanoramaGeometry;
using view_testing::kPanoramaBox;

const PanoramaGeometry kEditor = PanoramaGeometry::forSize(238, 141);
const float kZeroDbRadius = std::pow(0.2f, 0.75f) * 91.0f;

// ---------------------------------------------------------------- geometry

TEST(PanoramaGeometry, NamedDistancesLieOnTheRimTheZeroCircleAndTheListener) {
    EXPECT_EQ(kEditor.listenerX, 119.0f);
    EXPECT_EQ(kEditor.listenerY, 123.0f);
    EXPECT_EQ(kEditor.radius, 91.0f);
    EXPECT_FLOAT_EQ(kEditor.zeroDbRadius(), kZeroDbRadius);

    const auto rim = kEditor.position(-24.0f, 0.0f);
    EXPECT_FLOAT_EQ(rim.x, 119.0f);
    EXPECT_FLOAT_EQ(rim.y, 123.0f - 91.0f);
    const auto zero = kEditor.position(0.0f, 0.0f);
    EXPECT_FLOAT_EQ(zero.y, 123.0f - kZeroDbRadius);
    for (const float pan : {-1.0f, -0.3f, 0.0f, 1.0f}) {
        const auto listener = kEditor.position(6.0f, pan);
        EXPECT_FLOAT_EQ(listener.x, 119.0f);
        EXPECT_FLOAT_EQ(listener.y, 123.0f);
    }
    // Hard left and right sit on the rim beside the listener; beyond the ranges
    // the point stays on the rim or at the listener.
    const auto left = kEditor.position(-24.0f, -1.0f);
    EXPECT_NEAR(left.x, 119.0f - 91.0f, 1e-4);
    EXPECT_NEAR(left.y, 123.0f, 1e-4);
    const auto beyond = kEditor.position(-60.0f, 3.0f);
    EXPECT_NEAR(beyond.x, 119.0f + 91.0f, 1e-4);
    EXPECT_NEAR(beyond.y, 123.0f, 1e-4);
    const auto inside = kEditor.position(30.0f, 0.5f);
    EXPECT_FLOAT_EQ(inside.x, 119.0f);
    EXPECT_FLOAT_EQ(inside.y, 123.0f);
}

TEST(PanoramaGeometry, ParametersAtInvertsPosition) {
    for (float db = -24.0f; db < 5.9f; db += 0.75f) {
        for (float pan = -90.0f; pan <= 90.0f; pan += 7.5f) {
            const auto p = kEditor.position(db, pan / 90.0f);
            const auto back = kEditor.parametersAt(p.x, p.y);
            ASSERT_TRUE(back.panDefined);
            EXPECT_NEAR(back.distanceDb, db, 2e-3) << db << " " << pan;
            EXPECT_NEAR(back.panDegrees, pan, db > 5.0f ? 0.05 : 2e-3) << db << " " << pan;
        }
    }
    // Not clamped in distance: twice the rim radius is far below -24 dB.
    EXPECT_NEAR(kEditor.parametersAt(119.0f, 123.0f - 182.0f).distanceDb,
                6.0f - 30.0f * std::pow(2.0f, 4.0f / 3.0f), 1e-3);
    // Below the listener the angle is clamped to the sides.
    EXPECT_EQ(kEditor.parametersAt(150.0f, 140.0f).panDegrees, 90.0f);
    EXPECT_EQ(kEditor.parametersAt(80.0f, 140.0f).panDegrees, -90.0f);
    // At the listener there is no direction at all.
    const auto at = kEditor.parametersAt(119.0f, 123.0f);
    EXPECT_FALSE(at.panDefined);
    EXPECT_EQ(at.distanceDb, 6.0f);
}

TEST(PanoramaGeometry, HitTestCoversTheHalfDiscWithItsMarginButNotTheCorners) {
    const float reach = 91.0f + Panorama::kHitMargin;
    EXPECT_TRUE(kEditor.hit(119.0f, 123.0f, 30.0f));
    EXPECT_TRUE(kEditor.hit(119.0f, 123.0f - reach + 0.5f, 30.0f));
    EXPECT_FALSE(kEditor.hit(119.0f, 123.0f - reach, 30.0f));
    EXPECT_TRUE(kEditor.hit(119.0f - reach + 0.5f, 123.0f, 30.0f));
    // The box's top corners lie outside radius Rm + 30.
    for (const auto& [x, y] : {std::pair{0.0f, 0.0f}, {237.0f, 0.0f}, {5.0f, 20.0f}})
        EXPECT_FALSE(kEditor.hit(x, y, 30.0f)) << x << "," << y;
    // Nothing below the box counts, even close to the listener.
    EXPECT_TRUE(kEditor.hit(119.0f, 141.0f, 30.0f));
    EXPECT_FALSE(kEditor.hit(119.0f, 142.0f, 30.0f));
}

TEST(PanoramaGeometry, ABoxTooSmallForTheInsetHasNoHalfDisc) {
    const auto g = PanoramaGeometry::forSize(40, 30);
    EXPECT_EQ(g.radius, 0.0f);
    EXPECT_FALSE(g.hit(g.listenerX, g.listenerY, 30.0f));
    const auto p = g.position(-24.0f, 0.5f);
    EXPECT_EQ(p.x, g.listenerX);
    EXPECT_EQ(p.y, g.listenerY);
    EXPECT_FALSE(g.parametersAt(3.0f, 4.0f).panDefined);
}

TEST(Panorama, TiltColoursWarmWhenCutAndCoolWhenBoosted) {
    EXPECT_EQ(Panorama::tiltColor(0.0f), (RGBA{220, 220, 255, 255}));
    EXPECT_EQ(Panorama::tiltColor(-12.0f), (RGBA{220, 220, 175, 255}));
    EXPECT_EQ(Panorama::tiltColor(-6.0f), (RGBA{220, 220, 215, 255}));
    EXPECT_EQ(Panorama::tiltColor(6.0f), (RGBA{180, 220, 255, 255}));
    EXPECT_EQ(Panorama::tiltColor(12.0f), (RGBA{140, 220, 255, 255}));
    EXPECT_EQ(Panorama::tiltColor(-100.0f), Panorama::tiltColor(-12.0f));
    EXPECT_EQ(Panorama::tiltColor(std::numeric_limits<float>::infinity()),
              Panorama::tiltColor(12.0f));
    EXPECT_EQ(Panorama::tiltColor(-0.001f), (RGBA{220, 220, 255, 255}));
    EXPECT_EQ(Panorama::tiltColor(std::numeric_limits<float>::quiet_NaN()),
              Panorama::tiltColor(0.0f));
}

// ---------------------------------------------------------------- input

struct EditorWithPanorama {
    EditorWithPanorama() {
        panorama =
            &root.place(std::make_unique<Panorama>(root.getContext(), &params.pan, &params.distance,
                                                   &params.tilt, &params.output),
                        kPanoramaBox);
        window = &root.openHeadlessEditor();
        window->paint();
        params.host.log.clear();
    }
    // Element point to window point.
    void moveTo(std::int32_t x, std::int32_t y) {
        window->mouseMove(kPanoramaBox.minX + x, kPanoramaBox.minY + y);
    }
    std::vector<std::string> takeLog() { return std::exchange(params.host.log, {}); }

    view_testing::PlacementParameters params;
    view_testing::Root root;
    Panorama* panorama = nullptr;
    corvid::HeadlessWindow* window = nullptr;
};

using Log = std::vector<std::string>;

TEST(PanoramaInput, ClickAndDragPlaceTheSourceInOneGestureEach) {
    EditorWithPanorama e;
    const auto target = kEditor.position(-6.0f, 40.0f / 90.0f);
    e.moveTo(static_cast<int>(std::lround(target.x)), static_cast<int>(std::lround(target.y)));
    ASSERT_TRUE(e.window->mouseDown(MouseButton::left));
    // The click is one gesture on both; the drag that follows opens another.
    EXPECT_EQ(e.takeLog(), (Log{"begin 1", "begin 0", "automate 1", "automate 0", "end 1", "end 0",
                                "begin 1", "begin 0"}));
    EXPECT_NEAR(e.params.pan.value(), 40.0, 0.8);
    EXPECT_NEAR(e.params.distance.value(), -6.0, 0.3);

    const auto next = kEditor.position(-20.0f, -0.5f);
    e.moveTo(static_cast<int>(std::lround(next.x)), static_cast<int>(std::lround(next.y)));
    EXPECT_EQ(e.takeLog(), (Log{"automate 1", "automate 0"}));
    EXPECT_NEAR(e.params.pan.value(), -45.0, 0.8);
    EXPECT_NEAR(e.params.distance.value(), -20.0, 0.3);

    // Dragged past the rim and below the listener the parameters clamp.
    e.window->mouseMove(kPanoramaBox.maxX + 100, kPanoramaBox.maxY + 50);
    EXPECT_EQ(e.params.pan.value(), 90.0);
    EXPECT_EQ(e.params.distance.value(), -24.0);
    e.takeLog();

    e.window->mouseUp(MouseButton::left);
    EXPECT_EQ(e.takeLog(), (Log{"end 0", "end 1"}));
}

TEST(PanoramaInput, DoubleClickReturnsBothToTheirDefaults) {
    EditorWithPanorama e;
    e.params.pan.setFromEditor(55.0);
    e.params.distance.setFromEditor(-13.0);
    e.takeLog();
    e.moveTo(60, 70);
    ASSERT_TRUE(e.window->mouseDown(MouseButton::left, true));
    EXPECT_EQ(e.takeLog(), (Log{"begin 1", "automate 1", "end 1", "begin 0", "automate 0", "end 0",
                                "begin 1", "begin 0"}));
    EXPECT_EQ(e.params.pan.value(), 0.0);
    EXPECT_EQ(e.params.distance.value(), 0.0);
    e.window->mouseUp(MouseButton::left);
    EXPECT_EQ(e.takeLog(), (Log{"end 0", "end 1"}));
}

TEST(PanoramaInput, AClickOnTheListenerKeepsPanAndComesClosest) {
    EditorWithPanorama e;
    e.params.pan.setFromEditor(33.3);
    e.takeLog();
    e.moveTo(119, 123);
    ASSERT_TRUE(e.window->mouseDown(MouseButton::left));
    EXPECT_EQ(e.params.pan.value(), 33.3);
    EXPECT_EQ(e.params.distance.value(), 6.0);
    // The same gesture as anywhere else.
    EXPECT_EQ(e.takeLog(), (Log{"begin 1", "begin 0", "automate 1", "automate 0", "end 1", "end 0",
                                "begin 1", "begin 0"}));
    e.window->mouseUp(MouseButton::left);
}

TEST(PanoramaInput, ClicksInTheCornersOrBelowAreNotTaken) {
    EditorWithPanorama e;
    for (const auto& [x, y] : {std::pair{1, 1}, {236, 2}, {3, 40}}) {
        e.moveTo(x, y);
        EXPECT_FALSE(e.window->mouseDown(MouseButton::left)) << x << "," << y;
        e.window->mouseUp(MouseButton::left);
    }
    EXPECT_TRUE(e.takeLog().empty());
    EXPECT_EQ(e.root.getContext().dragged, nullptr);
    EXPECT_EQ(e.params.pan.value(), 0.0);
}

TEST(PanoramaInput, ParameterChangesAndFedPositionsAskForARedraw) {
    EditorWithPanorama e;
    auto& ctx = e.root.getContext();
    std::vector<IntRect> dirty;
    ctx.takeDirtyRects(dirty);
    dirty.clear();

    e.params.tilt.applyFromHost(0.8);
    ctx.takeDirtyRects(dirty);
    EXPECT_EQ(dirty, std::vector<IntRect>{kPanoramaBox});
    dirty.clear();

    // No feed: nothing to show, the fed dot stays where it was.
    e.panorama->animateSelf(0.015, 0.0);
    ctx.takeDirtyRects(dirty);
    EXPECT_TRUE(dirty.empty());
    EXPECT_EQ(e.panorama->lastFeed().level, 1.0f);

    e.panorama->feed(0.25f, -3.0f, 2.0f, 1.0f, 48000.0f);
    e.panorama->animateSelf(0.015, 0.0);
    ctx.takeDirtyRects(dirty);
    EXPECT_EQ(dirty, std::vector<IntRect>{kPanoramaBox});
    EXPECT_EQ(e.panorama->lastFeed().panAmount, 0.25f);
    EXPECT_EQ(e.panorama->lastFeed().distanceAmount, -3.0f);
    EXPECT_EQ(e.panorama->feedQueue().itemsPerSecond(), 48000.0f / 512.0f);

    // A non-finite placement never reaches the picture.
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    e.panorama->feed(nan, 0.0f, 0.0f, 1.0f, 48000.0f);
    e.panorama->feed(0.0f, -inf, 0.0f, 1.0f, 48000.0f);
    e.panorama->feed(0.0f, 0.0f, 0.0f, inf, 48000.0f);
    EXPECT_EQ(e.panorama->feedQueue().size(), 0);
}

// ---------------------------------------------------------------- drawing

// A plain per-pixel rendering of the panorama: for every pixel, every step in
// order, straight from the formulas.
class ReferencePanorama {
public:
    struct State {
        float pan, distance, tilt, outputDb;
        spatium::PanoramaFeed fed;
        bool hover;
        float mouseX, mouseY;
    };

    static void blend(RGBA& p, RGBA c, std::uint32_t w) {
        p = {static_cast<std::uint8_t>((w * c.r + (255 - w) * p.r) / 255),
             static_cast<std::uint8_t>((w * c.g + (255 - w) * p.g) / 255),
             static_cast<std::uint8_t>((w * c.b + (255 - w) * p.b) / 255),
             static_cast<std::uint8_t>((w * c.a + (255 - w) * p.a) / 255)};
    }
    static float dist2(float cx, float cy, int i, int j) {
        const float dx = cx - static_cast<float>(i), dy = cy - static_cast<float>(j);
        return dx * dx + dy * dy;
    }
    static void disc(RGBA& p, int i, int j, float cx, float cy, float full, float outer, RGBA c,
                     float s) {
        const float d2 = dist2(cx, cy, i, j);
        float k;
        if (d2 < full * full) {
            k = 1.0f;
        } else if (d2 < outer * outer) {
            k = 1.0f - (d2 - full * full) / (outer * outer - full * full);
        } else {
            return;
        }
        blend(p, c, static_cast<std::uint32_t>(k * 255.0f * s + 0.5f));
    }
    static void ring(RGBA& p, int i, int j, float cx, float cy, float inner, float peak,
                     float outer, RGBA c, float s) {
        const float d2 = dist2(cx, cy, i, j);
        if (d2 < inner * inner || d2 >= outer * outer) return;
        const float t = d2 >= peak * peak
                            ? (d2 - peak * peak) / (outer * outer - peak * peak)
                            : 1.0f - (d2 - inner * inner) / (peak * peak - inner * inner);
        blend(p, c, static_cast<std::uint32_t>((1.0f - t) * 255.0f * s + 0.5f));
    }
    // The points a line from (x1, y1) to (x2, y2) splats, walked from (x1, y1).
    static std::vector<std::pair<float, float>> linePoints(float x1, float y1, float x2, float y2) {
        std::vector<std::pair<float, float>> pts;
        const bool majorX = std::fabs(x2 - x1) > std::fabs(y2 - y1);
        const float a1 = majorX ? x1 : y1, a2 = majorX ? x2 : y2;
        const float b1 = majorX ? y1 : x1, b2 = majorX ? y2 : x2;
        if (a1 == a2) return pts;
        const float step = a2 > a1 ? 1.0f : -1.0f;
        for (float o = a1; step > 0 ? o <= a2 : o >= a2; o += step) {
            const float m = b1 + (o - a1) * (b2 - b1) / (a2 - a1);
            pts.push_back(majorX ? std::pair{o, m} : std::pair{m, o});
        }
        return pts;
    }
    static void line(RGBA& p, int i, int j, const std::vector<std::pair<float, float>>& pts, RGBA c,
                     int opacity) {
        for (const auto& [x, y] : pts) {
            const auto fx = static_cast<std::int32_t>(x * 256.0f);
            const auto fy = static_cast<std::int32_t>(y * 256.0f);
            const std::int32_t cx = fx >> 8, cy = fy >> 8;
            if (i < cx || i > cx + 1 || j < cy || j > cy + 1) continue;
            const std::uint32_t gx = static_cast<std::uint32_t>(fx & 255);
            const std::uint32_t gy = static_cast<std::uint32_t>(fy & 255);
            const std::uint32_t wx = i == cx ? 255 - gx : gx, wy = j == cy ? 255 - gy : gy;
            blend(p, c, (static_cast<std::uint32_t>(opacity) * ((wx * wy) >> 8)) >> 8);
        }
    }

    static void render(corvid::OwnedImage<RGBA>& img, const State& s) {
        const auto g = PanoramaGeometry::forSize(img.width(), img.height());
        const float lx = g.listenerX, ly = g.listenerY;
        const auto P = g.position(s.distance, s.pan / 90.0f);
        const auto D = g.position(s.fed.distanceAmount, s.fed.panAmount);
        const float gl = s.fed.level;
        const RGBA ct = Panorama::tiltColor(s.tilt), cf = Panorama::tiltColor(s.fed.tiltAmount);
        const float M = (std::max(-48.0f, s.outputDb) / 64.0f + 1.0f) * 8.0f;
        const float J = std::pow(0.2f, 0.75f) * g.radius;
        const RGBA lineColor{210, 210, 255, 0}, preview{255, 250, 230, 255},
            previewLine{255, 250, 230, 0};
        const auto lp = linePoints(P.x, P.y, lx, ly), pd = linePoints(D.x, D.y, P.x, P.y);
        PanoramaGeometry::Point Q{};
        std::vector<std::pair<float, float>> lq;
        if (s.hover) {
            const auto at = g.parametersAt(s.mouseX, s.mouseY);
            Q = g.position(at.distanceDb, at.panDegrees / 90.0f);
            lq = linePoints(Q.x, Q.y, lx, ly);
        }
        for (int j = 0; j < img.height(); ++j) {
            for (int i = 0; i < img.width(); ++i) {
                RGBA& p = img.pixelAt(i, j);
                disc(p, i, j, lx, ly, J - 1.0f, J + 1.0f, {54, 54, 60, 0}, 0.4f);
                line(p, i, j, lp, lineColor, 80);
                line(p, i, j, pd, lineColor, 40);
                disc(p, i, j, D.x, D.y, 0.0f, 10.0f * gl, cf, 0.15f);
                disc(p, i, j, P.x, P.y, 0.0f, 20.0f, ct, 0.1f);
                disc(p, i, j, D.x, D.y, 5.0f * gl - 2.0f, 5.0f * gl, cf, 0.8f);
                ring(p, i, j, P.x, P.y, M - 2.0f, M, M + 2.0f, ct, 0.8f);
                disc(p, i, j, P.x, P.y, 1.0f, 3.0f, ct, 0.8f);
                if (s.hover) {
                    line(p, i, j, lq, previewLine, 40);
                    disc(p, i, j, Q.x, Q.y, 0.0f, 20.0f, preview, 0.05f);
                    ring(p, i, j, Q.x, Q.y, M - 2.0f, M, M + 2.0f, preview, 0.4f);
                    disc(p, i, j, Q.x, Q.y, 1.0f, 3.0f, preview, 0.4f);
                }
            }
        }
    }
};

// A background with structure in every channel, so a wrong blend shows.
void fillBackground(corvid::OwnedImage<RGBA>& img) {
    for (int j = 0; j < img.height(); ++j)
        for (int i = 0; i < img.width(); ++i)
            img.pixelAt(i, j) = {
                static_cast<std::uint8_t>(i * 7 + j), static_cast<std::uint8_t>(j * 5 + 40),
                static_cast<std::uint8_t>((i ^ j) * 3), static_cast<std::uint8_t>(i + j * 2)};
}

bool sameImage(const corvid::OwnedImage<RGBA>& a, const corvid::OwnedImage<RGBA>& b,
               std::string& where) {
    for (int j = 0; j < a.height(); ++j)
        for (int i = 0; i < a.width(); ++i)
            if (!(a.pixelAt(i, j) == b.pixelAt(i, j))) {
                where = std::to_string(i) + "," + std::to_string(j);
                return false;
            }
    return true;
}

class PanoramaDrawing : public ::testing::Test {
protected:
    void SetUp() override {
        panorama = std::make_unique<Panorama>(context, &params.pan, &params.distance, &params.tilt,
                                              &params.output);
        panorama->setPosition(kPanoramaBox);
    }

    // The element's own drawing of the given boxes over the background.
    corvid::OwnedImage<RGBA> paint(const std::vector<IntRect>& boxes) {
        corvid::OwnedImage<RGBA> img(kPanoramaBox.width(), kPanoramaBox.height());
        fillBackground(img);
        corvid::OwnedImage<corvid::L16> depth(img.width(), img.height());
        corvid::OwnedImage<RGBA> material(img.width(), img.height());
        panorama->paintMaps(img.asView(), depth.asView(), material.asView(), boxes);
        return img;
    }
    corvid::OwnedImage<RGBA> reference(const ReferencePanorama::State& s) {
        corvid::OwnedImage<RGBA> img(kPanoramaBox.width(), kPanoramaBox.height());
        fillBackground(img);
        ReferencePanorama::render(img, s);
        return img;
    }
    void hoverAt(int x, int y) {
        panorama->dispatchMove(kPanoramaBox.minX + x, kPanoramaBox.minY + y, 0, 0, {});
    }

    view_testing::PlacementParameters params;
    corvid::UIContext context;
    std::unique_ptr<Panorama> panorama;
};

TEST_F(PanoramaDrawing, EqualsThePerPixelReferenceByteForByte) {
    struct Case {
        double pan, distance, tilt, outputNorm;
        spatium::PanoramaFeed fed;
        bool hover;
        int mx, my;
    };
    const Case cases[] = {
        {0.0, 0.0, 0.0, 0.9, {0.0f, 0.0f, 0.0f, 1.0f}, false, 0, 0},
        {37.5, -9.25, 5.5, 0.4, {0.2f, -3.0f, -4.0f, 1.0f}, true, 60, 70},
        {-88.0, -23.0, -12.0, 0.0, {-0.97f, -23.9f, 12.0f, 1.0f}, true, 119, 123},
        {90.0, 6.0, 12.0, 1.0, {1.0f, 6.0f, 0.0f, 1.0f}, true, 230, 130},
        {-15.0, 2.5, -7.0, 0.7, {-0.1f, 1.0f, 3.0f, 1.7f}, false, 0, 0},
    };
    for (const Case& c : cases) {
        params.pan.setFromEditor(c.pan);
        params.distance.setFromEditor(c.distance);
        params.tilt.setFromEditor(c.tilt);
        params.output.storeNormalized(c.outputNorm);
        panorama->feed(c.fed.panAmount, c.fed.distanceAmount, c.fed.tiltAmount, c.fed.level,
                       44100.0f);
        panorama->animateSelf(1.0, 0.0);
        if (c.hover) {
            hoverAt(c.mx, c.my);
        } else {
            panorama->dispatchMove(-1000, -1000, 0, 0, {});
        }
        const ReferencePanorama::State s{static_cast<float>(params.pan.value()),
                                         static_cast<float>(params.distance.value()),
                                         static_cast<float>(params.tilt.value()),
                                         static_cast<float>(params.output.value()),
                                         panorama->lastFeed(),
                                         c.hover,
                                         static_cast<float>(c.mx),
                                         static_cast<float>(c.my)};
        ASSERT_EQ(panorama->lastFeed().distanceAmount, c.fed.distanceAmount);
        const auto expected = reference(s);
        std::string where;
        EXPECT_TRUE(sameImage(paint({{0, 0, 238, 141}}), expected, where))
            << "pan " << c.pan << " differs at " << where;
        // Cut into boxes, the same pixels come out; outside them nothing changes.
        const std::vector<IntRect> boxes{
            {0, 0, 97, 50},     {97, 0, 238, 31},    {97, 31, 238, 50},  {0, 50, 13, 141},
            {13, 50, 120, 124}, {120, 50, 238, 141}, {13, 124, 120, 141}};
        EXPECT_TRUE(sameImage(paint(boxes), expected, where))
            << "pan " << c.pan << " boxes differ at " << where;
        const std::vector<IntRect> some{{100, 100, 140, 130}, {0, 0, 30, 20}};
        const auto partial = paint(some);
        corvid::OwnedImage<RGBA> background(238, 141);
        fillBackground(background);
        for (int j = 0; j < 141; ++j)
            for (int i = 0; i < 238; ++i) {
                const bool inside = some[0].contains(i, j) || some[1].contains(i, j);
                const RGBA want = inside ? expected.pixelAt(i, j) : background.pixelAt(i, j);
                ASSERT_EQ(partial.pixelAt(i, j), want) << i << "," << j;
            }
    }
}

TEST_F(PanoramaDrawing, HoverPreviewOnlyWhenOverTheHalfDiscAndNotDragging) {
    const auto bare = paint({{0, 0, 238, 141}});
    std::string where;
    hoverAt(119, 60);
    EXPECT_FALSE(sameImage(paint({{0, 0, 238, 141}}), bare, where));
    // In a corner, outside the margin: no preview.
    hoverAt(2, 2);
    EXPECT_TRUE(sameImage(paint({{0, 0, 238, 141}}), bare, where)) << where;
    // While the panorama itself is dragged the preview would sit on the source.
    hoverAt(119, 60);
    context.dragged = panorama.get();
    EXPECT_TRUE(sameImage(paint({{0, 0, 238, 141}}), bare, where)) << where;
    context.dragged = nullptr;
    // Leaving the element hides it and asks for the redraw that removes it.
    std::vector<IntRect> dirty;
    context.takeDirtyRects(dirty);
    dirty.clear();
    panorama->dispatchMove(0, 0, 0, 0, {});
    context.takeDirtyRects(dirty);
    EXPECT_EQ(dirty, std::vector<IntRect>{kPanoramaBox});
    EXPECT_TRUE(sameImage(paint({{0, 0, 238, 141}}), bare, where)) << where;
}

} // namespace
