// Drawing checks: what the widgets write, and that they write nothing outside
// their own box whatever its size or their field values.

#include "corvid/pbrwidgets/bargraph.h"
#include "corvid/pbrwidgets/label.h"
#include "corvid/pbrwidgets/logo.h"
#include "corvid/pbrwidgets/panel.h"
#include "corvid/pbrwidgets/paramhint.h"
#include "spatium/gui/bowgame.h"
#include "tests/widgets/harness.h"
#include "vireo/gui/dropdown.h"
#include "vireo/gui/radiobutton.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

using namespace corvid;
using namespace widgettest;

// Paints e at box into fresh maps, whole and in cut-through pieces, and checks that
// nothing outside the box changed and that the pieces add up to the whole.
void checkContainedAndSplittable(UIElement& e, const IntRect& box) {
    e.setPosition(box);
    const Maps background(64, 64, 7);
    Maps whole(64, 64, 7), pieces(64, 64, 7);
    whole.paint(e, {{0, 0, 64, 64}});
    const IntRect visible = box.intersect({0, 0, 64, 64});
    EXPECT_TRUE(whole.sameOutside(background, visible)) << box.minX << "," << box.minY;
    const std::int32_t mx = box.minX + box.width() / 3, my = box.minY + box.height() / 2;
    pieces.paint(e, {{0, 0, 64, my}, {0, my, mx, 64}});
    pieces.paint(e, {{mx, my, 64, 64}});
    EXPECT_EQ(pieces.firstDifference(whole), "") << box.minX << "," << box.minY;
}

const IntRect kBoxes[] = {{5, 5, 5, 5},     {5, 5, 6, 6},   {3, 4, 16, 11}, {-7, -3, 20, 30},
                          {50, 40, 90, 99}, {0, 0, 64, 64}, {10, 2, 57, 60}};

TEST(Containment, EveryWidgetStaysInsideItsBoxAndDrawsPerBoxAsWhole) {
    Host host;
    auto ip = host.integer(0, 0, 11, 3);
    UIContext ctx;
    spatium::BowGame game(ctx);
    game.lightAll();
    game.flipTile(1, 1);
    UIPanel panel(ctx);
    panel.panelDiffuse = {1, 2, 3, 4};
    UIBargraph bars(ctx, 2, {{255, 0, 0, 0}, {0, 255, 0, 0}, {0, 0, 255, 0}});
    const float lv[] = {0.5f, std::numeric_limits<float>::quiet_NaN()};
    bars.setLevels(lv);
    vireo::VireoDropdown dd(ctx, ip.get(), &testFont());
    dd.labels = {"a", "bb"}; // fewer names than choices
    dd.openAmount = 0.6f;
    auto radio = vireo::VireoRadioButtonSet::create(ip.get(), ctx);
    radio->optionGlow[3] = 0.7f;
    UILabel label(ctx);
    label.setFont(&testFont());
    label.setText("Spatium");
    label.setTextSize(11.0f);
    OwnedImage<RGBA> art(20, 9);
    for (std::int32_t y = 0; y < 9; ++y)
        for (std::int32_t x = 0; x < 20; ++x)
            art.pixelAt(x, y) = {std::uint8_t(x * 12), std::uint8_t(y * 20), 7,
                                 std::uint8_t(x * 13)};
    UILogo logo(ctx);
    logo.image = &art;
    logo.glowAmount = 0.4f;
    logo.emissiveBase = 250;
    UIElement* all[] = {&game, &panel, &bars, &dd, radio.get(), &label, &logo};
    for (UIElement* e : all)
        for (const IntRect& b : kBoxes) checkContainedAndSplittable(*e, b);
}

TEST(Containment, WildFieldValuesDrawNothingOrClamp) {
    UIContext ctx;
    Host host;
    auto ip = host.integer(0, 0, 11, 3);
    ip->storeNormalized(1.0);
    vireo::VireoDropdown dd(ctx, ip.get(), &testFont());
    dd.openAmount = std::numeric_limits<float>::quiet_NaN();
    dd.textSize = 1.0e30f;
    dd.hoverY = -100000;
    checkContainedAndSplittable(dd, {2, 2, 47, 60});
    EXPECT_EQ(dd.visibleRows(), 1);
    UIBargraph none(ctx, 0, {});
    checkContainedAndSplittable(none, {0, 0, 30, 30});
    UIBargraph flat(ctx, 3, std::vector<RGBA>(1000, RGBA{9, 9, 9, 9}));
    flat.minValue = flat.maxValue = 0.5f;
    const float lv[] = {0.4f, 0.5f, std::numeric_limits<float>::infinity()};
    flat.setLevels(lv);
    EXPECT_EQ(flat.readLevel(0), 0.0f);
    EXPECT_EQ(flat.readLevel(1), 1.0f);
    EXPECT_EQ(flat.readLevel(2), 1.0f);
    EXPECT_EQ(flat.readLevel(7), 0.0f);
    checkContainedAndSplittable(flat, {1, 1, 40, 50});
    UILabel label(ctx);
    label.setFont(&testFont());
    label.setText("x");
    label.setTextSize(std::numeric_limits<float>::infinity());
    checkContainedAndSplittable(label, {1, 1, 40, 50});
}

TEST(BarGraph, LevelBetweenTwoThresholdsLightsTheUpperLedPartly) {
    // Five LEDs: thresholds 1, 0.75, 0.5, 0.25, 0; each lights over 0.2 of level.
    const float u = 0.6f;
    EXPECT_EQ(UIBargraph::ledAmount(3, 5, u), 1.0f);
    const float partly = UIBargraph::ledAmount(2, 5, u);
    EXPECT_GT(partly, 0.0f);
    EXPECT_LT(partly, 1.0f);
    EXPECT_EQ(UIBargraph::ledAmount(1, 5, u), 0.0f);
    EXPECT_EQ(UIBargraph::ledAmount(0, 1, 1.0f), 0.0f);
}

TEST(BowGame, HoverColoursVanishOnceSolved) {
    UIContext ctx;
    spatium::BowGame game(ctx);
    game.setPosition({0, 0, 105, 84});
    game.lightAll();
    game.flipTile(0, 0);
    game.markTileHovered(0, 0);
    Maps m(110, 90);
    m.paint(game, {{0, 0, 110, 90}});
    EXPECT_EQ(m.diffuse.pixelAt(5, 5), (RGBA{100, 128, 135, 80})) << "dark and hovered";
    EXPECT_EQ(m.depth.pixelAt(5, 5).l, 3000);
    EXPECT_NE(m.depth.pixelAt(0, 0).l, 3000) << "inset by one pixel while unsolved";
    // Solve by darkening everything: joined slab, no hover glow.
    game.tileLit.fill(false);
    game.markTileHovered(0, 0);
    m.paint(game, {{0, 0, 110, 90}});
    EXPECT_EQ(m.diffuse.pixelAt(5, 5), (RGBA{100, 118, 120, 0}));
    EXPECT_EQ(m.depth.pixelAt(0, 0).l, 3000) << "the tiles join when solved";
    EXPECT_EQ(m.depth.pixelAt(21, 21).l, 3000);
}

TEST(Panel, ZeroFieldsDrawBlackFlatAndDull) {
    UIContext ctx;
    UIPanel panel(ctx);
    panel.setPosition({2, 2, 9, 9});
    Maps m(12, 12);
    m.paint(panel, {{0, 0, 12, 12}});
    EXPECT_EQ(m.diffuse.pixelAt(4, 4), (RGBA{0, 0, 0, 0}));
    EXPECT_EQ(m.material.pixelAt(8, 8), (RGBA{0, 0, 0, 0}));
    EXPECT_EQ(m.depth.pixelAt(2, 2).l, 0);
}

} // namespace
