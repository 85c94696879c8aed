#pragma once
// Spatium's editor: the lit panel with every control the layout places, bound to
// the plug-in's parameters, and the two views the audio thread feeds.

#include "corvid/graphics/text/font.h"
#include "corvid/gui/graphics.h"
#include "spatium/editorfeed.h"
#include "spatium/gui/panel.h"

#include <cstdint>
#include <memory>
#include <string_view>

namespace corvid {
class UIKnob;
class UISlider;
class UIOnOffSwitch;
class UILogo;
class UILabel;
} // namespace corvid
namespace vireo {
class VireoDropdown;
class VireoRadioButtonSet;
} // namespace vireo

namespace spatium {

class SpatiumClient;
class PanKnob;
class BowGame;
class PhaseDisplay;
class Panorama;

class SpatiumGUI : public corvid::GUIGraphics, public IEditorFeed {
public:
    static constexpr std::int32_t kRedrawMargin = 15;

    explicit SpatiumGUI(SpatiumClient& client);
    ~SpatiumGUI() override;

    // Audio thread, while it holds the client's editor token.
    void feedPanorama(float panAmount, float distanceAmount, float tiltAmount, float level,
                      float sampleRate) override;
    void feedPhaseDisplay(const float* left, const float* right, std::int32_t frames,
                          float sampleRate) override;

    // The children keep the boxes the layout gave them; only the editor's own box
    // follows the window.
    void arrange(const corvid::IntRect& availableSpace) override;
    void paintMaps(const corvid::ImageView<corvid::RGBA>& diffuseMap,
                   const corvid::ImageView<corvid::L16>& depthMap,
                   const corvid::ImageView<corvid::RGBA>& materialMap,
                   const std::vector<corvid::IntRect>& dirtyRects) override;

    // The subtitle an editor object at this address shows.
    static std::string_view subtitleFor(const void* editorAddress);

    const PanelImages& panel() const { return panel_; }
    corvid::Font& textFace() { return *textFace_; }
    corvid::Font& titleFace() { return *titleFace_; }
    PhaseDisplay& phaseDisplay() { return *phaseDisplay_; }
    Panorama& panorama() { return *panorama_; }
    corvid::UILabel& subtitle() { return *subtitle_; }

protected:
    // The value hints go on top of everything else, so they are created last.
    virtual void createParameterHints();

private:
    class Controls;

    // The constructor's steps, in the order the children are stacked.
    void setUpLighting();
    void loadPanel();
    void addTitle(corvid::UIContext& ctx);
    void addPlacementControls(Controls& controls);
    void addDisplays(corvid::UIContext& ctx);
    void addLfoControls(Controls& controls);

    SpatiumClient& client_;
    std::unique_ptr<corvid::Font> textFace_;
    std::unique_ptr<corvid::Font> titleFace_;
    PanelImages panel_;
    std::unique_ptr<corvid::OwnedImage<corvid::RGBA>> logoImage_;

    corvid::UISlider* distance_ = nullptr;
    corvid::UISlider* outputLevel_ = nullptr;
    corvid::UIKnob* stereoWidth_ = nullptr;
    corvid::UIKnob* dryWet_ = nullptr;
    corvid::UIKnob* msAmount_ = nullptr;
    corvid::UIKnob* msDelay_ = nullptr;
    corvid::UIKnob* msLowpass_ = nullptr;
    corvid::UIKnob* tilt_ = nullptr;
    PanKnob* pan_ = nullptr;
    corvid::UIKnob* headSize_ = nullptr;
    corvid::UIKnob* spectralPan_ = nullptr;
    corvid::UIKnob* lfoPan_ = nullptr;
    corvid::UIKnob* lfoDistance_ = nullptr;
    corvid::UIKnob* lfoGain_ = nullptr;
    corvid::UIKnob* lfoTilt_ = nullptr;
    corvid::UIKnob* lfoPhase_ = nullptr;
    corvid::UIKnob* lfoFreq_ = nullptr;
    corvid::UIOnOffSwitch* testMono_ = nullptr;
    corvid::UIOnOffSwitch* lfoSynced_ = nullptr;
    vireo::VireoDropdown* lfoTempo_ = nullptr;
    vireo::VireoRadioButtonSet* lfoWave_ = nullptr;
    BowGame* bowGame_ = nullptr;
    PhaseDisplay* phaseDisplay_ = nullptr;
    Panorama* panorama_ = nullptr;
    corvid::UILogo* logo_ = nullptr;
    corvid::UILabel* subtitle_ = nullptr;
};

// What SpatiumClient::createEditor builds when the plug-in library hands it this.
std::unique_ptr<corvid::IGraphics> createSpatiumEditor(SpatiumClient& client);

} // namespace spatium
