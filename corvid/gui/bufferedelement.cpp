#include "corvid/gui/bufferedelement.h"

#include "corvid/gui/layerblend.h"

namespace corvid {

namespace {
constexpr RGBA kNeutralDiffuse{128, 128, 128, 0};
constexpr std::uint16_t kNeutralDepth = 15000;
constexpr RGBA kNeutralMaterial{128, 255, 128, 255};
} // namespace

UIBufferedElement::UIBufferedElement(UIContext& ctx) : UIElement(ctx) {}

UIBufferedElement::~UIBufferedElement() = default;

void UIBufferedElement::markDirty() {
    bufferDirty = true;
    UIElement::markDirty();
}

void UIBufferedElement::markDirtyRect(const IntRect& rect) {
    bufferDirty = true;
    UIElement::markDirtyRect(rect);
}

void UIBufferedElement::paintLayers(const ImageView<RGBA>&, const ImageView<L16>&,
                                    const ImageView<RGBA>&, const ImageView<L8>&,
                                    const ImageView<L8>&, const ImageView<L8>&) {}

void UIBufferedElement::paintMaps(const ImageView<RGBA>& diffuseMap, const ImageView<L16>& depthMap,
                                  const ImageView<RGBA>& materialMap,
                                  const std::vector<IntRect>& dirtyRects) {
    const std::int32_t w = position.width();
    const std::int32_t h = position.height();
    if (w != diffuseBuffer.width() || h != diffuseBuffer.height()) {
        bufferDirty = true;
        diffuseBuffer.size(w, h);
        depthBuffer.size(w, h);
        materialBuffer.size(w, h);
        diffuseOpacity.size(w, h);
        depthOpacity.size(w, h);
        materialOpacity.size(w, h);
    }
    // Taking the flag before painting means a change reported while the layers are
    // being painted leaves it set for the next frame instead of being lost.
    if (bufferDirty.exchange(false)) {
        diffuseOpacity.fill(L8(0));
        depthOpacity.fill(L8(0));
        materialOpacity.fill(L8(0));
        diffuseBuffer.fill(kNeutralDiffuse);
        depthBuffer.fill(L16(kNeutralDepth));
        materialBuffer.fill(kNeutralMaterial);
        paintLayers(diffuseBuffer.asView(), depthBuffer.asView(), materialBuffer.asView(),
                    diffuseOpacity.asView(), depthOpacity.asView(), materialOpacity.asView());
    }
    // The maps may be cut at the window's edge, so every rectangle is kept inside
    // both the layers and the maps.
    const IntRect limit = diffuseMap.bounds().intersect({0, 0, w, h});
    for (const IntRect& dirty : dirtyRects) {
        const IntRect r = dirty.intersect(limit);
        const std::int32_t n = r.width();
        for (std::int32_t y = r.minY; y < r.maxY; ++y) {
            blendLayerRow(diffuseMap.row(y) + r.minX, diffuseBuffer.rowSpan(y).data() + r.minX,
                          diffuseOpacity.rowSpan(y).data() + r.minX, n);
            blendLayerRow(depthMap.row(y) + r.minX, depthBuffer.rowSpan(y).data() + r.minX,
                          depthOpacity.rowSpan(y).data() + r.minX, n);
            blendLayerRow(materialMap.row(y) + r.minX, materialBuffer.rowSpan(y).data() + r.minX,
                          materialOpacity.rowSpan(y).data() + r.minX, n);
        }
    }
}

} // namespace corvid
