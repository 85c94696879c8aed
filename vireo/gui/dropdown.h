#pragma once
// A choice list for an integer parameter: a header row shows the current choice;
// a click unfolds the list of every choice below it, row by row, and a click on a
// choice selects it and folds the list again.

#include "corvid/client/params.h"
#include "corvid/graphics/text/font.h"
#include "corvid/gui/element.h"

#include <atomic>
#include <string>
#include <string_view>
#include <vector>

namespace vireo {

class VireoDropdown : public corvid::UIElement, public corvid::IParameterListener {
public:
    static constexpr double kOpenSpeed = 30.0;
    static constexpr int kHoverGlow = 40;
    static constexpr std::uint16_t kHeaderDepth = 0;
    static constexpr std::uint16_t kListDepth = 65535;

    // Registers with the parameter; parameter and font are not owned and must
    // outlive the dropdown.
    VireoDropdown(corvid::UIContext& context, corvid::IntegerParameter* parameter,
                  corvid::Font* font);
    ~VireoDropdown() override;

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

    // Number of choices (at least 1) and the height of one row.
    std::int32_t choiceCount() const;
    float rowHeight() const;
    // Rows drawn at the current openAmount, header included.
    std::int32_t visibleRows() const;
    // Pixel row where row j begins; row choiceCount() + 1 begins at the bottom.
    std::int32_t rowTop(std::int32_t j) const;
    // The name shown for a parameter value; empty when there is none.
    std::string_view labelFor(std::int32_t value) const;
    // The name of choice index (0 for the minimum); empty when there is none.
    std::string_view labelAt(std::int64_t index) const;

    corvid::RGBA itemDiffuse{255, 255, 255, 0};
    corvid::RGBA selectedItemDiffuse{130, 150, 200, 0};
    corvid::RGBA headerDiffuse{100, 100, 100, 0};
    corvid::RGBA listMaterial{255, 32, 128, 255};
    float textSize = 13.0f;
    corvid::RGBA textColor{128, 128, 128, 0};
    corvid::RGBA selectedTextColor{255, 255, 255, 40};
    float openAmount = 0.0f;
    corvid::IntegerParameter* parameter;
    corvid::Font* font;
    bool open = false;
    std::int32_t hoverY = 0;
    // One name per value from the parameter's minimum up; missing ones draw blank.
    std::vector<std::string> labels;

private:
    // Row under a local y, 0 (header) to choiceCount().
    std::int32_t rowAt(std::int32_t y) const;
    // Set by listener callbacks on any thread, taken by the animation.
    std::atomic<bool> valueChanged{false};
};

} // namespace vireo
