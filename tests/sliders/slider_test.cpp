#include "corvid/gui/context.h"
#include "corvid/gui/graphics.h"
#include "corvid/pbrwidgets/onoffswitch.h"
#include "corvid/pbrwidgets/slider.h"
#include "corvid/window/headlesswindow.h"
#include "tests/client/test_client.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <memory>
#include <set>
#include <thread>
#include <vector>

using namespace corvid;
using Log = std::vector<std::string>;

namespace {

// A window with one widget in it, its parameters reporting to a recording host.
struct Rig {
    Rig() : client(createClient<testing_support::TestClient>()), gui(120, 200, 1) {
        client->setHostCommand(&host);
        for (Parameter* p : {static_cast<Parameter*>(&level), static_cast<Parameter*>(&steps),
                             static_cast<Parameter*>(&enabled)})
            p->setClient(client.get());
    }
    template <typename W, typename P>
    W& place(P* p, IntRect box) {
        auto w = std::make_unique<W>(gui.getContext(), p);
        W& ref = *w;
        gui.addChild(std::move(w));
        window = &gui.openHeadlessEditor();
        window->paint(); // the first paint lays the children out over the window
        ref.setPosition(box);
        return ref;
    }
    std::unique_ptr<testing_support::TestClient> client;
    testing_support::RecordingHost host;
    LinearFloatParameter level{0, "Level", "", 0.0, 10.0, 5.0};
    IntegerParameter steps{1, "Steps", "", 0, 4, 2};
    BoolParameter enabled{2, "Enabled", false};
    GUIGraphics gui;
    HeadlessWindow* window = nullptr;
};

void drag(HeadlessWindow& w, int x, int y0, int y1, MouseState held = {}) {
    w.mouseMove(x, y0);
    w.mouseDown(MouseButton::left, false, held);
    held.leftButtonDown = true;
    w.mouseMove(x, y1, held);
    w.mouseUp(MouseButton::left);
}

} // namespace

TEST(SliderInput, DragUpRaisesByTheHeightFractionInOneEdit) {
    Rig rig;
    rig.place<UISlider>(&rig.level, {10, 10, 30, 110});
    drag(*rig.window, 20, 60, 50);
    EXPECT_NEAR(rig.level.value(), 6.0, 1e-5);
    EXPECT_EQ(rig.host.log, (Log{"begin 0", "automate 0", "end 0"}));
    rig.host.log.clear();
    MouseState ctrl;
    ctrl.ctrlPressed = true;
    drag(*rig.window, 20, 60, 50, ctrl);
    EXPECT_NEAR(rig.level.value(), 6.1, 1e-5);
    MouseState shift;
    shift.shiftPressed = true;
    drag(*rig.window, 20, 60, 70, shift);
    EXPECT_NEAR(rig.level.value(), 6.0, 1e-5);
}

TEST(SliderInput, StaysAtTheBoundUntilThePointerComesBack) {
    Rig rig;
    UISlider& s = rig.place<UISlider>(&rig.level, {10, 10, 30, 110});
    HeadlessWindow& w = *rig.window;
    w.mouseMove(20, 50);
    w.mouseDown(MouseButton::left);
    MouseState held;
    held.leftButtonDown = true;
    w.mouseMove(20, 110, held); // 0.6 down: reaches 0 at window y 110
    EXPECT_EQ(rig.level.value(), 0.0);
    w.mouseMove(20, 150, held);
    w.mouseMove(20, 140, held); // still below the crossing: ignored
    EXPECT_EQ(rig.level.value(), 0.0);
    w.mouseMove(20, 90, held);
    EXPECT_NEAR(rig.level.value(), 5.0, 1e-5);
    w.mouseUp(MouseButton::left);
    EXPECT_TRUE(std::isinf(s.lowClampY));
    EXPECT_EQ(rig.host.log.front(), "begin 0");
    EXPECT_EQ(rig.host.log.back(), "end 0");
}

TEST(SliderInput, DoubleClickRestoresTheDefault) {
    Rig rig;
    rig.place<UISlider>(&rig.level, {10, 10, 30, 110});
    rig.level.setFromEditor(9.0);
    rig.host.log.clear();
    rig.window->mouseMove(20, 20);
    rig.window->mouseDown(MouseButton::left, true);
    rig.window->mouseUp(MouseButton::left);
    EXPECT_EQ(rig.level.value(), 5.0);
    // The double click's own edit, then the drag it starts.
    EXPECT_EQ(rig.host.log, (Log{"begin 0", "automate 0", "end 0", "begin 0", "end 0"}));
}

TEST(SliderInput, IntegerMovesOneStepOnlyPastHalfAStep) {
    Rig rig;
    UISlider& s = rig.place<UISlider>(&rig.steps, {10, 10, 30, 110});
    HeadlessWindow& w = *rig.window;
    w.mouseMove(20, 100);
    w.mouseDown(MouseButton::left);
    MouseState held;
    held.leftButtonDown = true;
    // A step is 25 pixels; 12 pixels stay short of half a step.
    for (int y = 99; y >= 88; --y) w.mouseMove(20, y, held);
    EXPECT_EQ(rig.steps.value(), 2);
    w.mouseMove(20, 87, held);
    EXPECT_EQ(rig.steps.value(), 3);
    w.mouseUp(MouseButton::left);
    EXPECT_EQ(s.dragDebt, 0.0f);
    EXPECT_EQ(rig.host.log, (Log{"begin 1", "automate 1", "end 1"}));
}

TEST(SwitchInput, EveryClickFlipsAndADoubleClickFlipsBack) {
    Rig rig;
    UIOnOffSwitch& sw = rig.place<UIOnOffSwitch>(&rig.enabled, {10, 10, 47, 38});
    HeadlessWindow& w = *rig.window;
    w.mouseMove(20, 20);
    w.mouseDown(MouseButton::left);
    w.mouseUp(MouseButton::left);
    EXPECT_TRUE(rig.enabled.value());
    for (int i = 0; i < 40; ++i) {
        w.advanceTime(15);
        w.tick();
    }
    EXPECT_GT(sw.onAmount, 0.99f);
    w.mouseDown(MouseButton::left, true);
    w.mouseUp(MouseButton::left);
    EXPECT_FALSE(rig.enabled.value());
    EXPECT_EQ(rig.host.log,
              (Log{"begin 2", "automate 2", "end 2", "begin 2", "automate 2", "end 2"}));
    for (int i = 0; i < 40; ++i) {
        w.advanceTime(15);
        w.tick();
    }
    EXPECT_LT(sw.onAmount, 0.01f);
}

namespace {

struct Layers {
    Layers(int w, int h) : d(w, h), z(w, h), m(w, h), od(w, h), oz(w, h), om(w, h) {
        std::fill(d.data(), d.data() + d.numPixels(), RGBA{1, 2, 3, 4});
        std::fill(z.data(), z.data() + z.numPixels(), L16(7));
        std::fill(m.data(), m.data() + m.numPixels(), RGBA{5, 6, 7, 8});
        std::fill(od.data(), od.data() + od.numPixels(), L8(0));
        std::fill(oz.data(), oz.data() + oz.numPixels(), L8(0));
        std::fill(om.data(), om.data() + om.numPixels(), L8(0));
    }
    OwnedImage<RGBA> d;
    OwnedImage<L16> z;
    OwnedImage<RGBA> m;
    OwnedImage<L8> od, oz, om;
};

// The slider's look written pixel by pixel from its formulas.
Layers referenceSlider(int W, int H, double v, double p, bool hover, const UISlider& s) {
    Layers r(W, H);
    auto in = [&](int x, int y, int x0, int y0, int x1, int y1) {
        return x >= x0 && x < x1 && y >= y0 && y < y1;
    };
    const int tw = int(W * double(s.trackWidth) + 0.5);
    const int gx = int((W - tw) / 2.0 + 0.5);
    const int inset = std::max(0, int((int(H * double(s.handleHeight) + 0.5) - tw) / 2.0 + 0.5));
    const int hh = int((1 - 0.12 * p) * H * double(s.handleHeight) + 0.5);
    const int hw = int((1 - 0.06 * p) * double(s.handleWidth) * W + 0.5);
    const double L = H + 4.0 - hh;
    auto row = [&](double t) { return int(t * L + 0.5 + hh / 2.0 - 2); };
    const int b = row(1 - double(s.trackBase)), vr = row(1 - v);
    const RGBA lit = v < s.trackBase ? s.trackLitDiffuseBelowBase : s.trackLitDiffuse;
    const int hx = int((W - hw) / 2.0 + 0.5), hy = int((H - hh) * (1 - v) + 0.5);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            if (in(x, y, gx, inset, gx + tw, H - inset)) {
                r.z.pixelAt(x, y) = L16(s.trackDepth);
                r.oz.pixelAt(x, y) = L8(255);
            }
            if (in(x, y, gx, row(0), gx + tw, row(1))) {
                r.d.pixelAt(x, y) = s.trackUnlitDiffuse;
                r.od.pixelAt(x, y) = L8(255);
            }
            if (in(x, y, gx, std::min(b, vr), gx + tw, std::max(b, vr))) {
                r.d.pixelAt(x, y) = lit;
                r.od.pixelAt(x, y) = L8(255);
            }
            if (in(x, y, hx, hy, hx + hw, hy + hh)) {
                RGBA c = s.handleDiffuse;
                if (hover) c.a = uint8_t(std::min(255, c.a + 50));
                r.d.pixelAt(x, y) = c;
                r.m.pixelAt(x, y) = s.handleMaterial;
                r.od.pixelAt(x, y) = r.om.pixelAt(x, y) = r.oz.pixelAt(x, y) = L8(255);
                // Style 0: four linear bands.
                const int q[5] = {hy, hy + hh / 4, hy + hh / 2, hy + hh * 3 / 4, hy + hh};
                const int vals[4][2] = {
                    {15000, 65535}, {65535, 51400}, {51400, 65535}, {65535, 15000}};
                for (int k = 0; k < 4; ++k)
                    if (y >= q[k] && y < q[k + 1]) {
                        const float t = float(y - q[k]) / float(q[k + 1] - q[k]);
                        const uint32_t u = uint32_t(t * 65535.0f + 0.5f);
                        r.z.pixelAt(x, y) = L16(uint16_t(
                            (uint32_t(vals[k][1]) * u + uint32_t(vals[k][0]) * (65535u - u)) /
                            65535u));
                    }
            }
        }
    return r;
}

template <typename T>
bool same(const OwnedImage<T>& a, const OwnedImage<T>& b) {
    return a.numPixels() == b.numPixels() &&
           (a.numPixels() == 0 ||
            std::memcmp(a.data(), b.data(), size_t(a.numPixels()) * sizeof(T)) == 0);
}

// Every pixel outside the rectangle is the same in both pictures.
template <typename T>
bool sameOutside(const OwnedImage<T>& a, const OwnedImage<T>& b, const IntRect& inside) {
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (!inside.contains(x, y) &&
                std::memcmp(&a.pixelAt(x, y), &b.pixelAt(x, y), sizeof(T)) != 0)
                return false;
    return true;
}

} // namespace

TEST(SliderDrawing, MatchesThePixelReference) {
    for (auto [W, H] :
         {std::pair{29, 143}, std::pair{7, 9}, std::pair{1, 1}, std::pair{0, 0}, std::pair{30, 3}})
        for (double value : {0.0, 1.0, 3.7, 5.0, 10.0})
            for (float press : {0.0f, 0.6f})
                for (float base : {0.0f, 0.5f}) {
                    Rig rig;
                    UISlider& s = rig.place<UISlider>(&rig.level, {0, 0, W, H});
                    rig.level.setFromEditor(value);
                    s.pressAmount = press;
                    s.trackBase = base;
                    s.trackLitDiffuseBelowBase = RGBA{10, 20, 30, 40};
                    Layers got(W, H);
                    s.paintLayers(got.d.asView(), got.z.asView(), got.m.asView(), got.od.asView(),
                                  got.oz.asView(), got.om.asView());
                    Layers want = referenceSlider(W, H, value / 10.0, press, false, s);
                    SCOPED_TRACE(testing::Message() << W << "x" << H << " v" << value << " p"
                                                    << press << " b" << base);
                    EXPECT_TRUE(same(got.d, want.d));
                    EXPECT_TRUE(same(got.z, want.z));
                    EXPECT_TRUE(same(got.m, want.m));
                    EXPECT_TRUE(same(got.od, want.od) && same(got.oz, want.oz) &&
                                same(got.om, want.om));
                }
}

TEST(SliderDrawing, OddFieldValuesStayInsideTheElement) {
    // The element's layers are crops of larger pictures, as a window's are: a
    // rectangle that escaped the clamping would land in the margin.
    constexpr int kW = 9, kH = 11, kMargin = 6;
    const IntRect inside{kMargin, kMargin, kMargin + kW, kMargin + kH};
    Rig rig;
    UISlider& s = rig.place<UISlider>(&rig.level, {0, 0, kW, kH});
    const Layers untouched(kW + 2 * kMargin, kH + 2 * kMargin);
    for (float f : {std::nanf(""), -3.0f, 4.0f, 1e30f, -1e30f}) {
        s.handleHeight = s.handleWidth = s.trackWidth = s.trackBase = f;
        s.pressAmount = f;
        for (int style = -1; style < 5; ++style) {
            s.handleStyle = style;
            Layers got(kW + 2 * kMargin, kH + 2 * kMargin);
            s.paintLayers(got.d.asView().crop(inside), got.z.asView().crop(inside),
                          got.m.asView().crop(inside), got.od.asView().crop(inside),
                          got.oz.asView().crop(inside), got.om.asView().crop(inside));
            SCOPED_TRACE(testing::Message() << "field " << f << " style " << style);
            EXPECT_TRUE(sameOutside(got.d, untouched.d, inside));
            EXPECT_TRUE(sameOutside(got.z, untouched.z, inside));
            EXPECT_TRUE(sameOutside(got.m, untouched.m, inside));
            EXPECT_TRUE(sameOutside(got.od, untouched.od, inside) &&
                        sameOutside(got.oz, untouched.oz, inside) &&
                        sameOutside(got.om, untouched.om, inside));
        }
    }
}

TEST(SwitchDrawing, BoxByBoxEqualsTheWholeAndTheReference) {
    for (auto [W, H] : {std::pair{37, 28}, std::pair{25, 36}, std::pair{1, 1}, std::pair{3, 2}})
        for (int orientation : {0, 1})
            for (float on : {0.0f, 0.3f, 1.0f}) {
                Rig rig;
                UIOnOffSwitch& sw = rig.place<UIOnOffSwitch>(&rig.enabled, {0, 0, W, H});
                sw.orientation = orientation;
                sw.onAmount = on;
                OwnedImage<RGBA> d(W, H), m(W, H), d2(W, H), m2(W, H), dr(W, H), mr(W, H);
                OwnedImage<L16> z(W, H), z2(W, H), zr(W, H);
                for (auto* i : {&d, &m, &d2, &m2, &dr, &mr})
                    std::fill(i->data(), i->data() + i->numPixels(), RGBA{9, 9, 9, 9});
                for (auto* i : {&z, &z2, &zr})
                    std::fill(i->data(), i->data() + i->numPixels(), L16(9));
                sw.paintMaps(d.asView(), z.asView(), m.asView(), {{0, 0, W, H}});
                std::vector<IntRect> boxes;
                for (int y = 0; y < H; y += 5)
                    for (int x = 0; x < W; x += 7)
                        boxes.push_back({x, y, std::min(W, x + 7), std::min(H, y + 5)});
                sw.paintMaps(d2.asView(), z2.asView(), m2.asView(), boxes);
                const double a = on;
                const int x0 = int(0.1 * W + 0.5), y0 = int(0.1 * H + 0.5), x1 = int(0.9 * W + 0.5),
                          y1 = int(0.9 * H + 0.5);
                const double s0 = (1 - a) * sw.depthB + a * sw.depthA,
                             e0 = (1 - a) * sw.depthA + a * sw.depthB;
                for (int y = 0; y < H; ++y)
                    for (int x = 0; x < W; ++x) {
                        zr.pixelAt(x, y) = L16(sw.surroundDepth);
                        if (x >= x0 && x < x1 && y >= y0 && y < y1) {
                            auto mix = [a](int o, int n) { return uint8_t((1 - a) * o + a * n); };
                            dr.pixelAt(x, y) = RGBA{mix(sw.offDiffuse.r, sw.onDiffuse.r),
                                                    mix(sw.offDiffuse.g, sw.onDiffuse.g),
                                                    mix(sw.offDiffuse.b, sw.onDiffuse.b),
                                                    mix(sw.offDiffuse.a, sw.onDiffuse.a)};
                            mr.pixelAt(x, y) = sw.switchMaterial;
                            const double t = orientation == 0 ? double(y - y0) / (y1 - y0)
                                                              : double(x - x0) / (x1 - x0);
                            zr.pixelAt(x, y) = L16(uint16_t(s0 + (e0 - s0) * t));
                        }
                    }
                SCOPED_TRACE(testing::Message()
                             << W << "x" << H << " o" << orientation << " a" << on);
                EXPECT_TRUE(same(d, d2) && same(z, z2) && same(m, m2));
                EXPECT_TRUE(same(d, dr));
                EXPECT_TRUE(same(z, zr));
                EXPECT_TRUE(same(m, mr));
            }
}

TEST(WidgetThreads, TsanParameterChangesWhileDrawnAndDestroyed) {
    // No host here: the recording host's log is for one thread only.
    UIContext context;
    LinearFloatParameter level{0, "Level", "", 0.0, 10.0, 5.0};
    BoolParameter enabled{2, "Enabled", false};
    constexpr int kW = 29, kH = 143;
    // What the slider draws at each value the writers set, drawn before they start.
    std::vector<Layers> pictures;
    pictures.reserve(11);
    for (int v = 0; v <= 10; ++v) {
        level.setFromEditor(double(v));
        UISlider s(context, &level);
        s.setPosition({0, 0, kW, kH});
        Layers& l = pictures.emplace_back(kW, kH);
        s.paintLayers(l.d.asView(), l.z.asView(), l.m.asView(), l.od.asView(), l.oz.asView(),
                      l.om.asView());
    }
    level.setFromEditor(5.0);
    // One animation step of 15 ms from off, toward off or on.
    const float switchSteps[2] = {0.0f, float(1.0 * (1.0 - std::exp(-10.0 * 0.015)))};

    std::atomic<bool> stop{false};
    auto churn = [&](int seed) {
        for (int i = 0; !stop.load(); ++i) {
            level.setFromEditor(double((i + seed) % 11));
            enabled.setFromEditor(((i + seed) & 1) != 0);
        }
    };
    std::thread a(churn, 0), b(churn, 5);
    std::set<int> levelsSeen, switchSeen;
    // Fifty rounds, and more until the drawing has followed the writers at least once.
    for (int round = 0;
         round < 50 || (round < 5000 && (levelsSeen.size() < 2 || switchSeen.size() < 2));
         ++round) {
        auto s = std::make_unique<UISlider>(context, &level);
        auto sw = std::make_unique<UIOnOffSwitch>(context, &enabled);
        s->setPosition({0, 0, kW, kH});
        sw->setPosition({0, 0, 37, 28});
        Layers l(kW, kH);
        s->paintLayers(l.d.asView(), l.z.asView(), l.m.asView(), l.od.asView(), l.oz.asView(),
                       l.om.asView());
        // The slider read one whole value and drew it.
        int drawn = -1;
        for (int v = 0; v <= 10 && drawn < 0; ++v)
            if (same(l.d, pictures[v].d) && same(l.z, pictures[v].z) && same(l.m, pictures[v].m))
                drawn = v;
        ASSERT_GE(drawn, 0) << "round " << round;
        levelsSeen.insert(drawn);
        sw->animateSelf(0.015, 0.0);
        const int step = sw->onAmount == switchSteps[0]   ? 0
                         : sw->onAmount == switchSteps[1] ? 1
                                                          : -1;
        ASSERT_GE(step, 0) << "round " << round << " onAmount " << sw->onAmount;
        switchSeen.insert(step);
        sw->paintMaps(l.d.asView(), l.z.asView(), l.m.asView(), {{0, 0, 37, 28}});
        // Destroyed while the other threads still notify.
        s.reset();
        sw.reset();
    }
    stop = true;
    a.join();
    b.join();
    EXPECT_GE(levelsSeen.size(), 2u);
    EXPECT_EQ(switchSeen.size(), 2u);
}

TEST(SwitchDrawing, PastTheWindowEdgeKeepsItsOwnOrigin) {
    Rig rig;
    UIOnOffSwitch& sw = rig.place<UIOnOffSwitch>(&rig.enabled, {0, 0, 37, 28});
    sw.onAmount = 0.4f;
    OwnedImage<RGBA> d(37, 28), m(37, 28), wd(40, 40), wm(40, 40);
    OwnedImage<L16> z(37, 28), wz(40, 40);
    for (auto* i : {&d, &m, &wd, &wm})
        std::fill(i->data(), i->data() + i->numPixels(), RGBA{9, 9, 9, 9});
    for (auto* i : {&z, &wz}) std::fill(i->data(), i->data() + i->numPixels(), L16(9));
    sw.paintMaps(d.asView(), z.asView(), m.asView(), {{0, 0, 37, 28}});
    sw.setPosition({-5, -3, 32, 25});
    sw.paintElement(wd.asView(), wz.asView(), wm.asView(), {{0, 0, 40, 40}});
    for (int y = 0; y < 25; ++y)
        for (int x = 0; x < 32; ++x) {
            ASSERT_EQ(wz.pixelAt(x, y).l, z.pixelAt(x + 5, y + 3).l) << x << "," << y;
            ASSERT_EQ(std::memcmp(&wd.pixelAt(x, y), &d.pixelAt(x + 5, y + 3), 4), 0);
            ASSERT_EQ(std::memcmp(&wm.pixelAt(x, y), &m.pixelAt(x + 5, y + 3), 4), 0);
        }
}
