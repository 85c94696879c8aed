// Redraw of the editor-sized window with placeholder elements: a full repaint
// (paint, mipmaps, lighting) and the repaint of a small dirty area, the two cases
// that bound the editor's frame time.

#include "corvid/gui/graphics.h"

#include <benchmark/benchmark.h>

#include <memory>

namespace {

constexpr int kWidth = 763;
constexpr int kHeight = 494;

// A placeholder widget that keeps the box it was given, as editor widgets do.
class Placeholder : public corvid::UIElement {
public:
    Placeholder(corvid::UIContext& c, corvid::IntRect box) : UIElement(c) { position = box; }
    void arrange(const corvid::IntRect&) override {}
};

std::unique_ptr<corvid::GUIGraphics> makeEditor() {
    auto gui = std::make_unique<corvid::GUIGraphics>(kWidth, kHeight);
    // A grid of placeholder widgets roughly where an editor puts its controls.
    for (int row = 0; row < 4; ++row)
        for (int col = 0; col < 8; ++col) {
            const int x = 20 + col * 92, y = 30 + row * 115;
            gui->addChild(std::make_unique<Placeholder>(gui->getContext(),
                                                        corvid::IntRect{x, y, x + 70, y + 90}));
        }
    auto& window = gui->openHeadlessEditor(corvid::PixelFormat::BGRA8);
    window.tick();
    return gui;
}

void BM_FullRepaint(benchmark::State& state) {
    auto gui = makeEditor();
    auto& window = static_cast<corvid::HeadlessWindow&>(*gui->getWindow());
    for (auto _ : state) {
        gui->getContext().addDirtyRect({0, 0, kWidth, kHeight});
        window.tick();
    }
    state.counters["pixels"] = kWidth * kHeight;
}
BENCHMARK(BM_FullRepaint)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_DirtyArea40x40(benchmark::State& state) {
    auto gui = makeEditor();
    auto& window = static_cast<corvid::HeadlessWindow&>(*gui->getWindow());
    for (auto _ : state) {
        gui->getContext().addDirtyRect({300, 200, 340, 240});
        window.tick();
    }
}
BENCHMARK(BM_DirtyArea40x40)->Unit(benchmark::kMicrosecond)->UseRealTime();

// The parts of a full repaint on their own, to see where the time goes.
void BM_FullRepaintPaintOnly(benchmark::State& state) {
    auto gui = makeEditor();
    for (auto _ : state) {
        gui->getContext().addDirtyRect({0, 0, kWidth, kHeight});
        gui->collectDirtyAreas();
        gui->paintElements();
    }
}
BENCHMARK(BM_FullRepaintPaintOnly)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_FullRepaintMipmapsOnly(benchmark::State& state) {
    auto gui = makeEditor();
    for (auto _ : state) {
        gui->getContext().addDirtyRect({0, 0, kWidth, kHeight});
        gui->collectDirtyAreas();
        gui->rebuildMipmaps();
    }
}
BENCHMARK(BM_FullRepaintMipmapsOnly)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

namespace {

void BM_FullRepaintLightingOnly(benchmark::State& state) {
    auto gui = makeEditor();
    // The last paint covered the whole window, so its areas are the full window.
    gui->getContext().addDirtyRect({0, 0, kWidth, kHeight});
    gui->collectDirtyAreas();
    gui->paintWindow(corvid::PixelFormat::BGRA8);
    for (auto _ : state) gui->lightAreas(corvid::PixelFormat::BGRA8);
}
BENCHMARK(BM_FullRepaintLightingOnly)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
