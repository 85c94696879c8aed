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

// How far the lighting of one pixel reads level 0 of the maps around it: the
// normals and the curvature read the 3 x 3 neighbourhood, the key light's shadow
// ray walks ten pixels towards the upper right. So a changed pixel changes the
// light of pixels up to ten to its left and below it.
constexpr std::int32_t kNormalReach = 1;
constexpr std::int32_t kShadowReach = 10;

MipFilter diffuseFilter(int level) {
    return level == 1 ? MipFilter::alphaWeightedBox : MipFilter::cubic;
}
MipFilter depthFilter(int level) {
    return level <= 2 ? MipFilter::box : MipFilter::cubic;
}

IntRect unite(const IntRect& a, const IntRect& b) {
    if (a.isEmpty()) return b;
    if (b.isEmpty()) return a;
    return {std::min(a.minX, b.minX), std::min(a.minY, b.minY), std::max(a.maxX, b.maxX),
            std::max(a.maxY, b.maxY)};
}

template <typename T>
void saveArea(const OwnedImage<T>& image, const IntRect& r, std::vector<T>& out) {
    for (std::int32_t y = r.minY; y < r.maxY; ++y) {
        const T* row = image.rowSpan(y).data();
        out.insert(out.end(), row + r.minX, row + r.maxX);
    }
}

// Bounding box of the pixels of r that differ from the copy saveArea took.
template <typename T>
IntRect changedArea(const OwnedImage<T>& image, const IntRect& r, const T* saved) {
    IntRect changed{};
    const auto w = static_cast<std::size_t>(r.width());
    for (std::int32_t y = r.minY; y < r.maxY; ++y, saved += w) {
        const T* row = image.rowSpan(y).data() + r.minX;
        if (std::memcmp(row, saved, w * sizeof(T)) == 0) continue;
        std::size_t first = 0, last = w;
        while (std::memcmp(row + first, saved + first, sizeof(T)) == 0) ++first;
        while (std::memcmp(row + last - 1, saved + last - 1, sizeof(T)) == 0) --last;
        changed = unite(changed, {r.minX + static_cast<std::int32_t>(first), y,
                                  r.minX + static_cast<std::int32_t>(last), y + 1});
    }
    return changed;
}
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
    const std::vector<IntRect>* changedAreas() override { return &graphics.getRelitAreas(); }
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

void GUIGraphics::relightAll() {
    relightWindow = true;
    grownAreas.push_back({0, 0, width, height});
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
    relightEverything = true;
    // The maps were just reallocated and hold nothing yet: everything has to be
    // painted by the paint that follows, not only what happened to be dirty.
    uiContext.addDirtyRect({0, 0, width, height});
    collectDirtyAreas();
    return windowImage.asView();
}

IntRect GUIGraphics::lightingReach(const IntRect& rect, int level, std::int32_t levelWidth,
                                   std::int32_t levelHeight) const {
    if (rect.isEmpty()) return {};
    const IntRect window{0, 0, width, height};
    if (level == 0)
        return IntRect{rect.minX - kShadowReach, rect.minY - kNormalReach, rect.maxX + kNormalReach,
                       rect.maxY + kShadowReach}
            .intersect(window);
    // Level k is read bilinearly at ((x + 0.5) / 2^k - 0.5, ...): pixel i of it is
    // one of the four taps of window pixels 2^k (i - 1/2) .. 2^k (i + 3/2) - 1.
    // Reads are clamped inside the level, so the taps of its first two and last
    // two pixels also serve every window pixel beyond them.
    const std::int32_t half = 1 << (level - 1);
    const auto low = [&](std::int32_t a) { return a <= 1 ? 0 : (a << level) - half; };
    const auto high = [&](std::int32_t b, std::int32_t size, std::int32_t limit) {
        return b >= size - 1 ? limit : (b << level) + half;
    };
    return IntRect{low(rect.minX), low(rect.minY), high(rect.maxX, levelWidth, width),
                   high(rect.maxY, levelHeight, height)}
        .intersect(window);
}

IntRect GUIGraphics::growDirtyRect(const IntRect& rect, std::int32_t w, std::int32_t h) {
    IntRect grown{std::max(rect.minX - redrawMargin, 0), std::max(rect.minY - redrawMargin, 0),
                  std::min(rect.maxX + redrawMargin, w), std::min(rect.maxY + redrawMargin, h)};
    if (!growByLightingReach) return grown;
    // Whatever the rectangle's pixels become, no lit pixel beyond the reach of
    // its changes on every mipmap level can change.
    const IntRect window{0, 0, std::min(w, width), std::min(h, height)};
    const IntRect clipped = rect.intersect(window);
    if (clipped.isEmpty() || diffuseMap->levelCount() == 0 || depthMap->levelCount() == 0)
        return grown;
    grown = unite(grown, lightingReach(clipped, 0, width, height).intersect(window));
    IntRect r = clipped;
    for (int level = 1; level < diffuseMap->levelCount() && !r.isEmpty(); ++level) {
        r = diffuseMap->nextLevelRect(diffuseFilter(level), level, r);
        const OwnedImage<RGBA>& l = diffuseMap->level(level);
        grown = unite(grown, lightingReach(r, level, l.width(), l.height()).intersect(window));
    }
    r = clipped;
    for (int level = 1; level < depthMap->levelCount() && !r.isEmpty(); ++level) {
        r = depthMap->nextLevelRect(depthFilter(level), level, r);
        const OwnedImage<L16>& l = depthMap->level(level);
        grown = unite(grown, lightingReach(r, level, l.width(), l.height()).intersect(window));
    }
    return grown;
}

void GUIGraphics::collectDirtyAreas() {
    uiContext.takeDirtyRects(pendingDirtyRects);
    makeDisjoint(pendingDirtyRects, scratchRects);
    grownAreas.clear();
    changedRects.clear();
    const IntRect window{0, 0, width, height};
    if (relightWindow) grownAreas.push_back(window);
    for (const IntRect& r : pendingDirtyRects) {
        grownAreas.push_back(growDirtyRect(r, width, height));
        // Until the paint knows better, every dirty pixel counts as changed.
        const IntRect clipped = r.intersect(window);
        if (!clipped.isEmpty()) changedRects.push_back(clipped);
    }
}

void GUIGraphics::paintWindow(PixelFormat pixelFormat) {
    disjointAreas.clear();
    statistics.lastPixelsRelit = 0;
    ++statistics.paints;
    if (diffuseMap->levelCount() == 0 || depthMap->levelCount() == 0 ||
        materialMap->levelCount() == 0) {
        pendingDirtyRects.clear();
        grownAreas.clear();
        return;
    }
    const IntRect window{0, 0, width, height};
    // When the whole window is relit anyway, finding which pixels changed would
    // only cost a copy and a comparison of every map.
    if (relightWindow) relightEverything = true;
    const bool everything = relightEverything;
    savedDiffuse.clear();
    savedDepth.clear();
    savedMaterial.clear();
    if (!everything) {
        for (const IntRect& r : pendingDirtyRects) {
            const IntRect clipped = r.intersect(window);
            saveArea(diffuseMap->level(0), clipped, savedDiffuse);
            saveArea(depthMap->level(0), clipped, savedDepth);
            saveArea(materialMap->level(0), clipped, savedMaterial);
        }
    }
    paintElements();
    // Only what the elements really changed is carried up the mipmaps; a view
    // that repaints its whole box for a moving dot changes little of it.
    changedRects.clear();
    std::size_t offset = 0;
    for (const IntRect& r : pendingDirtyRects) {
        const IntRect clipped = r.intersect(window);
        if (clipped.isEmpty()) continue;
        if (everything) {
            changedRects.push_back(clipped);
            continue;
        }
        const IntRect changed =
            unite(unite(changedArea(diffuseMap->level(0), clipped, savedDiffuse.data() + offset),
                        changedArea(depthMap->level(0), clipped, savedDepth.data() + offset)),
                  changedArea(materialMap->level(0), clipped, savedMaterial.data() + offset));
        offset +=
            static_cast<std::size_t>(clipped.width()) * static_cast<std::size_t>(clipped.height());
        if (!changed.isEmpty()) changedRects.push_back(changed);
    }
    rebuildMipmaps();
    // Every area is lit in whole tiles of the window's own tile grid, as a full
    // relight cuts it: the kernels may treat a pixel by its place in the tile
    // (vector lanes, a row's tail), and their paths may differ by one step, so a
    // pixel lit in a tile cut elsewhere could come out unlike its neighbours.
    const auto relight = [&](const IntRect& r) {
        const IntRect tiles = alignedToTiles(r).intersect(window);
        if (!tiles.isEmpty()) addDisjointRect(disjointAreas, tiles);
    };
    if (relightWindow) relight(window);
    if (everything) {
        // Areas gathered before a size change may reach past the window now.
        for (const IntRect& r : grownAreas) relight(r);
    } else {
        for (const IntRect& r : changedRects) relight(lightingReach(r, 0, width, height));
        for (const IntRect& r : diffuseReach) relight(r);
        for (const IntRect& r : depthReach) relight(r);
    }
    lightAreas(pixelFormat);
    for (const IntRect& r : disjointAreas)
        statistics.lastPixelsRelit += static_cast<std::int64_t>(r.width()) * r.height();
    statistics.pixelsRelit += static_cast<std::uint64_t>(statistics.lastPixelsRelit);
    // The paint used up everything gathered: until something new is dirtied, a
    // further paint (an expose, a pump with nothing to do) only shows the image.
    pendingDirtyRects.clear();
    grownAreas.clear();
    relightEverything = false;
    relightWindow = false;
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
        if (end - start == 1 && paintInBands(*elementsToPaint[start], diffuse, depth, material)) {
            start = end;
            continue;
        }
        threadPool->runParallelWithCaller(static_cast<int>(end - start), [&](int j) {
            elementsToPaint[start + static_cast<std::size_t>(j)]->paintElement(
                diffuse, depth, material, pendingDirtyRects);
        });
        start = end;
    }
}

bool GUIGraphics::paintInBands(UIElement& element, const ImageView<RGBA>& diffuse,
                               const ImageView<L16>& depth, const ImageView<RGBA>& material) {
    const int workers = threadPool->workerCount();
    if (!element.paintsInBands() || workers < 2) return false;
    const IntRect box = element.getPosition().intersect({0, 0, width, height});
    std::int64_t dirtyPixels = 0;
    for (const IntRect& r : pendingDirtyRects) {
        const IntRect part = r.intersect(box);
        if (!part.isEmpty()) dirtyPixels += static_cast<std::int64_t>(part.width()) * part.height();
    }
    // Twice as many bands as threads painting them (the workers and this one), so
    // that a thread held up by another process leaves the rest to the others.
    const std::int32_t bands = std::min(2 * (workers + 1), box.height() / kMinPaintBandRows);
    if (dirtyPixels < kMinBandedPaintPixels || bands < 2) return false;
    const auto count = static_cast<std::size_t>(bands);
    if (bandRects.size() < count) {
        bandRects.resize(count);
        bandLocalRects.resize(count);
    }
    for (std::int32_t b = 0; b < bands; ++b) {
        const IntRect band{box.minX, box.minY + box.height() * b / bands, box.maxX,
                           box.minY + box.height() * (b + 1) / bands};
        std::vector<IntRect>& rects = bandRects[static_cast<std::size_t>(b)];
        rects.clear();
        for (const IntRect& r : pendingDirtyRects) {
            const IntRect part = r.intersect(band);
            if (!part.isEmpty()) rects.push_back(part);
        }
    }
    threadPool->runParallelWithCaller(bands, [&](int b) {
        const auto i = static_cast<std::size_t>(b);
        element.paintElementInto(diffuse, depth, material, bandRects[i], bandLocalRects[i]);
    });
    return true;
}

template <typename T>
void GUIGraphics::rebuildLevels(Mipmap<T>& map, std::vector<IntRect>& rects, std::vector<T>& saved,
                                std::vector<IntRect>& reach, bool diffuse) {
    reach.clear();
    const bool compare = !relightEverything;
    for (int level = 1; level < map.levelCount(); ++level) {
        const MipFilter filter = diffuse ? diffuseFilter(level) : depthFilter(level);
        const OwnedImage<T>& image = map.level(level);
        saved.clear();
        if (compare)
            for (const IntRect& r : rects)
                saveArea(image, map.nextLevelRect(filter, level, r), saved);
        std::size_t offset = 0;
        for (IntRect& r : rects) {
            const IntRect built = map.buildNextLevel(filter, level, r);
            if (!compare) {
                r = built;
                continue;
            }
            // A level that came out as it was stops the change going further up.
            r = changedArea(image, built, saved.data() + offset);
            offset +=
                static_cast<std::size_t>(built.width()) * static_cast<std::size_t>(built.height());
            if (!r.isEmpty())
                reach.push_back(lightingReach(r, level, image.width(), image.height()));
        }
        std::erase_if(rects, [](const IntRect& r) { return r.isEmpty(); });
    }
}

void GUIGraphics::rebuildMipmaps() {
    diffuseMipRects = changedRects;
    depthMipRects = changedRects;
    threadPool->runParallelWithCaller(2, [&](int job) {
        if (job == 0) {
            rebuildLevels(*diffuseMap, diffuseMipRects, savedDiffuseLevel, diffuseReach, true);
        } else {
            rebuildLevels(*depthMap, depthMipRects, savedDepthLevel, depthReach, false);
        }
    });
}

IntRect GUIGraphics::alignedToTiles(const IntRect& rect) {
    if (rect.isEmpty()) return {};
    const auto down = [](std::int32_t v, std::int32_t step) {
        return v >= 0 ? v / step * step : -((-v + step - 1) / step) * step;
    };
    const auto up = [&](std::int32_t v, std::int32_t step) { return -down(-v, step); };
    return {down(rect.minX, kTileWidth), down(rect.minY, kTileHeight), up(rect.maxX, kTileWidth),
            up(rect.maxY, kTileHeight)};
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
    threadPool->runParallelWithCaller(static_cast<int>(lightTiles.size()), [&](int i) {
        compositor->lightTile(output, pixelFormat, lightTiles[static_cast<std::size_t>(i)],
                              *diffuseMap, *materialMap, *depthMap, skybox);
    });
}

} // namespace corvid
