#include "spatium/gui/panel.h"

#include <algorithm>
#include <cstring>

namespace spatium {

namespace {

template <typename T>
void copyBox(const corvid::OwnedImage<T>& from, const corvid::ImageView<T>& to,
             const corvid::IntRect& box) {
    const auto bytes = static_cast<std::size_t>(box.width()) * sizeof(T);
    for (std::int32_t y = box.minY; y < box.maxY; ++y)
        std::memcpy(to.row(y) + box.minX, from.data() + std::size_t(y) * from.width() + box.minX,
                    bytes);
}

} // namespace

void paintPanel(const PanelImages& panel, const corvid::ImageView<corvid::RGBA>& diffuseMap,
                const corvid::ImageView<corvid::L16>& depthMap,
                const corvid::ImageView<corvid::RGBA>& materialMap,
                const std::vector<corvid::IntRect>& boxes) {
    const corvid::IntRect images =
        corvid::IntRect{0, 0, panel.diffuse->width(), panel.diffuse->height()}
            .intersect({0, 0, panel.depth->width(), panel.depth->height()})
            .intersect({0, 0, panel.material->width(), panel.material->height()});
    const corvid::IntRect maps =
        diffuseMap.bounds().intersect(depthMap.bounds()).intersect(materialMap.bounds());
    for (const corvid::IntRect& requested : boxes) {
        const corvid::IntRect box = requested.intersect(images).intersect(maps);
        if (box.isEmpty()) continue;
        copyBox(*panel.diffuse, diffuseMap, box);
        copyBox(*panel.depth, depthMap, box);
        copyBox(*panel.material, materialMap, box);
        // The ramp runs over its whole rectangle; only the part in this box is written.
        const corvid::ImageView<corvid::L16> clipped = depthMap.withClip(box);
        for (const DepthGradient& g : kPanelDepthGradients)
            if (g.rect.overlaps(box)) corvid::depthRamp(clipped, g.rect, g.top, g.bottom, g.curve);
    }
}

} // namespace spatium
