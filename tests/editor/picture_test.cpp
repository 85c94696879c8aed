// What the lit editor shows: at rest it is the bare panel everywhere no widget
// can reach, a parameter change shows only where its widgets are, and an editor
// left alone stops redrawing.

#include "tests/editor/editor_support.h"

#include "spatium/params.h"

#include <gtest/gtest.h>

namespace {

using namespace spatium;
using namespace spatium::testing;
using corvid::IntRect;

// The glow samples the fifth diffuse mipmap level, whose cubic filters widen
// what one sample covers to well within 96 pixels; shadows and normals reach less.
constexpr std::int32_t kCompositorReach = 96;
constexpr std::int32_t kWidening = SpatiumGUI::kRedrawMargin + kCompositorReach;

std::vector<IntRect> widenedBoxesOf(const std::vector<const corvid::UIElement*>& elements,
                                    std::int32_t by) {
    std::vector<IntRect> boxes;
    for (const corvid::UIElement* e : elements) boxes.push_back(grown(e->getPosition(), by));
    return boxes;
}

std::vector<const corvid::UIElement*> allChildren(SpatiumGUI& gui) {
    std::vector<const corvid::UIElement*> list;
    for (const auto& c : gui.getChildren()) list.push_back(c.get());
    return list;
}

TEST(EditorPicture, AtRestTheWidgetsChangeNothingBeyondTheirReach) {
    auto client = clientWithEditor();
    SpatiumGUI& gui = editorOf(*client);
    auto& window = gui.openHeadlessEditor();
    const auto withWidgets = fullPicture(gui, window);
    // The maps themselves: outside the boxes every map pixel is the panel's.
    corvid::OwnedImage<corvid::RGBA> panelDiffuse(763, 494), panelMaterial(763, 494);
    corvid::OwnedImage<corvid::L16> panelDepth(763, 494);
    gui.paintMaps(panelDiffuse.asView(), panelDepth.asView(), panelMaterial.asView(),
                  {{0, 0, 763, 494}});
    int mapDifferences = 0;
    const auto children = allChildren(gui);
    for (std::int32_t y = 0; y < 494; ++y)
        for (std::int32_t x = 0; x < 763; ++x) {
            bool inBox = false;
            for (const auto* c : children) {
                const IntRect& r = c->getPosition();
                inBox |= x >= r.minX && x < r.maxX && y >= r.minY && y < r.maxY;
            }
            if (inBox) continue;
            const auto i = std::size_t(x);
            mapDifferences +=
                !(gui.getDiffuseMap().level(0).rowSpan(y)[i] == panelDiffuse.rowSpan(y)[i]);
            mapDifferences +=
                !(gui.getMaterialMap().level(0).rowSpan(y)[i] == panelMaterial.rowSpan(y)[i]);
            mapDifferences +=
                gui.getDepthMap().level(0).rowSpan(y)[i].l != panelDepth.rowSpan(y)[i].l;
        }
    EXPECT_EQ(mapDifferences, 0);

    // The bare panel, lit alone with the same lights: every child hidden.
    for (const auto& c : gui.getChildren()) c->setVisible(false);
    const auto bare = fullPicture(gui, window, 1);
    EXPECT_EQ(differencesOutside(withWidgets, bare, widenedBoxesOf(children, kWidening)), 0);
    // The widgets do show inside their boxes.
    EXPECT_GT(differencesOutside(withWidgets, bare, {}), 1000);
}

struct Change {
    const char* parameter;
    double normalized;
};

class EditorChange : public ::testing::TestWithParam<Change> {};

TEST_P(EditorChange, ShowsOnlyWhereTheWidgetsBoundToTheParameterAre) {
    const Change change = GetParam();
    auto client = clientWithEditor();
    SpatiumGUI& gui = editorOf(*client);
    auto& window = gui.openHeadlessEditor();
    const auto before = fullPicture(gui, window);

    corvid::Parameter* p = parameterNamed(*client, change.parameter);
    ASSERT_NE(p, nullptr);
    p->applyFromHost(change.normalized);
    const auto after = fullPicture(gui, window);

    std::vector<const corvid::UIElement*> bound;
    for (const auto& c : gui.getChildren())
        if (boundNames(*client, *c).count(change.parameter)) bound.push_back(c.get());
    ASSERT_FALSE(bound.empty());
    EXPECT_EQ(differencesOutside(before, after, widenedBoxesOf(bound, kWidening)), 0);
    EXPECT_GT(differencesOutside(before, after, {}), 0) << "the change does not show at all";
}

INSTANTIATE_TEST_SUITE_P(Parameters, EditorChange,
                         ::testing::Values(Change{"Stereo Width", 0.9}, Change{"Pan", 0.2},
                                           Change{"Distance", 0.3}, Change{"Test Mono", 1.0},
                                           Change{"LFO Freq", 0.8}, Change{"Dry / Wet", 0.1}),
                         [](const auto& param) {
                             std::string name;
                             for (char ch : std::string(param.param.parameter))
                                 if (std::isalnum(static_cast<unsigned char>(ch))) name += ch;
                             return name;
                         });

TEST(EditorPicture, AnIdleEditorRepaintsNothing) {
    auto client = clientWithEditor();
    SpatiumGUI& gui = editorOf(*client);
    auto& window = gui.openHeadlessEditor();
    for (int i = 0; i < 200; ++i) window.pumpEvents(); // three seconds to settle
    const int settled = window.paintCount();
    for (int i = 0; i < 67; ++i) window.pumpEvents(); // one more second, nothing happening
    EXPECT_EQ(window.paintCount(), settled);

    // The first parameter change brings the repaint back, and it settles again.
    client->floatParameter(kStereoWidth)->applyFromHost(0.3);
    window.pumpEvents();
    EXPECT_GT(window.paintCount(), settled);
    for (int i = 0; i < 200; ++i) window.pumpEvents();
    const int again = window.paintCount();
    for (int i = 0; i < 67; ++i) window.pumpEvents();
    EXPECT_EQ(window.paintCount(), again);
}

} // namespace
