#pragma once
// The rotary control of the lit widget set: a raised body with a ring of small
// LEDs that turns with the value, and a two-colour trail painted on the panel
// around it. A vertical drag turns it, a double click returns it to the default.

#include "corvid/client/params.h"
#include "corvid/graphics/color.h"
#include "corvid/gui/element.h"

#include <atomic>
#include <cstdint>
#include <limits>

namespace corvid {

enum class KnobBodyStyle : std::int32_t {
    dimpled = 0,  // flat top with a conical dimple
    cylinder = 1, // flat top, 5-pixel bevel
    cone = 2,     // linear slope from the centre to the rim
    ball = 3,     // rounded profile
};

// Where the knob sits in its box: centred in the largest square, all in pixels of
// the element's own coordinates.
struct KnobGeometry {
    float cx = 0.0f, cy = 0.0f;
    float side = 0.0f;     // S, the square's side
    float halfSide = 0.0f; // H
    float bodyRadius = 0.0f;
};

class UIKnob : public UIElement, public IParameterListener {
public:
    UIKnob(UIContext& context, FloatParameter* parameter);
    ~UIKnob() override;

    // ---- Appearance. Fractions are of H (half the square's side) unless noted.
    float bodyRadius = 0.75f;
    RGBA bodyDiffuse{233, 235, 236, 0};
    RGBA bodyMaterial{0, 255, 128, 255};
    KnobBodyStyle bodyStyle = KnobBodyStyle::dimpled;
    std::int32_t ledCount = 7;
    float ledRadiusMin = 0.127f; // fractions of the body radius R
    float ledRadiusMax = 0.127f;
    RGBA ledLitDiffuse{255, 140, 220, 215};
    RGBA ledUnlitDiffuse{255, 140, 220, 40};
    float ledOrbit = 0.8f; // fraction of R
    float ledOrbitPressed = 0.7f;
    std::uint16_t ledDepth = 65000;
    RGBA trailLitDiffuse{230, 80, 43, 192};
    RGBA trailUnlitDiffuse{150, 40, 20, 8};
    float trailRadiusMin = 0.85f;
    float trailRadiusMax = 0.97f;
    float trailShiftX = 0.0f; // fraction of R
    float trailShiftY = 0.0f;
    float minAngle = -2.3561945f;  // knob angle at 0, radians clockwise from 12 o'clock
    float baseAngle = -2.3561945f; // where the lit trail starts
    float maxAngle = 2.3561945f;   // knob angle at 1
    RGBA trailLitDiffuseBelowBase{43, 80, 230, 192};
    bool useBelowBaseColour = false;
    float pressSpeed = 40.0f; // per second

    // ---- State.
    FloatParameter* parameter;
    float pressAmount = 0.0f;
    float dragSensitivity = 0.25f;
    bool hovered = false;
    float lowClampY = std::numeric_limits<float>::infinity();
    float highClampY = -std::numeric_limits<float>::infinity();

    virtual float getDragSensitivity();
    virtual float setDragSensitivity(float sensitivity);
    // Both draw per dirty box into the maps as paintMaps hands them over.
    virtual void drawTrail(const ImageView<RGBA>& diffuseMap, const std::vector<IntRect>& boxes);
    virtual void drawBodyAndLeds(const ImageView<RGBA>& diffuseMap, const ImageView<L16>& depthMap,
                                 const ImageView<RGBA>& materialMap,
                                 const std::vector<IntRect>& boxes);
    void parameterChanged(Parameter* p) override;
    void parameterEditBegun(Parameter* p) override;
    void parameterEditEnded(Parameter* p) override;
    virtual float screenMinAngle();
    virtual float screenMaxAngle();
    virtual float screenBaseAngle();
    virtual float screenValueAngle();
    virtual void clearCrossingMarks();

    bool onMouseClick(std::int32_t x, std::int32_t y, MouseButton button, bool isDoubleClick,
                      MouseState state) override;
    void onMouseMove(std::int32_t x, std::int32_t y, std::int32_t dx, std::int32_t dy,
                     MouseState state) override;
    void onDragStart() override;
    void onDragMove(std::int32_t x, std::int32_t y, std::int32_t dx, std::int32_t dy,
                    MouseState state) override;
    void onDragEnd() override;
    void onMouseExit() override;
    void paintMaps(const ImageView<RGBA>& diffuseMap, const ImageView<L16>& depthMap,
                   const ImageView<RGBA>& materialMap,
                   const std::vector<IntRect>& dirtyRects) override;
    void animateSelf(double dt, double time) override;

    KnobGeometry geometry() const;
    // The listener the knob registers with its parameter.
    const IParameterListener* parameterHook() const { return &changeHook; }
    bool hitTest(std::int32_t x, std::int32_t y) const;

protected:
    bool isDragged() const;

    // What the parameter holds on to. The knob is a base class: while a derived
    // knob is being built or torn down its own dispatch is in flux, so another
    // thread's callback must not reach it. The hook is complete before it is
    // registered and outlives its removal; it only raises a flag, and the knob's
    // animation turns the flag into a redraw on the GUI thread.
    class ChangeHook final : public IParameterListener {
    public:
        void parameterChanged(Parameter*) override { changed.store(true); }
        void parameterEditBegun(Parameter*) override {}
        void parameterEditEnded(Parameter*) override {}
        std::atomic<bool> changed{true};
    };
    ChangeHook changeHook;
    // The parameter's normalised value, 0 for a value no drawing can use.
    double drawableValue() const;
};

// Screen angles (atan2 with y downward) are knob angles plus three quarter turns.
inline constexpr float kScreenAngleOffset = 4.71238898f;

} // namespace corvid
