// The editor as built: every child where the layout puts it and bound to the
// parameter it names, the panel's depth gradients, the embedded resources, and
// what the lit window shows at rest and after one parameter changes.

#include "tests/editor/editor_support.h"

#include "corvid/graphics/decode.h"
#include "corvid/pbrwidgets/knob.h"
#include "corvid/pbrwidgets/label.h"
#include "resources/resources.h"
#include "spatium/gui/panel.h"
#include "spatium/gui/phasedisplay.h"
#include "spatium/params.h"
#include "vireo/gui/dropdown.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <map>

namespace {

using namespace spatium;
using namespace spatium::testing;
using corvid::IntRect;

TEST(EditorLayout, EveryChildSitsInItsBoxInCreationOrderWithTheHintsLast) {
    auto client = clientWithEditor();
    SpatiumGUI& gui = editorOf(*client);
    const auto& children = gui.getChildren();
    ASSERT_EQ(children.size(), layout::kChildren.size() + layout::kHints.size());
    for (std::size_t i = 0; i < layout::kChildren.size(); ++i) {
        SCOPED_TRACE(std::string(layout::kChildren[i].name));
        EXPECT_EQ(children[i]->getPosition(), layout::kChildren[i].box);
    }
    for (std::size_t i = 0; i < layout::kHints.size(); ++i) {
        const auto& hint = *children[layout::kChildren.size() + i];
        SCOPED_TRACE(std::string(layout::kHints[i].parameter));
        EXPECT_EQ(hint.getPosition(), layout::kHints[i].box());
        EXPECT_EQ(hint.getZOrder(), 3);
    }
    EXPECT_EQ(children[22]->getZOrder(), 2); // the tempo list opens over the knobs
    const auto* tempo = dynamic_cast<const vireo::VireoDropdown*>(children[22].get());
    ASSERT_NE(tempo, nullptr);
    ASSERT_EQ(tempo->labels.size(), 12u);
    EXPECT_EQ(tempo->labels[9], "1/4");
    EXPECT_EQ(gui.getRedrawMargin(), 15);
    // The audio thread never grows the scope's buffer: the editor sized it for the
    // largest sub-block the client processes.
    EXPECT_GE(gui.phaseDisplay().feedCapacity(), client->maxSubBlock());

    // Opening a window lays the editor out without moving any child.
    gui.openHeadlessEditor();
    for (std::size_t i = 0; i < layout::kChildren.size(); ++i)
        EXPECT_EQ(children[i]->getPosition(), layout::kChildren[i].box);
    EXPECT_EQ(gui.getPosition(), (IntRect{0, 0, 763, 494}));
}

TEST(EditorLayout, EachWidgetListensToExactlyTheParametersItShows) {
    auto client = clientWithEditor();
    SpatiumGUI& gui = editorOf(*client);
    const auto& children = gui.getChildren();
    for (std::size_t i = 0; i < layout::kChildren.size(); ++i) {
        const layout::ChildPlace& place = layout::kChildren[i];
        SCOPED_TRACE(std::string(place.name));
        std::set<std::string> expected;
        if (place.name == "panorama")
            expected = {"Pan", "Distance", "Tilt", "Output Level"};
        else if (!place.parameter.empty())
            expected = {std::string(place.parameter)};
        EXPECT_EQ(boundNames(*client, *children[i]), expected);
    }
    for (std::size_t i = 0; i < layout::kHints.size(); ++i) {
        const auto& hint = *children[layout::kChildren.size() + i];
        EXPECT_EQ(boundNames(*client, hint),
                  std::set<std::string>{std::string(layout::kHints[i].parameter)});
    }
    // Every parameter a user can reach on the panel has a widget.
    for (const char* name : {"Distance", "Stereo Width", "Pan", "Output Level", "Dry / Wet",
                             "Test Mono", "LFO Tempo", "LFO Wave", "LFO Synced"})
        EXPECT_NE(parameterNamed(*client, name), nullptr) << name;
}

TEST(EditorLayout, KnobTrailsLeanTowardTheViewpointBelowTheCentre) {
    auto client = clientWithEditor();
    SpatiumGUI& gui = editorOf(*client);
    std::map<std::string_view, corvid::UIKnob*> knobs;
    for (std::size_t i = 0; i < layout::kChildren.size(); ++i)
        if (auto* k = dynamic_cast<corvid::UIKnob*>(gui.getChildren()[i].get()))
            knobs[layout::kChildren[i].name] = k;
    ASSERT_EQ(knobs.size(), 15u);
    EXPECT_NEAR(knobs["stereoWidth"]->trailShiftX, 0.01675f, 1e-5f);
    EXPECT_NEAR(knobs["stereoWidth"]->trailShiftY, 0.00508f, 1e-5f);
    // The knob right of the centre leans left, and the LFO tilt knob keeps its own.
    EXPECT_LT(knobs["dryWet"]->trailShiftX, 0.0f);
    EXPECT_FLOAT_EQ(knobs["lfoTilt"]->trailShiftY, 0.06f);
    EXPECT_FLOAT_EQ(knobs["pan"]->trailShiftX, (398.0f - 381.5f) * -0.02f / 381.5f);
}

TEST(EditorLayout, SubtitleFollowsBitNineOfTheEditorsAddress) {
    EXPECT_EQ(SpatiumGUI::subtitleFor(reinterpret_cast<const void*>(0x1000)),
              "HE WHO CONTROLS THE SPACE");
    EXPECT_EQ(SpatiumGUI::subtitleFor(reinterpret_cast<const void*>(0x1200)),
              "SPATIALIZATION TOOLBOX");
    EXPECT_EQ(SpatiumGUI::subtitleFor(reinterpret_cast<const void*>(0x11FF)),
              "HE WHO CONTROLS THE SPACE");
    auto client = clientWithEditor();
    SpatiumGUI& gui = editorOf(*client);
    EXPECT_EQ(gui.subtitle().text, SpatiumGUI::subtitleFor(&gui));
}

// The ramp as a user of the panel expects it, in double precision.
std::uint16_t rampValue(const DepthGradient& g, std::int32_t row) {
    static const std::map<corvid::DepthCurve, double> exponent = {
        {corvid::DepthCurve::quadratic, 2.0},
        {corvid::DepthCurve::squareRoot, 0.5},
        {corvid::DepthCurve::power07, 0.7},
        {corvid::DepthCurve::power14, 1.4}};
    const double t = double(row - g.rect.minY) / double(g.rect.height());
    const auto w = static_cast<std::uint32_t>(std::pow(t, exponent.at(g.curve)) * 65535.0 + 0.5);
    return static_cast<std::uint16_t>((g.bottom * w + g.top * (65535u - w)) / 65535u);
}

TEST(EditorPanel, DepthGradientsCoverTheirRectanglesAndOnlyThePartsOfThemThatAreDirty) {
    auto client = clientWithEditor();
    SpatiumGUI& gui = editorOf(*client);
    const PanelImages& panel = gui.panel();
    corvid::OwnedImage<corvid::RGBA> diffuse(763, 494), material(763, 494);
    corvid::OwnedImage<corvid::L16> depth(763, 494);
    depth.fill(corvid::L16{7});
    // Half of the LFO gradient, a box that touches no gradient, and the bottom band.
    const std::vector<IntRect> dirty = {
        {500, 80, 763, 200}, {100, 100, 200, 200}, {0, 470, 763, 494}};
    gui.paintMaps(diffuse.asView(), depth.asView(), material.asView(), dirty);

    int mismatched = 0, checked = 0;
    for (std::int32_t y = 0; y < 494; ++y)
        for (std::int32_t x = 0; x < 763; ++x) {
            const bool isDirty = std::any_of(dirty.begin(), dirty.end(), [&](const IntRect& r) {
                return x >= r.minX && x < r.maxX && y >= r.minY && y < r.maxY;
            });
            const int got = depth.rowSpan(y)[std::size_t(x)].l;
            int want = isDirty ? panel.depth->rowSpan(y)[std::size_t(x)].l : 7;
            if (isDirty)
                for (const DepthGradient& g : kPanelDepthGradients)
                    if (x >= g.rect.minX && x < g.rect.maxX && y >= g.rect.minY && y < g.rect.maxY)
                        want = rampValue(g, y);
            ++checked;
            // A float power may round the weight one step the other way.
            if (std::abs(got - want) > 1) ++mismatched;
        }
    EXPECT_EQ(mismatched, 0) << "of " << checked;
    // The gradients' ends, as the table gives them.
    EXPECT_NEAR(depth.rowSpan(470)[10].l, rampValue(kPanelDepthGradients[0], 470), 1);
    EXPECT_EQ(depth.rowSpan(100)[700].l, rampValue(kPanelDepthGradients[2], 100));
    EXPECT_EQ(depth.rowSpan(150)[150].l, panel.depth->rowSpan(150)[150].l);
    // Colour and material come from the panel unchanged.
    EXPECT_EQ(diffuse.rowSpan(150)[150], panel.diffuse->rowSpan(150)[150]);
    EXPECT_EQ(material.rowSpan(480)[300], panel.material->rowSpan(480)[300]);
}

TEST(EditorResources, PicturesDecodeToThePanelsSizes) {
    struct Expect {
        const char* name;
        std::span<const std::uint8_t> data;
        int components, width, height;
    };
    const Expect all[] = {{"base colour", resources::baseColourJpeg(), 3, 763, 494},
                          {"emissive", resources::emissivePng(), 3, 763, 494},
                          {"material", resources::materialPng(), 4, 763, 494},
                          {"physical", resources::physicalPng(), 4, 763, 494},
                          {"depth", resources::depthPng(), 4, 763, 494},
                          {"skybox", resources::skyboxJpeg(), 3, 1024, 768},
                          {"logo", resources::logoPng(), 4, 60, 45}};
    for (const Expect& e : all) {
        SCOPED_TRACE(e.name);
        corvid::DecodedImage image;
        std::string error;
        ASSERT_TRUE(corvid::tryDecodeImage(e.data, e.components, image, error)) << error;
        EXPECT_EQ(image.width, e.width);
        EXPECT_EQ(image.height, e.height);
    }
}

} // namespace
