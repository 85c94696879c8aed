#pragma once
// The root of every editor and the editor object the client hands to the host
// adapter. It owns the window, the shared context and the three window-sized maps,
// routes the window's input through the element tree and runs the incremental
// redraw: paint the touched elements in parallel, rebuild the touched parts of
// the mipmaps, light the touched area in tiles on the pool, let the window blit.

#include "corvid/client/graphics.h"
#include "corvid/core/thread.h"
#include "corvid/graphics/image.h"
#include "corvid/graphics/mipmap.h"
#include "corvid/gui/compositor.h"
#include "corvid/gui/context.h"
#include "corvid/gui/element.h"
#include "corvid/window/headlesswindow.h"
#include "corvid/window/window.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace corvid {

namespace detail {
// Constructed before the element part of GUIGraphics and destroyed after it, so
// the elements can rely on their context for their whole lifetime.
struct GUIContextOwner {
    std::unique_ptr<UIContext> ownedContext = std::make_unique<UIContext>();
};
} // namespace detail

class GUIGraphics : private detail::GUIContextOwner, public UIElement, public IGraphics {
public:
    // Elements drawn in parallel at most, and the lighting tile size.
    static constexpr std::size_t kMaxPaintBatch = 32;
    static constexpr std::int32_t kTileWidth = 64;
    static constexpr std::int32_t kTileHeight = 32;
    static constexpr std::int32_t kDefaultRedrawMargin = 20;
    // An element that paints in bands is split into bands of at least this many
    // rows, and only when at least this many of its pixels are dirty: below that a
    // pool round trip costs more than the second thread saves.
    static constexpr std::int32_t kMinPaintBandRows = 32;
    static constexpr std::int64_t kMinBandedPaintPixels = 65536;

    // workerCount 0 gives one pool worker per processor.
    GUIGraphics(std::int32_t width, std::int32_t height, int workerCount = 0);
    ~GUIGraphics() override;

    // Backends 0 and 1 open the platform window (a child of parentWindow, or a
    // top-level window when it is null); any other value opens none.
    void* openEditor(void* parentWindow, void* controlInfo, DawKind host,
                     std::int32_t backend) override;
    void closeEditor() override;
    void editorSize(std::int32_t* width, std::int32_t* height) override;
    void idleEditor() override;
    bool editorWindowGone() override;
    int editorEventDescriptor() override;

    // How far around a dirty rectangle the lighting is redone: it must cover what
    // the lighting of one pixel reads around it (normals, shadow rays, glow).
    virtual void setRedrawMargin(std::int32_t margin);
    // Grows each dirty rectangle, beyond the margin, by exactly as far as the
    // lighting reads around a pixel on every mipmap level: the glow of the upper
    // diffuse levels reaches much further than any fixed margin. Only what really
    // changed within that reach is relit, so a wide reach costs little.
    void setGrowByLightingReach(bool grow) { growByLightingReach = grow; }
    virtual void paintWindow(PixelFormat pixelFormat);
    virtual void collectDirtyAreas();
    virtual IntRect growDirtyRect(const IntRect& rect, std::int32_t width, std::int32_t height);
    virtual WindowImageView onWindowResized(std::int32_t width, std::int32_t height);
    virtual void paintElements();
    virtual void lightAreas(PixelFormat pixelFormat);
    virtual void rebuildMipmaps();

    // Bounding box of the areas the next paint may relight; empty if none.
    IntRect dirtyBounds() const;
    // The next paint relights the whole window from the maps as they are, without
    // repainting any element: what a change to the lighting itself (the
    // compositor's settings, the skybox) needs.
    void relightAll();

    // What the redraws have cost so far, for tests and benchmarks.
    struct RedrawStatistics {
        std::uint64_t paints = 0;
        std::uint64_t pixelsRelit = 0;
        std::int64_t lastPixelsRelit = 0;
    };
    const RedrawStatistics& redrawStatistics() const { return statistics; }
    // The window areas the last paint relit, disjoint.
    const std::vector<IntRect>& getRelitAreas() const { return disjointAreas; }
    // Ends the current drag (button released or capture lost).
    void stopDrag();

    // Opens a window without a display in place of the platform one, for tests,
    // benchmarks and screenshots. Replaces any open window.
    HeadlessWindow& openHeadlessEditor(PixelFormat format = PixelFormat::RGBA8);

    IWindow* getWindow() const { return window.get(); }
    IWindowListener& getWindowListener();
    PBRCompositor& getCompositor() { return *compositor; }
    ThreadPool& getThreadPool() { return *threadPool; }
    const Mipmap<RGBA>& getDiffuseMap() const { return *diffuseMap; }
    const Mipmap<L16>& getDepthMap() const { return *depthMap; }
    const Mipmap<RGBA>& getMaterialMap() const { return *materialMap; }
    WindowImageView getWindowImage() { return windowImage.asView(); }
    std::int32_t getRedrawMargin() const { return redrawMargin; }
    const std::vector<IntRect>& getPendingDirtyRects() const { return pendingDirtyRects; }
    const std::vector<IntRect>& getGrownAreas() const { return grownAreas; }

    // Index one past the last element of the paint batch that begins at `start`:
    // the batch grows while the next element overlaps none already in it, up to
    // kMaxPaintBatch elements. Elements with an empty position overlap nothing.
    static std::size_t endOfPaintBatch(const std::vector<UIElement*>& elements, std::size_t start);
    // rect grown out to whole tiles of the grid that starts at the window's origin.
    static IntRect alignedToTiles(const IntRect& rect);
    // Appends the lighting tiles of rect, row by row from its top-left corner.
    static void cutIntoTiles(const IntRect& rect, std::vector<IntRect>& tiles);

protected:
    class WindowListener;

    std::unique_ptr<PBRCompositor> compositor;
    UIContext& uiContext;
    std::unique_ptr<WindowListener> windowListener;
    std::unique_ptr<IWindow> window;
    std::unique_ptr<ThreadPool> threadPool;
    std::int32_t width, height;
    std::unique_ptr<Mipmap<RGBA>> diffuseMap;
    std::unique_ptr<Mipmap<L16>> depthMap;
    std::unique_ptr<Mipmap<RGBA>> materialMap;
    std::vector<IntRect> pendingDirtyRects;
    std::vector<IntRect> scratchRects;
    std::vector<IntRect> diffuseMipRects, depthMipRects;
    std::vector<IntRect> grownAreas;
    std::vector<IntRect> disjointAreas;
    std::vector<IntRect> lightTiles;
    std::vector<UIElement*> elementsToPaint;
    // Z-order with the tree order as tie-break, sorted in place: a stable sort
    // would take a temporary buffer from the heap every frame.
    struct PaintOrder {
        std::int32_t zOrder;
        std::size_t treeIndex;
        UIElement* element;
    };
    std::vector<PaintOrder> paintOrder;
    std::int32_t redrawMargin = kDefaultRedrawMargin;
    OwnedImage<RGBA> windowImage;

private:
    void attachWindow(std::unique_ptr<IWindow> newWindow);
    // Paints a batch made of this one element in bands on the pool if it allows
    // that and is worth it; false when it is left to the ordinary batch.
    bool paintInBands(UIElement& element, const ImageView<RGBA>& diffuse,
                      const ImageView<L16>& depth, const ImageView<RGBA>& material);
    // Where in the window the lit result can differ when rect of mipmap level
    // `level` (of levelWidth x levelHeight) changes.
    IntRect lightingReach(const IntRect& rect, int level, std::int32_t levelWidth,
                          std::int32_t levelHeight) const;
    template <typename T>
    void rebuildLevels(Mipmap<T>& map, std::vector<IntRect>& rects, std::vector<T>& saved,
                       std::vector<IntRect>& reach, bool diffuse);

    // Set when the maps hold nothing to compare against (a new size) or the
    // lighting itself changed: the next paint relights all it was asked to.
    bool relightEverything = true;
    bool growByLightingReach = false;
    bool relightWindow = false;
    // Level 0 under the dirty rectangles before the elements repaint them, and the
    // parts of each level that really changed; what the lighting of those reaches
    // is all that is relit.
    std::vector<RGBA> savedDiffuse, savedMaterial, savedDiffuseLevel;
    std::vector<L16> savedDepth, savedDepthLevel;
    std::vector<IntRect> changedRects;
    std::vector<IntRect> diffuseReach, depthReach;
    RedrawStatistics statistics;
    // Per band of a banded paint: its part of the dirty rectangles and the
    // element's local list for it.
    std::vector<std::vector<IntRect>> bandRects, bandLocalRects;
};

} // namespace corvid
