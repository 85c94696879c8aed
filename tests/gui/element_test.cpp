#include "corvid/gui/bufferedelement.h"
#include "corvid/gui/context.h"
#include "corvid/gui/element.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using namespace corvid;

namespace {

// Records every call it receives in a log shared by the whole tree.
class Probe : public UIElement {
public:
    Probe(UIContext& c, std::string name, std::vector<std::string>& log, IntRect pos, int z = 0,
          bool accepts = true)
        : UIElement(c), name_(std::move(name)), log_(log), accepts_(accepts) {
        position = pos;
        zOrder = z;
    }
    Probe& child(std::string name, IntRect pos, int z = 0, bool accepts = true) {
        return static_cast<Probe&>(
            addChild(std::make_unique<Probe>(context, std::move(name), log_, pos, z, accepts)));
    }

    bool onMouseClick(int32_t x, int32_t y, MouseButton, bool, MouseState) override {
        log_.push_back(name_ + ".click(" + std::to_string(x) + "," + std::to_string(y) + ")");
        return accepts_;
    }
    bool onMouseWheel(int32_t, int32_t, float, float, MouseState) override {
        log_.push_back(name_ + ".wheel");
        return accepts_;
    }
    void onMouseMove(int32_t x, int32_t y, int32_t, int32_t, MouseState) override {
        log_.push_back(name_ + ".move(" + std::to_string(x) + "," + std::to_string(y) + ")");
    }
    void onDragStart() override { log_.push_back(name_ + ".dragStart"); }
    void onDragMove(int32_t x, int32_t y, int32_t dx, int32_t, MouseState) override {
        log_.push_back(name_ + ".dragMove(" + std::to_string(x) + "," + std::to_string(y) + ",dx" +
                       std::to_string(dx) + ")");
    }
    void onDragEnd() override { log_.push_back(name_ + ".dragEnd"); }
    void onMouseEnter() override { log_.push_back(name_ + ".enter"); }
    void onMouseExit() override { log_.push_back(name_ + ".exit"); }
    bool onKeyDown(Key) override {
        log_.push_back(name_ + ".key");
        return acceptsKeys;
    }

    bool acceptsKeys = false;

private:
    std::string name_;
    std::vector<std::string>& log_;
    bool accepts_;
};

using Log = std::vector<std::string>;

TEST(ElementDispatch, ClickOrderAroundTheParentZOrder) {
    UIContext ctx;
    Log log;
    Probe root(ctx, "root", log, {0, 0, 100, 100}, 0, false);
    root.child("low", {0, 0, 100, 100}, -1, false);
    root.child("a", {0, 0, 100, 100}, 0, false);
    root.child("high", {0, 0, 100, 100}, 5, false);
    root.child("b", {0, 0, 100, 100}, 0, false);

    EXPECT_FALSE(root.dispatchClick(10, 20, MouseButton::left, false, {}));
    // Equal z-orders equal to the parent's are tried before it, in insertion order.
    EXPECT_EQ(log, (Log{"high.click(10,20)", "a.click(10,20)", "b.click(10,20)",
                        "root.click(10,20)", "low.click(10,20)"}));
    EXPECT_EQ(ctx.dragged, nullptr);
    EXPECT_EQ(ctx.focused, nullptr);
}

TEST(ElementDispatch, AcceptedClickIsLocalAndTakesDragAndFocus) {
    UIContext ctx;
    Log log;
    Probe root(ctx, "root", log, {0, 0, 200, 200}, 0, false);
    Probe& miss = root.child("miss", {150, 150, 160, 160}, 1);
    Probe& hit = root.child("hit", {40, 30, 80, 60});
    EXPECT_TRUE(root.dispatchClick(45, 35, MouseButton::left, false, {}));
    EXPECT_EQ(log, (Log{"hit.click(5,5)", "hit.dragStart"}));
    EXPECT_EQ(ctx.dragged, &hit);
    EXPECT_EQ(ctx.focused, &hit);
    (void)miss;

    // The right and bottom edges are outside.
    log.clear();
    EXPECT_FALSE(root.dispatchClick(80, 35, MouseButton::left, false, {}));
    EXPECT_FALSE(root.dispatchClick(45, 60, MouseButton::left, false, {}));
    EXPECT_EQ(log, (Log{"root.click(80,35)", "root.click(45,60)"}));
}

TEST(ElementDispatch, ClickDuringAnotherDragEndsTheOldDragFirst) {
    UIContext ctx;
    Log log;
    Probe root(ctx, "root", log, {0, 0, 100, 100}, 0, false);
    Probe& a = root.child("a", {0, 0, 50, 50});
    Probe& b = root.child("b", {50, 0, 100, 50});
    root.dispatchClick(10, 10, MouseButton::left, false, {});
    ASSERT_EQ(ctx.dragged, &a);
    log.clear();
    root.dispatchClick(60, 10, MouseButton::right, false, {});
    EXPECT_EQ(log, (Log{"b.click(10,10)", "a.dragEnd", "b.dragStart"}));
    EXPECT_EQ(ctx.dragged, &b);
    EXPECT_EQ(ctx.focused, &b);
}

TEST(ElementDispatch, WheelLeavesDragAndFocusAlone) {
    UIContext ctx;
    Log log;
    Probe root(ctx, "root", log, {0, 0, 100, 100}, 0, false);
    root.child("a", {0, 0, 50, 50});
    EXPECT_TRUE(root.dispatchWheel(10, 10, 0.0f, 1.0f, {}));
    EXPECT_EQ(log, (Log{"a.wheel"}));
    EXPECT_EQ(ctx.dragged, nullptr);
    EXPECT_EQ(ctx.focused, nullptr);
}

TEST(ElementDispatch, MovesReachEveryElementWithEnterExitAndDrag) {
    UIContext ctx;
    Log log;
    Probe root(ctx, "root", log, {0, 0, 100, 100}, 0, false);
    Probe& a = root.child("a", {10, 10, 30, 30});
    root.child("b", {20, 20, 40, 40}, 0, false);
    root.dispatchClick(15, 15, MouseButton::left, false, {});
    log.clear();

    EXPECT_TRUE(root.dispatchMove(25, 25, 10, 0, {}));
    EXPECT_EQ(log, (Log{"a.dragMove(15,15,dx10)", "a.enter", "a.move(15,15)", "b.enter",
                        "b.move(5,5)", "root.enter", "root.move(25,25)"}));
    EXPECT_TRUE(a.isMouseOver()); // overlapping elements are both under the pointer

    log.clear();
    EXPECT_FALSE(root.dispatchMove(150, 150, 125, 0, {}));
    // The drag follows the pointer outside the element and the window.
    EXPECT_EQ(log, (Log{"a.dragMove(140,140,dx125)", "a.exit", "b.exit", "root.exit"}));
}

TEST(ElementDispatch, KeysGoToTheFocusedElementThenThroughTheTree) {
    UIContext ctx;
    Log log;
    Probe root(ctx, "root", log, {0, 0, 100, 100}, 0, false);
    Probe& a = root.child("a", {0, 0, 50, 50});
    Probe& a1 = a.child("a1", {0, 0, 10, 10}, 0, false);
    Probe& b = root.child("b", {50, 0, 100, 50});

    EXPECT_FALSE(root.dispatchKeyDown(Key::space));
    EXPECT_EQ(log, (Log{"root.key", "a.key", "a1.key", "b.key"}));

    root.dispatchClick(60, 10, MouseButton::left, false, {});
    log.clear();
    b.acceptsKeys = true;
    EXPECT_TRUE(root.dispatchKeyDown(Key::enter));
    EXPECT_EQ(log, (Log{"b.key"}));

    // A focused element that declines is asked again during the walk.
    b.acceptsKeys = false;
    a1.acceptsKeys = true;
    log.clear();
    EXPECT_TRUE(root.dispatchKeyDown(Key::digit3));
    EXPECT_EQ(log, (Log{"b.key", "root.key", "a.key", "a1.key"}));
}

TEST(ElementDispatch, InvisibleParentHidesChildrenFromDrawingOnly) {
    UIContext ctx;
    Log log;
    Probe root(ctx, "root", log, {0, 0, 100, 100}, 0, false);
    Probe& parent = root.child("parent", {0, 0, 50, 50}, 0, false);
    Probe& kid = parent.child("kid", {0, 0, 20, 20});
    kid.acceptsKeys = true;
    parent.setVisible(false);

    std::vector<UIElement*> visible;
    root.collectVisibleElements(visible);
    EXPECT_EQ(visible, (std::vector<UIElement*>{&root}));

    EXPECT_TRUE(root.dispatchMove(5, 5, 0, 0, {}));
    EXPECT_TRUE(kid.isMouseOver());
    EXPECT_TRUE(root.dispatchClick(5, 5, MouseButton::left, false, {}));
    EXPECT_EQ(ctx.dragged, &kid);
    EXPECT_TRUE(root.dispatchKeyDown(Key::space));
}

TEST(ElementDispatch, DestroyedElementIsForgottenByTheContext) {
    UIContext ctx;
    Log log;
    {
        Probe a(ctx, "a", log, {0, 0, 10, 10});
        a.dispatchClick(1, 1, MouseButton::left, false, {});
        ASSERT_EQ(ctx.dragged, &a);
    }
    EXPECT_EQ(ctx.dragged, nullptr);
    EXPECT_EQ(ctx.focused, nullptr);
}

TEST(ElementDirty, RectanglesAreTranslatedAndNotCutToTheElement) {
    UIContext ctx;
    UIElement e(ctx);
    e.setPosition({100, 50, 140, 70});
    e.markDirtyRect({-10, -5, 50, 5});
    ASSERT_EQ(ctx.dirtyList.size(), 1u);
    EXPECT_EQ(ctx.dirtyList[0], (IntRect{90, 45, 150, 55}));
    e.markDirty();
    std::vector<IntRect> taken;
    ctx.takeDirtyRects(taken);
    EXPECT_TRUE(ctx.dirtyList.empty());
    EXPECT_EQ(taken.size(), 4u); // three pieces of the first around the second
}

// Full-window maps filled with a sentinel, for painting checks.
struct Maps {
    OwnedImage<RGBA> diffuse, material;
    OwnedImage<L16> depth;
    Maps(int w, int h) : diffuse(w, h), material(w, h), depth(w, h) {
        diffuse.fill({1, 2, 3, 4});
        material.fill({5, 6, 7, 8});
        depth.fill(L16(9));
    }
    void paint(UIElement& e, const std::vector<IntRect>& dirty) {
        e.paintElement(diffuse.asView(), depth.asView(), material.asView(), dirty);
    }
};

TEST(ElementPaint, PlaceholderCheckerboardOnlyInsideDirtyParts) {
    UIContext ctx;
    UIElement e(ctx);
    e.setPosition({10, 10, 40, 40});
    Maps maps(64, 64);
    maps.paint(e, {{0, 0, 20, 20}, {30, 30, 64, 64}});
    EXPECT_EQ(maps.diffuse.pixelAt(10, 10), (RGBA{150, 150, 150, 0}));
    EXPECT_EQ(maps.diffuse.pixelAt(18, 10), (RGBA{100, 100, 100, 0})); // local x 8
    EXPECT_EQ(maps.diffuse.pixelAt(18, 18), (RGBA{150, 150, 150, 0})); // 8 ^ 8
    EXPECT_EQ(maps.depth.pixelAt(19, 19).l, 15000);
    EXPECT_EQ(maps.material.pixelAt(35, 35), (RGBA{128, 25, 128, 255}));
    EXPECT_EQ(maps.diffuse.pixelAt(25, 25), (RGBA{1, 2, 3, 4})); // not dirty
    EXPECT_EQ(maps.diffuse.pixelAt(45, 45), (RGBA{1, 2, 3, 4})); // dirty, outside
    EXPECT_EQ(maps.diffuse.pixelAt(9, 9), (RGBA{1, 2, 3, 4}));
}

TEST(ElementPaint, ElementsReachingPastTheWindowStayInsideTheMaps) {
    UIContext ctx;
    UIElement left(ctx), right(ctx), outside(ctx);
    left.setPosition({-30, -30, 10, 10});
    right.setPosition({50, 50, 90, 90});
    outside.setPosition({70, 0, 90, 10});
    Maps maps(64, 64);
    const std::vector<IntRect> all{{-100, -100, 200, 200}};
    maps.paint(left, all);
    maps.paint(right, all);
    maps.paint(outside, all);
    EXPECT_EQ(maps.depth.pixelAt(9, 9).l, 15000);
    EXPECT_EQ(maps.depth.pixelAt(10, 10).l, 9);
    EXPECT_EQ(maps.depth.pixelAt(63, 63).l, 15000);
    EXPECT_EQ(maps.depth.pixelAt(49, 49).l, 9);
}

class Layered : public UIBufferedElement {
public:
    using UIBufferedElement::UIBufferedElement;
    int paints = 0;
    void paintLayers(const ImageView<RGBA>& diffuse, const ImageView<L16>& depth,
                     const ImageView<RGBA>&, const ImageView<L8>& diffuseOpacity,
                     const ImageView<L8>& depthOpacity, const ImageView<L8>&) override {
        ++paints;
        // Left column opaque, second column half, the rest untouched (opacity 0).
        for (int y = 0; y < diffuse.height(); ++y) {
            diffuse.at(0, y) = {200, 100, 50, 255};
            diffuseOpacity.at(0, y) = L8(255);
            diffuse.at(1, y) = {200, 100, 50, 255};
            diffuseOpacity.at(1, y) = L8(128);
            depth.at(0, y) = L16(60000);
            depthOpacity.at(0, y) = L8(255);
            depth.at(1, y) = L16(60000);
            depthOpacity.at(1, y) = L8(128);
        }
    }
};

TEST(BufferedElement, LayersBlendByOpacityAndRepaintOnlyWhenDirty) {
    UIContext ctx;
    Layered e(ctx);
    e.setPosition({4, 4, 12, 12});
    Maps maps(16, 16);
    maps.paint(e, {{0, 0, 16, 16}});
    EXPECT_EQ(e.paints, 1);
    EXPECT_EQ(maps.diffuse.pixelAt(4, 5), (RGBA{200, 100, 50, 255}));
    EXPECT_EQ(maps.diffuse.pixelAt(5, 5), (RGBA{blendByte(200, 1, 128), blendByte(100, 2, 128),
                                                blendByte(50, 3, 128), blendByte(255, 4, 128)}));
    EXPECT_EQ(maps.diffuse.pixelAt(6, 5), (RGBA{1, 2, 3, 4}));
    EXPECT_NEAR(maps.depth.pixelAt(4, 5).l, 60000, 1);
    EXPECT_EQ(maps.depth.pixelAt(5, 5).l, blendDepth(60000, 9, 128));
    EXPECT_EQ(maps.material.pixelAt(4, 5), (RGBA{5, 6, 7, 8})); // material mask stayed 0

    maps.paint(e, {{0, 0, 16, 16}});
    EXPECT_EQ(e.paints, 1) << "unchanged layers are reused";
    e.markDirty();
    maps.paint(e, {{0, 0, 16, 16}});
    EXPECT_EQ(e.paints, 2);
    e.setPosition({4, 4, 14, 12});
    maps.paint(e, {{0, 0, 16, 16}});
    EXPECT_EQ(e.paints, 3) << "a size change repaints";
    e.setPosition({4, 4, 4, 4});
    maps.paint(e, {{0, 0, 16, 16}});
    EXPECT_EQ(e.paints, 3) << "an empty element is not drawn";
}

TEST(BufferedElement, BlendEndpointsAndRounding) {
    for (int s = 0; s < 256; s += 17)
        for (int d = 0; d < 256; d += 15) {
            EXPECT_EQ(blendByte(uint8_t(s), uint8_t(d), 255), s);
            EXPECT_EQ(blendByte(uint8_t(s), uint8_t(d), 0), d);
        }
    EXPECT_EQ(blendByte(255, 0, 128), 128);
    // Depth divides by 65536, so an opaque layer lands within one step of its value
    // and never overflows at the top of the range.
    EXPECT_EQ(blendDepth(65535, 0, 255), 65534);
    EXPECT_EQ(blendDepth(0, 65535, 255), 0);
    EXPECT_EQ(blendDepth(65535, 65535, 128), 65534);
    EXPECT_EQ(blendDepth(40000, 0, 128), 20078);
}

} // namespace

namespace {

TEST(Context, EnvironmentMapTakesTheImageAsLevelZero) {
    UIContext ctx;
    ASSERT_EQ(ctx.skybox->levelCount(), 11); // the 1024 x 1024 default
    auto image = std::make_unique<OwnedImage<RGBA>>(1024, 768);
    image->fill({10, 20, 30, 255});
    image->pixelAt(5, 7) = {200, 0, 0, 255};
    const RGBA* pixels = image->data();
    ctx.setEnvironmentMap(std::move(image));
    ASSERT_EQ(ctx.skybox->levelCount(), 10); // 768 halves to 1 after nine steps
    EXPECT_EQ(ctx.skybox->level(0).data(), pixels);
    EXPECT_EQ(ctx.skybox->level(0).pixelAt(5, 7), (RGBA{200, 0, 0, 255}));
    EXPECT_EQ(ctx.skybox->level(9).width(), 2);

    ctx.setEnvironmentMap(nullptr); // nothing to show: the old environment stays
    EXPECT_EQ(ctx.skybox->level(0).data(), pixels);
}

} // namespace
