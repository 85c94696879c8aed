// Cost per stereo frame of Spatium's LV2 bundle and of the stereo placers Debian
// ships, all hosted the same way through lilv: 48 kHz, 512-frame blocks of the same
// noise, every control at its default unless a case sets it. Peers that are not
// installed are skipped, so the program runs on any machine.

#include "tests/lv2/lilv_host.h"

#include "corvid/lv2/turtle.h"
#include "spatium/lv2/bundle.h"
#include "spatium/params.h"
#include "spatium/spatium.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <exception>
#include <memory>
#include <numbers>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr double kRate = 48000.0;
constexpr std::uint32_t kBlock = 512;
// A second of audio before timing, so smoothed controls have reached their targets.
constexpr std::uint32_t kWarmupBlocks = 94;
// Source blocks cycled through, so no plug-in sees the same block twice in a row.
constexpr std::size_t kSourceBlocks = 64;

// Every installed bundle and the freshly built one.
lv2test::World& world() {
    static const std::unique_ptr<lv2test::World> w = [] {
        auto made = std::make_unique<lv2test::World>();
        made->loadBundle(SPATIUM_LV2_BUNDLE);
        return made;
    }();
    return *w;
}

const std::vector<std::vector<float>>& source() {
    static const std::vector<std::vector<float>> s = {
        lv2test::noiseAndTone(kBlock * kSourceBlocks, 11, 0.031),
        lv2test::noiseAndTone(kBlock * kSourceBlocks, 12, 0.047)};
    return s;
}

std::string spatiumUri(const char* suffix) {
    const auto bundle = spatium::lv2Bundle();
    for (const auto& v : bundle.variants)
        if (v.suffix == suffix) return bundle.pluginUri(v);
    return bundle.baseUri + "/" + suffix;
}

// The port symbol hosts see for one of Spatium's parameters.
std::string spatiumSymbol(std::int32_t index) {
    static const auto client = corvid::createClient<spatium::SpatiumClient>();
    return corvid::lv2::portSymbol(*client->parameter(index));
}

// Controls moved away from their defaults, by port symbol, in plain units.
using Settings = std::vector<std::pair<std::string, float>>;

// Placed right of centre and farther away, wider, with a larger head and a
// stronger spectral cue: every stage of the chain has work to do.
Settings spatiumActing() {
    return {{spatiumSymbol(spatium::kPan), 45.0f},
            {spatiumSymbol(spatium::kDistance), -9.0f},
            {spatiumSymbol(spatium::kStereoWidth), 150.0f},
            {spatiumSymbol(spatium::kHeadSize), 150.0f},
            {spatiumSymbol(spatium::kSpectralPan), 150.0f}};
}

struct Case {
    std::string uri;
    Settings settings;
    // Sweeps pan and distance every block, as host automation does.
    bool automate = false;
};

void runPlugin(benchmark::State& state, const Case& c) {
    lv2test::World& w = world();
    const LilvPlugin* found = w.plugin(c.uri);
    if (!found) return state.SkipWithError(("not installed: " + c.uri).c_str());
    if (c.uri.rfind(spatium::lv2Bundle().baseUri, 0) == 0) {
        const std::string built = "file://" SPATIUM_LV2_BUNDLE "/";
        if (lilv_node_as_uri(lilv_plugin_get_bundle_uri(found)) != built)
            return state.SkipWithError("an installed Spatium shadows the built bundle");
    }
    std::unique_ptr<lv2test::Plugin> plugin;
    std::uint32_t automatedPan = 0, automatedDistance = 0;
    try {
        plugin = std::make_unique<lv2test::Plugin>(w, c.uri, kRate, kBlock);
        for (const auto& [symbol, value] : c.settings)
            plugin->control(plugin->port(symbol)) = value;
        if (c.automate) {
            automatedPan = plugin->port(spatiumSymbol(spatium::kPan));
            automatedDistance = plugin->port(spatiumSymbol(spatium::kDistance));
        }
    } catch (const std::exception& e) {
        return state.SkipWithError(e.what());
    }
    lv2test::Plugin& p = *plugin;
    if (p.outputs() != 2 || p.inputs() < 1 || p.inputs() > 2)
        return state.SkipWithError("not a mono- or stereo-in, stereo-out plug-in");

    const auto& in = source();
    std::size_t block = 0;
    double time = 0.0;
    auto runBlock = [&] {
        if (c.automate) {
            time += kBlock / kRate;
            p.control(automatedPan) =
                static_cast<float>(90.0 * std::sin(2.0 * std::numbers::pi * time / 4.0));
            p.control(automatedDistance) =
                static_cast<float>(-4.0 + 8.0 * std::sin(2.0 * std::numbers::pi * time / 3.0));
        }
        const auto offset = static_cast<long>((block++ % kSourceBlocks) * kBlock);
        for (std::uint32_t ch = 0; ch < p.inputs(); ++ch)
            std::copy(in[ch].begin() + offset, in[ch].begin() + offset + kBlock,
                      p.input(ch).begin());
        p.run(kBlock);
    };
    for (std::uint32_t i = 0; i < kWarmupBlocks; ++i) runBlock();
    for (auto _ : state) {
        runBlock();
        benchmark::DoNotOptimize(p.output(0).data());
        benchmark::DoNotOptimize(p.output(1).data());
    }

    state.SetItemsProcessed(state.iterations() * kBlock);
    // Shown in seconds with an SI prefix: "4.2n" is 4.2 ns per stereo frame.
    state.counters["per_frame"] =
        benchmark::Counter(double(state.iterations()) * kBlock,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    // The last block's level: a plug-in that put out silence (bypassed, muted or
    // misconnected) would show a figure that means nothing. Spatium's distance
    // lowers it on purpose.
    double sum = 0.0;
    for (std::uint32_t ch = 0; ch < 2; ++ch)
        for (float x : p.output(ch)) sum += double(x) * x;
    state.counters["out_rms"] = std::sqrt(sum / (2.0 * kBlock));
}

// The machine is shared and noisy: the fastest repetition is the figure to compare.
double fastest(const std::vector<double>& v) {
    return v.empty() ? 0.0 : *std::min_element(v.begin(), v.end());
}

[[maybe_unused]] const bool kRegistered = [] {
    const std::string stereo = spatiumUri("stereo"), mono = spatiumUri("mono");
    const std::pair<const char*, Case> cases[] = {
        {"Spatium/stereo/defaults", {stereo, {}}},
        {"Spatium/stereo/allActing", {stereo, spatiumActing()}},
        {"Spatium/stereo/allActingAutomated", {stereo, spatiumActing(), true}},
        {"Spatium/mono/defaults", {mono, {}}},
        {"Spatium/mono/allActing", {mono, spatiumActing()}},
        {"x42/Balance/defaults", {"http://gareus.org/oss/lv2/balance", {}}},
        {"Calf/HaasEnhancer/defaults", {"http://calf.sourceforge.net/plugins/HaasEnhancer", {}}},
        {"Calf/StereoTools/defaults", {"http://calf.sourceforge.net/plugins/StereoTools", {}}},
        {"Zam/HeadX2/defaults", {"urn:zamaudio:ZamHeadX2", {}}},
    };
    for (const auto& [name, c] : cases)
        benchmark::RegisterBenchmark(name, [c = c](benchmark::State& s) {
            runPlugin(s, c);
        })->ComputeStatistics("min", fastest);
    return true;
}();

} // namespace
