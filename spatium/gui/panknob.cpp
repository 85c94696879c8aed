#include "spatium/gui/panknob.h"

#include "corvid/pbrwidgets/paintbox.h"
#include "corvid/pbrwidgets/shapes.h"

#include <cmath>

namespace spatium {

namespace {

constexpr float kHalfPi = 1.57079632679490f;
// The middle of the trail ring 0.875-1.0 of the half side, where the dot sits.
constexpr float kMarkerOrbit = 0.9375f;
constexpr corvid::RGBA kMarkerColour{60, 60, 60, 0};

} // namespace

void PanKnob::paintMaps(const corvid::ImageView<corvid::RGBA>& diffuseMap,
                        const corvid::ImageView<corvid::L16>& depthMap,
                        const corvid::ImageView<corvid::RGBA>& materialMap,
                        const std::vector<corvid::IntRect>& dirtyRects) {
    drawTrail(diffuseMap, dirtyRects);
    drawBodyAndLeds(diffuseMap, depthMap, materialMap, dirtyRects);
    // From the fields themselves: the marker shows the value on the printed dial
    // whatever a subclass does to the angle operations.
    const auto v = static_cast<float>(drawableValue());
    const float phi = (1.0f - v) * (minAngle + corvid::kScreenAngleOffset) +
                      v * (maxAngle + corvid::kScreenAngleOffset) + kHalfPi;
    const corvid::KnobGeometry g = geometry();
    const corvid::IntRect element = corvid::elementInCrop(position);
    for (const corvid::IntRect& box : dirtyRects) {
        const auto d = corvid::boxView(diffuseMap, box, element);
        if (d.drawableArea().isEmpty()) continue;
        const float x =
            static_cast<float>(element.minX) + g.cx + std::sin(phi) * g.halfSide * kMarkerOrbit;
        const float y =
            static_cast<float>(element.minY) + g.cy - std::cos(phi) * g.halfSide * kMarkerOrbit;
        corvid::softDisc(d, x, y, 3.0f, 2.0f, kMarkerColour);
    }
}

} // namespace spatium
