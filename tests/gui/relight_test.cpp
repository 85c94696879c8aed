// A redraw relights only the pixels whose lighting can have changed; what it
// leaves alone must be exactly what relighting everything would give again.

#include "corvid/gui/graphics.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <vector>

using namespace corvid;

namespace {

// A glowing, metallic block with a bevelled height: it feeds every term of the
// lighting (normals, shadow rays, cavities, reflection, glow).
class Block : public UIElement {
public:
    Block(UIContext& c, IntRect pos) : UIElement(c) { position = pos; }
    void arrange(const IntRect&) override {}
    void paintMaps(const ImageView<RGBA>& d, const ImageView<L16>& h, const ImageView<RGBA>& m,
                   const std::vector<IntRect>& rects) override {
        for (const IntRect& r : rects)
            for (int y = r.minY; y < r.maxY; ++y)
                for (int x = r.minX; x < r.maxX; ++x) {
                    const bool inside =
                        IntRect{spot.minX, spot.minY, spot.maxX, spot.maxY}.contains(x, y);
                    d.at(x, y) = inside ? color : RGBA{40, 50, 60, 0};
                    h.at(x, y) = L16(inside ? static_cast<std::uint16_t>(30000 + 97 * (x % 7))
                                            : std::uint16_t{12000});
                    m.at(x, y) = inside ? RGBA{60, 200, 255, 255} : RGBA{200, 0, 40, 255};
                }
    }
    IntRect spot; // element coordinates
    RGBA color{250, 200, 90, 255};
};

std::vector<std::uint8_t> bytesOf(GUIGraphics& gui) {
    const WindowImageView image = gui.getWindowImage();
    std::vector<std::uint8_t> out;
    for (std::int32_t y = 0; y < image.height(); ++y) {
        const auto* row = reinterpret_cast<const std::uint8_t*>(image.row(y));
        out.insert(out.end(), row, row + image.width() * 4);
    }
    return out;
}

// Relights the whole window from the maps as they are, without animating.
std::vector<std::uint8_t> fullRelight(GUIGraphics& gui, HeadlessWindow& window) {
    gui.relightAll();
    gui.collectDirtyAreas();
    window.paint();
    return bytesOf(gui);
}

struct Case {
    std::int32_t width, height;
    bool reach; // grown by the lighting's reach, or by the plain margin
};

class PartialRelight : public ::testing::TestWithParam<Case> {};

// Blocks move about (odd sizes, at the edges too); after every frame the window
// image equals a full relight of the same maps byte for byte.
TEST_P(PartialRelight, EqualsAFullRelightOfTheSameMaps) {
    const Case c = GetParam();
    GUIGraphics gui(c.width, c.height, 2);
    gui.setGrowByLightingReach(c.reach);
    if (!c.reach) gui.setRedrawMargin(200); // wide enough for the glow of the top level
    std::vector<Block*> blocks;
    blocks.push_back(static_cast<Block*>(&gui.addChild(
        std::make_unique<Block>(gui.getContext(), IntRect{0, 0, c.width / 2, c.height}))));
    blocks.push_back(static_cast<Block*>(&gui.addChild(std::make_unique<Block>(
        gui.getContext(), IntRect{c.width / 2 + 3, 5, c.width, c.height - 4}))));
    HeadlessWindow& window = gui.openHeadlessEditor(PixelFormat::BGRA8);
    window.tick();

    std::mt19937 random(1234);
    const auto coordinate = [&](std::int32_t size) {
        return static_cast<std::int32_t>(random() % static_cast<unsigned>(size + 1));
    };
    std::int64_t relit = 0;
    for (int frame = 0; frame < 24; ++frame) {
        Block& b = *blocks[static_cast<std::size_t>(frame) % blocks.size()];
        const IntRect box = b.getPosition();
        const std::int32_t x = coordinate(box.width() - 1), y = coordinate(box.height() - 1);
        b.spot = {x, y, std::min(box.width(), x + 1 + coordinate(12)),
                  std::min(box.height(), y + 1 + coordinate(9))};
        b.color.a = static_cast<std::uint8_t>(frame % 3 == 0 ? 0 : 255);
        b.markDirty();
        window.tick();
        relit += gui.redrawStatistics().lastPixelsRelit;
        const std::vector<std::uint8_t> partial = bytesOf(gui);
        ASSERT_EQ(partial, fullRelight(gui, window)) << "frame " << frame;
    }
    // Each frame repainted a whole block, yet in a window larger than the glow's
    // reach it lit much less than the window.
    if (c.width > 400) {
        EXPECT_LT(relit, std::int64_t{24} * c.width * c.height / 2);
    }
}

INSTANTIATE_TEST_SUITE_P(Windows, PartialRelight,
                         ::testing::Values(Case{203, 117, true}, Case{403, 237, true},
                                           Case{160, 96, true}, Case{67, 45, true},
                                           Case{203, 117, false}));

TEST(PartialRelight, UnchangedPixelsAreNotRelitAndAPaintUsesUpItsAreas) {
    GUIGraphics gui(400, 240, 2);
    auto& block = static_cast<Block&>(
        gui.addChild(std::make_unique<Block>(gui.getContext(), IntRect{10, 10, 390, 230})));
    HeadlessWindow& window = gui.openHeadlessEditor();
    window.tick();
    EXPECT_EQ(gui.redrawStatistics().lastPixelsRelit, 400 * 240);

    // Dirty, but painted the same: nothing to light, and nothing left for later.
    block.markDirty();
    window.tick();
    EXPECT_EQ(gui.redrawStatistics().lastPixelsRelit, 0);
    EXPECT_EQ(gui.dirtyBounds(), (IntRect{0, 0, 0, 0}));
    const std::uint64_t total = gui.redrawStatistics().pixelsRelit;
    // A repaint with nothing new (an expose) only shows the image again.
    window.paint();
    EXPECT_EQ(gui.redrawStatistics().pixelsRelit, total);

    // A changed depth pixel relights its normals' and shadow rays' reach and
    // what its cavity reaches on the upper depth levels, nothing past the
    // window's share of that reach.
    gui.setGrowByLightingReach(true);
    block.spot = {150, 100, 151, 101};
    block.color.a = 0;
    block.markDirty();
    window.tick();
    const std::vector<IntRect>& areas = gui.getRelitAreas();
    ASSERT_FALSE(areas.empty());
    bool coversTheShadowReach = false;
    for (const IntRect& r : areas) {
        const IntRect reach =
            GUIGraphics::alignedToTiles(gui.growDirtyRect({160, 110, 161, 111}, 400, 240));
        EXPECT_EQ(r.intersect(reach), r);
        EXPECT_EQ(r, GUIGraphics::alignedToTiles(r).intersect({0, 0, 400, 240}));
        coversTheShadowReach = coversTheShadowReach || r.contains(150, 120);
    }
    EXPECT_TRUE(coversTheShadowReach);
    EXPECT_LT(gui.redrawStatistics().lastPixelsRelit, 400 * 240 / 2);
}

} // namespace
