#include "fuzz/widgets/playwidgets.h"

#include "corvid/client/params.h"
#include "corvid/graphics/image.h"
#include "corvid/graphics/mipmap.h"
#include "corvid/graphics/text/font.h"
#include "corvid/gui/graphics.h"
#include "corvid/pbrwidgets/bargraph.h"
#include "corvid/pbrwidgets/knob.h"
#include "corvid/pbrwidgets/label.h"
#include "corvid/pbrwidgets/panel.h"
#include "corvid/pbrwidgets/paramhint.h"
#include "corvid/pbrwidgets/urlopener.h"
#include "spatium/gui/bowgame.h"
#include "spatium/gui/panknob.h"
#include "vireo/gui/dropdown.h"
#include "vireo/gui/imageknob.h"
#include "vireo/gui/radiobutton.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

namespace widgetfuzz {

namespace {

using namespace corvid;

constexpr std::int32_t kWindow = 96;
constexpr std::int32_t kGuard = 8;

class Bytes {
public:
    Bytes(const std::uint8_t* d, std::size_t n) : d_(d), n_(n) {}
    bool done() const { return p_ >= n_; }
    std::uint8_t byte() { return p_ < n_ ? d_[p_++] : 0; }
    std::int32_t range(std::int32_t lo, std::int32_t hi) {
        return lo + static_cast<std::int32_t>(byte() % static_cast<unsigned>(hi - lo + 1));
    }
    // Mostly ordinary values, sometimes the ones that break arithmetic.
    float wild() {
        switch (byte() % 10) {
        case 0:
            return std::numeric_limits<float>::quiet_NaN();
        case 1:
            return std::numeric_limits<float>::infinity();
        case 2:
            return -3.0f;
        case 3:
            return 1e9f;
        case 4:
            return 0.0f;
        default:
            return static_cast<float>(byte()) / 128.0f;
        }
    }

private:
    const std::uint8_t* d_;
    std::size_t n_;
    std::size_t p_ = 0;
};

class Root : public GUIGraphics {
public:
    Root() : GUIGraphics(kWindow, kWindow, 1) {}
    void arrange(const IntRect& space) override { position = space; }
};

// The widget's maps inside larger ones: whatever it writes past its box lands in
// the guard band, where it is seen.
struct GuardedMaps {
    GuardedMaps(std::int32_t w, std::int32_t h)
        : diffuse(w + 2 * kGuard, h + 2 * kGuard), depth(w + 2 * kGuard, h + 2 * kGuard),
          material(w + 2 * kGuard, h + 2 * kGuard), inner{kGuard, kGuard, kGuard + w, kGuard + h} {
        for (std::int32_t y = 0; y < diffuse.height(); ++y)
            for (std::int32_t x = 0; x < diffuse.width(); ++x) {
                diffuse.pixelAt(x, y) = {1, 2, 3, 4};
                depth.pixelAt(x, y) = L16(4321);
                material.pixelAt(x, y) = {5, 6, 7, 8};
            }
    }
    bool guardIntact() {
        for (std::int32_t y = 0; y < diffuse.height(); ++y)
            for (std::int32_t x = 0; x < diffuse.width(); ++x) {
                if (inner.contains(x, y)) continue;
                const RGBA d = diffuse.pixelAt(x, y), m = material.pixelAt(x, y);
                if (d.r != 1 || d.g != 2 || d.b != 3 || d.a != 4 || depth.pixelAt(x, y).l != 4321 ||
                    m.r != 5 || m.g != 6 || m.b != 7 || m.a != 8)
                    return false;
            }
        return true;
    }
    OwnedImage<RGBA> diffuse;
    OwnedImage<L16> depth;
    OwnedImage<RGBA> material;
    IntRect inner;
};

struct Parameters {
    LinearFloatParameter continuous{0, "Amount", "%", 0.0, 100.0, 25.0};
    IntegerParameter choice{1, "Choice", "", 0, 11, 5};
    // The image knob's picture, which must outlive the knob.
    std::unique_ptr<Mipmap<RGBA>> picture;
};

std::unique_ptr<UIElement> makeWidget(int kind, UIContext& context, Parameters& p, Font& font,
                                      Bytes& in) {
    switch (kind) {
    case 0:
    case 1: {
        std::unique_ptr<UIKnob> k =
            kind == 0 ? std::make_unique<UIKnob>(context, &p.continuous)
                      : std::make_unique<spatium::PanKnob>(context, &p.continuous);
        k->bodyRadius = in.wild();
        k->bodyStyle = static_cast<KnobBodyStyle>(in.range(0, 5));
        k->ledCount = in.range(-2, 60) * (in.byte() % 8 == 0 ? 40 : 1);
        k->ledRadiusMin = in.wild();
        k->ledRadiusMax = in.wild();
        k->ledOrbit = in.wild();
        k->trailRadiusMin = in.wild();
        k->trailRadiusMax = in.wild();
        k->trailShiftX = in.wild() - 1.0f;
        k->minAngle = in.wild() * 3.0f - 3.0f;
        k->maxAngle = in.byte() & 1 ? k->minAngle : in.wild() * 3.0f;
        k->baseAngle = in.wild() - 1.0f;
        k->useBelowBaseColour = in.byte() & 1;
        k->pressAmount = in.wild();
        k->dragSensitivity = in.wild();
        return k;
    }
    case 2: {
        auto d = std::make_unique<vireo::VireoDropdown>(context, &p.choice, &font);
        d->labels.resize(static_cast<std::size_t>(in.range(0, 14)), "1/4");
        d->textSize = in.wild() * 10.0f;
        d->openAmount = in.wild();
        return d;
    }
    case 3:
        return vireo::VireoRadioButtonSet::create(&p.choice, context);
    case 4:
        return std::make_unique<spatium::BowGame>(context);
    case 5: {
        std::vector<RGBA> leds(static_cast<std::size_t>(in.range(0, 40)), RGBA{200, 40, 40, 0});
        auto b = std::make_unique<UIBargraph>(context, in.range(0, 4), leds);
        b->minValue = in.wild();
        b->maxValue = in.wild();
        const float levels[4] = {in.wild(), in.wild(), in.wild(), in.wild()};
        b->setLevels(levels);
        return b;
    }
    case 6: {
        auto l = std::make_unique<UILabel>(context);
        l->setFont(&font);
        l->setText("PAN \xC2\xB0 %");
        l->setTextSize(in.wild() * 8.0f);
        l->setLetterSpacing(in.wild() - 1.0f);
        l->clickable = in.byte() & 1;
        return l;
    }
    case 7:
        return std::make_unique<UIParamHint>(context, &p.continuous, &font);
    case 8: {
        // Any width, and a height that may fall short of the four layers.
        const int w = in.range(1, 40);
        auto image = std::make_unique<OwnedImage<RGBA>>(w, std::max(1, 4 * w + in.range(-3, 5)));
        for (int y = 0; y < image->height(); ++y)
            for (int x = 0; x < w; ++x)
                image->pixelAt(x, y) = {in.byte(), in.byte(), in.byte(), in.byte()};
        p.picture = std::make_unique<Mipmap<RGBA>>(std::move(image), in.range(0, 3));
        auto k = std::make_unique<vireo::UIImageKnob>(context, &p.continuous, p.picture.get());
        k->minAngle = in.wild() * 3.0f - 3.0f;
        k->maxAngle = in.wild() * 3.0f;
        k->bodyRadius = in.wild();
        return k;
    }
    default:
        return std::make_unique<UIPanel>(context);
    }
}

} // namespace

void playWidgets(const std::uint8_t* data, std::size_t size, std::span<const std::uint8_t> fontData,
                 const std::function<void(const std::string&)>& fail) {
    Bytes in(data, size);
    // No browser from a fuzzed click.
    const auto previous = setUrlOpener([](std::string_view) {});
    Parameters p;
    Font font(fontData);
    Root root;
    const int kind = in.range(0, 9);
    // A box anywhere around the window, partly outside it or empty.
    const std::int32_t x0 = in.range(-20, kWindow), y0 = in.range(-20, kWindow);
    const IntRect box{x0, y0, x0 + in.range(0, 130), y0 + in.range(0, 130)};
    auto widget = makeWidget(kind, root.getContext(), p, font, in);
    UIElement& w = *widget;
    w.setPosition(box);
    root.addChild(std::move(widget));
    HeadlessWindow& window = root.openHeadlessEditor();
    window.paint();
    while (!in.done()) {
        MouseState state;
        state.shiftPressed = in.byte() & 1;
        switch (in.byte() % 7) {
        case 0:
            window.mouseMove(in.range(-30, kWindow + 30), in.range(-30, kWindow + 30), state);
            break;
        case 1:
            window.mouseDown(static_cast<MouseButton>(in.range(0, 2)), in.byte() & 1, state);
            break;
        case 2:
            window.mouseUp(static_cast<MouseButton>(in.range(0, 2)), state);
            break;
        case 3:
            window.advanceTime(static_cast<std::uint32_t>(in.range(0, 200)));
            window.tick();
            break;
        case 4:
            p.continuous.applyFromHost(static_cast<double>(in.wild()));
            break;
        case 5:
            p.choice.applyFromHost(static_cast<double>(in.wild()));
            break;
        case 6:
            window.mouseWheel(in.wild(), in.wild(), state);
            break;
        }
        // The widget drawn straight into guarded maps of its own size, whole and in
        // a box that cuts through it.
        const std::int32_t bw = std::max(box.width(), 0), bh = std::max(box.height(), 0);
        GuardedMaps maps(bw, bh);
        const IntRect cut{in.range(0, bw), in.range(0, bh), bw, bh};
        for (const std::vector<IntRect>& boxes :
             {std::vector<IntRect>{{0, 0, bw, bh}}, std::vector<IntRect>{cut}}) {
            w.paintMaps(maps.diffuse.asView().crop(maps.inner),
                        maps.depth.asView().crop(maps.inner),
                        maps.material.asView().crop(maps.inner), boxes);
            if (!maps.guardIntact()) {
                fail("widget kind " + std::to_string(kind) + " wrote outside its " +
                     std::to_string(bw) + " x " + std::to_string(bh) + " box");
                setUrlOpener(previous);
                return;
            }
        }
    }
    setUrlOpener(previous);
}

} // namespace widgetfuzz
