#include "corvid/gui/graphics.h"

#include "corvid/gui/boxlist.h"

#ifdef _WIN32
#include "corvid/window/win32window.h"
#else
#include "corvid/window/x11window.h"
#endif

#include <algorithm>
#include <cstring>
#include <utility>

namespace corvid {

namespace {
constexpr int kDiffuseMaxLevel = 5;
constexpr int kDepthMaxLevel = 4;
constexpr int kMaterialMaxLevel = 0;
} // namespace

class GUIGraphics::WindowListener : public IWindowListener {
public:
    explicit WindowListener(GUIGraphics& owner) : graphics(owner) {}

    bool onMouseClick(std::int32_t x, std::int32_t y, MouseButton button, bool isDoubleClick,
                      MouseState state) override {
        return graphics.dispatchClick(x, y, button, isDoubleClick, state);
    }
    bool onMouseUp(std::int32_t, std::int32_t, MouseButton, MouseState) override {
        graphics.stopDrag();
        return true;
    }
    bool onMouseWheel(std::int32_t x, std::int32_t y, float wheelDeltaX, float wheelDeltaY,
                      MouseState state) override {
        return graphics.dispatchWheel(x, y, wheelDeltaX, wheelDeltaY, state);
    }
    void onMouseMove(std::int32_t x, std::int32_t y, std::int32_t dx, std::int32_t dy,
                     MouseState state) override {
        graphics.dispatchMove(x, y, dx, dy, state);
    }
    // The dispatch itself asks the focused element before walking the tree.
    bool onKeyDown(Key key) override { return graphics.dispatchKeyDown(key); }
    bool onKeyUp(Key key) override { return graphics.dispatchKeyUp(key); }
    void paintWindow(PixelFormat format) override { graphics.paintWindow(format); }
    WindowImageView onWindowResized(std::int32_t w, std::int32_t h) override {
        return graphics.onWindowResized(w, h);
    }
    void collectDirtyAreas() override { graphics.collectDirtyAreas(); }
    IntRect dirtyBounds() override { return graphics.dirtyBounds(); }
    void onCaptureLost() override { graphics.stopDrag(); }
    void animateSelf(double dt, double time) override { graphics.animateTree(dt, time); }

private:
    GUIGraphics& graphics;
};

GUIGraphics::GUIGraphics(std::int32_t w, std::int32_t h, int workerCount)
    : UIElement(*ownedContext), compositor(std::make_unique<PBRCompositor>()),
      uiContext(*ownedContext), windowListener(std::make_unique<WindowListener>(*this)),
      threadPool(workerCount > 0 ? std::make_unique<ThreadPool>(workerCount)
                                 : std::make_unique<ThreadPool>()),
      width(w), height(h), diffuseMap(std::make_unique<Mipmap<RGBA>>()),
      depthMap(std::make_unique<Mipmap<L16>>()), materialMap(std::make_unique<Mipmap<RGBA>>()) {}

GUIGraphics::~GUIGraphics() {
    closeEditor();
    // Children go now, while the pool and maps they may still point into exist.
    children.clear();
}

void* GUIGraphics::openEditor(void* parentWindow, void*, DawKind, std::int32_t backend) {
    closeEditor();
    if (backend == 0 || backend == 1) {
#ifdef _WIN32
        attachWindow(
            std::make_unique<Win32Window>(parentWindow, windowListener.get(), width, height));
#else
        // No window (no display reachable): no editor, and the host is told so.
        attachWindow(X11Window::open(parentWindow, windowListener.get(), width, height));
#endif
    } else {
        attachWindow(nullptr);
    }
    return window ? window->nativeHandle() : nullptr;
}

HeadlessWindow& GUIGraphics::openHeadlessEditor(PixelFormat format) {
    closeEditor();
    auto headless = std::make_unique<HeadlessWindow>(windowListener.get(), width, height, format);
    HeadlessWindow& result = *headless;
    attachWindow(std::move(headless));
    return result;
}

void GUIGraphics::attachWindow(std::unique_ptr<IWindow> newWindow) {
    window = std::move(newWindow);
    arrange({0, 0, width, height});
    markDirty();
}

void GUIGraphics::closeEditor() {
    window.reset();
}

void GUIGraphics::idleEditor() {
    if (window) window->pumpPendingEvents();
}

int GUIGraphics::editorEventDescriptor() {
    return window ? window->eventDescriptor() : -1;
}

bool GUIGraphics::editorWindowGone() {
    return window && window->isClosed();
}

IWindowListener& GUIGraphics::getWindowListener() {
    return *windowListener;
}

void GUIGraphics::editorSize(std::int32_t* w, std::int32_t* h) {
    if (w != nullptr) *w = width;
    if (h != nullptr) *h = height;
}

void GUIGraphics::setRedrawMargin(std::int32_t margin) {
    redrawMargin = margin;
}

IntRect GUIGraphics::dirtyBounds() const {
    return boundsOf(grownAreas);
}

void GUIGraphics::stopDrag() {
    if (uiContext.dragged != nullptr) {
        uiContext.dragged->onDragEnd();
        uiContext.dragged = nullptr;
    }
}

WindowImageView GUIGraphics::onWindowResized(std::int32_t w, std::int32_t h) {
    width = std::max(w, 0);
    height = std::max(h, 0);
    arrange({0, 0, width, height});
    diffuseMap->size(Mipmap<RGBA>::levelCountFor(kDiffuseMaxLevel, width, height), width, height);
    depthMap->size(Mipmap<L16>::levelCountFor(kDepthMaxLevel, width, height), width, height);
    materialMap->size(Mipmap<RGBA>::levelCountFor(kMaterialMaxLevel, width, height), width, height);
    windowImage.size(width, height);
    windowImage.fill({0, 0, 0, 255});
    // The maps were just reallocated and hold nothing yet: everything has to be
    // painted by the paint that follows, not only what happened to be dirty.
    uiContext.addDirtyRect({0, 0, width, height});
    collectDirtyAreas();
    return windowImage.asView();
}

IntRect GUIGraphics::growDirtyRect(const IntRect& rect, std::int32_t w, std::int32_t h) {
    return {std::max(rect.minX - redrawMargin, 0), std::max(rect.minY - redrawMargin, 0),
            std::min(rect.maxX + redrawMargin, w), std::min(rect.maxY + redrawMargin, h)};
}

void GUIGraphics::collectDirtyAreas() {
    uiContext.takeDirtyRects(pendingDirtyRects);
    makeDisjoint(pendingDirtyRects, scratchRects);
    grownAreas.clear();
    for (const IntRect& r : pendingDirtyRects)
        grownAreas.push_back(growDirtyRect(r, width, height));
}

void GUIGraphics::paintWindow(PixelFormat pixelFormat) {
    if (diffuseMap->levelCount() == 0 || depthMap->levelCount() == 0 ||
        materialMap->levelCount() == 0) {
        pendingDirtyRects.clear();
        return;
    }
    paintElements();
    disjointAreas.clear();
    // Areas gathered before a size change may reach past the window now.
    const IntRect window{0, 0, width, height};
    for (const IntRect& r : grownAreas) addDisjointRect(disjointAreas, r.intersect(window));
    rebuildMipmaps();
    lightAreas(pixelFormat);
    pendingDirtyRects.clear();
}

std::size_t GUIGraphics::endOfPaintBatch(const std::vector<UIElement*>& elements,
                                         std::size_t start) {
    std::size_t end = start + 1;
    while (end < elements.size() && end - start < kMaxPaintBatch) {
        const IntRect& next = elements[end]->getPosition();
        bool conflict = false;
        for (std::size_t k = start; k < end && !conflict; ++k)
            conflict = elements[k]->getPosition().overlaps(next);
        if (conflict) break;
        ++end;
    }
    return std::min(end, elements.size());
}

void GUIGraphics::paintElements() {
    elementsToPaint.clear();
    collectVisibleElements(elementsToPaint);
    // At equal z-order a parent is drawn before its children and siblings in the
    // order they were added.
    paintOrder.clear();
    for (std::size_t i = 0; i < elementsToPaint.size(); ++i)
        paintOrder.push_back({elementsToPaint[i]->getZOrder(), i, elementsToPaint[i]});
    std::sort(paintOrder.begin(), paintOrder.end(), [](const PaintOrder& a, const PaintOrder& b) {
        return a.zOrder != b.zOrder ? a.zOrder < b.zOrder : a.treeIndex < b.treeIndex;
    });
    for (std::size_t i = 0; i < paintOrder.size(); ++i) elementsToPaint[i] = paintOrder[i].element;
    // Elements the dirty rectangles miss would paint nothing; leaving them out keeps
    // them from splitting batches and saves a pool round trip per batch.
    const IntRect window{0, 0, width, height};
    std::erase_if(elementsToPaint, [&](const UIElement* e) {
        const IntRect clipped = e->getPosition().intersect(window);
        return std::none_of(pendingDirtyRects.begin(), pendingDirtyRects.end(),
                            [&](const IntRect& r) { return r.overlaps(clipped); });
    });

    const ImageView<RGBA> diffuse = diffuseMap->level(0).asView();
    const ImageView<L16> depth = depthMap->level(0).asView();
    const ImageView<RGBA> material = materialMap->level(0).asView();
    std::size_t start = 0;
    while (start < elementsToPaint.size()) {
        const std::size_t end = endOfPaintBatch(elementsToPaint, start);
        threadPool->runParallel(static_cast<int>(end - start), [&](int j) {
            elementsToPaint[start + static_cast<std::size_t>(j)]->paintElement(
                diffuse, depth, material, pendingDirtyRects);
        });
        start = end;
    }
}

void GUIGraphics::rebuildMipmaps() {
    const IntRect window{0, 0, width, height};
    diffuseMipRects.clear();
    depthMipRects.clear();
    for (const IntRect& r : pendingDirtyRects) {
        const IntRect clipped = r.intersect(window);
        if (clipped.isEmpty()) continue;
        diffuseMipRects.push_back(clipped);
        depthMipRects.push_back(clipped);
    }
    threadPool->runParallel(2, [&](int job) {
        if (job == 0) {
            for (int level = 1; level < diffuseMap->levelCount(); ++level) {
                const MipFilter filter =
                    level == 1 ? MipFilter::alphaWeightedBox : MipFilter::cubic;
                for (IntRect& r : diffuseMipRects) r = diffuseMap->buildNextLevel(filter, level, r);
            }
        } else {
            for (int level = 1; level < depthMap->levelCount(); ++level) {
                const MipFilter filter = level <= 2 ? MipFilter::box : MipFilter::cubic;
                for (IntRect& r : depthMipRects) r = depthMap->buildNextLevel(filter, level, r);
            }
        }
    });
}

void GUIGraphics::cutIntoTiles(const IntRect& rect, std::vector<IntRect>& tiles) {
    if (rect.isEmpty()) return;
    for (std::int32_t y = rect.minY; y < rect.maxY; y += kTileHeight)
        for (std::int32_t x = rect.minX; x < rect.maxX; x += kTileWidth)
            tiles.push_back(
                {x, y, std::min(x + kTileWidth, rect.maxX), std::min(y + kTileHeight, rect.maxY)});
}

void GUIGraphics::lightAreas(PixelFormat pixelFormat) {
    lightTiles.clear();
    for (const IntRect& r : disjointAreas) cutIntoTiles(r, lightTiles);
    const WindowImageView output = windowImage.asView();
    const Mipmap<RGBA>& skybox = *uiContext.skybox;
    threadPool->runParallel(static_cast<int>(lightTiles.size()), [&](int i) {
        compositor->lightTile(output, pixelFormat, lightTiles[static_cast<std::size_t>(i)],
                              *diffuseMap, *materialMap, *depthMap, skybox);
    });
}

} // namespace corvid
