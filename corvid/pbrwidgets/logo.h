#pragma once
// The maker's logo: an image with alpha blended into the diffuse map that glows
// while the pointer is over it and opens a web address when clicked.

#include "corvid/graphics/image.h"
#include "corvid/gui/element.h"

#include <string>

namespace corvid {

class UILogo : public UIElement {
public:
    explicit UILogo(UIContext& context);

    bool onMouseClick(std::int32_t x, std::int32_t y, MouseButton button, bool isDoubleClick,
                      MouseState state) override;
    void onMouseEnter() override;
    void onMouseExit() override;
    void animateSelf(double dt, double time) override;
    void paintMaps(const ImageView<RGBA>& diffuseMap, const ImageView<L16>& depthMap,
                   const ImageView<RGBA>& materialMap,
                   const std::vector<IntRect>& dirtyRects) override;

    // Empty: a click opens nothing (it is still taken, so nothing below reacts).
    std::string url;
    float glowSpeed = 30.0f;
    std::uint8_t emissiveBase = 0;
    std::uint8_t emissiveHovered = 40;
    std::uint8_t emissiveRest = 0;
    float glowAmount = 0.0f;
    // Not owned; drawn at its own pixel size from the element's top-left corner
    // and cut to the element. Null draws nothing.
    const OwnedImage<RGBA>* image = nullptr;
};

} // namespace corvid
