#include "vireo/gui/imageknob.h"

#include "corvid/pbrwidgets/paintbox.h"

#include <algorithm>
#include <cmath>

namespace vireo {

using corvid::ImageView;
using corvid::IntRect;
using corvid::L16;
using corvid::RGBA;

namespace {

constexpr float kHalfPi = 1.57079632679490f;

std::uint8_t toByte(float v) {
    return static_cast<std::uint8_t>(std::clamp(v + 0.5f, 0.0f, 255.0f));
}

std::uint8_t mix(std::uint8_t src, std::uint8_t dst, std::uint32_t k) {
    return static_cast<std::uint8_t>((src * k + dst * (255u - k)) / 255u);
}

} // namespace

UIImageKnob::UIImageKnob(corvid::UIContext& context, corvid::FloatParameter* parameter,
                         const corvid::Mipmap<RGBA>* image)
    : UIKnob(context, parameter), knobImage(image) {}

void UIImageKnob::drawBodyAndLeds(const ImageView<RGBA>& diffuseMap, const ImageView<L16>& depthMap,
                                  const ImageView<RGBA>& materialMap,
                                  const std::vector<IntRect>& boxes) {
    if (!knobImage || knobImage->levelCount() == 0) return;
    const auto& picture = knobImage->level(0);
    const float w = static_cast<float>(picture.width());
    // A picture not four squares high has no layers to read.
    if (picture.width() <= 0 || picture.height() < 4 * picture.width()) return;
    const corvid::KnobGeometry g = geometry();
    const IntRect element = corvid::elementInCrop(position);
    const float phi = screenValueAngle() + kHalfPi;
    const float c = std::cos(phi), s = std::sin(phi);
    for (const IntRect& box : boxes) {
        const IntRect cut = box.intersect(element).intersect(diffuseMap.bounds());
        if (cut.isEmpty()) continue;
        for (std::int32_t row = cut.minY; row < cut.maxY; ++row) {
            const float dy = static_cast<float>(row - element.minY) - g.cy;
            RGBA* dif = diffuseMap.row(row);
            L16* dep = depthMap.row(row);
            RGBA* mat = materialMap.row(row);
            for (std::int32_t col = cut.minX; col < cut.maxX; ++col) {
                const float dx = static_cast<float>(col - element.minX) - g.cx;
                const float x = c * dy - s * dx + w / 2.0f;
                const float y = std::clamp(c * dx + s * dy + w / 2.0f, 0.5f, w - 0.5f);
                const auto mask = knobImage->sampleBilinear(0, x, y);
                const auto k = static_cast<std::uint32_t>(toByte(mask[0]));
                if (k == 0) continue;
                const auto colour = knobImage->sampleBilinear(0, x, y + w);
                const auto height = knobImage->sampleBilinear(0, x, y + 2.0f * w);
                const auto material = knobImage->sampleBilinear(0, x, y + 3.0f * w);
                RGBA& d = dif[col];
                d = {mix(toByte(colour[0]), d.r, k), mix(toByte(colour[1]), d.g, k),
                     mix(toByte(colour[2]), d.b, k), mix(toByte(colour[3]), d.a, k)};
                RGBA& m = mat[col];
                m = {mix(toByte(material[0]), m.r, k), mix(toByte(material[1]), m.g, k),
                     mix(toByte(material[2]), m.b, k), mix(toByte(material[3]), m.a, k)};
                const float grey = (height[0] + height[1] + height[2]) * 257.0f / 3.0f + 0.5f;
                const auto value = static_cast<std::uint32_t>(std::clamp(grey, 0.0f, 65535.0f));
                const std::uint32_t u = k * 257u;
                dep[col] = L16(static_cast<std::uint16_t>(
                    (value * u + (65535u - u) * static_cast<std::uint32_t>(dep[col].l) + 32768u) >>
                    16));
            }
        }
    }
}

} // namespace vireo
