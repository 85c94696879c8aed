#include "demo.h"

#include "corvid/gui/bufferedelement.h"

#include <algorithm>
#include <cmath>

namespace guidemo {

using corvid::ImageView;
using corvid::IntRect;
using corvid::L16;
using corvid::L8;
using corvid::RGBA;

namespace {

std::uint8_t toByte(float v) {
    return static_cast<std::uint8_t>(std::clamp(v, 0.0f, 255.0f));
}

RGBA mix(RGBA a, RGBA b, float t) {
    return {toByte(a.r + (b.r - a.r) * t), toByte(a.g + (b.g - a.g) * t),
            toByte(a.b + (b.b - a.b) * t), toByte(a.a + (b.a - a.a) * t)};
}

// Coverage of a pixel by a disc, for soft edges.
float discCoverage(float x, float y, float cx, float cy, float radius) {
    const float d = std::sqrt((x - cx) * (x - cx) + (y - cy) * (y - cy));
    return std::clamp(radius - d + 0.5f, 0.0f, 1.0f);
}

// A polished hemisphere: depth rises towards its centre, material set per style.
class Dome : public corvid::UIBufferedElement {
public:
    Dome(corvid::UIContext& c, IntRect box, RGBA color, RGBA material)
        : UIBufferedElement(c), color_(color), material_(material) {
        position = box;
    }
    void arrange(const IntRect&) override {}
    void paintLayers(const ImageView<RGBA>& diffuse, const ImageView<L16>& depth,
                     const ImageView<RGBA>& material, const ImageView<L8>& diffuseOpacity,
                     const ImageView<L8>& depthOpacity,
                     const ImageView<L8>& materialOpacity) override {
        const float cx = diffuse.width() * 0.5f, cy = diffuse.height() * 0.5f;
        const float radius = std::min(cx, cy) - 1.0f;
        for (int y = 0; y < diffuse.height(); ++y)
            for (int x = 0; x < diffuse.width(); ++x) {
                const float px = x + 0.5f, py = y + 0.5f;
                const float cover = discCoverage(px, py, cx, cy, radius);
                if (cover <= 0.0f) continue;
                const float r2 =
                    ((px - cx) * (px - cx) + (py - cy) * (py - cy)) / (radius * radius);
                const float h = std::sqrt(std::max(0.0f, 1.0f - r2));
                const auto o = static_cast<std::uint8_t>(cover * 255.0f);
                diffuse.at(x, y) = color_;
                depth.at(x, y) = L16(static_cast<std::uint16_t>(22000.0f + 9000.0f * h));
                material.at(x, y) = material_;
                diffuseOpacity.at(x, y) = L8(o);
                depthOpacity.at(x, y) = L8(o);
                materialOpacity.at(x, y) = L8(o);
            }
    }

private:
    RGBA color_, material_;
};

// A round lamp whose emission pulses, driven by the window's animation timer.
class Lamp : public corvid::UIBufferedElement {
public:
    Lamp(corvid::UIContext& c, IntRect box, RGBA color, double rate)
        : UIBufferedElement(c), color_(color), rate_(rate) {
        position = box;
    }
    void arrange(const IntRect&) override {}
    void animateSelf(double, double time) override {
        const auto level =
            static_cast<std::uint8_t>(60.0 + 195.0 * (0.5 + 0.5 * std::sin(time * rate_)));
        if (level != emission_) {
            emission_ = level;
            // The glow reaches past the lamp itself.
            markDirtyRect({-12, -12, position.width() + 12, position.height() + 12});
        }
    }
    void paintLayers(const ImageView<RGBA>& diffuse, const ImageView<L16>& depth,
                     const ImageView<RGBA>& material, const ImageView<L8>& diffuseOpacity,
                     const ImageView<L8>& depthOpacity,
                     const ImageView<L8>& materialOpacity) override {
        const float cx = diffuse.width() * 0.5f, cy = diffuse.height() * 0.5f;
        const float radius = std::min(cx, cy) - 1.0f;
        for (int y = 0; y < diffuse.height(); ++y)
            for (int x = 0; x < diffuse.width(); ++x) {
                const float cover = discCoverage(x + 0.5f, y + 0.5f, cx, cy, radius);
                if (cover <= 0.0f) continue;
                const auto o = static_cast<std::uint8_t>(cover * 255.0f);
                diffuse.at(x, y) = {color_.r, color_.g, color_.b, emission_};
                depth.at(x, y) = L16(24000);
                material.at(x, y) = {40, 0, 255, 120};
                diffuseOpacity.at(x, y) = L8(o);
                depthOpacity.at(x, y) = L8(o);
                materialOpacity.at(x, y) = L8(o);
            }
    }

private:
    RGBA color_;
    double rate_;
    std::uint8_t emission_ = 0;
};

// A raised key that lights up when clicked.
class Key : public corvid::UIBufferedElement {
public:
    Key(corvid::UIContext& c, IntRect box) : UIBufferedElement(c) { position = box; }
    void arrange(const IntRect&) override {}
    bool onMouseClick(std::int32_t, std::int32_t, corvid::MouseButton, bool,
                      corvid::MouseState) override {
        on_ = !on_;
        markDirtyRect({-16, -16, position.width() + 16, position.height() + 16});
        return true;
    }
    void paintLayers(const ImageView<RGBA>& diffuse, const ImageView<L16>& depth,
                     const ImageView<RGBA>& material, const ImageView<L8>& diffuseOpacity,
                     const ImageView<L8>& depthOpacity,
                     const ImageView<L8>& materialOpacity) override {
        const int w = diffuse.width(), h = diffuse.height();
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                // Bevel: height rises over the outer 6 pixels.
                const int edge = std::min({x, y, w - 1 - x, h - 1 - y});
                const float bevel = std::min(1.0f, edge / 6.0f);
                diffuse.at(x, y) = on_ ? RGBA{255, 150, 40, 160} : RGBA{90, 96, 104, 0};
                depth.at(x, y) = L16(static_cast<std::uint16_t>(20000.0f + 6000.0f * bevel));
                material.at(x, y) = {110, 0, 140, 255};
                diffuseOpacity.at(x, y) = L8(255);
                depthOpacity.at(x, y) = L8(255);
                materialOpacity.at(x, y) = L8(255);
            }
    }

private:
    bool on_ = false;
};

// A strip whose roughness sweeps from mirror to matte, metal on top, plastic below.
class RoughnessStrip : public corvid::UIElement {
public:
    RoughnessStrip(corvid::UIContext& c, IntRect box) : UIElement(c) { position = box; }
    void arrange(const IntRect&) override {}
    void paintMaps(const ImageView<RGBA>& diffuse, const ImageView<L16>& depth,
                   const ImageView<RGBA>& material, const std::vector<IntRect>& rects) override {
        const int w = position.width(), h = position.height();
        for (const IntRect& r : rects)
            for (int y = r.minY; y < r.maxY; ++y)
                for (int x = r.minX; x < r.maxX; ++x) {
                    const auto rough = static_cast<std::uint8_t>(255 * x / std::max(1, w - 1));
                    const bool metal = y < h / 2;
                    // A gentle cylinder across the strip so the light has a slope to catch.
                    const float t = (y + 0.5f) / h * 2.0f - 1.0f;
                    diffuse.at(x, y) = metal ? RGBA{210, 200, 190, 0} : RGBA{40, 90, 160, 0};
                    depth.at(x, y) = L16(static_cast<std::uint16_t>(
                        21000.0f + 4000.0f * std::sqrt(std::max(0.0f, 1.0f - t * t))));
                    material.at(x, y) = {rough, static_cast<std::uint8_t>(metal ? 255 : 0), 200,
                                         255};
                }
    }
};

} // namespace

DemoEditor::DemoEditor() : GUIGraphics(kWidth, kHeight) {
    context.setEnvironmentMap(makeSkybox(1024, 512));
    auto add = [&](std::unique_ptr<corvid::UIElement> e) { addChild(std::move(e)); };
    add(std::make_unique<Dome>(context, IntRect{60, 60, 180, 180}, RGBA{230, 190, 110, 0},
                               RGBA{40, 255, 220, 255}));
    add(std::make_unique<Dome>(context, IntRect{220, 70, 320, 170}, RGBA{200, 205, 215, 0},
                               RGBA{120, 255, 200, 255}));
    add(std::make_unique<Dome>(context, IntRect{360, 80, 440, 160}, RGBA{180, 60, 50, 0},
                               RGBA{90, 0, 255, 255}));
    add(std::make_unique<Lamp>(context, IntRect{500, 90, 540, 130}, RGBA{80, 220, 255, 0}, 2.0));
    add(std::make_unique<Lamp>(context, IntRect{570, 90, 610, 130}, RGBA{255, 120, 40, 0}, 3.1));
    add(std::make_unique<Lamp>(context, IntRect{640, 90, 680, 130}, RGBA{120, 255, 90, 0}, 4.3));
    add(std::make_unique<Key>(context, IntRect{500, 180, 600, 230}));
    add(std::make_unique<Key>(context, IntRect{620, 180, 720, 230}));
    add(std::make_unique<RoughnessStrip>(context, IntRect{60, 260, 700, 340}));
    auto placeholder = std::make_unique<corvid::UIElement>(context);
    placeholder->setPosition({60, 380, 260, 460});
    add(std::move(placeholder));
    placeholder = std::make_unique<corvid::UIElement>(context);
    placeholder->setPosition({300, 380, 420, 460});
    placeholder->setZOrder(1);
    add(std::move(placeholder));
    add(std::make_unique<Dome>(context, IntRect{440, 370, 540, 470}, RGBA{120, 200, 140, 0},
                               RGBA{200, 180, 60, 255}));
}

void DemoEditor::arrange(const IntRect& availableSpace) {
    position = availableSpace;
}

void DemoEditor::paintMaps(const ImageView<RGBA>& diffuse, const ImageView<L16>& depth,
                           const ImageView<RGBA>& material, const std::vector<IntRect>& rects) {
    const int w = position.width(), h = position.height();
    for (const IntRect& r : rects)
        for (int y = r.minY; y < r.maxY; ++y)
            for (int x = r.minX; x < r.maxX; ++x) {
                // A brushed panel with a raised rim.
                const int edge = std::min({x, y, w - 1 - x, h - 1 - y});
                const float rim = edge < 14 ? 1.0f - std::abs(edge - 7) / 7.0f : 0.0f;
                const float shade = 0.5f + 0.5f * static_cast<float>(y) / std::max(1, h);
                diffuse.at(x, y) = mix(RGBA{70, 74, 82, 0}, RGBA{46, 48, 54, 0}, shade);
                depth.at(x, y) =
                    L16(static_cast<std::uint16_t>(15000.0f + 5000.0f * rim + ((x * 7) & 15)));
                material.at(x, y) = {150, 40, 90, 255};
            }
}

std::unique_ptr<corvid::OwnedImage<RGBA>> makeSkybox(int width, int height) {
    auto sky = std::make_unique<corvid::OwnedImage<RGBA>>(width, height);
    const float sunX = width * 0.3f, sunY = height * 0.3f, sunRadius = height * 0.05f;
    for (int y = 0; y < height; ++y) {
        const float t = static_cast<float>(y) / height;
        RGBA base;
        if (t < 0.5f)
            base = mix(RGBA{30, 70, 160, 255}, RGBA{235, 225, 205, 255}, t * 2.0f);
        else
            base = mix(RGBA{90, 70, 50, 255}, RGBA{20, 18, 16, 255}, (t - 0.5f) * 2.0f);
        for (int x = 0; x < width; ++x) {
            const float sun = discCoverage(x + 0.5f, y + 0.5f, sunX, sunY, sunRadius);
            sky->pixelAt(x, y) = mix(base, RGBA{255, 250, 235, 255}, sun);
        }
    }
    return sky;
}

} // namespace guidemo
