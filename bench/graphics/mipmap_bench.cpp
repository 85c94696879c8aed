// Mipmap rebuild of a window-sized map. The editor rebuilds every level after each
// redraw, so a full rebuild has to stay well inside a frame.

#include "corvid/graphics/mipmap.h"

#include <benchmark/benchmark.h>

#include <random>

using namespace corvid;

namespace {

constexpr int W = 763;
constexpr int H = 494;

template <typename T>
Mipmap<T> randomMipmap(int maxLevel) {
    Mipmap<T> m(maxLevel, W, H);
    std::mt19937 rng(99);
    auto& img = m.level(0);
    auto* bytes = reinterpret_cast<uint8_t*>(img.data());
    for (int64_t i = 0; i < img.numPixels() * int64_t(sizeof(T)); ++i) bytes[i] = uint8_t(rng());
    return m;
}

// The instruction set a run asks for; false (the run skipped) when the processor
// lacks it.
bool pickIsa(benchmark::State& state, Isa& isa) {
    isa = static_cast<Isa>(state.range(0));
    if (isaSupported(isa)) return true;
    state.SkipWithError("the processor lacks this set");
    return false;
}

// Diffuse schedule: alpha-weighted level 1, cubic above, six levels.
void BM_DiffuseRebuild(benchmark::State& state) {
    Isa isa;
    if (!pickIsa(state, isa)) return;
    auto m = randomMipmap<RGBA>(5);
    for (auto _ : state) {
        IntRect r{0, 0, W, H};
        for (int k = 1; k < m.levelCount(); ++k)
            r = m.buildNextLevel(k == 1 ? MipFilter::alphaWeightedBox : MipFilter::cubic, k, r,
                                 isa);
        benchmark::ClobberMemory();
    }
}

// Image schedule: box for levels 1 and 2, cubic above.
void BM_BoxCubicRebuildRGBA(benchmark::State& state) {
    Isa isa;
    if (!pickIsa(state, isa)) return;
    auto m = randomMipmap<RGBA>(5);
    for (auto _ : state) {
        IntRect r{0, 0, W, H};
        for (int k = 1; k < m.levelCount(); ++k)
            r = m.buildNextLevel(k <= 2 ? MipFilter::box : MipFilter::cubic, k, r, isa);
        benchmark::ClobberMemory();
    }
}

// Depth schedule: five levels, box for levels 1 and 2, cubic above.
void BM_DepthRebuild(benchmark::State& state) {
    Isa isa;
    if (!pickIsa(state, isa)) return;
    auto m = randomMipmap<L16>(4);
    for (auto _ : state) {
        IntRect r{0, 0, W, H};
        for (int k = 1; k < m.levelCount(); ++k)
            r = m.buildNextLevel(k <= 2 ? MipFilter::box : MipFilter::cubic, k, r, isa);
        benchmark::ClobberMemory();
    }
}

void BM_SampleBilinear(benchmark::State& state) {
    auto m = randomMipmap<RGBA>(5);
    IntRect r{0, 0, W, H};
    for (int k = 1; k < m.levelCount(); ++k) r = m.buildNextLevel(MipFilter::cubic, k, r);
    float x = 0.0f;
    for (auto _ : state) {
        auto s = m.sampleBilinear(int(x) & 7, x, x * 0.5f);
        benchmark::DoNotOptimize(s);
        x += 0.37f;
        if (x > W) x = 0.0f;
    }
}

// The row kernels have a body for every instruction set.
#define KERNEL_ARGS                                                                                \
    ->Arg(static_cast<int>(Isa::sse2))                                                             \
        ->Arg(static_cast<int>(Isa::avx2))                                                         \
        ->Arg(static_cast<int>(Isa::avx512))                                                       \
        ->Unit(benchmark::kMicrosecond)
BENCHMARK(BM_DiffuseRebuild) KERNEL_ARGS;
BENCHMARK(BM_BoxCubicRebuildRGBA) KERNEL_ARGS;
BENCHMARK(BM_DepthRebuild) KERNEL_ARGS;
BENCHMARK(BM_SampleBilinear);

} // namespace
