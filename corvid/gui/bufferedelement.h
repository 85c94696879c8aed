#pragma once
// An element that keeps its own layers (colour, depth and material, each with an
// opacity mask) and blends them into the window maps. Widgets whose drawing is
// expensive repaint the layers only when they change, not for every dirty
// rectangle that happens to cross them.

#include "corvid/graphics/image.h"
#include "corvid/gui/element.h"

#include <atomic>

namespace corvid {

class UIBufferedElement : public UIElement {
public:
    explicit UIBufferedElement(UIContext& context);
    ~UIBufferedElement() override;

    void markDirty() override;
    void markDirtyRect(const IntRect& rect) override;
    void paintMaps(const ImageView<RGBA>& diffuseMap, const ImageView<L16>& depthMap,
                   const ImageView<RGBA>& materialMap,
                   const std::vector<IntRect>& dirtyRects) override;

    // Repaints the layers. They arrive filled with a neutral surface and fully
    // transparent masks; whatever the element leaves at opacity 0 shows the maps
    // below unchanged.
    virtual void paintLayers(const ImageView<RGBA>& diffuse, const ImageView<L16>& depth,
                             const ImageView<RGBA>& material, const ImageView<L8>& diffuseOpacity,
                             const ImageView<L8>& depthOpacity,
                             const ImageView<L8>& materialOpacity);

protected:
    OwnedImage<RGBA> diffuseBuffer;
    OwnedImage<L16> depthBuffer;
    OwnedImage<RGBA> materialBuffer;
    OwnedImage<L8> diffuseOpacity;
    OwnedImage<L8> depthOpacity;
    OwnedImage<L8> materialOpacity;
    // Set from any thread by markDirty (a parameter change), taken by the painter.
    std::atomic<bool> bufferDirty{false};
};

// Blend steps of the layer compositing, exposed for their exactness checks.
// o is the layer's opacity byte; o = 0 leaves dst alone, o = 255 gives src.
inline std::uint8_t blendByte(std::uint8_t src, std::uint8_t dst, std::uint8_t o) {
    return static_cast<std::uint8_t>(
        (static_cast<unsigned>(src) * o + static_cast<unsigned>(dst) * (255u - o) + 127u) / 255u);
}
inline std::uint16_t blendDepth(std::uint16_t src, std::uint16_t dst, std::uint8_t o) {
    const std::uint32_t u = static_cast<std::uint32_t>(o) * 257u;
    // At most 65535 * 65535 + 32768, which still fits 32 unsigned bits.
    return static_cast<std::uint16_t>((u * src + (65535u - u) * dst + 32768u) >> 16);
}

} // namespace corvid
