#pragma once
// The vertical fader of the lit widget set: a groove with a coloured trail and a
// raised handle. It keeps its drawing in layers of its own, repainted only when the
// value, the press or the hover changes.

#include "corvid/client/params.h"
#include "corvid/graphics/color.h"
#include "corvid/gui/bufferedelement.h"

#include <cstdint>
#include <limits>

namespace corvid {

class UISlider : public UIBufferedElement, public IParameterListener {
public:
    // parameter: a FloatParameter or an IntegerParameter.
    UISlider(UIContext& context, Parameter* parameter);
    ~UISlider() override;

    std::uint16_t trackDepth = 30000;
    RGBA trackUnlitDiffuse{130, 90, 45, 5};
    RGBA trackLitDiffuse{240, 165, 102, 130};
    float trackWidth = 0.2f; // of the element's width
    RGBA trackLitDiffuseBelowBase{240, 165, 102, 130};
    float trackBase = 0.0f; // normalised value where the lit trail starts
    std::int32_t handleStyle = 0;
    float handleHeight = 0.25f; // of the element's height
    float handleWidth = 0.7f;   // of the element's width
    RGBA handleDiffuse{248, 245, 233, 16};
    RGBA handleMaterial{0, 255, 128, 255};

    Parameter* parameter;
    float dragSensitivity = 1.0f;
    float pressAmount = 0.0f;
    float lowClampY = std::numeric_limits<float>::infinity();
    float highClampY = -std::numeric_limits<float>::infinity();
    // What a slow drag of an integer parameter has not yet turned into a step.
    float dragDebt = 0.0f;

    void parameterChanged(Parameter* p) override;
    void parameterEditBegun(Parameter* p) override;
    void parameterEditEnded(Parameter* p) override;

    bool onMouseClick(std::int32_t x, std::int32_t y, MouseButton button, bool isDoubleClick,
                      MouseState state) override;
    void onMouseEnter() override;
    void onMouseExit() override;
    void onDragStart() override;
    void onDragMove(std::int32_t x, std::int32_t y, std::int32_t dx, std::int32_t dy,
                    MouseState state) override;
    void onDragEnd() override;
    void animateSelf(double dt, double time) override;
    void paintLayers(const ImageView<RGBA>& diffuse, const ImageView<L16>& depth,
                     const ImageView<RGBA>& material, const ImageView<L8>& diffuseOpacity,
                     const ImageView<L8>& depthOpacity,
                     const ImageView<L8>& materialOpacity) override;

private:
    FloatParameter* continuous_ = nullptr;
    IntegerParameter* integer_ = nullptr;
};

} // namespace corvid
