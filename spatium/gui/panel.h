#pragma once
// The editor's panel: the pre-rendered background maps copied under every dirty
// box, with four depth gradients laid over the depth so the lighting gives the
// panel's bands and the LFO section their slope.

#include "corvid/graphics/drawex.h"
#include "corvid/graphics/image.h"
#include "corvid/graphics/rect.h"
#include "corvid/graphics/view.h"

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

namespace spatium {

struct DepthGradient {
    corvid::IntRect rect;
    std::uint16_t top;
    std::uint16_t bottom;
    corvid::DepthCurve curve;
};

inline constexpr std::array<DepthGradient, 4> kPanelDepthGradients = {{
    {{0, 466, 763, 494}, 16962, 0, corvid::DepthCurve::quadratic},
    {{300, 0, 463, 90}, 52919, 18962, corvid::DepthCurve::squareRoot},
    {{645, 67, 763, 380}, 62819, 17962, corvid::DepthCurve::power07},
    {{403, 100, 643, 250}, 16962, 25000, corvid::DepthCurve::power14},
}};

// The three background images, each the editor's size.
struct PanelImages {
    std::unique_ptr<corvid::OwnedImage<corvid::RGBA>> diffuse;
    std::unique_ptr<corvid::OwnedImage<corvid::L16>> depth;
    std::unique_ptr<corvid::OwnedImage<corvid::RGBA>> material;
};

// Paints the panel into maps whose (0, 0) is the panel's top-left pixel, only
// inside the given boxes (cut to the maps and the images).
void paintPanel(const PanelImages& panel, const corvid::ImageView<corvid::RGBA>& diffuseMap,
                const corvid::ImageView<corvid::L16>& depthMap,
                const corvid::ImageView<corvid::RGBA>& materialMap,
                const std::vector<corvid::IntRect>& boxes);

} // namespace spatium
