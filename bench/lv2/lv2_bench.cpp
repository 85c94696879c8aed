// Cost per stereo frame of Spatium's LV2 bundle and of the stereo placers Debian
// ships, all hosted the same way through lilv: 48 kHz, 512-frame blocks of the same
// noise, every control at its default unless a case sets it. Peers that are not
// installed are skipped, so the program runs on any machine. Spatium also runs
// through its VST3 process call and its AAX render callback on the same noise, so
// the formats' adapters are compared in one run.

#include "bench/lv2/vst3_bundle.h"
#include "tests/lv2/lilv_host.h"
#include "tools/aaxhost/host.h"

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

// Spatium's normalised value of a plain one, as the AAX host carries it.
double spatiumNormalized(std::int32_t index, double plain) {
    static const auto client = corvid::createClient<spatium::SpatiumClient>();
    return dynamic_cast<corvid::FloatParameter&>(*client->parameter(index)).toNormalized(plain);
}

// Controls moved away from their defaults, by Spatium's parameter index, in plain
// units (peers are measured at their defaults).
using Settings = std::vector<std::pair<std::int32_t, float>>;

// Placed right of centre and farther away, wider, with a larger head and a
// stronger spectral cue: every stage of the chain has work to do.
Settings spatiumActing() {
    return {{spatium::kPan, 45.0f},
            {spatium::kDistance, -9.0f},
            {spatium::kStereoWidth, 150.0f},
            {spatium::kHeadSize, 150.0f},
            {spatium::kSpectralPan, 150.0f}};
}

enum class Format { lv2, vst3, aax };

struct Case {
    std::string uri;
    Settings settings;
    // Sweeps pan and distance every block, as host automation does.
    bool automate = false;
    Format format = Format::lv2;
    std::uint32_t inputs = 2; // VST3 and AAX; LV2 plug-ins have theirs
};

// The automation sweep, pan then distance in plain units, repeats every 12 s.
constexpr std::size_t kSweepBlocks = 1125;
static_assert(kSweepBlocks * kBlock == 12 * static_cast<std::size_t>(kRate));

// The sweep at the end of every block of its period. A host reads its automation from
// memory in the form its format carries, so working the curve out is not timed.
const std::vector<std::pair<double, double>>& sweep() {
    static const std::vector<std::pair<double, double>> points = [] {
        std::vector<std::pair<double, double>> v(kSweepBlocks);
        for (std::size_t b = 0; b < kSweepBlocks; ++b) {
            const double time = static_cast<double>((b + 1) * kBlock) / kRate;
            v[b] = {90.0 * std::sin(2.0 * std::numbers::pi * time / 4.0),
                    -4.0 + 8.0 * std::sin(2.0 * std::numbers::pi * time / 3.0)};
        }
        return v;
    }();
    return points;
}

// The sweep as normalised values, for the formats that carry those; normalized(index,
// plain) converts one value.
template <class Normalize>
std::vector<std::pair<double, double>> normalizedSweep(Normalize&& normalized) {
    std::vector<std::pair<double, double>> v;
    for (const auto& [pan, distance] : sweep())
        v.emplace_back(normalized(spatium::kPan, pan), normalized(spatium::kDistance, distance));
    return v;
}

// Times runBlock(input offset, index into the sweep) after the warm-up, and reports
// per frame and the last block's level from the two outputs.
template <class RunBlock>
void timeBlocks(benchmark::State& state, RunBlock&& runBlock, const float* left,
                const float* right) {
    std::size_t block = 0;
    auto next = [&] {
        runBlock(static_cast<long>((block % kSourceBlocks) * kBlock), block % kSweepBlocks);
        ++block;
    };
    for (std::uint32_t i = 0; i < kWarmupBlocks; ++i) next();
    for (auto _ : state) {
        next();
        benchmark::DoNotOptimize(left);
        benchmark::DoNotOptimize(right);
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
    for (const float* out : {left, right})
        for (std::uint32_t i = 0; i < kBlock; ++i) sum += double(out[i]) * out[i];
    state.counters["out_rms"] = std::sqrt(sum / (2.0 * kBlock));
}

// A host's own buffers: a block of the source copied in, stereo out.
struct Buffers {
    std::vector<float> left = std::vector<float>(kBlock), right = left, inLeft = left,
                       inRight = left;
    float* out[2] = {left.data(), right.data()};
    const float* in[2] = {inLeft.data(), inRight.data()};
    void load(long offset) {
        const auto& s = source();
        std::copy(s[0].begin() + offset, s[0].begin() + offset + kBlock, inLeft.begin());
        std::copy(s[1].begin() + offset, s[1].begin() + offset + kBlock, inRight.begin());
    }
};

void runVst3(benchmark::State& state, const Case& c) {
    std::unique_ptr<vst3bench::Bundle> bundle;
    try {
        bundle = std::make_unique<vst3bench::Bundle>(SPATIUM_VST3_BUNDLE, kRate, kBlock,
                                                     static_cast<std::int32_t>(c.inputs));
        for (const auto& [index, value] : c.settings)
            bundle->setPlain(static_cast<std::uint32_t>(index), value);
    } catch (const std::exception& e) {
        return state.SkipWithError(e.what());
    }
    Buffers io;
    vst3test::Changes changes;
    changes.add(spatium::kPan, 0, 0.5);
    changes.add(spatium::kDistance, 0, 0.5);
    const auto automation = normalizedSweep([&](std::int32_t index, double plain) {
        return bundle->normalizedFor(static_cast<std::uint32_t>(index), plain);
    });
    timeBlocks(
        state,
        [&](long offset, std::size_t point) {
            io.load(offset);
            if (c.automate) {
                changes.queues[0].points[0].second = automation[point].first;
                changes.queues[1].points[0].second = automation[point].second;
            }
            bundle->process(io.in, io.out, kBlock, c.automate ? &changes : nullptr);
        },
        io.left.data(), io.right.data());
}

void runAax(benchmark::State& state, const Case& c) {
    using namespace spatium::host;
    std::unique_ptr<Plugin> plugin;
    std::unique_ptr<Instance> instance;
    try {
        plugin = std::make_unique<Plugin>(SPATIUM_PLUGIN_PATH);
        instance = std::make_unique<Instance>(
            *plugin, componentForInputs(plugin->effect(), static_cast<std::int32_t>(c.inputs)),
            kRate);
        for (const auto& [index, value] : c.settings)
            instance->setNormalizedValue(std::to_string(index), spatiumNormalized(index, value));
    } catch (const std::exception& e) {
        return state.SkipWithError(e.what());
    }
    Buffers io;
    const auto automation = normalizedSweep(spatiumNormalized);
    const std::string panId = std::to_string(spatium::kPan);
    const std::string distanceId = std::to_string(spatium::kDistance);
    timeBlocks(
        state,
        [&](long offset, std::size_t point) {
            io.load(offset);
            if (c.automate) {
                instance->setNormalizedValue(panId, automation[point].first);
                instance->setNormalizedValue(distanceId, automation[point].second);
            }
            instance->render(io.in, io.out, kBlock);
        },
        io.left.data(), io.right.data());
}

void runLv2(benchmark::State& state, const Case& c) {
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
        for (const auto& [index, value] : c.settings)
            plugin->control(plugin->port(spatiumSymbol(index))) = value;
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
    const auto& automation = sweep();
    timeBlocks(
        state,
        [&](long offset, std::size_t point) {
            if (c.automate) {
                p.control(automatedPan) = static_cast<float>(automation[point].first);
                p.control(automatedDistance) = static_cast<float>(automation[point].second);
            }
            for (std::uint32_t ch = 0; ch < p.inputs(); ++ch)
                std::copy(in[ch].begin() + offset, in[ch].begin() + offset + kBlock,
                          p.input(ch).begin());
            p.run(kBlock);
        },
        p.output(0).data(), p.output(1).data());
}

void runPlugin(benchmark::State& state, const Case& c) {
    switch (c.format) {
    case Format::lv2:
        return runLv2(state, c);
    case Format::vst3:
        return runVst3(state, c);
    case Format::aax:
        return runAax(state, c);
    }
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
        {"Spatium/vst3/stereo/defaults", {"", {}, false, Format::vst3}},
        {"Spatium/vst3/stereo/allActing", {"", spatiumActing(), false, Format::vst3}},
        {"Spatium/vst3/stereo/allActingAutomated", {"", spatiumActing(), true, Format::vst3}},
        {"Spatium/vst3/mono/allActing", {"", spatiumActing(), false, Format::vst3, 1}},
        {"Spatium/aax/stereo/defaults", {"", {}, false, Format::aax}},
        {"Spatium/aax/stereo/allActing", {"", spatiumActing(), false, Format::aax}},
        {"Spatium/aax/stereo/allActingAutomated", {"", spatiumActing(), true, Format::aax}},
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
