#include "corvid/gui/element.h"

#include "corvid/gui/context.h"

#include <algorithm>
#include <mutex>
#include <utility>

namespace corvid {

namespace {
constexpr RGBA kCheckerDark{100, 100, 100, 0};
constexpr RGBA kCheckerLight{150, 150, 150, 0};
constexpr std::uint16_t kPlaceholderDepth = 15000;
constexpr RGBA kPlaceholderMaterial{128, 25, 128, 255};
} // namespace

UIElement::UIElement(UIContext& ctx) : context(ctx) {}

UIElement::~UIElement() {
    // The context outlives its elements; it must not keep pointing at one that is
    // gone, or the next release or key press would call into freed memory.
    if (context.focused == this) context.focused = nullptr;
    if (context.dragged == this) context.dragged = nullptr;
}

void UIElement::arrange(const IntRect& availableSpace) {
    setPosition(availableSpace);
    for (auto& child : children) child->arrange(availableSpace);
}

bool UIElement::onMouseClick(std::int32_t, std::int32_t, MouseButton, bool, MouseState) {
    return false;
}
bool UIElement::onMouseWheel(std::int32_t, std::int32_t, float, float, MouseState) {
    return false;
}
void UIElement::onMouseMove(std::int32_t, std::int32_t, std::int32_t, std::int32_t, MouseState) {}
void UIElement::onDragStart() {}
void UIElement::onDragMove(std::int32_t, std::int32_t, std::int32_t, std::int32_t, MouseState) {}
void UIElement::onDragEnd() {}
void UIElement::onMouseEnter() {}
void UIElement::onMouseExit() {}
bool UIElement::onKeyDown(Key) {
    return false;
}
bool UIElement::onKeyUp(Key) {
    return false;
}

void UIElement::animateTree(double dt, double time) {
    animateSelf(dt, time);
    for (auto& child : children) child->animateTree(dt, time);
}

void UIElement::setPosition(const IntRect& rect) {
    std::lock_guard<std::recursive_mutex> lock(context.dirtyListMutex);
    position = rect;
}

// Any thread: the position is read under the lock setPosition writes it under.
void UIElement::markDirty() {
    std::lock_guard<std::recursive_mutex> lock(context.dirtyListMutex);
    context.addDirtyRect(position);
}

void UIElement::markDirtyRect(const IntRect& rect) {
    std::lock_guard<std::recursive_mutex> lock(context.dirtyListMutex);
    context.addDirtyRect(rect.translated(position.minX, position.minY));
}

void UIElement::paintMaps(const ImageView<RGBA>& diffuseMap, const ImageView<L16>& depthMap,
                          const ImageView<RGBA>& materialMap,
                          const std::vector<IntRect>& dirtyRects) {
    for (const IntRect& dirty : dirtyRects) {
        const IntRect r = dirty.intersect(diffuseMap.bounds());
        for (std::int32_t y = r.minY; y < r.maxY; ++y) {
            RGBA* diffuse = diffuseMap.row(y);
            // The checker colour changes every 8 pixels, so the row is filled in runs.
            for (std::int32_t x = r.minX; x < r.maxX;) {
                const std::int32_t runEnd = std::min((x | 7) + 1, r.maxX);
                std::fill(diffuse + x, diffuse + runEnd,
                          ((x ^ y) & 8) != 0 ? kCheckerDark : kCheckerLight);
                x = runEnd;
            }
            std::fill(depthMap.row(y) + r.minX, depthMap.row(y) + r.maxX, L16(kPlaceholderDepth));
            std::fill(materialMap.row(y) + r.minX, materialMap.row(y) + r.maxX,
                      kPlaceholderMaterial);
        }
    }
}

void UIElement::animateSelf(double, double) {}

template <typename Handler, typename ChildDispatch>
bool UIElement::dispatchPointer(std::int32_t x, std::int32_t y, Handler&& handler,
                                ChildDispatch&& childDispatch) {
    childrenByZ.clear();
    for (auto& child : children) childrenByZ.push_back(child.get());
    // Stable, so children of equal z-order are tried in insertion order.
    std::stable_sort(childrenByZ.begin(), childrenByZ.end(),
                     [](const UIElement* a, const UIElement* b) { return a->zOrder > b->zOrder; });

    // Recursion reuses each child's own scratch list, so a copy of the iteration
    // range is not needed; the index keeps working if a handler appends children.
    std::size_t i = 0;
    for (; i < childrenByZ.size() && childrenByZ[i]->zOrder >= zOrder; ++i) {
        if (childDispatch(*childrenByZ[i])) return true;
    }
    if (position.contains(x, y) && handler(x - position.minX, y - position.minY)) return true;
    for (; i < childrenByZ.size(); ++i) {
        if (childDispatch(*childrenByZ[i])) return true;
    }
    return false;
}

bool UIElement::dispatchClick(std::int32_t x, std::int32_t y, MouseButton button,
                              bool isDoubleClick, MouseState state) {
    return dispatchPointer(
        x, y,
        [&](std::int32_t lx, std::int32_t ly) {
            if (!onMouseClick(lx, ly, button, isDoubleClick, state)) return false;
            if (context.dragged != nullptr) {
                context.dragged->onDragEnd();
                context.dragged = nullptr;
            }
            context.dragged = this;
            onDragStart();
            context.focused = this;
            return true;
        },
        [&](UIElement& child) { return child.dispatchClick(x, y, button, isDoubleClick, state); });
}

bool UIElement::dispatchWheel(std::int32_t x, std::int32_t y, float wheelDeltaX, float wheelDeltaY,
                              MouseState state) {
    return dispatchPointer(
        x, y,
        [&](std::int32_t lx, std::int32_t ly) {
            return onMouseWheel(lx, ly, wheelDeltaX, wheelDeltaY, state);
        },
        [&](UIElement& child) {
            return child.dispatchWheel(x, y, wheelDeltaX, wheelDeltaY, state);
        });
}

bool UIElement::dispatchMove(std::int32_t x, std::int32_t y, std::int32_t dx, std::int32_t dy,
                             MouseState state) {
    if (context.dragged == this) onDragMove(x - position.minX, y - position.minY, dx, dy, state);
    for (std::size_t i = 0; i < children.size(); ++i)
        children[i]->dispatchMove(x, y, dx, dy, state);
    if (position.contains(x, y)) {
        if (!mouseOver) onMouseEnter();
        onMouseMove(x - position.minX, y - position.minY, dx, dy, state);
        mouseOver = true;
        return true;
    }
    if (mouseOver) onMouseExit();
    mouseOver = false;
    return false;
}

bool UIElement::dispatchKeyDown(Key key) {
    if (context.focused != nullptr && context.focused->onKeyDown(key)) return true;
    return dispatchKeyTree(key, true);
}

bool UIElement::dispatchKeyUp(Key key) {
    if (context.focused != nullptr && context.focused->onKeyUp(key)) return true;
    return dispatchKeyTree(key, false);
}

bool UIElement::dispatchKeyTree(Key key, bool down) {
    if (down ? onKeyDown(key) : onKeyUp(key)) return true;
    for (std::size_t i = 0; i < children.size(); ++i) {
        if (children[i]->dispatchKeyTree(key, down)) return true;
    }
    return false;
}

void UIElement::paintElement(const ImageView<RGBA>& diffuseMap, const ImageView<L16>& depthMap,
                             const ImageView<RGBA>& materialMap,
                             const std::vector<IntRect>& dirtyRects) {
    paintElementInto(diffuseMap, depthMap, materialMap, dirtyRects, localDirtyRects);
}

void UIElement::paintElementInto(const ImageView<RGBA>& diffuseMap, const ImageView<L16>& depthMap,
                                 const ImageView<RGBA>& materialMap,
                                 const std::vector<IntRect>& dirtyRects,
                                 std::vector<IntRect>& local) {
    const IntRect clipped = position.intersect(diffuseMap.bounds());
    if (clipped.isEmpty()) return;
    // Local rectangles are measured from the crop's origin. For an element that
    // lies wholly inside the window that is its own top-left corner; for one that
    // reaches past the left or top edge it keeps every rectangle inside the crop.
    local.clear();
    for (const IntRect& dirty : dirtyRects) {
        const IntRect part = dirty.intersect(clipped);
        if (!part.isEmpty()) local.push_back(part.translated(-clipped.minX, -clipped.minY));
    }
    if (local.empty()) return;
    paintMaps(diffuseMap.crop(clipped), depthMap.crop(clipped), materialMap.crop(clipped), local);
}

void UIElement::collectVisibleElements(std::vector<UIElement*>& list) {
    if (!visible) return;
    list.push_back(this);
    for (auto& child : children) child->collectVisibleElements(list);
}

UIElement& UIElement::addChild(std::unique_ptr<UIElement> element) {
    children.push_back(std::move(element));
    return *children.back();
}

} // namespace corvid
