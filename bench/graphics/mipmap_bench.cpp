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

void setKernels(benchmark::State& state) {
    setMipKernels(static_cast<MipKernels>(state.range(0)));
}

// Diffuse schedule: alpha-weighted level 1, cubic above, six levels.
void BM_DiffuseRebuild(benchmark::State& state) {
    setKernels(state);
    auto m = randomMipmap<RGBA>(5);
    for (auto _ : state) {
        IntRect r{0, 0, W, H};
        for (int k = 1; k < m.levelCount(); ++k)
            r = m.buildNextLevel(k == 1 ? MipFilter::alphaWeightedBox : MipFilter::cubic, k, r);
        benchmark::ClobberMemory();
    }
    setMipKernels(MipKernels::best);
}

// Image schedule: box for levels 1 and 2, cubic above.
void BM_BoxCubicRebuildRGBA(benchmark::State& state) {
    setKernels(state);
    auto m = randomMipmap<RGBA>(5);
    for (auto _ : state) {
        IntRect r{0, 0, W, H};
        for (int k = 1; k < m.levelCount(); ++k)
            r = m.buildNextLevel(k <= 2 ? MipFilter::box : MipFilter::cubic, k, r);
        benchmark::ClobberMemory();
    }
    setMipKernels(MipKernels::best);
}

// Depth schedule: five levels, box for levels 1 and 2, cubic above.
void BM_DepthRebuild(benchmark::State& state) {
    setKernels(state);
    auto m = randomMipmap<L16>(4);
    for (auto _ : state) {
        IntRect r{0, 0, W, H};
        for (int k = 1; k < m.levelCount(); ++k)
            r = m.buildNextLevel(k <= 2 ? MipFilter::box : MipFilter::cubic, k, r);
        benchmark::ClobberMemory();
    }
    setMipKernels(MipKernels::best);
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

// Argument: 0 scalar, 1 SSE2, 2 AVX2, 3 best available.
#define KERNEL_ARGS ->Arg(0)->Arg(1)->Arg(2)->Arg(3)->Unit(benchmark::kMicrosecond)
BENCHMARK(BM_DiffuseRebuild) KERNEL_ARGS;
BENCHMARK(BM_BoxCubicRebuildRGBA) KERNEL_ARGS;
BENCHMARK(BM_DepthRebuild) KERNEL_ARGS;
BENCHMARK(BM_SampleBilinear);

} // namespace
