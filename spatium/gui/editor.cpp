#include "spatium/gui/editor.h"

#include "corvid/core/error.h"
#include "corvid/graphics/decode.h"
#include "corvid/pbrwidgets/knob.h"
#include "corvid/pbrwidgets/label.h"
#include "corvid/pbrwidgets/logo.h"
#include "corvid/pbrwidgets/onoffswitch.h"
#include "corvid/pbrwidgets/paramhint.h"
#include "corvid/pbrwidgets/slider.h"
#include "resources/resources.h"
#include "spatium/gui/bowgame.h"
#include "spatium/gui/layout.h"
#include "spatium/gui/panknob.h"
#include "spatium/gui/panorama.h"
#include "spatium/gui/phasedisplay.h"
#include "spatium/params.h"
#include "spatium/spatium.h"
#include "vireo/gui/dropdown.h"
#include "vireo/gui/radiobutton.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <string>

namespace spatium {

namespace {

using corvid::KnobBodyStyle;
using corvid::RGBA;

constexpr float kPi = 3.14159265358979f;
constexpr float kThreeQuarterPi = 2.3561945f;

constexpr const char* kHomePage = "https://example.com/spatium";

// A host block is at most this long when the client passes blocks whole.
constexpr std::int32_t kLargestHostBlock = 1024;

// The lighting of the whole panel.
using Vec3 = std::array<float, 3>;
constexpr Vec3 kLight1Color{0.1984f, 0.248f, 0.2976f};
constexpr Vec3 kLight2Dir{-1.0f, 1.0f, 0.1f};
constexpr Vec3 kLight2Color{0.4743f, 0.3689f, 0.2635f};
constexpr Vec3 kLight3Dir{0.0f, 1.0f, 0.1f};
constexpr Vec3 kLight3Color{0.1612f, 0.186f, 0.2108f};
constexpr float kAmbientLight = 0.062f;

Vec3 normalised(const Vec3& v) {
    const float length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    return {v[0] / length, v[1] / length, v[2] / length};
}
constexpr float kSkyboxAmount = 0.3968f;

// The knobs' trails lean slightly toward this point, the window's horizontal
// centre below its vertical centre, as if the panel were seen from a little below.
constexpr float kPerspectiveX = 381.5f;
constexpr float kPerspectiveY = 419.9f;
constexpr float kPerspectiveStrength = -0.02f;

constexpr RGBA kTrailLit{192, 245, 255, 112};
constexpr RGBA kTrailUnlit{90, 94, 98, 0};
constexpr RGBA kTrailBelowBase{255, 190, 80, 150};
constexpr RGBA kKnobBody{255, 255, 255, 0};

struct KnobLook {
    float bodyRadius;
    KnobBodyStyle bodyStyle;
    RGBA bodyMaterial;
    std::int32_t ledCount;
    float ledRadiusMin;
    float ledRadiusMax;
    RGBA ledLitDiffuse;
    RGBA ledUnlitDiffuse;
    float ledOrbit;
    float ledOrbitPressed;
    std::uint16_t ledDepth;
    float trailRadiusMin;
    float trailRadiusMax;
};

constexpr KnobLook kLargeKnob{.bodyRadius = 0.8f,
                              .bodyStyle = KnobBodyStyle::dimpled,
                              .bodyMaterial = {64, 255, 128, 255},
                              .ledCount = 7,
                              .ledRadiusMin = 0.06f,
                              .ledRadiusMax = 0.1f,
                              .ledLitDiffuse = {32, 32, 96, 80},
                              .ledUnlitDiffuse = {32, 32, 96, 40},
                              .ledOrbit = 0.95f,
                              .ledOrbitPressed = 0.9f,
                              .ledDepth = 65000,
                              .trailRadiusMin = 0.8f,
                              .trailRadiusMax = 0.97f};
constexpr KnobLook kMediumKnob{.bodyRadius = 0.8f,
                               .bodyStyle = KnobBodyStyle::cylinder,
                               .bodyMaterial = {0, 255, 128, 255},
                               .ledCount = 13,
                               .ledRadiusMin = 0.06f,
                               .ledRadiusMax = 0.06f,
                               .ledLitDiffuse = {32, 32, 32, 40},
                               .ledUnlitDiffuse = {32, 32, 32, 40},
                               .ledOrbit = 0.94f,
                               .ledOrbitPressed = 0.93f,
                               .ledDepth = 65000,
                               .trailRadiusMin = 0.7f,
                               .trailRadiusMax = 1.0f};
constexpr KnobLook kSmallKnob{.bodyRadius = 0.75f,
                              .bodyStyle = KnobBodyStyle::cone,
                              .bodyMaterial = {0, 192, 128, 255},
                              .ledCount = 1,
                              .ledRadiusMin = 0.15f,
                              .ledRadiusMax = 0.15f,
                              .ledLitDiffuse = {96, 96, 96, 150},
                              .ledUnlitDiffuse = {96, 96, 96, 100},
                              .ledOrbit = 0.8f,
                              .ledOrbitPressed = 0.7f,
                              .ledDepth = 0,
                              .trailRadiusMin = 0.7f,
                              .trailRadiusMax = 1.0f};
// The large central pan dial; its LEDs stay put when pressed.
constexpr KnobLook kPanKnob{.bodyRadius = 0.75f,
                            .bodyStyle = KnobBodyStyle::dimpled,
                            .bodyMaterial = {96, 255, 128, 255},
                            .ledCount = 7,
                            .ledRadiusMin = 0.11f,
                            .ledRadiusMax = 0.12f,
                            .ledLitDiffuse = {230, 240, 255, 255},
                            .ledUnlitDiffuse = {230, 240, 255, 100},
                            .ledOrbit = 0.8f,
                            .ledOrbitPressed = 0.8f,
                            .ledDepth = 10000,
                            .trailRadiusMin = 0.875f,
                            .trailRadiusMax = 1.0f};

struct KnobAngles {
    float minAngle, maxAngle, baseAngle;
};

constexpr KnobAngles kDefaultAngles{-kThreeQuarterPi, kThreeQuarterPi, -kThreeQuarterPi};

constexpr KnobAngles symmetric(float half, float base) {
    return {-half, half, base};
}

void applyLook(corvid::UIKnob& knob, const KnobLook& look, const KnobAngles& angles,
               float sensitivity) {
    knob.bodyRadius = look.bodyRadius;
    knob.bodyDiffuse = kKnobBody;
    knob.bodyMaterial = look.bodyMaterial;
    knob.bodyStyle = look.bodyStyle;
    knob.ledCount = look.ledCount;
    knob.ledRadiusMin = look.ledRadiusMin;
    knob.ledRadiusMax = look.ledRadiusMax;
    knob.ledLitDiffuse = look.ledLitDiffuse;
    knob.ledUnlitDiffuse = look.ledUnlitDiffuse;
    knob.ledOrbit = look.ledOrbit;
    knob.ledOrbitPressed = look.ledOrbitPressed;
    knob.ledDepth = look.ledDepth;
    knob.trailLitDiffuse = kTrailLit;
    knob.trailUnlitDiffuse = kTrailUnlit;
    knob.trailRadiusMin = look.trailRadiusMin;
    knob.trailRadiusMax = look.trailRadiusMax;
    knob.minAngle = angles.minAngle;
    knob.baseAngle = angles.baseAngle;
    knob.maxAngle = angles.maxAngle;
    knob.trailLitDiffuseBelowBase = kTrailBelowBase;
    knob.useBelowBaseColour = true;
    const corvid::IntRect& box = knob.getPosition();
    const auto cx = static_cast<float>((box.minX + box.maxX) / 2);
    const auto cy = static_cast<float>((box.minY + box.maxY) / 2);
    knob.trailShiftX = (cx - kPerspectiveX) * kPerspectiveStrength / kPerspectiveX;
    knob.trailShiftY = (cy - kPerspectiveY) * kPerspectiveStrength / kPerspectiveX;
    knob.setDragSensitivity(sensitivity);
}

void applySliderLook(corvid::UISlider& slider, float sensitivity) {
    slider.dragSensitivity = sensitivity;
    slider.trackDepth = 30000;
    slider.trackUnlitDiffuse = {90, 94, 98, 0};
    slider.trackLitDiffuse = {192, 245, 255, 112};
    slider.handleStyle = 2;
    slider.handleHeight = 0.25f;
    slider.handleWidth = 0.65f;
    slider.handleDiffuse = {245, 252, 255, 10};
    slider.handleMaterial = {0, 255, 128, 255};
}

struct SwitchLook {
    RGBA onDiffuse, offDiffuse;
    std::uint16_t depthA, depthB;
    std::int32_t orientation;
};

void applySwitchLook(corvid::UIOnOffSwitch& s, const SwitchLook& look) {
    s.onDiffuse = look.onDiffuse;
    s.offDiffuse = look.offDiffuse;
    s.depthA = look.depthA;
    s.depthB = look.depthB;
    s.surroundDepth = 0;
    s.orientation = look.orientation;
}

corvid::Parameter* parameterNamed(SpatiumClient& client, std::string_view name) {
    for (std::int32_t i = 0; i < client.parameterCount(); ++i)
        if (client.parameter(i)->name() == name) return client.parameter(i);
    corvid::fatalError("editor layout names an unknown parameter: " + std::string(name));
}

template <typename P>
P* typedParameter(SpatiumClient& client, std::string_view name) {
    auto* p = dynamic_cast<P*>(parameterNamed(client, name));
    if (p == nullptr)
        corvid::fatalError("editor layout binds a widget to a parameter of another kind: " +
                           std::string(name));
    return p;
}

// Adds a child at its layout box and returns it for configuration.
template <typename W>
W& place(corvid::UIElement& parent, std::unique_ptr<W> widget, const layout::ChildPlace& at) {
    W& w = *widget;
    w.setPosition(at.box);
    parent.addChild(std::move(widget));
    return w;
}

} // namespace

// The design: which of its two subtitles an editor shows depends on a bit of its address.
std::string_view SpatiumGUI::subtitleFor(const void* editorAddress) {
    return (reinterpret_cast<std::uintptr_t>(editorAddress) & 512u) == 0
               ? "HE WHO CONTROLS THE SPACE"
               : "SPATIALIZATION TOOLBOX";
}

// Makes the parameter-bound widgets at their layout boxes, each with its look.
class SpatiumGUI::Controls {
public:
    Controls(SpatiumGUI& editor, corvid::UIContext& ctx) : editor_(editor), ctx_(ctx) {}

    // A widget of type W bound to the parameter of type P the layout names.
    template <typename W, typename P>
    W& bound(const layout::ChildPlace& at) {
        return place(editor_,
                     std::make_unique<W>(ctx_, typedParameter<P>(editor_.client_, at.parameter)),
                     at);
    }
    corvid::UISlider* slider(const layout::ChildPlace& at, float sensitivity) {
        auto& s = bound<corvid::UISlider, corvid::FloatParameter>(at);
        applySliderLook(s, sensitivity);
        return &s;
    }
    corvid::UIKnob* knob(const layout::ChildPlace& at, const KnobLook& look,
                         const KnobAngles& angles, float sensitivity) {
        auto& k = bound<corvid::UIKnob, corvid::FloatParameter>(at);
        applyLook(k, look, angles, sensitivity);
        return &k;
    }
    corvid::UIOnOffSwitch* onOff(const layout::ChildPlace& at, const SwitchLook& look) {
        auto& s = bound<corvid::UIOnOffSwitch, corvid::BoolParameter>(at);
        applySwitchLook(s, look);
        return &s;
    }
    corvid::UIContext& context() { return ctx_; }

private:
    SpatiumGUI& editor_;
    corvid::UIContext& ctx_;
};

SpatiumGUI::SpatiumGUI(SpatiumClient& client)
    : GUIGraphics(layout::kEditorWidth, layout::kEditorHeight), client_(client) {
    setUpLighting();
    setRedrawMargin(kRedrawMargin);
    // The panorama's and the phase scope's glow reach far past their boxes.
    setGrowByLightingReach(true);
    // The panel is copied from fixed pictures: any band of it can be painted alone.
    bandSafePaint = true;
    textFace_ = std::make_unique<corvid::Font>(resources::textFont());
    titleFace_ = std::make_unique<corvid::Font>(resources::titleFont());
    loadPanel();

    Controls controls(*this, getContext());
    addTitle(controls.context());
    addPlacementControls(controls);
    addDisplays(controls.context());
    addLfoControls(controls);
    createParameterHints();
}

void SpatiumGUI::setUpLighting() {
    corvid::PBRCompositor& c = getCompositor();
    c.light1Color = kLight1Color;
    c.light2Dir = normalised(kLight2Dir);
    c.light2Color = kLight2Color;
    c.light3Dir = normalised(kLight3Dir);
    c.light3Color = kLight3Color;
    c.ambientLight = kAmbientLight;
    c.skyboxAmount = kSkyboxAmount;
    c.setOutputCurves(0.0f, 0.94f, 1.095f, 0.21f, 0.0f, 0.94f, 1.09f, 0.185f, 0.07f, 0.89f, 1.025f,
                      0.215f);
}

void SpatiumGUI::loadPanel() {
    corvid::BackgroundMaps maps = corvid::loadBackgroundMaps(
        resources::baseColourJpeg(), resources::emissivePng(), resources::materialPng(),
        resources::physicalPng(), resources::depthPng(), resources::skyboxJpeg(), &getThreadPool());
    const auto fits = [](const auto& image) {
        return image && image->width() == layout::kEditorWidth &&
               image->height() == layout::kEditorHeight;
    };
    if (!fits(maps.diffuse) || !fits(maps.depth) || !fits(maps.material))
        corvid::fatalError("editor panel images do not have the editor's size");
    panel_.diffuse = std::move(maps.diffuse);
    panel_.depth = std::move(maps.depth);
    panel_.material = std::move(maps.material);
    uiContext.setEnvironmentMap(std::move(maps.skybox));
    logoImage_ = corvid::decodeToRGBA(resources::logoPng());
}

void SpatiumGUI::addTitle(corvid::UIContext& ctx) {
    corvid::UILogo& logo = place(*this, std::make_unique<corvid::UILogo>(ctx), layout::logo);
    logo.image = logoImage_.get();
    logo.emissiveRest = 10;
    logo.emissiveHovered = 40;
    logo.emissiveBase = 0;
    logo.url = kHomePage;
    logo_ = &logo;

    corvid::UILabel& subtitle =
        place(*this, std::make_unique<corvid::UILabel>(ctx), layout::subtitle);
    subtitle.setFont(titleFace_.get());
    subtitle.setTextSize(9.0f);
    subtitle.setLetterSpacing(1.0f);
    subtitle.setTextColor({150, 150, 150, 0});
    subtitle.setText(std::string(subtitleFor(this)));
    subtitle_ = &subtitle;
}

// Distance, level, width, mix and the M-to-S, tilt and pan knobs, with the bow game
// among them.
void SpatiumGUI::addPlacementControls(Controls& controls) {
    distance_ = controls.slider(layout::distance, 0.55f);
    outputLevel_ = controls.slider(layout::outputLevel, 0.65f);
    stereoWidth_ = controls.knob(layout::stereoWidth, kLargeKnob,
                                 {kDefaultAngles.minAngle, kDefaultAngles.maxAngle, 0.0f}, 0.25f);
    dryWet_ = controls.knob(layout::dryWet, kLargeKnob, kDefaultAngles, 0.275f);
    testMono_ =
        controls.onOff(layout::testMono, {{192, 245, 255, 112}, {90, 94, 98, 0}, 10000, 30000, 1});

    bowGame_ = &place(*this, std::make_unique<BowGame>(controls.context()), layout::bowGame);
    bowGame_->lightAll();

    const KnobAngles msAngles = symmetric(0.7f * kPi, -0.7f * kPi);
    msAmount_ = controls.knob(layout::msAmount, kMediumKnob, msAngles, 0.2f);
    msDelay_ = controls.knob(layout::msDelay, kSmallKnob, msAngles, 0.2f);
    msLowpass_ = controls.knob(layout::msLowpass, kSmallKnob, msAngles, 0.2f);
    tilt_ = controls.knob(layout::tilt, kMediumKnob, symmetric(kThreeQuarterPi, 0.0f), 0.2f);

    pan_ = &controls.bound<PanKnob, corvid::FloatParameter>(layout::pan);
    applyLook(*pan_, kPanKnob, symmetric(2.0546017f, 0.0f), 0.225f);
    pan_->trailUnlitDiffuse = {150, 155, 155, 60};

    const KnobAngles fullTurn = symmetric(kPi, 0.0f);
    headSize_ = controls.knob(layout::headSize, kSmallKnob, fullTurn, 0.2f);
    spectralPan_ = controls.knob(layout::spectralPan, kSmallKnob, fullTurn, 0.2f);
}

void SpatiumGUI::addDisplays(corvid::UIContext& ctx) {
    phaseDisplay_ = &place(*this, std::make_unique<PhaseDisplay>(ctx), layout::phaseDisplay);
    // The audio thread must never grow the display's buffer: size it for the
    // largest sub-block the client will ever process.
    phaseDisplay_->reserveFeedFrames(client_.maxSubBlock() > 0 ? client_.maxSubBlock()
                                                               : kLargestHostBlock);

    panorama_ = &place(*this,
                       std::make_unique<Panorama>(
                           ctx, client_.floatParameter(kPan), client_.floatParameter(kDistance),
                           client_.floatParameter(kTilt), client_.floatParameter(kOutputLevel)),
                       layout::panorama);
}

void SpatiumGUI::addLfoControls(Controls& controls) {
    const KnobAngles fullTurn = symmetric(kPi, 0.0f);
    lfoPan_ = controls.knob(layout::lfoPan, kSmallKnob, fullTurn, 0.2f);
    lfoDistance_ = controls.knob(layout::lfoDistance, kSmallKnob, fullTurn, 0.2f);
    lfoGain_ = controls.knob(layout::lfoGain, kSmallKnob, fullTurn, 0.2f);
    lfoTilt_ = controls.knob(layout::lfoTilt, kSmallKnob, fullTurn, 0.2f);
    lfoTilt_->trailShiftY = 0.06f;
    lfoPhase_ = controls.knob(layout::lfoPhase, kSmallKnob, fullTurn, 0.2f);

    auto* tempo = typedParameter<corvid::EnumParameter>(client_, layout::lfoTempo.parameter);
    lfoTempo_ = &place(
        *this, std::make_unique<vireo::VireoDropdown>(controls.context(), tempo, textFace_.get()),
        layout::lfoTempo);
    lfoTempo_->labels.assign(tempo->possibleValues().begin(), tempo->possibleValues().end());
    // Its open list reaches over the knobs below it.
    lfoTempo_->setZOrder(2);

    lfoWave_ = &place(*this,
                      vireo::VireoRadioButtonSet::create(typedParameter<corvid::IntegerParameter>(
                                                             client_, layout::lfoWave.parameter),
                                                         controls.context()),
                      layout::lfoWave);

    lfoFreq_ = controls.knob(layout::lfoFreq, kMediumKnob,
                             symmetric(kThreeQuarterPi, -kThreeQuarterPi), 0.2f);
    lfoFreq_->trailLitDiffuse = {255, 190, 80, 150};
    lfoSynced_ = controls.onOff(layout::lfoSynced,
                                {{192, 245, 255, 112}, {255, 190, 80, 150}, 20000, 10000, 0});
}

SpatiumGUI::~SpatiumGUI() {
    // The children draw with the fonts and the logo image: they go first.
    closeEditor();
    children.clear();
}

void SpatiumGUI::createParameterHints() {
    for (const layout::HintPlace& at : layout::kHints) {
        auto hint = std::make_unique<corvid::UIParamHint>(
            getContext(), parameterNamed(client_, at.parameter), textFace_.get());
        hint->textSize = 9.5f;
        hint->setZOrder(3);
        hint->setPosition(at.box());
        hint->plateDiffuse = {130, 90, 45, 5};
        hint->textColorLow = {91, 90, 89, 13};
        hint->textColorHigh = {41, 40, 49, 13};
        hint->faceDiffuseLow = {91, 90, 89, 13};
        hint->faceDiffuseHigh = {253, 245, 240, 43};
        hint->faceMaterial = {0, 255, 192, 255};
        hint->baseAlpha = 0.0f;
        addChild(std::move(hint));
    }
}

void SpatiumGUI::feedPanorama(float panAmount, float distanceAmount, float tiltAmount, float level,
                              float sampleRate) {
    panorama_->feed(panAmount, distanceAmount, tiltAmount, level, sampleRate);
}

void SpatiumGUI::feedPhaseDisplay(const float* left, const float* right, std::int32_t frames,
                                  float sampleRate) {
    phaseDisplay_->feed(left, right, frames, sampleRate);
}

void SpatiumGUI::arrange(const corvid::IntRect& availableSpace) {
    setPosition(availableSpace);
}

void SpatiumGUI::paintMaps(const corvid::ImageView<corvid::RGBA>& diffuseMap,
                           const corvid::ImageView<corvid::L16>& depthMap,
                           const corvid::ImageView<corvid::RGBA>& materialMap,
                           const std::vector<corvid::IntRect>& dirtyRects) {
    paintPanel(panel_, diffuseMap, depthMap, materialMap, dirtyRects);
}

std::unique_ptr<corvid::IGraphics> createSpatiumEditor(SpatiumClient& client) {
    return std::make_unique<SpatiumGUI>(client);
}

} // namespace spatium
