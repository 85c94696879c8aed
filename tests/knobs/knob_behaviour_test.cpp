// The knob's gestures through the element tree's real event routing, as a window
// delivers them, with the host's view of every gesture.

#include "tests/knobs/knob_support.h"

#include "spatium/gui/panknob.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>

using namespace corvid;
using namespace knob_testing;

namespace {

// A knob of the editor's 65 px look in the middle of a small window.
struct Scene {
    explicit Scene(IntRect box = {40, 40, 105, 105}) : root(200, 200) {
        knob = &root.place(std::make_unique<UIKnob>(root.getContext(), &bound.value), box);
        window = &root.openHeadlessEditor();
        bound.host.log.clear();
    }
    // A vertical drag of the knob from (x, y) by the given steps.
    void drag(std::int32_t x, std::int32_t y, std::initializer_list<std::int32_t> steps,
              MouseState state = {}) {
        window->mouseMove(x, y, state);
        window->mouseDown(MouseButton::left, false, state);
        for (std::int32_t s : steps) {
            y += s;
            window->mouseMove(x, y, state);
        }
        window->mouseUp(MouseButton::left, state);
    }
    Bound bound;
    Root root;
    UIKnob* knob = nullptr;
    HeadlessWindow* window = nullptr;
};

} // namespace

TEST(KnobInput, DoubleClickResetsInsideOneEdit) {
    Scene s;
    s.bound.value.setFromEditor(80.0);
    s.bound.host.log.clear();
    s.window->mouseMove(72, 72);
    ASSERT_TRUE(s.window->mouseDown(MouseButton::left, true));
    s.window->mouseUp(MouseButton::left);
    EXPECT_DOUBLE_EQ(s.bound.value.value(), 25.0);
    // The reset is its own gesture; the drag the accepted click starts adds an empty one.
    ASSERT_GE(s.bound.host.log.size(), 3u);
    EXPECT_EQ(s.bound.host.log[0], "begin 3");
    EXPECT_EQ(s.bound.host.log[1], "automate 3");
    EXPECT_EQ(s.bound.host.log[2], "end 3");
    EXPECT_FLOAT_EQ(s.bound.host.lastValue, 0.25f);
}

TEST(KnobInput, MissesOutsideTheInscribedCircleOfANonSquareBox) {
    // 100 wide, 40 high: the knob is the 40 px square in the middle, x 30..70.
    Scene s({40, 40, 140, 80});
    for (auto [x, y] : {std::pair{45, 60}, std::pair{135, 60}, std::pair{71, 41}}) {
        s.window->mouseMove(x, y);
        EXPECT_FALSE(s.window->mouseDown(MouseButton::left, true)) << x << "," << y;
        s.window->mouseUp(MouseButton::left);
    }
    EXPECT_TRUE(s.bound.host.log.empty());
    EXPECT_DOUBLE_EQ(s.bound.value.value(), 25.0);
    s.window->mouseMove(90, 60);
    EXPECT_TRUE(s.window->mouseDown(MouseButton::left, false));
    s.window->mouseUp(MouseButton::left);
}

TEST(KnobInput, DragMovesByItsHeightAndSensitivity) {
    Scene s;
    // 65 px box, sensitivity 0.25: 13 px up adds 13 / 65 * 0.25 = 0.05.
    s.drag(72, 72, {-13});
    EXPECT_NEAR(s.bound.value.normalizedValue(), 0.30, 1e-6);
    EXPECT_EQ(s.bound.host.log, (std::vector<std::string>{"begin 3", "automate 3", "end 3"}));
    // With Ctrl or Shift the same drag moves ten times less.
    MouseState fine;
    fine.shiftPressed = true;
    s.drag(72, 72, {-13}, fine);
    EXPECT_NEAR(s.bound.value.normalizedValue(), 0.305, 1e-6);
    fine.shiftPressed = false;
    fine.ctrlPressed = true;
    s.drag(72, 72, {13}, fine);
    EXPECT_NEAR(s.bound.value.normalizedValue(), 0.30, 1e-6);
}

TEST(KnobInput, StaysAtTheBoundUntilThePointerComesBack) {
    Scene s;
    s.knob->dragSensitivity = 1.0f;
    // 25 % down needs 16.25 px: the value reaches 0 at the step to y = 92.
    s.window->mouseMove(72, 72);
    s.window->mouseDown(MouseButton::left);
    s.window->mouseMove(72, 92);
    EXPECT_EQ(s.bound.value.normalizedValue(), 0.0);
    EXPECT_EQ(s.knob->lowClampY, 92.0f - 40.0f);
    s.window->mouseMove(72, 150); // further down: nothing
    s.window->mouseMove(72, 120); // back up, but still below where 0 was reached
    EXPECT_EQ(s.bound.value.normalizedValue(), 0.0);
    s.window->mouseMove(72, 90); // above it again: moves by this step only
    EXPECT_NEAR(s.bound.value.normalizedValue(), 30.0 / 65.0, 1e-6);
    s.window->mouseUp(MouseButton::left);
    EXPECT_EQ(s.knob->lowClampY, std::numeric_limits<float>::infinity());
    // The same at the top.
    s.window->mouseMove(72, 72);
    s.window->mouseDown(MouseButton::left);
    s.window->mouseMove(72, 0);
    EXPECT_EQ(s.bound.value.normalizedValue(), 1.0);
    s.window->mouseMove(72, -30); // further up, past the window's edge: nothing
    s.window->mouseMove(72, -5);  // still above where 1 was reached
    EXPECT_EQ(s.bound.value.normalizedValue(), 1.0);
    s.window->mouseMove(72, 13); // below it again: this step counts
    EXPECT_NEAR(s.bound.value.normalizedValue(), 1.0 - 18.0 / 65.0, 1e-6);
    s.window->mouseUp(MouseButton::left);
}

TEST(KnobInput, PressAnimatesWhileDraggedAndHoverFollowsThePointer) {
    Scene s;
    s.window->mouseMove(72, 72);
    EXPECT_TRUE(s.knob->hovered);
    s.window->mouseDown(MouseButton::left);
    for (int i = 0; i < 20; ++i) s.window->pumpEvents();
    EXPECT_GT(s.knob->pressAmount, 0.99f);
    s.window->mouseUp(MouseButton::left);
    for (int i = 0; i < 40; ++i) s.window->pumpEvents();
    EXPECT_LT(s.knob->pressAmount, 0.01f);
    const int paints = s.window->paintCount();
    for (int i = 0; i < 10; ++i) s.window->pumpEvents();
    EXPECT_EQ(s.window->paintCount(), paints) << "a settled knob asks for no redraw";
    s.window->mouseMove(41, 41); // inside the box, outside the circle
    EXPECT_FALSE(s.knob->hovered);
}

TEST(KnobInput, ListenersMayCallWhileTheKnobIsDestroyed) {
    Bound bound;
    Root root(120, 120);
    std::atomic<bool> stop{false};
    std::thread a([&] {
        for (int i = 0; !stop; ++i) bound.value.applyFromHost((i % 100) / 100.0);
    });
    std::thread b([&] {
        for (int i = 0; !stop; ++i) bound.value.applyFromHost((i % 37) / 37.0);
    });
    for (int round = 0; round < 200; ++round) {
        auto knob = std::make_unique<spatium::PanKnob>(root.getContext(), &bound.value);
        knob->setPosition({0, 0, 60, 60});
        Maps maps(60, 60);
        knob->paintMaps(maps.diffuse.asView(), maps.depth.asView(), maps.material.asView(),
                        {{0, 0, 60, 60}});
        knob.reset();
    }
    stop = true;
    a.join();
    b.join();
    EXPECT_EQ(bound.value.listenerCount(), 0u);
}
