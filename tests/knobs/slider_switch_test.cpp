// The fader and the rocker through real event routing, with the host's view of each
// gesture, and the shapes they draw.

#include "tests/knobs/knob_support.h"

#include "corvid/pbrwidgets/onoffswitch.h"
#include "corvid/pbrwidgets/slider.h"

#include <gtest/gtest.h>

using namespace corvid;
using namespace knob_testing;

namespace {

struct SliderScene {
    explicit SliderScene(Parameter* p) : root(120, 200) {
        slider = &root.place(std::make_unique<UISlider>(root.getContext(), p), {40, 20, 69, 163});
        window = &root.openHeadlessEditor();
    }
    Root root;
    UISlider* slider;
    HeadlessWindow* window;
};

} // namespace

TEST(Slider, IntegerParameterStepsOnlyAfterHalfAStep) {
    Bound bound;
    IntegerParameter tempo{11, "LFO Tempo", "", 0, 10, 5};
    tempo.setClient(bound.client.get());
    SliderScene s(&tempo);
    bound.host.log.clear();
    s.window->mouseMove(55, 100);
    s.window->mouseDown(MouseButton::left);
    // One step is a tenth of 143 px; half of it is 7.15 px.
    for (int px = 1; px <= 7; ++px) {
        s.window->mouseMove(55, 100 - px);
        EXPECT_EQ(tempo.value(), 5) << px;
    }
    s.window->mouseMove(55, 92);
    EXPECT_EQ(tempo.value(), 6);
    s.window->mouseUp(MouseButton::left);
    EXPECT_EQ(s.slider->dragDebt, 0.0f);
    EXPECT_EQ(bound.host.log.front(), "begin 11");
    EXPECT_EQ(bound.host.log.back(), "end 11");
}

TEST(Slider, DoubleClickResetsAndEveryClickIsTaken) {
    Bound bound;
    SliderScene s(&bound.value);
    bound.value.setFromEditor(90.0);
    bound.host.log.clear();
    s.window->mouseMove(41, 21); // a corner: no hit test
    EXPECT_TRUE(s.window->mouseDown(MouseButton::left, true));
    s.window->mouseUp(MouseButton::left);
    EXPECT_DOUBLE_EQ(bound.value.value(), 25.0);
    ASSERT_GE(bound.host.log.size(), 3u);
    EXPECT_EQ((std::vector<std::string>(bound.host.log.begin(), bound.host.log.begin() + 3)),
              (std::vector<std::string>{"begin 3", "automate 3", "end 3"}));
}

TEST(Slider, HandleFollowsTheValueAndStaysInItsBox) {
    Bound bound;
    Root root(60, 200);
    for (double v : {0.0, 0.5, 1.0}) {
        UISlider slider(root.getContext(), &bound.value);
        slider.setPosition({0, 0, 29, 143});
        slider.handleStyle = 3; // flat: the handle's depth is 50000 all over
        bound.value.storeNormalized(v);
        Maps maps(29, 143);
        slider.paintMaps(maps.diffuse.asView(), maps.depth.asView(), maps.material.asView(),
                         {{0, 0, 29, 143}});
        // Handle 36 px high, at (143 - 36) x (1 - v) from the top, rounded.
        const int top = static_cast<int>(107.0f * (1.0f - static_cast<float>(v)) + 0.5f);
        EXPECT_NEAR(maps.depth.pixelAt(14, top + 18).l, 50000, 1) << v;
        EXPECT_EQ(maps.material.pixelAt(14, top + 18).g, 255);
        // The track's sides show the surface beneath.
        EXPECT_EQ(maps.depth.pixelAt(0, top + 18).l, 1000 + 0 * 31 + (top + 18) * 17);
    }
}

TEST(OnOffSwitch, EveryClickFlipsInsideOneEditAndTheRockerFollows) {
    Bound bound;
    BoolParameter mono{20, "Test Mono", false};
    mono.setClient(bound.client.get());
    Root root(100, 100);
    auto& sw =
        root.place(std::make_unique<UIOnOffSwitch>(root.getContext(), &mono), {10, 10, 47, 38});
    HeadlessWindow& window = root.openHeadlessEditor();
    bound.host.log.clear();
    window.mouseMove(20, 20);
    EXPECT_TRUE(window.mouseDown(MouseButton::left));
    window.mouseUp(MouseButton::left);
    EXPECT_TRUE(mono.value());
    for (int i = 0; i < 60; ++i) window.pumpEvents();
    EXPECT_GT(sw.onAmount, 0.99f);
    EXPECT_TRUE(window.mouseDown(MouseButton::left, true));
    window.mouseUp(MouseButton::left);
    EXPECT_FALSE(mono.value());
    EXPECT_EQ(bound.host.log, (std::vector<std::string>{"begin 20", "automate 20", "end 20",
                                                        "begin 20", "automate 20", "end 20"}));

    // Off: the slope runs from depthB at the top of the face to depthA at its bottom.
    UIOnOffSwitch off(root.getContext(), &mono);
    off.setPosition({0, 0, 37, 28});
    Maps maps(37, 28);
    off.paintMaps(maps.diffuse.asView(), maps.depth.asView(), maps.material.asView(),
                  {{0, 0, 37, 28}});
    EXPECT_EQ(maps.depth.pixelAt(18, 3).l, 30000); // first face row
    EXPECT_LT(maps.depth.pixelAt(18, 24).l, 3000); // last face row, near depthA
    EXPECT_EQ(maps.depth.pixelAt(1, 1).l, 0);      // surround
    EXPECT_EQ(maps.material.pixelAt(18, 10).r, 192);
}
