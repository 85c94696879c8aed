#pragma once
// A rocker for a boolean parameter: any click flips it, and the depth slope and
// colour follow with an animation.

#include "corvid/client/params.h"
#include "corvid/gui/element.h"

#include <cstdint>

namespace corvid {

class UIOnOffSwitch : public UIElement, public IParameterListener {
public:
    UIOnOffSwitch(UIContext& context, BoolParameter* parameter);
    ~UIOnOffSwitch() override;

    RGBA offDiffuse{230, 80, 43, 0};
    RGBA onDiffuse{230, 80, 43, 200};
    RGBA switchMaterial{192, 10, 128, 255};
    float animationSpeed = 10.0f;
    std::uint16_t depthA = 0;
    std::uint16_t depthB = 30000;
    std::uint16_t surroundDepth = 0;
    // 0: the slope runs from top to bottom, otherwise from left to right.
    std::int32_t orientation = 0;
    BoolParameter* parameter;
    float onAmount = 0.0f;

    bool onMouseClick(std::int32_t x, std::int32_t y, MouseButton button, bool isDoubleClick,
                      MouseState state) override;
    void onMouseEnter() override;
    void onMouseExit() override;
    void animateSelf(double dt, double time) override;
    void paintMaps(const ImageView<RGBA>& diffuseMap, const ImageView<L16>& depthMap,
                   const ImageView<RGBA>& materialMap,
                   const std::vector<IntRect>& dirtyRects) override;

    void parameterChanged(Parameter* p) override;
    void parameterEditBegun(Parameter* p) override;
    void parameterEditEnded(Parameter* p) override;
};

} // namespace corvid
