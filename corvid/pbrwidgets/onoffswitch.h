#pragma once
// The rocker of the lit widget set: any click flips its boolean parameter, and its
// slope and colour swing over to the other side with an animation.

#include "corvid/client/params.h"
#include "corvid/graphics/color.h"
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
    float animationSpeed = 10.0f; // per second
    std::uint16_t depthA = 0;
    std::uint16_t depthB = 30000;
    std::uint16_t surroundDepth = 0;
    std::int32_t orientation = 0; // 0: slope from top to bottom, 1: from left to right
    BoolParameter* parameter;
    float onAmount = 0.0f; // 0 off, 1 on

    void parameterChanged(Parameter* p) override;
    void parameterEditBegun(Parameter* p) override;
    void parameterEditEnded(Parameter* p) override;

    bool onMouseClick(std::int32_t x, std::int32_t y, MouseButton button, bool isDoubleClick,
                      MouseState state) override;
    void onMouseEnter() override;
    void onMouseExit() override;
    void onDragEnd() override;
    void animateSelf(double dt, double time) override;
    void paintMaps(const ImageView<RGBA>& diffuseMap, const ImageView<L16>& depthMap,
                   const ImageView<RGBA>& materialMap,
                   const std::vector<IntRect>& dirtyRects) override;
};

} // namespace corvid
