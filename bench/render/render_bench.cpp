// Render speed through the plug-in library's render callback, as a host drives
// it: seconds of audio rendered per second of wall time, and the cost per stereo
// frame; the same through Spatium.clap's process, so the formats compare in one run.

#include "tools/aaxhost/host.h"
#if defined(SPATIUM_CLAP_LIBRARY)
#include "tests/clap/testhost.h"
#endif

#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <vector>

using namespace spatium::host;

namespace {

constexpr double kRate = 48000.0;
constexpr std::int32_t kSeconds = 10;

void countFrames(benchmark::State& state, std::size_t frames) {
    state.counters["audio_s_per_s"] =
        benchmark::Counter(static_cast<double>(kSeconds) * static_cast<double>(state.iterations()),
                           benchmark::Counter::kIsRate);
    // Shown in seconds with an SI prefix: "4.2n" is 4.2 ns per stereo frame.
    state.counters["per_frame"] =
        benchmark::Counter(static_cast<double>(frames) * static_cast<double>(state.iterations()),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void renderFile(benchmark::State& state) {
    const auto inputs = static_cast<std::int32_t>(state.range(0));
    const auto block = static_cast<std::int32_t>(state.range(1));
    Plugin plugin(SPATIUM_PLUGIN_PATH);
    Instance instance(plugin, componentForInputs(plugin.effect(), inputs), kRate);
    instance.setNormalizedValue("6", 0.3); // off-centre
    instance.setNormalizedValue("0", 0.5); // a little away
    const auto frames = static_cast<std::size_t>(kRate) * kSeconds;
    std::vector<std::vector<float>> in(static_cast<std::size_t>(inputs),
                                       std::vector<float>(frames));
    for (std::size_t i = 0; i < frames; ++i)
        for (auto& ch : in)
            ch[i] = 0.3f * static_cast<float>(std::sin(0.01 * static_cast<double>(i)));
    std::vector<float> left(static_cast<std::size_t>(block)),
        right(static_cast<std::size_t>(block));
    float* out[2] = {left.data(), right.data()};
    for (auto _ : state) {
        for (std::size_t pos = 0; pos < frames; pos += static_cast<std::size_t>(block)) {
            const auto n = static_cast<std::int32_t>(
                std::min<std::size_t>(static_cast<std::size_t>(block), frames - pos));
            const float* inPtr[2] = {in[0].data() + pos, in[inputs > 1 ? 1 : 0].data() + pos};
            instance.render(inPtr, out, n);
        }
        benchmark::DoNotOptimize(left.data());
    }
    countFrames(state, frames);
}

#if defined(SPATIUM_CLAP_LIBRARY)
void renderFileClap(benchmark::State& state) {
    const auto inputs = static_cast<int>(state.range(0));
    const auto block = static_cast<std::uint32_t>(state.range(1));
    static claptest::Library library(SPATIUM_CLAP_LIBRARY);
    claptest::Host host;
    claptest::Instance instance(library, host);
    if (!instance.start(kRate, inputs)) return state.SkipWithError("not activated");
    const auto frames = static_cast<std::size_t>(kRate) * kSeconds;
    std::vector<std::vector<float>> in(static_cast<std::size_t>(inputs),
                                       std::vector<float>(frames));
    for (std::size_t i = 0; i < frames; ++i)
        for (auto& ch : in)
            ch[i] = 0.3f * static_cast<float>(std::sin(0.01 * static_cast<double>(i)));
    // Block-sized outputs, as the render callback above writes.
    std::vector<std::vector<float>> out(2, std::vector<float>(block));
    // The same settings as above: 0.3 of Pan's -90..90 degrees, 0.5 of Distance's -24..6.
    claptest::InEvents first, none;
    first.add(0, 6, -36.0);
    first.add(0, 0, -9.0);
    for (auto _ : state) {
        for (std::size_t pos = 0; pos < frames; pos += block) {
            const auto n = static_cast<std::uint32_t>(std::min<std::size_t>(block, frames - pos));
            instance.process(in, out, pos, n, pos == 0 ? first : none, nullptr, 0);
        }
        benchmark::DoNotOptimize(out[0].data());
    }
    countFrames(state, frames);
}
#endif

} // namespace

BENCHMARK(renderFile)
    ->ArgNames({"inputs", "block"})
    ->Args({1, 1024})
    ->Args({2, 1024})
    ->Args({2, 64})
    ->Unit(benchmark::kMillisecond);
#if defined(SPATIUM_CLAP_LIBRARY)
BENCHMARK(renderFileClap)
    ->ArgNames({"inputs", "block"})
    ->Args({1, 1024})
    ->Args({2, 1024})
    ->Args({2, 64})
    ->Unit(benchmark::kMillisecond);
#endif
