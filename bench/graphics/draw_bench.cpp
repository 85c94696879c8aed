// The primitives the widgets call per dirty box on every redraw: knob bodies and
// LEDs are discs, panels and sliders are blended fills and ramps, the phase
// display is lines.

#include "corvid/graphics/draw.h"
#include "corvid/graphics/drawex.h"
#include "corvid/graphics/image.h"

#include <benchmark/benchmark.h>

using namespace corvid;

namespace {

void BM_FillRectBlendedRGBA(benchmark::State& state) {
    OwnedImage<RGBA> img(763, 494);
    img.fill({10, 20, 30, 40});
    const int side = int(state.range(0));
    for (auto _ : state) {
        fillRectBlended(img.asView(), {200, 100, 50, 255}, {3, 3, 3 + side, 3 + side}, 0.37f);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * side * side);
}
BENCHMARK(BM_FillRectBlendedRGBA)->Arg(64)->Arg(256);

void BM_FillRectBlendedL16(benchmark::State& state) {
    OwnedImage<L16> img(763, 494);
    img.fill(L16(1000));
    const int side = int(state.range(0));
    for (auto _ : state) {
        fillRectBlended(img.asView(), L16(50000), {3, 3, 3 + side, 3 + side}, 0.37f);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * side * side);
}
BENCHMARK(BM_FillRectBlendedL16)->Arg(64)->Arg(256);

// A knob-sized body: radius 30 with a 5-pixel fade.
void BM_AaDiscRGBA(benchmark::State& state) {
    OwnedImage<RGBA> img(128, 128);
    img.fill({0, 0, 0, 0});
    for (auto _ : state) {
        aaDisc(img.asView(), 64.3f, 63.7f, 25.0f, 30.0f, {180, 170, 160, 30}, 1.0f);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_AaDiscRGBA);

void BM_AaDiscL16(benchmark::State& state) {
    OwnedImage<L16> img(128, 128);
    img.fill(L16(0));
    for (auto _ : state) {
        aaDisc(img.asView(), 64.3f, 63.7f, 25.0f, 30.0f, L16(50000), 1.0f);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_AaDiscL16);

void BM_DepthRamp(benchmark::State& state) {
    OwnedImage<L16> img(763, 494);
    for (auto _ : state) {
        depthRamp(img.asView(), {0, 0, 763, 60}, 1000, 60000, DepthCurve::power07);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_DepthRamp);

// A phase-display trace: 200 short segments.
void BM_AaLine(benchmark::State& state) {
    OwnedImage<RGBA> img(200, 200);
    img.fill({0, 0, 0, 255});
    for (auto _ : state) {
        for (int k = 0; k < 200; ++k) {
            const float a = float(k) * 0.9f, b = float((k * 37) % 200);
            aaLine(img.asView(), a, b, 199.0f - a, 0.5f * b + 20.0f, {90, 255, 120, 255}, 160);
        }
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_AaLine);

} // namespace
