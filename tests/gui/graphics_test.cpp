#include "corvid/gui/graphics.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <vector>

using namespace corvid;

namespace {

// An element that paints one flat colour and depth, and records its clicks.
class Flat : public UIElement {
public:
    Flat(UIContext& c, IntRect pos, RGBA color, std::uint16_t depth = 20000, int z = 0)
        : UIElement(c), color(color), depth(depth) {
        position = pos;
        zOrder = z;
    }
    void arrange(const IntRect&) override {} // keeps its own box
    void paintMaps(const ImageView<RGBA>& d, const ImageView<L16>& h, const ImageView<RGBA>& m,
                   const std::vector<IntRect>& rects) override {
        for (const IntRect& r : rects)
            for (int y = r.minY; y < r.maxY; ++y)
                for (int x = r.minX; x < r.maxX; ++x) {
                    d.at(x, y) = color;
                    h.at(x, y) = L16(depth);
                    m.at(x, y) = {100, 0, 60, 255};
                }
    }
    bool onMouseClick(int32_t x, int32_t y, MouseButton, bool isDouble, MouseState) override {
        clicks.push_back({x, y, x + 1, y + 1});
        lastWasDouble = isDouble;
        return true;
    }
    void onDragEnd() override { ++dragEnds; }
    bool onKeyDown(Key k) override { return k == Key::space; }

    RGBA color;
    std::uint16_t depth;
    std::vector<IntRect> clicks;
    bool lastWasDouble = false;
    int dragEnds = 0;
};

std::vector<UIElement*> pointers(const std::vector<std::unique_ptr<UIElement>>& v) {
    std::vector<UIElement*> out;
    for (auto& e : v) out.push_back(e.get());
    return out;
}

TEST(PaintBatches, FortyDisjointElementsMakeBatchesOfThirtyTwoAndEight) {
    UIContext ctx;
    std::vector<std::unique_ptr<UIElement>> owned;
    for (int i = 0; i < 40; ++i) {
        owned.push_back(std::make_unique<UIElement>(ctx));
        owned.back()->setPosition({i * 10, 0, i * 10 + 10, 10}); // touching, not overlapping
    }
    const auto list = pointers(owned);
    EXPECT_EQ(GUIGraphics::endOfPaintBatch(list, 0), 32u);
    EXPECT_EQ(GUIGraphics::endOfPaintBatch(list, 32), 40u);
}

TEST(PaintBatches, OverlappingElementsNeverShareABatch) {
    UIContext ctx;
    std::mt19937 rng(3);
    std::uniform_int_distribution<int> pos(0, 200), size(0, 40);
    for (int round = 0; round < 50; ++round) {
        std::vector<std::unique_ptr<UIElement>> owned;
        for (int i = 0; i < 60; ++i) {
            owned.push_back(std::make_unique<UIElement>(ctx));
            const int x = pos(rng), y = pos(rng);
            owned.back()->setPosition({x, y, x + size(rng), y + size(rng)});
        }
        const auto list = pointers(owned);
        std::size_t start = 0, batches = 0;
        while (start < list.size()) {
            const std::size_t end = GUIGraphics::endOfPaintBatch(list, start);
            ASSERT_GT(end, start);
            ASSERT_LE(end - start, GUIGraphics::kMaxPaintBatch);
            for (std::size_t a = start; a < end; ++a)
                for (std::size_t b = a + 1; b < end; ++b)
                    ASSERT_FALSE(list[a]->getPosition().overlaps(list[b]->getPosition()));
            // A batch stops only at a conflict or at its size limit.
            if (end < list.size() && end - start < GUIGraphics::kMaxPaintBatch) {
                bool conflict = false;
                for (std::size_t a = start; a < end; ++a)
                    conflict |= list[a]->getPosition().overlaps(list[end]->getPosition());
                ASSERT_TRUE(conflict);
            }
            start = end;
            ++batches;
        }
        EXPECT_GE(batches, 2u);
    }
}

TEST(PaintBatches, EmptyPositionsNeverConflict) {
    UIContext ctx;
    std::vector<std::unique_ptr<UIElement>> owned;
    for (int i = 0; i < 3; ++i) owned.push_back(std::make_unique<UIElement>(ctx));
    owned[0]->setPosition({0, 0, 50, 50});
    owned[1]->setPosition({10, 10, 10, 40}); // zero width, inside the first
    owned[2]->setPosition({20, 20, 30, 30});
    EXPECT_EQ(GUIGraphics::endOfPaintBatch(pointers(owned), 0), 2u);
}

TEST(DirtyAreas, GrowthStopsAtTheWindowEdges) {
    GUIGraphics gui(100, 60, 1);
    gui.setRedrawMargin(20);
    EXPECT_EQ(gui.growDirtyRect({0, 0, 5, 5}, 100, 60), (IntRect{0, 0, 25, 25}));
    EXPECT_EQ(gui.growDirtyRect({90, 50, 100, 60}, 100, 60), (IntRect{70, 30, 100, 60}));
    EXPECT_EQ(gui.growDirtyRect({40, 20, 41, 21}, 100, 60), (IntRect{20, 0, 61, 41}));
}

TEST(DirtyAreas, NothingDirtyMeansNoBoundsAndNoPaint) {
    GUIGraphics gui(64, 48, 1);
    HeadlessWindow& window = gui.openHeadlessEditor();
    window.tick(); // first paint: everything
    const int paints = window.paintCount();
    gui.collectDirtyAreas();
    EXPECT_EQ(gui.dirtyBounds(), (IntRect{0, 0, 0, 0}));
    window.pumpEvents();
    EXPECT_EQ(window.paintCount(), paints);
}

TEST(DirtyAreas, CollectingGathersTheContextListDisjointAndGrown) {
    GUIGraphics gui(200, 100, 1);
    HeadlessWindow& window = gui.openHeadlessEditor();
    window.tick();
    gui.setRedrawMargin(5);
    gui.getContext().addDirtyRect({10, 10, 30, 30});
    gui.collectDirtyAreas();
    gui.getContext().addDirtyRect({20, 20, 40, 40}); // arrives after the first gathering
    gui.collectDirtyAreas();
    EXPECT_TRUE(gui.getContext().dirtyList.empty());
    int area = 0;
    for (const IntRect& r : gui.getPendingDirtyRects()) area += r.width() * r.height();
    EXPECT_EQ(area, 20 * 20 * 2 - 10 * 10);
    EXPECT_EQ(gui.dirtyBounds(), (IntRect{5, 5, 45, 45}));
}

TEST(Tiles, AreasAreCutRowByRowWithNarrowerLastTiles) {
    std::vector<IntRect> tiles;
    GUIGraphics::cutIntoTiles({10, 5, 150, 70}, tiles);
    ASSERT_EQ(tiles.size(), 9u);
    EXPECT_EQ(tiles[0], (IntRect{10, 5, 74, 37}));
    EXPECT_EQ(tiles[1], (IntRect{74, 5, 138, 37}));
    EXPECT_EQ(tiles[2], (IntRect{138, 5, 150, 37}));
    EXPECT_EQ(tiles[8], (IntRect{138, 69, 150, 70}));
    tiles.clear();
    GUIGraphics::cutIntoTiles({3, 3, 3, 9}, tiles);
    EXPECT_TRUE(tiles.empty());
}

TEST(Resize, MapLevelsFollowTheWindowSize) {
    GUIGraphics gui(763, 494, 1);
    HeadlessWindow& window = gui.openHeadlessEditor();
    window.tick();
    EXPECT_EQ(window.resizeCount(), 1);
    EXPECT_EQ(gui.getDiffuseMap().levelCount(), 6);
    EXPECT_EQ(gui.getDepthMap().levelCount(), 5);
    EXPECT_EQ(gui.getMaterialMap().levelCount(), 1);

    window.resize(20, 3);
    window.paint();
    EXPECT_EQ(window.resizeCount(), 2);
    EXPECT_EQ(gui.getDiffuseMap().levelCount(), 2);
    EXPECT_EQ(gui.getDepthMap().levelCount(), 2);
    int32_t w = 0, h = 0;
    gui.editorSize(&w, &h);
    EXPECT_EQ(w, 20);
    EXPECT_EQ(h, 3);

    window.paint(); // unchanged size: no new resize
    EXPECT_EQ(window.resizeCount(), 2);

    window.resize(0, 0);
    window.paint();
    EXPECT_EQ(gui.getDiffuseMap().levelCount(), 0);
    window.tick();
}

TEST(Resize, AResizedWindowIsRepaintedCompletely) {
    GUIGraphics gui(64, 64, 2);
    gui.addChild(
        std::make_unique<Flat>(gui.getContext(), IntRect{0, 0, 200, 200}, RGBA{200, 30, 30, 0}));
    HeadlessWindow& window = gui.openHeadlessEditor();
    window.tick();
    window.resize(128, 96);
    window.paint();
    // Lit red everywhere, including the part of the window that is new.
    const RGBA corner = window.screen().pixelAt(127, 95);
    EXPECT_GT(corner.r, corner.g);
    EXPECT_EQ(corner.a, 255);
}

// Rebuilds every level of a copy of level 0 over the whole image, as a reference
// for the incremental rebuild.
template <typename T>
void fullRebuild(Mipmap<T>& m, const Mipmap<T>& source, bool diffuse) {
    m.size(source.levelCount(), source.level(0).width(), source.level(0).height());
    std::memcpy(m.level(0).data(), source.level(0).data(),
                static_cast<size_t>(source.level(0).numPixels()) * sizeof(T));
    for (int k = 1; k < m.levelCount(); ++k) {
        MipFilter f = k <= 2 ? MipFilter::box : MipFilter::cubic;
        if (diffuse) f = k == 1 ? MipFilter::alphaWeightedBox : MipFilter::cubic;
        m.buildNextLevel(f, k, m.level(k - 1).asView().bounds());
    }
}

template <typename T>
bool sameLevels(const Mipmap<T>& a, const Mipmap<T>& b) {
    if (a.levelCount() != b.levelCount()) return false;
    for (int k = 0; k < a.levelCount(); ++k)
        if (std::memcmp(a.level(k).data(), b.level(k).data(),
                        static_cast<size_t>(a.level(k).numPixels()) * sizeof(T)) != 0)
            return false;
    return true;
}

TEST(Mipmaps, OnePixelColumnAtAnOddXReachesEveryLevel) {
    GUIGraphics gui(301, 97, 2);
    auto& column = static_cast<Flat&>(gui.addChild(std::make_unique<Flat>(
        gui.getContext(), IntRect{37, 0, 38, 97}, RGBA{250, 250, 250, 255}, 60000, 1)));
    HeadlessWindow& window = gui.openHeadlessEditor();
    window.tick();

    column.color = {0, 90, 255, 200};
    column.depth = 1000;
    column.markDirty();
    window.tick();

    Mipmap<RGBA> diffuse;
    Mipmap<L16> depth;
    fullRebuild(diffuse, gui.getDiffuseMap(), true);
    fullRebuild(depth, gui.getDepthMap(), false);
    EXPECT_TRUE(sameLevels(diffuse, gui.getDiffuseMap()));
    EXPECT_TRUE(sameLevels(depth, gui.getDepthMap()));
}

TEST(Redraw, ElementsAreDrawnInZOrderAndOnlyTheDirtyAreaIsRelit) {
    GUIGraphics gui(160, 120, 2);
    auto& low = static_cast<Flat&>(gui.addChild(std::make_unique<Flat>(
        gui.getContext(), IntRect{10, 10, 80, 80}, RGBA{0, 0, 200, 0}, 20000, 2)));
    gui.addChild(std::make_unique<Flat>(gui.getContext(), IntRect{40, 40, 120, 110},
                                        RGBA{200, 0, 0, 0}, 30000, 1));
    HeadlessWindow& window = gui.openHeadlessEditor();
    window.tick();
    // The element added first but with the higher z-order is on top.
    EXPECT_EQ(gui.getDiffuseMap().level(0).pixelAt(50, 50), (RGBA{0, 0, 200, 0}));
    EXPECT_EQ(gui.getDiffuseMap().level(0).pixelAt(100, 100), (RGBA{200, 0, 0, 0}));

    OwnedImage<RGBA> before(160, 120);
    std::memcpy(before.data(), window.screen().data(), 160 * 120 * 4);
    gui.setRedrawMargin(6);
    low.color = {0, 200, 0, 0};
    low.markDirtyRect({0, 0, 4, 4});
    window.tick();
    EXPECT_EQ(window.lastBlit(), (IntRect{4, 4, 20, 20}));
    EXPECT_EQ(gui.getDiffuseMap().level(0).pixelAt(12, 12), (RGBA{0, 200, 0, 0}));
    EXPECT_EQ(gui.getDiffuseMap().level(0).pixelAt(15, 15), (RGBA{0, 0, 200, 0}));
    for (int y = 0; y < 120; ++y)
        for (int x = 0; x < 160; ++x) {
            if (IntRect{4, 4, 20, 20}.contains(x, y)) continue;
            ASSERT_EQ(window.screen().pixelAt(x, y), before.pixelAt(x, y)) << x << "," << y;
        }
    EXPECT_GT(window.screen().pixelAt(12, 12).g, window.screen().pixelAt(12, 12).b);
}

TEST(Redraw, ABatchOfEventsIsOnePaintOfEverythingTheyDirtied) {
    // Two windows, one painting after every event and one batching: the same
    // pictures, with one paint instead of three.
    std::vector<RGBA> screens[2];
    int paints[2] = {};
    for (int batched = 0; batched < 2; ++batched) {
        GUIGraphics gui(120, 90, 2);
        auto& a = static_cast<Flat&>(gui.addChild(
            std::make_unique<Flat>(gui.getContext(), IntRect{5, 5, 30, 30}, RGBA{0, 0, 200, 0})));
        auto& b = static_cast<Flat&>(gui.addChild(std::make_unique<Flat>(
            gui.getContext(), IntRect{70, 50, 110, 85}, RGBA{0, 200, 0, 0})));
        HeadlessWindow& window = gui.openHeadlessEditor();
        window.tick();
        const int start = window.paintCount();
        {
            std::optional<HeadlessWindow::PaintBatch> batch;
            if (batched) batch.emplace(window);
            a.color = {200, 0, 0, 0};
            a.markDirtyRect({0, 0, 25, 25});
            window.mouseMove(10, 10);
            b.color = {200, 200, 0, 0};
            b.markDirtyRect({0, 0, 40, 35});
            window.mouseMove(80, 60);
            window.tick();
            if (batched) {
                EXPECT_EQ(window.paintCount(), start);
            }
        }
        paints[batched] = window.paintCount() - start;
        screens[batched].assign(window.screen().data(), window.screen().data() + 120 * 90);
    }
    EXPECT_EQ(paints[0], 2);
    EXPECT_EQ(paints[1], 1);
    EXPECT_TRUE(screens[0] == screens[1]);
}

TEST(Redraw, AClickBeforeAnyMoveIsAtTheWindowOrigin) {
    GUIGraphics gui(50, 50, 1);
    auto& corner = static_cast<Flat&>(gui.addChild(
        std::make_unique<Flat>(gui.getContext(), IntRect{0, 0, 4, 4}, RGBA{9, 9, 9, 0})));
    HeadlessWindow& window = gui.openHeadlessEditor();
    EXPECT_TRUE(window.mouseDown(MouseButton::left));
    ASSERT_EQ(corner.clicks.size(), 1u);
    EXPECT_EQ(corner.clicks[0].minX, 0);
    EXPECT_EQ(corner.clicks[0].minY, 0);
}

TEST(Redraw, WindowInputReachesElementsInLocalCoordinates) {
    GUIGraphics gui(100, 100, 1);
    auto& a = static_cast<Flat&>(gui.addChild(
        std::make_unique<Flat>(gui.getContext(), IntRect{20, 30, 60, 70}, RGBA{9, 9, 9, 0})));
    HeadlessWindow& window = gui.openHeadlessEditor();
    window.mouseMove(25, 37);
    EXPECT_TRUE(window.mouseDown(MouseButton::left, true));
    ASSERT_EQ(a.clicks.size(), 1u);
    EXPECT_EQ(a.clicks[0].minX, 5);
    EXPECT_EQ(a.clicks[0].minY, 7);
    EXPECT_TRUE(a.lastWasDouble);
    EXPECT_EQ(gui.getContext().dragged, &a);
    EXPECT_TRUE(window.mouseUp(MouseButton::left));
    EXPECT_EQ(gui.getContext().dragged, nullptr);
    EXPECT_EQ(a.dragEnds, 1);
    EXPECT_EQ(gui.getContext().focused, &a);

    window.mouseDown(MouseButton::right);
    window.captureLost();
    EXPECT_EQ(a.dragEnds, 2);

    EXPECT_TRUE(window.keyDown(Key::space));
    EXPECT_FALSE(window.keyDown(Key::escape));
    EXPECT_EQ(window.passedOnKeys(), (std::vector<Key>{Key::escape}));

    window.mouseMove(90, 90);
    EXPECT_FALSE(window.mouseDown(MouseButton::left)); // the root accepts nothing
}

// Paints a pattern that depends only on the window position, and records every
// rectangle it was asked for, in window coordinates.
class Striped : public UIElement {
public:
    Striped(UIContext& c, IntRect pos, bool bands) : UIElement(c) {
        position = pos;
        bandSafePaint = bands;
    }
    void arrange(const IntRect&) override {}
    void paintMaps(const ImageView<RGBA>& d, const ImageView<L16>& h, const ImageView<RGBA>& m,
                   const std::vector<IntRect>& rects) override {
        for (const IntRect& r : rects)
            for (int y = r.minY; y < r.maxY; ++y)
                for (int x = r.minX; x < r.maxX; ++x) {
                    const int wx = x + position.minX, wy = y + position.minY;
                    d.at(x, y) = {static_cast<std::uint8_t>(wx), static_cast<std::uint8_t>(wy),
                                  static_cast<std::uint8_t>(wx ^ wy), 255};
                    h.at(x, y) = L16(static_cast<std::uint16_t>(wx * 131 + wy * 7));
                    m.at(x, y) = {static_cast<std::uint8_t>(wy * 3), 0, 60, 255};
                }
        const std::lock_guard<std::mutex> lock(mutex);
        ++calls;
        for (const IntRect& r : rects)
            received.push_back(r.translated(position.minX, position.minY));
    }
    std::mutex mutex;
    int calls = 0;
    std::vector<IntRect> received;
};

template <typename T>
bool sameLevel0(const Mipmap<T>& a, const Mipmap<T>& b) {
    const OwnedImage<T>& x = a.level(0);
    const OwnedImage<T>& y = b.level(0);
    for (int row = 0; row < x.height(); ++row)
        if (std::memcmp(x.rowSpan(row).data(), y.rowSpan(row).data(), sizeof(T) * x.width()))
            return false;
    return true;
}

TEST(Redraw, ALargeBandSafeElementIsPaintedInBandsThatCoverItsDirtyAreaOnce) {
    const IntRect box{5, 7, 310, 290};
    GUIGraphics banded(320, 300, 3);
    auto& element = static_cast<Striped&>(
        banded.addChild(std::make_unique<Striped>(banded.getContext(), box, true)));
    GUIGraphics serial(320, 300, 3);
    serial.addChild(std::make_unique<Striped>(serial.getContext(), box, false));
    HeadlessWindow& bandedWindow = banded.openHeadlessEditor();
    HeadlessWindow& serialWindow = serial.openHeadlessEditor();
    // Two dirty rectangles, one crossing the box's edge and one inside it.
    const IntRect dirty[2] = {{0, 0, 320, 150}, {40, 150, 280, 299}};
    for (GUIGraphics* g : {&banded, &serial}) {
        g->getContext().addDirtyRect(dirty[0]);
        g->getContext().addDirtyRect(dirty[1]);
    }
    bandedWindow.tick();
    serialWindow.tick();
    element.calls = 0;
    element.received.clear();
    for (GUIGraphics* g : {&banded, &serial}) {
        g->getContext().addDirtyRect(dirty[0]);
        g->getContext().addDirtyRect(dirty[1]);
    }
    bandedWindow.tick();
    serialWindow.tick();

    EXPECT_EQ(element.calls, 8); // two bands per painting thread: three workers and the caller
    std::vector<int> seen(320 * 300, 0);
    for (const IntRect& r : element.received)
        for (int y = r.minY; y < r.maxY; ++y)
            for (int x = r.minX; x < r.maxX; ++x) ++seen[static_cast<std::size_t>(y * 320 + x)];
    for (int y = 0; y < 300; ++y)
        for (int x = 0; x < 320; ++x) {
            const bool wanted =
                box.contains(x, y) && (dirty[0].contains(x, y) || dirty[1].contains(x, y));
            ASSERT_EQ(seen[static_cast<std::size_t>(y * 320 + x)], wanted ? 1 : 0) << x << "," << y;
        }
    EXPECT_TRUE(sameLevel0(banded.getDiffuseMap(), serial.getDiffuseMap()));
    EXPECT_TRUE(sameLevel0(banded.getDepthMap(), serial.getDepthMap()));
    EXPECT_TRUE(sameLevel0(banded.getMaterialMap(), serial.getMaterialMap()));
    EXPECT_EQ(
        std::memcmp(bandedWindow.screen().data(), serialWindow.screen().data(), 320 * 300 * 4), 0);

    // A small change is not worth a round trip through the pool.
    element.calls = 0;
    element.received.clear();
    element.markDirtyRect({20, 20, 60, 60});
    bandedWindow.tick();
    EXPECT_EQ(element.calls, 1);
    ASSERT_EQ(element.received.size(), 1u);
    EXPECT_EQ(element.received[0], (IntRect{25, 27, 65, 67}));
}

} // namespace
