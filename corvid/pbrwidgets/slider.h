#pragma once
// A vertical fader for a continuous or integer parameter: a groove with a lit
// trail and a raised handle. Drawn into its own layers and repainted only when
// the value, the press or the hover changes.

#include "corvid/client/params.h"
#include "corvid/gui/bufferedelement.h"

#include <cstdint>
#include <limits>

namespace corvid {

class UISlider : public UIBufferedElement, public IParameterListener {
public:
    UISlider(UIContext& context, Parameter* parameter);
    ~UISlider() override;

    std::uint16_t trackDepth = 30000;
    RGBA trackUnlitDiffuse{130, 90, 45, 5};
    RGBA trackLitDiffuse{240, 165, 102, 130};
    float trackWidth = 0.2f;
    RGBA trackLitDiffuseBelowBase{240, 165, 102, 130};
    float trackBase = 0.0f;
    std::int32_t handleStyle = 0;
    float handleHeight = 0.25f;
    float handleWidth = 0.7f;
    RGBA handleDiffuse{248, 245, 233, 16};
    RGBA handleMaterial{0, 255, 128, 255};

    Parameter* parameter;
    float dragSensitivity = 1.0f;
    float pressAmount = 0.0f;
    float lowClampY = std::numeric_limits<float>::infinity();
    float highClampY = -std::numeric_limits<float>::infinity();
    // The part of a drag an integer parameter has not taken yet.
    float dragDebt = 0.0f;

    bool onMouseClick(std::int32_t x, std::int32_t y, MouseButton button, bool isDoubleClick,
                      MouseState state) override;
    void onDragStart() override;
    void onDragMove(std::int32_t x, std::int32_t y, std::int32_t dx, std::int32_t dy,
                    MouseState state) override;
    void onDragEnd() override;
    void onMouseEnter() override;
    void onMouseExit() override;
    void animateSelf(double dt, double time) override;
    void paintLayers(const ImageView<RGBA>& diffuse, const ImageView<L16>& depth,
                     const ImageView<RGBA>& material, const ImageView<L8>& diffuseOpacity,
                     const ImageView<L8>& depthOpacity,
                     const ImageView<L8>& materialOpacity) override;

    void parameterChanged(Parameter* p) override;
    void parameterEditBegun(Parameter* p) override;
    void parameterEditEnded(Parameter* p) override;

private:
    FloatParameter* floatParameter = nullptr;
    IntegerParameter* integerParameter = nullptr;
};

// Truncation towards zero that stays defined for NaN (0) and huge values (cut to
// a range no pixel arithmetic overflows).
std::int32_t truncToPixels(double v);

} // namespace corvid
