#pragma once
// A vertical column of round lit buttons, one per value of an integer parameter;
// the selected one glows. It draws no text: the names are on the panel.

#include "corvid/client/params.h"
#include "corvid/gui/element.h"

#include <atomic>
#include <memory>
#include <vector>

namespace vireo {

class VireoRadioButtonSet : public corvid::UIElement, public corvid::IParameterListener {
public:
    static constexpr double kGlowSpeed = 15.0;
    static constexpr std::uint8_t kHoverAlpha = 30;

    // Builds the set, registers it with the parameter (not owned, must outlive the
    // set) and sizes optionGlow to the parameter's range.
    static std::unique_ptr<VireoRadioButtonSet> create(corvid::IntegerParameter* parameter,
                                                       corvid::UIContext& context);
    ~VireoRadioButtonSet() override;

    void parameterChanged(corvid::Parameter* p) override;
    void parameterEditBegun(corvid::Parameter* p) override;
    void parameterEditEnded(corvid::Parameter* p) override;

    bool onMouseClick(std::int32_t x, std::int32_t y, corvid::MouseButton button,
                      bool isDoubleClick, corvid::MouseState state) override;
    void onMouseMove(std::int32_t x, std::int32_t y, std::int32_t dx, std::int32_t dy,
                     corvid::MouseState state) override;
    void onMouseExit() override;
    void animateSelf(double dt, double time) override;
    void paintMaps(const corvid::ImageView<corvid::RGBA>& diffuseMap,
                   const corvid::ImageView<corvid::L16>& depthMap,
                   const corvid::ImageView<corvid::RGBA>& materialMap,
                   const std::vector<corvid::IntRect>& dirtyRects) override;

    // Number of options (0 without a usable parameter) and the button pitch.
    std::int32_t optionCount() const { return static_cast<std::int32_t>(optionGlow.size()); }
    std::int32_t buttonHeight() const;

    corvid::RGBA onDiffuse{200, 230, 255, 0};
    corvid::RGBA offDiffuse{120, 135, 148, 0};
    std::uint16_t onDepth = 30000;
    std::uint16_t offDepth = 18000;
    corvid::IntegerParameter* parameter;
    std::int32_t hoverY = 0;
    std::vector<float> optionGlow;

protected:
    VireoRadioButtonSet(corvid::IntegerParameter* parameter, corvid::UIContext& context);

private:
    // The option the parameter's value selects, or -1 when it is out of range.
    std::int32_t selectedOption() const;
    std::atomic<bool> valueChanged{false};
};

} // namespace vireo
