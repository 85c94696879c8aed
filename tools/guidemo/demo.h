#pragma once
// A small editor made of placeholder and buffered elements on a lit panel, with a
// generated environment, for looking at the lighting.

#include "corvid/gui/graphics.h"

#include <memory>

namespace guidemo {

constexpr int kWidth = 763;
constexpr int kHeight = 494;

class DemoEditor : public corvid::GUIGraphics {
public:
    DemoEditor();
    // Keeps every child where it was placed; only the root follows the window.
    void arrange(const corvid::IntRect& availableSpace) override;
    void paintMaps(const corvid::ImageView<corvid::RGBA>& diffuse,
                   const corvid::ImageView<corvid::L16>& depth,
                   const corvid::ImageView<corvid::RGBA>& material,
                   const std::vector<corvid::IntRect>& dirtyRects) override;
};

// Sky above, a bright horizon with a sun, dark ground below: enough structure for
// reflections on metal to read as such.
std::unique_ptr<corvid::OwnedImage<corvid::RGBA>> makeSkybox(int width, int height);

} // namespace guidemo
