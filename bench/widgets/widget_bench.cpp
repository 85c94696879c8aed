// Full paint of each widget at its editor size, next to the compositor lighting
// the same box on one thread, in one run so the two can be compared directly.

#include "bench/common/boxlighting.h"
#include "corvid/gui/graphics.h"
#include "corvid/pbrwidgets/paramhint.h"
#include "corvid/pbrwidgets/slider.h"
#include "spatium/gui/bowgame.h"
#include "tests/font/fontdata.h"
#include "vireo/gui/dropdown.h"
#include "vireo/gui/radiobutton.h"

#include <benchmark/benchmark.h>

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
