// The editor's costs in one run with the bare panel's, so the two compare on the
// same machine state: opening (decode every resource, build the tree, first full
// paint), a full repaint of the complete editor and of the bare panel, one frame of
// dragging the pan knob while audio plays, and one frame of the demo playing with
// nothing touched. The memory an open editor holds is reported as counters of the
// opening benchmark.

#include "corvid/window/headlesswindow.h"
#include "spatium/gui/editor.h"
#include "spatium/gui/layout.h"
#include "spatium/params.h"
#include "spatium/spatium.h"
#include "tools/spatium/demo.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

namespace {

using spatium::SpatiumGUI;

std::unique_ptr<spatium::SpatiumClient> makeClient() {
    auto client = corvid::createClient<spatium::SpatiumClient>(&spatium::createSpatiumEditor);
    client->hostReset(48000.0, 1024, 2, 2);
    return client;
}

template <typename T>
double mipmapBytes(const corvid::Mipmap<T>& m) {
    double bytes = 0;
    for (int i = 0; i < m.levelCount(); ++i)
        bytes += double(m.level(i).width()) * m.level(i).height() * sizeof(T);
    return bytes;
}

template <typename T>
double imageBytes(const corvid::OwnedImage<T>& image) {
    return double(image.width()) * image.height() * sizeof(T);
}

void BM_OpenEditor(benchmark::State& state) {
    auto client = makeClient();
    std::unique_ptr<SpatiumGUI> gui;
    for (auto _ : state) {
        gui = std::make_unique<SpatiumGUI>(*client);
        gui->openHeadlessEditor(corvid::PixelFormat::BGRA8).pumpEvents();
        benchmark::DoNotOptimize(gui->getWindowImage().pixels());
        state.PauseTiming();
        gui.reset();
        state.ResumeTiming();
    }
    gui = std::make_unique<SpatiumGUI>(*client);
    gui->openHeadlessEditor(corvid::PixelFormat::BGRA8).pumpEvents();
    // What one open editor holds.
    const auto& panel = gui->panel();
    state.counters["mapsBytes"] = mipmapBytes(gui->getDiffuseMap()) +
                                  mipmapBytes(gui->getDepthMap()) +
                                  mipmapBytes(gui->getMaterialMap());
    state.counters["skyboxBytes"] = mipmapBytes(*gui->getContext().skybox);
    state.counters["panelBytes"] =
        imageBytes(*panel.diffuse) + imageBytes(*panel.depth) + imageBytes(*panel.material);
    state.counters["windowImageBytes"] =
        double(spatium::layout::kEditorWidth) * spatium::layout::kEditorHeight * 4;
    // The phase scope's glow: one 32-bit cell per pixel of its box.
    state.counters["glowImageBytes"] = double(spatium::layout::phaseDisplay.box.width()) *
                                       spatium::layout::phaseDisplay.box.height() * 4;
}
BENCHMARK(BM_OpenEditor)->Unit(benchmark::kMillisecond)->UseRealTime();

struct OpenEditor {
    std::unique_ptr<spatium::SpatiumClient> client = makeClient();
    SpatiumGUI& gui = *static_cast<SpatiumGUI*>(client->ensureEditor());
    corvid::HeadlessWindow& window = gui.openHeadlessEditor(corvid::PixelFormat::BGRA8);

    OpenEditor() {
        for (int i = 0; i < 100; ++i) window.pumpEvents();
    }
    // Every element painted and every pixel lit again: a paint that changes no
    // pixel would otherwise relight nothing.
    void repaintAll() {
        gui.getContext().addDirtyRect(
            {0, 0, spatium::layout::kEditorWidth, spatium::layout::kEditorHeight});
        gui.relightAll();
        window.tick();
    }
    std::int64_t pixelsRelit() const { return gui.redrawStatistics().lastPixelsRelit; }
};

void BM_FullRepaintEditor(benchmark::State& state) {
    OpenEditor e;
    for (auto _ : state) e.repaintAll();
    state.counters["pixelsRelit"] = double(e.pixelsRelit());
}
BENCHMARK(BM_FullRepaintEditor)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_FullRepaintBarePanel(benchmark::State& state) {
    OpenEditor e;
    for (const auto& c : e.gui.getChildren()) c->setVisible(false);
    for (auto _ : state) e.repaintAll();
    state.counters["pixelsRelit"] = double(e.pixelsRelit());
}
BENCHMARK(BM_FullRepaintBarePanel)->Unit(benchmark::kMillisecond)->UseRealTime();

// One 15 ms frame: the audio of that frame reaches the views, the pointer moves
// the pan knob one pixel, and the animation tick redraws what changed.
void BM_DragPanKnobFrame(benchmark::State& state) {
    OpenEditor e;
    const auto& box = spatium::layout::pan.box;
    const std::int32_t cx = (box.minX + box.maxX) / 2, cy = (box.minY + box.maxY) / 2;
    std::vector<float> in(720), l(720), r(720);
    for (std::size_t i = 0; i < in.size(); ++i) in[i] = 0.4f * std::sin(0.05f * float(i));
    corvid::MouseState held;
    held.leftButtonDown = true;
    e.window.mouseMove(cx, cy);
    e.window.mouseDown(corvid::MouseButton::left, false, held);
    std::int32_t step = 0;
    std::int64_t relit = 0;
    for (auto _ : state) {
        float* ins[2] = {in.data(), in.data()};
        float* outs[2] = {l.data(), r.data()};
        e.client->hostProcess(ins, outs, 720, corvid::TransportInfo{});
        // Up and down over the same span, so the knob never hits its end.
        const std::int32_t offset = (step / 40) % 2 == 0 ? step % 40 : 40 - step % 40;
        ++step;
        // The motion and the timer tick of one round of the event loop: one paint.
        const corvid::HeadlessWindow::PaintBatch frame(e.window);
        e.window.mouseMove(cx, cy - offset, held);
        e.window.pumpEvents();
        relit += e.pixelsRelit();
    }
    state.counters["pixelsRelitPerFrame"] =
        benchmark::Counter(double(relit), benchmark::Counter::kAvgIterations);
    e.window.mouseUp(corvid::MouseButton::left);
}
BENCHMARK(BM_DragPanKnobFrame)->Unit(benchmark::kMicrosecond)->UseRealTime();

// One 15 ms frame of the demo playing with nothing touched, as spatium editor plays
// it: only the views the audio moves are relit. A frame's time over 15 ms is the
// editor's share of a core, bar the window system's part.
void BM_PlayingDemoFrame(benchmark::State& state) {
    OpenEditor e;
    constexpr std::size_t kFrame = 720;
    const std::vector<float> demo = spatium::host::demoSource(48000, spatium::host::kDemoSeconds);
    std::vector<float> in(kFrame), l(kFrame), r(kFrame);
    std::size_t position = 0;
    std::int64_t relit = 0;
    for (auto _ : state) {
        if (position + kFrame > demo.size()) position = 0;
        std::copy_n(demo.begin() + std::ptrdiff_t(position), kFrame, in.begin());
        float* ins[2] = {in.data(), in.data()};
        float* outs[2] = {l.data(), r.data()};
        e.client->hostProcess(ins, outs, kFrame, corvid::TransportInfo{});
        position += kFrame;
        e.window.pumpEvents();
        relit += e.pixelsRelit();
    }
    state.counters["pixelsRelitPerFrame"] =
        benchmark::Counter(double(relit), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_PlayingDemoFrame)->Unit(benchmark::kMicrosecond)->UseRealTime();

} // namespace
