#pragma once
// One node of the editor's element tree. An element owns a window rectangle and
// its children, receives the input routed down the tree, reports what it wants
// redrawn, and paints itself into the three window-sized maps (diffuse, depth,
// material) that the compositor lights.

#include "corvid/graphics/color.h"
#include "corvid/graphics/rect.h"
#include "corvid/graphics/view.h"
#include "corvid/window/window.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace corvid {

class UIContext;

class UIElement {
public:
    explicit UIElement(UIContext& context);
    virtual ~UIElement();

    UIElement(const UIElement&) = delete;
    UIElement& operator=(const UIElement&) = delete;

    // ---- Overridable behaviour. Event coordinates are element-local; dx, dy are
    // window deltas since the previous move.

    // Takes the given rectangle and passes the same one to every child.
    virtual void arrange(const IntRect& availableSpace);
    // Returning true accepts the click: the element becomes dragged and focused.
    virtual bool onMouseClick(std::int32_t x, std::int32_t y, MouseButton button,
                              bool isDoubleClick, MouseState state);
    virtual bool onMouseWheel(std::int32_t x, std::int32_t y, float wheelDeltaX, float wheelDeltaY,
                              MouseState state);
    virtual void onMouseMove(std::int32_t x, std::int32_t y, std::int32_t dx, std::int32_t dy,
                             MouseState state);
    virtual void onDragStart();
    virtual void onDragMove(std::int32_t x, std::int32_t y, std::int32_t dx, std::int32_t dy,
                            MouseState state);
    virtual void onDragEnd();
    virtual void onMouseEnter();
    virtual void onMouseExit();
    virtual bool onKeyDown(Key key);
    virtual bool onKeyUp(Key key);
    // Animates this element, then its children in child order.
    virtual void animateTree(double dt, double time);
    // Asks for the whole element to be redrawn. Any thread.
    virtual void markDirty();
    // Asks for rect (element coordinates) to be redrawn; it is not cut to the
    // element, so an element may dirty its surroundings (a glow, a shadow).
    virtual void markDirtyRect(const IntRect& rect);
    // Draws into the maps, which are cropped so that (0, 0) is the element's
    // top-left pixel, touching only the given rectangles. Runs on a pool worker,
    // at the same time as other elements that do not overlap this one.
    virtual void paintMaps(const ImageView<RGBA>& diffuseMap, const ImageView<L16>& depthMap,
                           const ImageView<RGBA>& materialMap,
                           const std::vector<IntRect>& dirtyRects);
    virtual void animateSelf(double dt, double time);

    // ---- Routing, called on the root with window coordinates.

    // Children are tried from the highest z-order down; the element itself is
    // tried after the children at or above its own z-order and before the rest.
    bool dispatchClick(std::int32_t x, std::int32_t y, MouseButton button, bool isDoubleClick,
                       MouseState state);
    // As dispatchClick, but accepting changes neither drag nor focus.
    bool dispatchWheel(std::int32_t x, std::int32_t y, float wheelDeltaX, float wheelDeltaY,
                       MouseState state);
    // Every element sees every move; returns whether the point is inside this one.
    bool dispatchMove(std::int32_t x, std::int32_t y, std::int32_t dx, std::int32_t dy,
                      MouseState state);
    // The focused element first, then the tree depth first (an element before its
    // children); the first that handles the key ends the search.
    bool dispatchKeyDown(Key key);
    bool dispatchKeyUp(Key key);

    // Paints the part of this element under the dirty window rectangles into the
    // full-window maps (level 0), clipped to the maps.
    void paintElement(const ImageView<RGBA>& diffuseMap, const ImageView<L16>& depthMap,
                      const ImageView<RGBA>& materialMap, const std::vector<IntRect>& dirtyRects);
    // As paintElement, with the list of local rectangles supplied by the caller, so
    // that bands of an element that paints in bands can be painted at once.
    void paintElementInto(const ImageView<RGBA>& diffuseMap, const ImageView<L16>& depthMap,
                          const ImageView<RGBA>& materialMap,
                          const std::vector<IntRect>& dirtyRects, std::vector<IntRect>& local);
    // Appends this element and its visible descendants, parents before children.
    // An invisible element hides its whole subtree.
    void collectVisibleElements(std::vector<UIElement*>& list);
    // Takes ownership; returns the child for convenient configuration.
    UIElement& addChild(std::unique_ptr<UIElement> element);

    UIContext& getContext() const { return context; }
    const IntRect& getPosition() const { return position; }
    // GUI thread. Takes the context's dirty-list lock: a parameter listener may mark
    // the element dirty from another thread while the editor lays it out.
    void setPosition(const IntRect& rect);
    std::int32_t getZOrder() const { return zOrder; }
    void setZOrder(std::int32_t z) { zOrder = z; }
    bool isVisible() const { return visible; }
    void setVisible(bool v) { visible = v; }
    bool isMouseOver() const { return mouseOver; }
    bool paintsInBands() const { return bandSafePaint; }
    const std::vector<std::unique_ptr<UIElement>>& getChildren() const { return children; }

protected:
    IntRect position;
    std::vector<std::unique_ptr<UIElement>> children;
    bool visible = true;
    std::int32_t zOrder = 0;
    UIContext& context;
    bool mouseOver = false;
    // This element's part of the dirty rectangles of the paint in progress.
    std::vector<IntRect> localDirtyRects;
    // Children by descending z-order for the click and wheel dispatch in progress.
    std::vector<UIElement*> childrenByZ;
    // Set by an element whose paintMaps may run on several threads at once for
    // disjoint parts of one paint: it writes nothing outside the rectangles it is
    // given, gives every pixel the same value whichever rectangle brings it, and
    // changes no state. A large one is then painted in bands on the pool.
    bool bandSafePaint = false;

private:
    template <typename Handler, typename ChildDispatch>
    bool dispatchPointer(std::int32_t x, std::int32_t y, Handler&& handler,
                         ChildDispatch&& childDispatch);
    bool dispatchKeyTree(Key key, bool down);
};

} // namespace corvid
