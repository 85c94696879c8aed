#include "corvid/pbrwidgets/panel.h"

#include "corvid/graphics/draw.h"

namespace corvid {

UIPanel::UIPanel(UIContext& ctx) : UIElement(ctx) {}

void UIPanel::paintMaps(const ImageView<RGBA>& diffuseMap, const ImageView<L16>& depthMap,
                        const ImageView<RGBA>& materialMap,
                        const std::vector<IntRect>& dirtyRects) {
    for (const IntRect& box : dirtyRects) {
        fillRect(diffuseMap, panelDiffuse, box);
        fillRect(materialMap, panelMaterial, box);
        fillRect(depthMap, L16(panelDepth), box);
    }
}

} // namespace corvid
