#include "tests/vst3/checks.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

namespace vst3host {

namespace {

std::uint32_t word(const std::vector<std::uint8_t>& b, std::size_t at) {
    return static_cast<std::uint32_t>(b[at]) | static_cast<std::uint32_t>(b[at + 1]) << 8 |
           static_cast<std::uint32_t>(b[at + 2]) << 16 |
           static_cast<std::uint32_t>(b[at + 3]) << 24;
}

void putWord(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t value) {
    for (std::size_t k = 0; k < 4; ++k) b[at + k] = static_cast<std::uint8_t>(value >> (8 * k));
}

std::vector<ParamValue> values(Plugin& plugin) {
    std::vector<ParamValue> v;
    for (const ParameterInfo& p : plugin.parameters())
        v.push_back(plugin.controller().getParamNormalized(p.id));
    return v;
}

// Where the count of values sits: magic, format, reserved, version, preset index.
constexpr std::size_t kCountAt = 20;
constexpr std::size_t kHeaderBytes = 24;

} // namespace

void apply(Plugin& plugin, const Settings& settings) {
    for (const auto& [name, text] : settings) plugin.set(name, text);
}

std::size_t chunkLength(const std::vector<std::uint8_t>& state) {
    if (state.size() < kHeaderBytes) return 0;
    const std::uint64_t length = kHeaderBytes + 4ull * word(state, kCountAt);
    return length <= state.size() ? static_cast<std::size_t>(length) : 0;
}

std::int64_t firstDifference(const Audio& a, const Audio& b) {
    const std::size_t n = std::min(a.samples.size(), b.samples.size());
    for (std::size_t i = 0; i < n; ++i)
        if (std::bit_cast<std::uint32_t>(a.samples[i]) !=
            std::bit_cast<std::uint32_t>(b.samples[i]))
            return static_cast<std::int64_t>(i);
    if (a.samples.size() != b.samples.size() || a.channels != b.channels || a.rate != b.rate)
        return static_cast<std::int64_t>(n);
    return -1;
}

Failures checkStateRoundTrip(Module& module, const Audio& input, std::int32_t block,
                             const Settings& settings) {
    Failures failures;
    Plugin first(module, input.channels, input.rate, block);
    apply(first, settings);
    // The chunk keeps values as 32-bit floats, so the first save rounds values set
    // as doubles; from then on saving and restoring must change nothing.
    const std::vector<std::uint8_t> rounded = first.state();
    if (first.restore(rounded) != kResultOk) return {"setState of its own state refused"};
    const std::vector<std::uint8_t> saved = first.state();
    if (saved != rounded) failures.push_back("a second getState gives other bytes");
    Plugin second(module, input.channels, input.rate, block);
    const tresult r = second.restore(saved);
    if (r != kResultOk) return {"setState of a getState stream: " + resultText(r)};
    if (second.state() != saved) failures.push_back("getState after setState gives other bytes");
    if (values(second) != values(first))
        failures.push_back("the restored instance reports other parameter values");
    const std::int64_t at =
        firstDifference(render(first, input, block), render(second, input, block));
    if (at >= 0)
        failures.push_back("the restored instance renders differently from sample " +
                           std::to_string(at));
    return failures;
}

Failures checkDamagedStates(Module& module, const Settings& settings) {
    Failures failures;
    std::vector<std::uint8_t> good;
    {
        Plugin source(module, 2, 48000.0, 256);
        apply(source, settings);
        good = source.state();
    }
    const std::size_t length = chunkLength(good);
    if (length == 0) return {"the component state does not start with a state chunk"};
    std::vector<std::pair<std::string, std::vector<std::uint8_t>>> damaged;
    for (std::size_t cut : {std::size_t{0}, std::size_t{3}, std::size_t{4}, std::size_t{12},
                            kCountAt, kHeaderBytes, kHeaderBytes + 2, length / 2, length - 1})
        damaged.emplace_back("cut to " + std::to_string(cut) + " bytes",
                             std::vector<std::uint8_t>(good.begin(), good.begin() + cut));
    auto changed = [&](const std::string& what, std::size_t at, std::uint32_t value) {
        std::vector<std::uint8_t> b = good;
        putWord(b, at, value);
        damaged.emplace_back(what, std::move(b));
    };
    changed("another magic number", 0, 0x12345678);
    changed("a newer format", 4, 1);
    changed("preset index past the last", 16, 32);
    changed("negative preset index", 16, 0xFFFFFFFF);
    changed("more values than the stream holds", kCountAt, 0x7FFFFFFF);

    // Each damaged stream goes to a fresh instance holding other values, and to one
    // that is already processing.
    Plugin idle(module, 2, 48000.0, 256);
    apply(idle, {{"Pan", "-61"}, {"Distance", "-7"}, {"Test Mono", "yes"}});
    Plugin running(module, 1, 44100.0, 256);
    apply(running, {{"Stereo Width", "150"}});
    const float silence[256] = {};
    float out[2][256];
    const float* in[2] = {silence, silence};
    float* outs[2] = {out[0], out[1]};
    running.process(in, outs, 256);
    for (Plugin* target : {&idle, &running}) {
        const std::vector<std::uint8_t> stateBefore = target->state();
        const std::vector<ParamValue> before = values(*target);
        for (const auto& [what, bytes] : damaged) {
            const tresult r = target->restore(bytes);
            const std::string where = std::string(target == &idle ? "idle" : "processing") +
                                      " instance, state with " + what;
            if (r == kResultOk) failures.push_back(where + ": accepted");
            if (values(*target) != before) failures.push_back(where + ": the values changed");
            if (target->state() != stateBefore) failures.push_back(where + ": getState changed");
        }
        if (target == &running) running.process(in, outs, 256);
    }
    return failures;
}

Failures checkParameterTexts(Module& module) {
    Failures failures;
    Plugin plugin(module, 2, 48000.0, 256);
    IEditController& c = plugin.controller();
    const std::vector<ParameterInfo> list = plugin.parameters();
    std::vector<ParamID> seen;
    for (std::size_t index = 0; index < list.size(); ++index) {
        const ParameterInfo& p = list[index];
        const std::string name = utf8(p.title);
        const std::string label = "parameter " + std::to_string(p.id) + " (" + name + ")";
        if (name.empty()) failures.push_back(label + ": no title");
        if (std::find(seen.begin(), seen.end(), p.id) != seen.end())
            failures.push_back(label + ": its ID is used twice");
        seen.push_back(p.id);
        if (!(p.defaultNormalizedValue >= 0.0 && p.defaultNormalizedValue <= 1.0))
            failures.push_back(label + ": default outside 0..1");
        if (c.getParamNormalized(p.id) != p.defaultNormalizedValue)
            failures.push_back(label + ": a fresh instance does not hold the default");
        std::vector<ParamValue> probes = {0.0,  0.1, 0.25, 0.5,
                                          0.75, 0.9, 1.0,  p.defaultNormalizedValue};
        // Steps whose text another step shares (the unnamed factory presets) cannot
        // come back as themselves from their text.
        std::vector<std::string> stepTexts;
        if (p.stepCount > 0)
            for (std::int32_t s = 0; s <= p.stepCount; ++s) {
                probes.push_back(static_cast<double>(s) / p.stepCount);
                stepTexts.push_back(plugin.text(p.id, probes.back()));
            }
        const auto unique = [&stepTexts](const std::string& text) {
            return std::count(stepTexts.begin(), stepTexts.end(), text) == 1;
        };
        for (ParamValue v : probes) {
            // A stepped parameter's plain values are its steps: only a step maps
            // back to itself.
            const bool onStep = p.stepCount == 0 || v * p.stepCount == std::round(v * p.stepCount);
            try {
                const std::string text = plugin.text(p.id, v);
                const ParamValue back = plugin.valueOf(p.id, text);
                const std::string again = plugin.text(p.id, back);
                if (again != text)
                    failures.push_back(label + ": " + std::to_string(v) + " reads \"" + text +
                                       "\", which reads back as " + std::to_string(back) + " = \"" +
                                       again + "\"");
                if (p.stepCount > 0 && onStep && unique(text) && back != v)
                    failures.push_back(label + ": step " + std::to_string(v) + " reads \"" + text +
                                       "\" but comes back as " + std::to_string(back));
                const ParamValue plain = c.normalizedParamToPlain(p.id, v);
                const ParamValue normal = c.plainParamToNormalized(p.id, plain);
                if (onStep && std::abs(normal - v) > 1e-6)
                    failures.push_back(label + ": plain " + std::to_string(plain) + " of " +
                                       std::to_string(v) + " maps back to " +
                                       std::to_string(normal));
            } catch (const Error& e) {
                failures.push_back(label + " at " + std::to_string(v) + ": " + e.what());
            }
        }
    }
    return failures;
}

Failures checkAutomation(Module& module, const Audio& input, std::int32_t block) {
    Plugin probe(module, input.channels, input.rate, block);
    const ParamID pan = probe.parameter("Pan"), distance = probe.parameter("Distance"),
                  width = probe.parameter("Stereo Width"), mono = probe.parameter("Test Mono"),
                  wet = probe.parameter("Dry / Wet");
    const auto b = static_cast<std::int64_t>(block);
    // At a block's first and last frame, on a block boundary, two parameters at one
    // frame, one parameter twice in a block, adjacent frames, a switch.
    const std::vector<Change> changes = {
        {0, pan, 0.2},           {b / 3, pan, 0.9},         {b / 3, distance, 0.3},
        {b + b / 2, pan, 0.1},   {b + b / 2 + 1, pan, 0.6}, {2 * b - 1, width, 0.8},
        {2 * b, distance, 0.95}, {3 * b + 7, mono, 1.0},    {3 * b + 40, wet, 0.4},
        {4 * b + 5, mono, 0.0},  {4 * b + 6, pan, 0.0},     {5 * b + b / 2, wet, 1.0},
    };
    Failures failures;
    Plugin inside(module, input.channels, input.rate, block);
    Plugin cut(module, input.channels, input.rate, block);
    const Audio a = render(inside, input, block, changes, Delivery::atOffsets);
    const Audio c = render(cut, input, block, changes, Delivery::cutBlocks);
    const std::int64_t at = firstDifference(a, c);
    if (at >= 0)
        failures.push_back("changes at offsets differ from cut blocks from frame " +
                           std::to_string(at / 2));
    if (inside.state() != cut.state())
        failures.push_back("the two renders end with different states");
    // The changes must have done something: the same render without them differs.
    Plugin plain(module, input.channels, input.rate, block);
    if (firstDifference(a, render(plain, input, block)) < 0)
        failures.push_back("the automation changed nothing");
    return failures;
}

} // namespace vst3host
