#pragma once
// A flat filled rectangle: the surface other widgets sit on.

#include "corvid/gui/element.h"

namespace corvid {

class UIPanel : public UIElement {
public:
    explicit UIPanel(UIContext& context);

    void paintMaps(const ImageView<RGBA>& diffuseMap, const ImageView<L16>& depthMap,
                   const ImageView<RGBA>& materialMap,
                   const std::vector<IntRect>& dirtyRects) override;

    std::uint16_t panelDepth = 0;
    RGBA panelDiffuse{0, 0, 0, 0};
    RGBA panelMaterial{0, 0, 0, 0};
};

} // namespace corvid
