// The knob's paint at the editor's sizes beside the compositor lighting the same
// box on one thread, and a redraw of the knob through the whole pipeline (paint,
// mipmaps, lighting on the pool) in the same run: with the editor's margin of 15
// that is one frame of a drag, timed on the clock since the pool's threads work too.

#include "bench/common/boxlighting.h"
#include "corvid/client/params.h"
#include "corvid/gui/graphics.h"
#include "corvid/pbrwidgets/knob.h"
#include "corvid/pbrwidgets/shapes.h"
#include "spatium/gui/panknob.h"

#include <benchmark/benchmark.h>

#include <memory>

namespace {

using namespace corvid;

class Root : public GUIGraphics {
public:
    Root() : GUIGraphics(763, 494, 0) {}
    void arrange(const IntRect& space) override { position = space; }
};

struct Setup {
    explicit Setup(std::int32_t side) {
        auto k = std::make_unique<spatium::PanKnob>(root.getContext(), &parameter);
        k->setPosition({342, 298, 342 + side, 298 + side});
        k->bodyRadius = 0.8f;
        k->ledCount = 13;
        knob = k.get();
        root.addChild(std::move(k));
        window = &root.openHeadlessEditor();
        window->paint();
    }
    LinearFloatParameter parameter{6, "Pan", "deg", -90.0, 90.0, 0.0};
    Root root;
    UIKnob* knob = nullptr;
    HeadlessWindow* window = nullptr;
};

// The knob's whole box painted into maps of its size, the value moving each time.
void paintRepeatedly(benchmark::State& state, Setup& s, std::int32_t side) {
    OwnedImage<RGBA> diffuse(side, side), material(side, side);
    OwnedImage<L16> depth(side, side);
    const std::vector<IntRect> box{{0, 0, side, side}};
    double v = 0.0;
    for (auto _ : state) {
        v = v > 0.99 ? 0.0 : v + 0.01;
        s.parameter.storeNormalized(v);
        s.knob->paintMaps(diffuse.asView(), depth.asView(), material.asView(), box);
        benchmark::DoNotOptimize(diffuse.asView().pixels());
    }
}

void knobPaint(benchmark::State& state) {
    const auto side = static_cast<std::int32_t>(state.range(0));
    Setup s(side);
    paintRepeatedly(state, s, side);
}

// The looks the editor gives its knobs at each size: LED count and size, body
// style and trail ring are what the paint's cost depends on.
void editorLook(UIKnob& k, std::int32_t side) {
    switch (side) {
    case 112: // the pan dial
        k.bodyRadius = 0.75f;
        k.ledCount = 7;
        k.ledRadiusMin = 0.11f;
        k.ledRadiusMax = 0.12f;
        k.trailRadiusMin = 0.875f;
        k.trailRadiusMax = 1.0f;
        break;
    case 65:
        k.bodyRadius = 0.8f;
        k.ledCount = 7;
        k.ledRadiusMin = 0.06f;
        k.ledRadiusMax = 0.1f;
        k.trailRadiusMin = 0.8f;
        k.trailRadiusMax = 0.97f;
        break;
    case 44:
        k.bodyRadius = 0.8f;
        k.bodyStyle = KnobBodyStyle::cylinder;
        k.ledCount = 13;
        k.ledRadiusMin = k.ledRadiusMax = 0.06f;
        k.trailRadiusMin = 0.7f;
        k.trailRadiusMax = 1.0f;
        break;
    default:
        k.bodyRadius = 0.75f;
        k.bodyStyle = KnobBodyStyle::cone;
        k.ledCount = 1;
        k.ledRadiusMin = k.ledRadiusMax = 0.15f;
        k.trailRadiusMin = 0.7f;
        k.trailRadiusMax = 1.0f;
        break;
    }
}

void knobPaintEditorLook(benchmark::State& state) {
    const auto side = static_cast<std::int32_t>(state.range(0));
    Setup s(side);
    editorLook(*s.knob, side);
    paintRepeatedly(state, s, side);
}

void knobLighting(benchmark::State& state) {
    Setup s(static_cast<std::int32_t>(state.range(0)));
    for (auto _ : state) bench_support::lightBox(s.root, s.knob->getPosition());
}

void knobFrame(benchmark::State& state) {
    Setup s(static_cast<std::int32_t>(state.range(0)));
    s.root.setRedrawMargin(static_cast<std::int32_t>(state.range(1)));
    double v = 0.0;
    for (auto _ : state) {
        v = v > 0.99 ? 0.0 : v + 0.01;
        s.parameter.storeNormalized(v);
        s.knob->markDirty();
        s.window->tick();
    }
}

// The 44 px knob's trail ring and body discs on each instruction-set path, so a
// machine without AVX2 can be judged from this one.
void shapesOnPath(benchmark::State& state) {
    const auto path = static_cast<Isa>(state.range(0));
    if (!isaSupported(path)) {
        state.SkipWithError("the processor lacks this path");
        return;
    }
    OwnedImage<RGBA> diffuse(44, 44), material(44, 44);
    OwnedImage<L16> depth(44, 44);
    float value = 0.0f;
    for (auto _ : state) {
        value = value > 4.0f ? 0.0f : value + 0.05f;
        annularArcPair(diffuse.asView(), 21.5f, 21.5f, 15.4f, 22.0f,
                       {2.36f, 7.07f, RGBA{60, 60, 60, 0}},
                       {4.71f, 4.71f + value, RGBA{200, 220, 255, 90}}, path);
        softDisc(depth.asView(), 21.5f, 21.5f, 17.6f, 12.6f, 50000, 1.0f, path);
        softDisc(diffuse.asView(), 21.5f, 21.5f, 17.6f, 16.6f, RGBA{233, 235, 236, 0}, 1.0f, path);
        softDisc(material.asView(), 21.5f, 21.5f, 17.6f, 12.6f, RGBA{0, 255, 128, 255}, 1.0f, path);
        benchmark::DoNotOptimize(diffuse.asView().pixels());
    }
}

} // namespace

BENCHMARK(shapesOnPath)
    ->ArgName("path")
    ->Arg(static_cast<int>(Isa::sse2))
    ->Arg(static_cast<int>(Isa::avx2))
    ->Arg(static_cast<int>(Isa::avx512))
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(knobPaint)->ArgName("side")->Arg(112)->Arg(65)->Arg(44)->Arg(34)->Unit(
    benchmark::kMicrosecond);
BENCHMARK(knobPaintEditorLook)
    ->ArgName("side")
    ->Arg(112)
    ->Arg(65)
    ->Arg(44)
    ->Arg(34)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(knobLighting)
    ->ArgName("side")
    ->Arg(112)
    ->Arg(65)
    ->Arg(44)
    ->Arg(34)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(knobFrame)
    ->ArgNames({"side", "margin"})
    ->Args({112, 0})
    ->Args({65, 0})
    ->Args({44, 0})
    ->Args({34, 0})
    ->Args({112, 15})
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();
