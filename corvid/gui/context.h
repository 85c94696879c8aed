#pragma once
// State shared by every element of one editor: who has the keyboard and the drag,
// the environment reflected by metallic surfaces, and the dirty rectangles the
// next redraw has to repaint.

#include "corvid/graphics/color.h"
#include "corvid/graphics/image.h"
#include "corvid/graphics/mipmap.h"
#include "corvid/graphics/rect.h"

#include <memory>
#include <mutex>
#include <vector>

namespace corvid {

class UIElement;

class UIContext {
public:
    UIContext();
    virtual ~UIContext();

    UIContext(const UIContext&) = delete;
    UIContext& operator=(const UIContext&) = delete;

    // Replaces the skybox with a mipmap built on the given image (which becomes its
    // level 0). GUI thread, outside a redraw.
    virtual void setEnvironmentMap(std::unique_ptr<OwnedImage<RGBA>> image);

    // Any thread. Adds a window rectangle to the dirty list, keeping the list
    // pairwise disjoint.
    void addDirtyRect(const IntRect& rect);

    // Appends the dirty list to `out` and empties it, in one step under the lock,
    // so no rectangle added meanwhile is lost.
    void takeDirtyRects(std::vector<IntRect>& out);

    // Receives key events first; the element that last accepted a click.
    UIElement* focused = nullptr;
    // The element that accepted the last click, until the button is released.
    UIElement* dragged = nullptr;
    std::unique_ptr<Mipmap<RGBA>> skybox;
    // Window rectangles to redraw; pairwise disjoint. Guarded by dirtyListMutex.
    std::vector<IntRect> dirtyList;
    std::recursive_mutex dirtyListMutex;
};

} // namespace corvid
