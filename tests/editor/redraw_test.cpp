// What the editor relights while audio plays and while it rests: only what the
// views really change, within their boxes grown by the lighting's reach, and
// exactly the pixels a full relight gives.

#include "tests/editor/editor_support.h"

#include "spatium/gui/panorama.h"
#include "spatium/gui/phasedisplay.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

using namespace spatium;
using namespace spatium::testing;
using corvid::IntRect;

constexpr float kRate = 48000.0f;
constexpr std::int32_t kBlock = 256;

class EditorRedraw : public ::testing::Test {
protected:
    EditorRedraw()
        : client(clientWithEditor()), gui(editorOf(*client)), window(gui.openHeadlessEditor()) {
        window.tick();
        // Three seconds for the widgets' opening glow to settle.
        for (int frame = 0; frame < 200; ++frame) window.pumpEvents();
    }

    // One block of audio reaching both views: a source circling the listener and a
    // stereo tone whose phase drifts. A step of 0 feeds the same block again.
    void feed(int step) {
        const float angle = 0.07f * static_cast<float>(step);
        gui.feedPanorama(std::sin(angle), -6.0f + 4.0f * std::cos(angle), 0.0f, 1.0f, kRate);
        std::vector<float> left(kBlock), right(kBlock);
        for (std::int32_t i = 0; i < kBlock; ++i) {
            const float t = static_cast<float>(i + step * kBlock) / kRate;
            left[static_cast<std::size_t>(i)] = 0.5f * std::sin(2764.6f * t);
            right[static_cast<std::size_t>(i)] = 0.4f * std::sin(2764.6f * t + 0.01f * step);
        }
        gui.feedPhaseDisplay(left.data(), right.data(), kBlock, kRate);
    }
    void silence() {
        const PanoramaFeed& last = gui.panorama().lastFeed();
        gui.feedPanorama(last.panAmount, last.distanceAmount, last.tiltAmount, last.level, kRate);
        std::vector<float> zeros(kBlock, 0.0f);
        gui.feedPhaseDisplay(zeros.data(), zeros.data(), kBlock, kRate);
    }
    std::vector<std::uint8_t> image() {
        const corvid::WindowImageView view = gui.getWindowImage();
        std::vector<std::uint8_t> out;
        for (std::int32_t y = 0; y < view.height(); ++y) {
            const auto* row = reinterpret_cast<const std::uint8_t*>(view.row(y));
            out.insert(out.end(), row, row + view.width() * 4);
        }
        return out;
    }
    // Every relit area lies in the box of one of the given views grown by what
    // the lighting reaches from it.
    ::testing::AssertionResult relitOnlyAround(std::vector<IntRect> boxes) {
        for (const IntRect& area : gui.getRelitAreas()) {
            bool inside = false;
            for (const IntRect& box : boxes) {
                // Lighting goes by whole tiles of the window's grid.
                const IntRect reach = corvid::GUIGraphics::alignedToTiles(
                    gui.growDirtyRect(box, layout::kEditorWidth, layout::kEditorHeight));
                inside = inside || area.intersect(reach) == area;
            }
            if (!inside)
                return ::testing::AssertionFailure() << "relit " << area.minX << "," << area.minY
                                                     << " - " << area.maxX << "," << area.maxY;
        }
        return ::testing::AssertionSuccess();
    }

    std::unique_ptr<SpatiumClient> client;
    SpatiumGUI& gui;
    corvid::HeadlessWindow& window;
};

TEST_F(EditorRedraw, PlayingRelightsTheViewsAloneAndAsAFullRelightWould) {
    const IntRect boxes[] = {gui.panorama().getPosition(), gui.phaseDisplay().getPosition()};
    std::int64_t relit = 0;
    int frames = 0;
    for (int step = 0; step < 48; step += 2) {
        feed(step);
        feed(step + 1);
        window.pumpEvents();
        ++frames;
        relit += gui.redrawStatistics().lastPixelsRelit;
        EXPECT_TRUE(relitOnlyAround({boxes[0], boxes[1]})) << "step " << step;
        if (step % 8 != 0) continue;
        // The full relight animates and repaints nothing: the same maps, lit
        // everywhere.
        const std::vector<std::uint8_t> partial = image();
        gui.relightAll();
        gui.collectDirtyAreas();
        window.paint();
        ASSERT_EQ(gui.redrawStatistics().lastPixelsRelit,
                  std::int64_t{layout::kEditorWidth} * layout::kEditorHeight);
        ASSERT_TRUE(partial == image()) << "step " << step;
    }
    const std::int64_t perFrame = relit / frames;
    RecordProperty("pixelsRelitPerFrame", static_cast<int>(perFrame));
    EXPECT_GT(perFrame, 0);
    EXPECT_LT(perFrame, std::int64_t{layout::kEditorWidth} * layout::kEditorHeight / 4);
}

TEST_F(EditorRedraw, EachViewAloneRelightsOnlyAroundItself) {
    // The panorama's source moves; the scope hears the same silence throughout.
    for (int step = 0; step < 40; ++step) {
        silence();
        window.pumpEvents();
    }
    for (int step = 0; step < 6; ++step) {
        gui.feedPanorama(0.1f * static_cast<float>(step), -3.0f, 0.0f, 1.0f, kRate);
        window.pumpEvents();
        EXPECT_GT(gui.redrawStatistics().lastPixelsRelit, 0);
        EXPECT_TRUE(relitOnlyAround({gui.panorama().getPosition()}));
    }
    // Then the scope alone.
    for (int step = 0; step < 6; ++step) {
        const PanoramaFeed& last = gui.panorama().lastFeed();
        gui.feedPanorama(last.panAmount, last.distanceAmount, last.tiltAmount, last.level, kRate);
        std::vector<float> left(kBlock), right(kBlock);
        for (std::int32_t i = 0; i < kBlock; ++i) {
            left[static_cast<std::size_t>(i)] = std::sin(0.05f * static_cast<float>(i + step));
            right[static_cast<std::size_t>(i)] = -0.5f * left[static_cast<std::size_t>(i)];
        }
        gui.feedPhaseDisplay(left.data(), right.data(), kBlock, kRate);
        window.pumpEvents();
        EXPECT_TRUE(relitOnlyAround({gui.phaseDisplay().getPosition()}));
    }
}

TEST_F(EditorRedraw, AtRestNothingIsRelitOrPainted) {
    for (int step = 0; step < 10; ++step) {
        feed(step);
        window.pumpEvents();
    }
    // Silence and a source that stays put: the scope's trace fades, then nothing
    // more changes.
    for (int frame = 0; frame < 40; ++frame) {
        silence();
        window.pumpEvents();
    }
    const auto before = gui.redrawStatistics();
    const int paints = window.paintCount();
    for (int frame = 0; frame < 60; ++frame) {
        silence();
        window.pumpEvents();
    }
    EXPECT_EQ(gui.redrawStatistics().pixelsRelit, before.pixelsRelit);
    EXPECT_EQ(window.paintCount(), paints);
    // Nothing at all fed, the same.
    for (int frame = 0; frame < 60; ++frame) window.pumpEvents();
    EXPECT_EQ(gui.redrawStatistics().pixelsRelit, before.pixelsRelit);
    EXPECT_EQ(window.paintCount(), paints);
}

} // namespace
