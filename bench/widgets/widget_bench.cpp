// Full paint of each widget at its editor size, next to the compositor lighting
// the same box on one thread, in one run so the two can be compared directly.

#include "bench/common/boxlighting.h"
#include "corvid/graphics/decode.h"
#include "corvid/graphics/mipmap.h"
#include "corvid/gui/graphics.h"
#include "corvid/pbrwidgets/bargraph.h"
#include "corvid/pbrwidgets/label.h"
#include "corvid/pbrwidgets/logo.h"
#include "corvid/pbrwidgets/onoffswitch.h"
#include "corvid/pbrwidgets/panel.h"
#include "corvid/pbrwidgets/paramhint.h"
#include "corvid/pbrwidgets/slider.h"
#include "resources/resources.h"
#include "spatium/gui/bowgame.h"
#include "tests/font/fontdata.h"
#include "vireo/gui/dropdown.h"
#include "vireo/gui/imageknob.h"
#include "vireo/gui/radiobutton.h"

#include <benchmark/benchmark.h>

#include <array>
#include <memory>

namespace {

using namespace corvid;

constexpr int kWidth = 763;
constexpr int kHeight = 494;

Font& font() {
    static const std::vector<std::uint8_t> data = testfont::readDejaVuSans();
    static Font f(data);
    return f;
}

class Root : public GUIGraphics {
public:
    Root() : GUIGraphics(kWidth, kHeight) {}
    void arrange(const IntRect& space) override { position = space; }
};

struct Rig {
    Root gui;
    IntegerParameter tempo{0, "LFO Tempo", "", 0, 11, 4};
    IntegerParameter wave{1, "LFO Wave", "", 0, 3, 1};
    LinearFloatParameter width{2, "Stereo Width", "%", 0, 200, 100};
    vireo::VireoDropdown* dropdown;
    UIElement* radio;
    UIElement* game;
    UIParamHint* hint;
    UISlider* slider;
    BoolParameter testMono{3, "Test Mono", false};
    BoolParameter synced{4, "LFO Synced", true};
    LinearFloatParameter level{5, "Level", "%", 0, 100, 80};
    Font titleFont{spatium::resources::titleFont()};
    std::unique_ptr<OwnedImage<RGBA>> logoImage = decodeToRGBA(spatium::resources::logoPng());
    Mipmap<RGBA> knobPicture{knobImage(), 4};
    UIOnOffSwitch* wideSwitch;
    UIOnOffSwitch* tallSwitch;
    UILogo* logo;
    UILabel* subtitle;
    UIBargraph* bars;
    vireo::UIImageKnob* imageKnob;
    Rig() {
        auto d = std::make_unique<vireo::VireoDropdown>(gui.getContext(), &tempo, &font());
        for (const char* s : {"1/1", "1/2", "1/4", "1/8", "1/16", "1/32", "1/2T", "1/4T", "1/8T",
                              "1/2.", "1/4.", "1/8."})
            d->labels.push_back(s);
        dropdown = static_cast<vireo::VireoDropdown*>(&gui.addChild(std::move(d)));
        dropdown->setPosition({516, 101, 563, 421});
        radio = &gui.addChild(vireo::VireoRadioButtonSet::create(&wave, gui.getContext()));
        radio->setPosition({438, 108, 497, 248});
        auto g = std::make_unique<spatium::BowGame>(gui.getContext());
        g->lightAll();
        game = &gui.addChild(std::move(g));
        game->setPosition({10, 395, 115, 479});
        hint = static_cast<UIParamHint*>(
            &gui.addChild(std::make_unique<UIParamHint>(gui.getContext(), &width, &font())));
        hint->setPosition({43, 355, 83, 377});
        hint->visibility = 1.0f;
        hint->rebuildText();
        slider = static_cast<UISlider*>(
            &gui.addChild(std::make_unique<UISlider>(gui.getContext(), &width)));
        slider->setPosition({47, 114, 76, 257});
        // The editor's switches, logo and subtitle at their places; the bar graph and
        // image knob, which the editor does not use, at the demo's sizes.
        wideSwitch = &place(std::make_unique<UIOnOffSwitch>(gui.getContext(), &testMono),
                            {685, 426, 722, 454});
        tallSwitch = &place(std::make_unique<UIOnOffSwitch>(gui.getContext(), &synced),
                            {527, 146, 552, 182});
        logo = &place(std::make_unique<UILogo>(gui.getContext()), {20, 11, 80, 56});
        logo->image = logoImage.get();
        logo->emissiveRest = 10;
        logo->emissiveHovered = 40;
        subtitle = &place(std::make_unique<UILabel>(gui.getContext()), {516, 34, 711, 47});
        subtitle->setFont(&titleFont);
        subtitle->setTextSize(9.0f);
        subtitle->setLetterSpacing(1.0f);
        subtitle->setTextColor({150, 150, 150, 0});
        subtitle->setText("HE WHO CONTROLS THE SPACE");
        bars =
            &place(std::make_unique<UIBargraph>(
                       gui.getContext(), 2,
                       std::vector<RGBA>{{80, 255, 120, 0}, {255, 220, 60, 0}, {255, 70, 50, 0}}),
                   {250, 200, 290, 343});
        const std::array<float, 2> levels{0.8f, 0.55f};
        bars->setLevels(levels);
        imageKnob =
            &place(std::make_unique<vireo::UIImageKnob>(gui.getContext(), &level, &knobPicture),
                   {30, 291, 95, 356});
        gui.setRedrawMargin(0);
        gui.openHeadlessEditor(PixelFormat::BGRA8).tick();
    }
    void paint(UIElement& e) {
        // The maps are the editor's own; painting into them here is what a redraw does.
        auto& d = const_cast<Mipmap<RGBA>&>(gui.getDiffuseMap());
        auto& z = const_cast<Mipmap<L16>&>(gui.getDepthMap());
        auto& m = const_cast<Mipmap<RGBA>&>(gui.getMaterialMap());
        e.paintElement(d.level(0).asView(), z.level(0).asView(), m.level(0).asView(),
                       {e.getPosition()});
    }
    // Only the box itself: the lighting of what a widget's paint touches.
    void light(const IntRect& box) { bench_support::lightBox(gui, box); }
    template <typename T>
    T& place(std::unique_ptr<T> element, const IntRect& box) {
        element->setPosition(box);
        return static_cast<T&>(gui.addChild(std::move(element)));
    }
    // A knob picture as the image knob takes it: a disc in the mask's red over a
    // square of 64, then colour, depth and material squares that vary everywhere.
    static std::unique_ptr<OwnedImage<RGBA>> knobImage() {
        constexpr int n = 64;
        auto image = std::make_unique<OwnedImage<RGBA>>(n, 4 * n);
        for (int y = 0; y < 4 * n; ++y)
            for (int x = 0; x < n; ++x) {
                const int dx = x - 32, dy = y % n - 32;
                const bool inside = dx * dx + dy * dy < 29 * 29;
                image->pixelAt(x, y) =
                    y < n ? RGBA{std::uint8_t(inside ? 255 : 0), 0, 0, 255}
                          : RGBA{std::uint8_t(x * 4), std::uint8_t(y), std::uint8_t(x ^ y), 255};
            }
        return image;
    }
};

Rig& rig() {
    static Rig r;
    return r;
}

void BM_DropdownClosedPaint(benchmark::State& state) {
    Rig& r = rig();
    r.dropdown->openAmount = 0.0f;
    for (auto _ : state) r.paint(*r.dropdown);
}
void BM_DropdownOpenPaint(benchmark::State& state) {
    Rig& r = rig();
    r.dropdown->openAmount = 1.0f;
    for (auto _ : state) r.paint(*r.dropdown);
}
void BM_DropdownLighting(benchmark::State& state) {
    for (auto _ : state) rig().light(rig().dropdown->getPosition());
}
void BM_RadioPaint(benchmark::State& state) {
    for (auto _ : state) rig().paint(*rig().radio);
}
void BM_RadioLighting(benchmark::State& state) {
    for (auto _ : state) rig().light(rig().radio->getPosition());
}
void BM_BowGamePaint(benchmark::State& state) {
    for (auto _ : state) rig().paint(*rig().game);
}
void BM_BowGameLighting(benchmark::State& state) {
    for (auto _ : state) rig().light(rig().game->getPosition());
}
void BM_HintPaint(benchmark::State& state) {
    for (auto _ : state) {
        rig().hint->markDirty();
        rig().paint(*rig().hint);
    }
}
void BM_HintLighting(benchmark::State& state) {
    for (auto _ : state) rig().light(rig().hint->getPosition());
}
void BM_SliderPaint(benchmark::State& state) {
    double v = 0.0;
    for (auto _ : state) {
        v = v > 0.99 ? 0.0 : v + 0.01;
        rig().width.storeNormalized(v);
        rig().slider->markDirty();
        rig().paint(*rig().slider);
    }
}
void BM_SliderLighting(benchmark::State& state) {
    for (auto _ : state) rig().light(rig().slider->getPosition());
}
// A widget's paint of its whole box beside the lighting of that box, as a pair of
// benchmarks whose names say which widget they weigh.
#define WIDGET_PAIR(Name, member, before)                                                          \
    void BM_##Name##Paint(benchmark::State& state) {                                               \
        Rig& r = rig();                                                                            \
        for (auto _ : state) {                                                                     \
            before;                                                                                \
            r.paint(*r.member);                                                                    \
        }                                                                                          \
    }                                                                                              \
    void BM_##Name##Lighting(benchmark::State& state) {                                            \
        for (auto _ : state) rig().light(rig().member->getPosition());                             \
    }                                                                                              \
    BENCHMARK(BM_##Name##Paint)->Unit(benchmark::kMicrosecond);                                    \
    BENCHMARK(BM_##Name##Lighting)->Unit(benchmark::kMicrosecond)

WIDGET_PAIR(SwitchWide, wideSwitch, r.wideSwitch->markDirty());
WIDGET_PAIR(SwitchTall, tallSwitch, r.tallSwitch->markDirty());
WIDGET_PAIR(Logo, logo, r.logo->markDirty());
WIDGET_PAIR(Label, subtitle, r.subtitle->markDirty());
WIDGET_PAIR(Bargraph, bars, r.bars->markDirty());
// The image knob's body alone on each instruction-set path.
void BM_ImageKnobBody(benchmark::State& state) {
    const auto path = static_cast<Isa>(state.range(0));
    if (!isaSupported(path)) {
        state.SkipWithError("the processor lacks this path");
        return;
    }
    Rig& r = rig();
    auto& d = const_cast<Mipmap<RGBA>&>(r.gui.getDiffuseMap());
    auto& z = const_cast<Mipmap<L16>&>(r.gui.getDepthMap());
    auto& m = const_cast<Mipmap<RGBA>&>(r.gui.getMaterialMap());
    const IntRect box = r.imageKnob->getPosition();
    const std::vector<IntRect> local{{0, 0, box.width(), box.height()}};
    for (auto _ : state) {
        r.level.storeNormalized(
            r.level.normalizedValue() > 0.99 ? 0.0 : r.level.normalizedValue() + 0.01);
        vireo::drawImageKnobBody(*r.imageKnob, path, d.level(0).asView().crop(box),
                                 z.level(0).asView().crop(box), m.level(0).asView().crop(box),
                                 local);
    }
}
BENCHMARK(BM_ImageKnobBody)
    ->ArgName("path")
    ->Arg(static_cast<int>(Isa::sse2))
    ->Arg(static_cast<int>(Isa::avx2))
    ->Arg(static_cast<int>(Isa::avx512))
    ->Unit(benchmark::kMicrosecond);

WIDGET_PAIR(ImageKnob, imageKnob,
            r.level.storeNormalized(r.level.normalizedValue() > 0.99
                                        ? 0.0
                                        : r.level.normalizedValue() + 0.01));

// A plain panel over a window of its own: over the other widgets it would flatten
// the maps they are lit from.
struct PanelRig {
    Root gui;
    UIPanel* panel;
    PanelRig() {
        auto p = std::make_unique<UIPanel>(gui.getContext());
        p->setPosition({0, 0, kWidth, kHeight});
        panel = static_cast<UIPanel*>(&gui.addChild(std::move(p)));
        gui.setRedrawMargin(0);
        gui.openHeadlessEditor(PixelFormat::BGRA8).tick();
    }
};
PanelRig& panelRig() {
    static PanelRig r;
    return r;
}
void BM_PanelPaint(benchmark::State& state) {
    PanelRig& r = panelRig();
    auto& d = const_cast<Mipmap<RGBA>&>(r.gui.getDiffuseMap());
    auto& z = const_cast<Mipmap<L16>&>(r.gui.getDepthMap());
    auto& m = const_cast<Mipmap<RGBA>&>(r.gui.getMaterialMap());
    for (auto _ : state)
        r.panel->paintElement(d.level(0).asView(), z.level(0).asView(), m.level(0).asView(),
                              {r.panel->getPosition()});
}
void BM_PanelLighting(benchmark::State& state) {
    for (auto _ : state) bench_support::lightBox(panelRig().gui, panelRig().panel->getPosition());
}
BENCHMARK(BM_PanelPaint)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PanelLighting)->Unit(benchmark::kMicrosecond);

BENCHMARK(BM_SliderPaint)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SliderLighting)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DropdownClosedPaint)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DropdownOpenPaint)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DropdownLighting)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RadioPaint)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RadioLighting)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BowGamePaint)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BowGameLighting)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_HintPaint)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_HintLighting)->Unit(benchmark::kMicrosecond);

} // namespace
