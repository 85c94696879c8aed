#pragma once
// The editor's top-down view of the source around the listener: a half-disc with
// the listener at the bottom centre and the source at the Pan angle and at a
// radius given by Distance. Clicking or dragging in it places the source (Pan and
// Distance together). Fainter, it shows where the audio engine really has the
// source after its dry/wet scaling, fed from the audio thread; Tilt colours the
// source and Output Level sizes its ring.

#include "spatium/gui/feedqueue.h"

#include "corvid/client/params.h"
#include "corvid/graphics/color.h"
#include "corvid/graphics/view.h"
#include "corvid/gui/element.h"

#include <cstdint>
#include <vector>

namespace spatium {

// One placement as the audio engine uses it.
struct PanoramaFeed {
    float panAmount;      // -1..1, a fraction of +-90 degrees
    float distanceAmount; // dB, -24..6
    float tiltAmount;     // dB
    float level;          // scales the dot; the audio side sends 1
};
static_assert(sizeof(PanoramaFeed) == 16);

// The half-disc inside an element box of width x height pixels, in element
// coordinates. Distances from -24 dB (the rim) to +6 dB (the listener) map to
// radii along a 0.75 power, so the near range gets more room.
struct PanoramaGeometry {
    struct Point {
        float x, y;
    };
    // What a point of the half-disc stands for. At the listener itself no angle
    // is defined: panDefined is false and panDegrees meaningless.
    struct Placement {
        float panDegrees;
        float distanceDb;
        bool panDefined;
    };

    static constexpr float kListenerAboveBottom = 18.0f;
    static constexpr float kRimBelowTop = 14.0f;
    static constexpr float kRimInset = 28.0f;
    static constexpr float kNearestDb = 6.0f;
    static constexpr float kFarthestDb = -24.0f;
    static constexpr float kRangeDb = kNearestDb - kFarthestDb;

    float width = 0.0f, height = 0.0f;
    float listenerX = 0.0f, listenerY = 0.0f;
    // Rm; 0 for a box too small to hold a half-disc.
    float radius = 0.0f;

    static PanoramaGeometry forSize(std::int32_t width, std::int32_t height);

    // Where a source at distanceDb and panAmount (-1..1) is drawn; distances
    // beyond the range land on the rim or on the listener.
    Point position(float distanceDb, float panAmount) const;
    // The inverse of position, not clamped: beyond the rim gives less than -24 dB,
    // below the listener an angle clamped to +-90 degrees.
    Placement parametersAt(float x, float y) const;
    // Inside the half-disc widened by margin, and not below the box.
    bool hit(float x, float y, float margin) const;
    // Radius of the 0 dB circle.
    float zeroDbRadius() const;
};

class Panorama : public corvid::UIElement, public corvid::IParameterListener {
public:
    static constexpr std::int64_t kQueueCapacity = 16;
    // The feed arrives once per sub-block of at most this many frames.
    static constexpr float kFramesPerFeed = 512.0f;
    // How far outside the half-disc clicks and the hover preview still count.
    static constexpr float kHitMargin = 30.0f;

    // The parameters are not owned and must outlive the panorama: Pan in degrees
    // (-90..90), Distance in dB (-24..6), Tilt in dB and Output Level in dB.
    Panorama(corvid::UIContext& context, corvid::FloatParameter* pan,
             corvid::FloatParameter* distance, corvid::FloatParameter* tilt,
             corvid::FloatParameter* outputLevel);
    ~Panorama() override;

    // Audio thread; never waits. An item that meets the editor holding the queue,
    // or that carries a non-finite value, is dropped.
    void feed(float panAmount, float distanceAmount, float tiltAmount, float level,
              float sampleRate);

    // The source colour for a tilt in dB: warmer when cut, cooler when boosted.
    static corvid::RGBA tiltColor(float tiltDb);

    PanoramaGeometry geometry() const;
    // Sets Pan and Distance from the editor to what the element point stands for.
    // At the listener point Pan keeps its value.
    void setFromPoint(std::int32_t x, std::int32_t y);

    // Draws the whole picture into a diffuse view whose (0, 0) is the element's
    // top-left pixel; the view's clip limits what is touched.
    void draw(const corvid::ImageView<corvid::RGBA>& diffuse) const;

    const PanoramaFeed& lastFeed() const { return lastFeed_; }
    TimedFeedQueue<PanoramaFeed>& feedQueue() { return queue_; }

    bool onMouseClick(std::int32_t x, std::int32_t y, corvid::MouseButton button,
                      bool isDoubleClick, corvid::MouseState state) override;
    void onMouseMove(std::int32_t x, std::int32_t y, std::int32_t dx, std::int32_t dy,
                     corvid::MouseState state) override;
    void onMouseExit() override;
    void onDragStart() override;
    void onDragMove(std::int32_t x, std::int32_t y, std::int32_t dx, std::int32_t dy,
                    corvid::MouseState state) override;
    void onDragEnd() override;
    void animateSelf(double dt, double time) override;
    void paintMaps(const corvid::ImageView<corvid::RGBA>& diffuseMap,
                   const corvid::ImageView<corvid::L16>& depthMap,
                   const corvid::ImageView<corvid::RGBA>& materialMap,
                   const std::vector<corvid::IntRect>& dirtyRects) override;

    void parameterChanged(corvid::Parameter* parameter) override;
    void parameterEditBegun(corvid::Parameter* parameter) override;
    void parameterEditEnded(corvid::Parameter* parameter) override;

private:
    corvid::FloatParameter* pan_;
    corvid::FloatParameter* distance_;
    corvid::FloatParameter* tilt_;
    corvid::FloatParameter* outputLevel_;
    TimedFeedQueue<PanoramaFeed> queue_{kQueueCapacity, 0, 1.0f};
    PanoramaFeed lastFeed_{0.0f, 0.0f, 0.0f, 1.0f};
    std::int32_t mouseX_ = 0, mouseY_ = 0;
};

} // namespace spatium
