#include "corvid/pbrwidgets/logo.h"

#include "corvid/gui/context.h"
#include "corvid/pbrwidgets/urlopener.h"
#include "corvid/pbrwidgets/widgetdraw.h"

#include <algorithm>
#include <cmath>

namespace corvid {

namespace {
constexpr double kGlowStep = 0.001;
}

UILogo::UILogo(UIContext& ctx) : UIElement(ctx) {}

bool UILogo::onMouseClick(std::int32_t, std::int32_t, MouseButton, bool, MouseState) {
    openUrl(url);
    return true;
}

void UILogo::onMouseEnter() {
    markDirty();
}
void UILogo::onMouseExit() {
    markDirty();
}

void UILogo::animateSelf(double dt, double) {
    const double target = (context.dragged == this || mouseOver) ? 1.0 : 0.0;
    const double c = 1.0 - std::exp(-double(glowSpeed) * dt);
    const double g = double(glowAmount) * (1.0 - c) + target * c;
    // A NaN speed or step must not leave a NaN glow behind for the drawing.
    if (!std::isfinite(g)) return;
    if (std::fabs(g - double(glowAmount)) > kGlowStep) {
        glowAmount = static_cast<float>(g);
        markDirty();
    }
}

void UILogo::paintMaps(const ImageView<RGBA>& diffuseMap, const ImageView<L16>&,
                       const ImageView<RGBA>&, const std::vector<IntRect>& dirtyRects) {
    if (image == nullptr) return;
    const float g = clampUnit(glowAmount);
    const unsigned emissive = unsigned(truncToPixel((1.0f - g) * float(emissiveRest) +
                                                    g * float(emissiveHovered) + 0.5f)) &
                              255u;
    const std::int32_t ox = elementOriginInCrop(position.minX);
    const std::int32_t oy = elementOriginInCrop(position.minY);
    // The image's pixels in crop coordinates.
    const IntRect imageBox = IntRect{0, 0, image->width(), image->height()}.translated(ox, oy);
    for (const IntRect& dirty : dirtyRects) {
        const IntRect r = dirty.intersect(imageBox).intersect(diffuseMap.bounds());
        for (std::int32_t y = r.minY; y < r.maxY; ++y) {
            const RGBA* src = image->rowSpan(y - oy).data();
            RGBA* dst = diffuseMap.row(y);
            for (std::int32_t x = r.minX; x < r.maxX; ++x) {
                const RGBA s = src[x - ox];
                const unsigned a = s.a, na = 255u - a;
                RGBA& d = dst[x];
                const unsigned coverage = (a * a + na * d.a) / 255u;
                const unsigned alpha = emissiveBase + (emissive * coverage + 128u) / 256u;
                d.r = std::uint8_t((s.r * a + d.r * na) / 255u);
                d.g = std::uint8_t((s.g * a + d.g * na) / 255u);
                d.b = std::uint8_t((s.b * a + d.b * na) / 255u);
                // A large base would wrap around to a dark value; it saturates instead.
                d.a = std::uint8_t(std::min(alpha, 255u));
            }
        }
    }
}

} // namespace corvid
