// Render speed through the plug-in library's render callback, as a host drives
// it: seconds of audio rendered per second of wall time.

#include "tools/aaxhost/host.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <vector>

using namespace spatium::host;

namespace {

constexpr double kRate = 48000.0;
constexpr std::int32_t kSeconds = 10;

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
    state.counters["audio_s_per_s"] =
        benchmark::Counter(static_cast<double>(kSeconds) * static_cast<double>(state.iterations()),
                           benchmark::Counter::kIsRate);
}

} // namespace

BENCHMARK(renderFile)
    ->ArgNames({"inputs", "block"})
    ->Args({1, 1024})
    ->Args({2, 1024})
    ->Args({2, 64})
    ->Unit(benchmark::kMillisecond);
