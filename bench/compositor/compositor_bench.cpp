// Lighting cost on the editor's window size: one 64 x 32 tile, a small dirty area
// and the whole window over the thread pool, for every kernel the processor runs.
#include "corvid/core/isa.h"
#include "corvid/core/thread.h"
#include "corvid/gui/compositor.h"

#include <benchmark/benchmark.h>

#include <time.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <random>
#include <vector>

namespace {

using namespace corvid;

constexpr int kWidth = 763;
constexpr int kHeight = 494;

// A panel-like scene: a rough plate with grooves and brushed metal strips, round
// knobs of polished metal, and small emissive LEDs; the skybox has soft noise.
struct Scene {
    Mipmap<RGBA> diffuse{5, kWidth, kHeight};
    Mipmap<RGBA> material{0, kWidth, kHeight};
    Mipmap<L16> depth{4, kWidth, kHeight};
    Mipmap<RGBA> sky{10, 1024, 768};

    Scene() {
        std::mt19937 rng(42);
        OwnedImage<RGBA>& dif = diffuse.level(0);
        OwnedImage<RGBA>& mat = material.level(0);
        OwnedImage<L16>& dep = depth.level(0);
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) {
                const int cx = (x % 110) - 55, cy = (y % 120) - 60;
                const float r = std::sqrt(float(cx * cx + cy * cy));
                const bool knob = r < 38.0f;
                const bool led = !knob && r < 46.0f && (x / 3 + y / 3) % 7 == 0;
                const uint16_t plate = uint16_t(12000 + ((x / 40 + y / 30) % 2) * 800 +
                                                (rng() % 64) - ((y % 60) == 0 ? 6000 : 0));
                const float dome = knob ? std::sqrt(38.0f * 38.0f - r * r) / 38.0f : 0.0f;
                dep.setPixel(x, y, L16(uint16_t(plate + dome * 30000.0f)));
                if (knob)
                    dif.setPixel(x, y, RGBA{170, 172, 180, 0});
                else if (led)
                    dif.setPixel(x, y, RGBA{255, 120, 30, 255});
                else
                    dif.setPixel(x, y, RGBA{60, 64, 70, 0});
                // Knob bodies use the knob's default material (polished metal); the
                // plate is rough and mostly non-metallic, with brushed metal strips.
                mat.setPixel(x, y,
                             knob ? RGBA{0, 255, 128, 255}
                                  : RGBA{180, uint8_t(x % 200 < 40 ? 90 : 0), 90, 255});
            }
        for (int l = 1; l < diffuse.levelCount(); ++l)
            diffuse.buildNextLevel(
                l == 1 ? MipFilter::alphaWeightedBox : MipFilter::cubic, l,
                {0, 0, diffuse.level(l - 1).width(), diffuse.level(l - 1).height()});
        for (int l = 1; l < depth.levelCount(); ++l)
            depth.buildNextLevel(l <= 2 ? MipFilter::box : MipFilter::cubic, l,
                                 {0, 0, depth.level(l - 1).width(), depth.level(l - 1).height()});
        OwnedImage<RGBA>& s = sky.level(0);
        for (int y = 0; y < s.height(); ++y)
            for (int x = 0; x < s.width(); ++x)
                s.setPixel(x, y,
                           RGBA{uint8_t(100 + (x * y) % 90), uint8_t(120 + (x / 8) % 60),
                                uint8_t(150 + (y / 8) % 80), 255});
        for (int l = 1; l < sky.levelCount(); ++l)
            sky.buildNextLevel(l <= 2 ? MipFilter::box : MipFilter::cubic, l,
                               {0, 0, sky.level(l - 1).width(), sky.level(l - 1).height()});
    }
};

Scene& scene() {
    static Scene s;
    return s;
}

void configure(PBRCompositor& c) {
    c.light1Color = {0.1984f, 0.248f, 0.2976f};
    const float n = std::sqrt(2.01f);
    c.light2Dir = {-1.0f / n, 1.0f / n, 0.1f / n};
    c.light2Color = {0.4743f, 0.3689f, 0.2635f};
    c.light3Color = {0.1612f, 0.186f, 0.2108f};
    c.ambientLight = 0.062f;
    c.skyboxAmount = 0.3968f;
    c.setOutputCurves(0.0f, 0.94f, 1.095f, 0.21f, 0.0f, 0.94f, 1.09f, 0.185f, 0.07f, 0.89f, 1.025f,
                      0.215f);
}

// Processor time of every thread of the process: on a shared machine the wall time
// of a parallel run mostly measures other people's load.
double processCpuMicroseconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e6 + double(t.tv_nsec) * 1e-3;
}

std::vector<IntRect> tilesOf(const IntRect& area) {
    std::vector<IntRect> tiles;
    for (int y = area.minY; y < area.maxY; y += 32)
        for (int x = area.minX; x < area.maxX; x += 64)
            tiles.push_back({x, y, std::min(x + 64, area.maxX), std::min(y + 32, area.maxY)});
    return tiles;
}

bool select(benchmark::State& state, PBRCompositor& c) {
    if (!c.useKernel(static_cast<Isa>(state.range(0)))) {
        state.SkipWithError("kernel not supported here");
        return false;
    }
    return true;
}

void lightOneTile(benchmark::State& state, IntRect tile) {
    Scene& s = scene();
    PBRCompositor c;
    configure(c);
    if (!select(state, c)) return;
    OwnedImage<RGBA> out(kWidth, kHeight);
    for (auto _ : state) {
        c.lightTile(out.asView(), PixelFormat::BGRA8, tile, s.diffuse, s.material, s.depth, s.sky);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 64 * 32);
}

// The whole window on the calling thread alone, for comparison with the pool.
void lightWindowOneThread(benchmark::State& state) {
    Scene& s = scene();
    PBRCompositor c;
    configure(c);
    if (!select(state, c)) return;
    OwnedImage<RGBA> out(kWidth, kHeight);
    for (auto _ : state) {
        c.lightTile(out.asView(), PixelFormat::BGRA8, {0, 0, kWidth, kHeight}, s.diffuse,
                    s.material, s.depth, s.sky);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}

void lightArea(benchmark::State& state, const IntRect& area) {
    Scene& s = scene();
    PBRCompositor c;
    configure(c);
    if (!select(state, c)) return;
    OwnedImage<RGBA> out(kWidth, kHeight);
    ThreadPool pool;
    const std::vector<IntRect> tiles = tilesOf(area);
    const double cpuStart = processCpuMicroseconds();
    for (auto _ : state) {
        pool.runParallel(static_cast<int>(tiles.size()), [&](int i) {
            c.lightTile(out.asView(), PixelFormat::BGRA8, tiles[static_cast<size_t>(i)], s.diffuse,
                        s.material, s.depth, s.sky);
        });
        benchmark::ClobberMemory();
    }
    state.counters["allThreadsCpuUs"] =
        benchmark::Counter(processCpuMicroseconds() - cpuStart, benchmark::Counter::kAvgIterations);
    state.SetItemsProcessed(state.iterations() * area.width() * area.height());
}

void lightWindow(benchmark::State& state) {
    lightArea(state, {0, 0, kWidth, kHeight});
}

// A 40 x 40 change grows by the 15-pixel redraw margin into a 70 x 70 relit area.
void lightDirtyArea(benchmark::State& state) {
    lightArea(state, {300, 200, 370, 270});
}

void kernels(benchmark::internal::Benchmark* b) {
    b->ArgName("kernel");
    b->Arg(static_cast<int>(Isa::sse2));
    b->Arg(static_cast<int>(Isa::avx2));
    b->Arg(static_cast<int>(Isa::avx512));
    b->Unit(benchmark::kMicrosecond);
}

// A tile of plain plate, and one across a polished knob (normals, highlight and
// reflections vary most there).
BENCHMARK_CAPTURE(lightOneTile, plate, IntRect{320, 224, 384, 256})->Apply(kernels);
BENCHMARK_CAPTURE(lightOneTile, knob, IntRect{352, 164, 416, 196})->Apply(kernels);
BENCHMARK(lightDirtyArea)->Apply(kernels)->UseRealTime();
BENCHMARK(lightWindow)->Apply(kernels)->UseRealTime();
BENCHMARK(lightWindowOneThread)->Apply(kernels);

} // namespace
