#include "vireo/gui/imageknob.h"

#include "corvid/pbrwidgets/paintbox.h"
#include "vireo/gui/imageknob_kernel.h"

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
    drawImageKnobBody(*this, corvid::bestIsa(), diffuseMap, depthMap, materialMap, boxes);
}

namespace {

// One pixel as the Part gives it, through the picture's own sampler: for pictures
// too large for the lanes' offset arithmetic.
void onePixel(const corvid::Mipmap<RGBA>& image, float w, float x, float y, RGBA& d, L16& z,
              RGBA& m) {
    const auto mask = image.sampleBilinear(0, x, y);
    const auto k = static_cast<std::uint32_t>(toByte(mask[0]));
    if (k == 0) return;
    const auto colour = image.sampleBilinear(0, x, y + w);
    const auto height = image.sampleBilinear(0, x, y + 2.0f * w);
    const auto material = image.sampleBilinear(0, x, y + 3.0f * w);
    d = {mix(toByte(colour[0]), d.r, k), mix(toByte(colour[1]), d.g, k),
         mix(toByte(colour[2]), d.b, k), mix(toByte(colour[3]), d.a, k)};
    m = {mix(toByte(material[0]), m.r, k), mix(toByte(material[1]), m.g, k),
         mix(toByte(material[2]), m.b, k), mix(toByte(material[3]), m.a, k)};
    const float grey = (height[0] + height[1] + height[2]) * 257.0f / 3.0f + 0.5f;
    const auto value = static_cast<std::uint32_t>(std::clamp(grey, 0.0f, 65535.0f));
    const std::uint32_t u = k * 257u;
    z = L16(static_cast<std::uint16_t>(
        (value * u + (65535u - u) * static_cast<std::uint32_t>(z.l) + 32768u) >> 16));
}

// The lanes compute texel offsets as row times pitch in 32 bits from 16-bit parts.
constexpr std::int32_t kLaneLimit = 65536;

} // namespace

void drawImageKnobBody(UIImageKnob& knob, corvid::Isa isa, const ImageView<RGBA>& diffuseMap,
                       const ImageView<L16>& depthMap, const ImageView<RGBA>& materialMap,
                       const std::vector<IntRect>& boxes) {
    const corvid::Mipmap<RGBA>* image = knob.knobImage;
    if (!image || image->levelCount() == 0) return;
    const auto& picture = image->level(0);
    // A picture not four squares high has no layers to read.
    if (picture.width() <= 0 || picture.height() < 4 * picture.width()) return;
    const corvid::KnobGeometry g = knob.geometry();
    const IntRect element = corvid::elementInCrop(knob.getPosition());
    const float phi = knob.screenValueAngle() + kHalfPi;
    const float c = std::cos(phi), s = std::sin(phi);
    const bool lanesFit = picture.height() < kLaneLimit && picture.asView().pitch() < kLaneLimit;
    const float w = static_cast<float>(picture.width());
    imageknob_detail::BodyJob job;
    job.picture = reinterpret_cast<const std::uint8_t*>(picture.asView().pixels());
    job.picturePitch = picture.asView().pitch();
    job.width = picture.width();
    job.height = picture.height();
    job.c = c;
    job.s = s;
    job.cx = g.cx;
    job.cy = g.cy;
    job.originX = element.minX;
    job.originY = element.minY;
    job.diffuse = reinterpret_cast<std::uint8_t*>(diffuseMap.pixels());
    job.diffusePitch = diffuseMap.pitch();
    job.depth = reinterpret_cast<std::uint8_t*>(depthMap.pixels());
    job.depthPitch = depthMap.pitch();
    job.material = reinterpret_cast<std::uint8_t*>(materialMap.pixels());
    job.materialPitch = materialMap.pitch();
    for (const IntRect& box : boxes) {
        const IntRect cut = box.intersect(element).intersect(diffuseMap.bounds());
        if (cut.isEmpty()) continue;
        if (!lanesFit) {
            for (std::int32_t row = cut.minY; row < cut.maxY; ++row) {
                const float dy = static_cast<float>(row - element.minY) - g.cy;
                for (std::int32_t col = cut.minX; col < cut.maxX; ++col) {
                    const float dx = static_cast<float>(col - element.minX) - g.cx;
                    const float x = c * dy - s * dx + w / 2.0f;
                    const float y = std::clamp(c * dx + s * dy + w / 2.0f, 0.5f, w - 0.5f);
                    onePixel(*image, w, x, y, diffuseMap.row(row)[col], depthMap.row(row)[col],
                             materialMap.row(row)[col]);
                }
            }
            continue;
        }
        job.minX = cut.minX;
        job.minY = cut.minY;
        job.maxX = cut.maxX;
        job.maxY = cut.maxY;
        corvid::IsaBodies<void (*)(const imageknob_detail::BodyJob&)>{
            &imageknob_detail::drawBodySse2, &imageknob_detail::drawBodyAvx2,
            &imageknob_detail::drawBodyAvx512}[isa](job);
    }
}

} // namespace vireo
