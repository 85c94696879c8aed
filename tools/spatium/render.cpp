#include "tools/aaxhost/paths.h"
#include "tools/spatium/audiofile.h"
#include "tools/spatium/chunk.h"
#include "tools/spatium/commands.h"
#include "tools/spatium/demo.h"
#include "tools/spatium/json.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <optional>

#if defined(_WIN32)
#include <io.h>
#define SPATIUM_ISATTY(fd) _isatty(fd)
#define SPATIUM_FILENO(f) _fileno(f)
#else
#include <unistd.h>
#define SPATIUM_ISATTY(fd) ::isatty(fd)
#define SPATIUM_FILENO(f) ::fileno(f)
#endif

namespace spatium::host {

namespace {

const char* const kRenderHelp = R"(usage: spatium render [IN] -o OUT [options]

Renders IN (mono or stereo, any format libsndfile reads) through the plug-in's
render callback as a host would, in blocks of at most 1024 frames with the
transport running, and writes OUT as 32-bit float at the input's sample rate.
OUT is the input's length plus the plug-in's 0.1 s tail. Without IN, renders the
built-in demo: a mono source moving across the stereo field and away (its Pan
and Distance follow that path; other settings apply as given).

options:
  -o, --output OUT        output file (.wav, .aif, .aiff, .caf, .w64 or .rf64)
  --preset NAME|INDEX     load a factory preset first
  --state FILE            restore a saved state (or exported preset) first
  --set NAME=TEXT         set a parameter from the text a user would type, e.g.
                          --set Pan=-45 --set "Dry / Wet=50"; repeatable
  --save-state FILE       save the plug-in's state after a successful render
  --block N               host block size, 1 to 1024 (default 1024)
  --no-compensate         keep the plug-in's latency in the output instead of
                          shifting the output to line up with the input
  --json                  print the summary as JSON
Sample rates: 44100, 48000, 88200, 96000, 176400 or 192000 Hz.
)";

constexpr std::int32_t kMaxBlock = 1024;
constexpr double kTailSeconds = 0.1;

std::atomic<bool> gInterrupted{false};

extern "C" void onInterrupt(int) {
    gInterrupted.store(true);
}

bool samePath(const std::string& utf8A, const std::string& utf8B) {
    const std::filesystem::path a = pathFromUtf8(utf8A), b = pathFromUtf8(utf8B);
    std::error_code error;
    if (std::filesystem::exists(a, error) && std::filesystem::exists(b, error))
        return std::filesystem::equivalent(a, b, error);
    return std::filesystem::weakly_canonical(a, error) ==
           std::filesystem::weakly_canonical(b, error);
}

bool isHostRate(std::int32_t rate) {
    return std::any_of(std::begin(AAX_kHostSampleRates), std::end(AAX_kHostSampleRates),
                       [rate](double r) { return r == static_cast<double>(rate); });
}

class Progress {
public:
    explicit Progress(std::int64_t total)
        : total_(total), enabled_(SPATIUM_ISATTY(SPATIUM_FILENO(stderr)) != 0) {}
    ~Progress() { finish(); }
    // Ends the bar's line so later messages start on their own.
    void finish() {
        if (enabled_ && shown_ >= 0) std::fputc('\n', stderr);
        shown_ = -1;
    }
    void update(std::int64_t done) {
        if (!enabled_ || total_ <= 0) return;
        const int percent = static_cast<int>(done * 100 / total_);
        if (percent == shown_) return;
        shown_ = percent;
        const int width = 40;
        const int filled = percent * width / 100;
        std::fprintf(stderr, "\rrendering [%.*s%*s] %3d%%", filled,
                     "########################################", width - filled, "", percent);
        std::fflush(stderr);
    }

private:
    std::int64_t total_;
    bool enabled_;
    int shown_ = -1;
};

// Restores the default handler when the render ends, however it ends.
class InterruptScope {
public:
    InterruptScope() {
        gInterrupted.store(false);
        previous_ = std::signal(SIGINT, onInterrupt);
    }
    ~InterruptScope() { std::signal(SIGINT, previous_); }

private:
    void (*previous_)(int) = SIG_DFL;
};

struct RenderOptions {
    std::string input, output, stateOut;
    Settings settings;
    std::int32_t block = kMaxBlock;
    bool compensate = true;
    bool json = false;
};

std::int32_t blockFrames(const std::string& text) {
    char* end = nullptr;
    const long n = std::strtol(text.c_str(), &end, 10);
    if (end == text.c_str() || *end != '\0' || n < 1 || n > kMaxBlock)
        throw UsageError("--block wants a number of frames from 1 to 1024, not \"" + text + "\"");
    return static_cast<std::int32_t>(n);
}

// Empty when the arguments asked for help, which is then printed.
std::optional<RenderOptions> parseRenderOptions(const std::vector<std::string>& args) {
    RenderOptions o;
    std::string blockText;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        std::string v;
        if (isHelp(a)) {
            std::cout << kRenderHelp;
            return std::nullopt;
        } else if (takeOption(args, i, "-o", v) || takeOption(args, i, "--output", v)) {
            o.output = v;
        } else if (takeSettingsOption(args, i, o.settings)) {
            // --preset, --state or --set
        } else if (takeOption(args, i, "--save-state", v)) {
            o.stateOut = v;
        } else if (takeOption(args, i, "--block", v)) {
            blockText = v;
        } else if (a == "--no-compensate") {
            o.compensate = false;
        } else if (a == "--json") {
            o.json = true;
        } else if (!a.empty() && a[0] == '-' && a != "-") {
            throw UsageError("unknown option " + a);
        } else if (o.input.empty()) {
            o.input = a;
        } else {
            throw UsageError("more than one input file (" + o.input + ", " + a + ")");
        }
    }
    if (o.output.empty()) throw UsageError("render needs an output file: -o OUT");
    if (!blockText.empty()) o.block = blockFrames(blockText);
    return o;
}

// Refuses outputs that would overwrite the input or each other before anything runs.
void checkRenderPaths(const RenderOptions& o) {
    if (!isWritableAudioPath(o.output))
        throw HostError(o.output +
                        ": unknown output type; use .wav, .aif, .aiff, .caf, .w64 or .rf64");
    if (!o.input.empty() && samePath(o.input, o.output))
        throw HostError("the output " + o.output + " is the input file; choose another output");
    if (!o.stateOut.empty() &&
        (samePath(o.stateOut, o.output) || (!o.input.empty() && samePath(o.stateOut, o.input))))
        throw HostError("--save-state " + o.stateOut + " would overwrite an audio file");
}

// The audio going in: a file, or without one the demo source.
struct RenderSource {
    std::unique_ptr<AudioReader> reader;
    std::vector<float> demo;
    std::int32_t channels = 1;
    std::int32_t rate = kDemoSampleRate;
    std::int64_t frames = 0;
};

RenderSource openSource(const std::string& input) {
    RenderSource source;
    if (input.empty()) {
        source.demo = demoSource(source.rate, kDemoSeconds);
        source.frames = static_cast<std::int64_t>(source.demo.size());
        return source;
    }
    source.reader = std::make_unique<AudioReader>(input);
    source.channels = source.reader->channels();
    source.rate = source.reader->sampleRate();
    source.frames = source.reader->frames();
    if (source.channels != 1 && source.channels != 2)
        throw HostError(input + " has " + std::to_string(source.channels) +
                        " channels; only mono and stereo files can be rendered");
    if (!isHostRate(source.rate))
        throw HostError(input + " is at " + std::to_string(source.rate) +
                        " Hz; the plug-in runs at 44100, 48000, 88200, 96000, 176400 or "
                        "192000 Hz, so resample it first");
    return source;
}

// The demo's source moves: its Pan and Distance are set from their texts at the
// start of every block, as a user's automation would.
class DemoAutomation {
public:
    explicit DemoAutomation(Instance& instance)
        : pan_(findParameterID(instance, "Pan")), distance_(findParameterID(instance, "Distance")) {
    }

    void follow(Instance& instance, std::int64_t pos, std::int32_t rate) const {
        const DemoPosition p = demoPosition(static_cast<double>(pos) / rate, kDemoSeconds);
        set(instance, pan_, p.panDegrees);
        set(instance, distance_, p.distance);
    }

private:
    static void set(Instance& instance, const std::string& id, double amount) {
        char text[32];
        double value = 0.0;
        std::snprintf(text, sizeof text, "%.3f", amount);
        if (instance.valueFromText(id, text, value) == AAX_SUCCESS)
            instance.setNormalizedValue(id, value);
    }

    std::string pan_, distance_;
};

// The host's planar block buffers, and the file's interleaved frames.
struct BlockBuffers {
    explicit BlockBuffers(std::int32_t frames)
        : block(frames), interleavedIn(static_cast<std::size_t>(frames) * 2, 0.0f),
          in(static_cast<std::size_t>(frames) * 2, 0.0f),
          out(static_cast<std::size_t>(frames) * 2, 0.0f),
          interleavedOut(static_cast<std::size_t>(frames) * 2, 0.0f) {}

    // The next count frames of the source into the planar input, the rest silent.
    void takeInput(RenderSource& source, std::int64_t pos, std::int64_t count) {
        std::fill(in.begin(), in.end(), 0.0f);
        if (count <= 0) return;
        if (!source.reader) {
            std::copy_n(source.demo.begin() + pos, count, in.begin());
            return;
        }
        source.reader->read(interleavedIn.data(), count);
        for (std::int64_t f = 0; f < count; ++f)
            for (std::int32_t c = 0; c < source.channels; ++c)
                in[static_cast<std::size_t>(c * block + f)] =
                    interleavedIn[static_cast<std::size_t>(f * source.channels + c)];
    }

    // Output frames from first on, interleaved for the file.
    const float* interleaveOutput(std::int64_t first, std::int64_t count) {
        for (std::int64_t f = 0; f < count; ++f)
            for (std::int32_t c = 0; c < 2; ++c)
                interleavedOut[static_cast<std::size_t>(f * 2 + c)] =
                    out[static_cast<std::size_t>(c * block + first + f)];
        return interleavedOut.data();
    }

    std::int32_t block;
    std::vector<float> interleavedIn, in, out, interleavedOut;
};

// Runs total frames through the instance in host blocks, the transport running,
// and writes them without the first latency frames.
void renderBlocks(Instance& instance, RenderSource& source, const DemoAutomation* demo,
                  AudioWriter& writer, std::int32_t block, std::int32_t latency,
                  std::int64_t total) {
    BlockBuffers buffers(block);
    const float* inPtr[2] = {buffers.in.data(), buffers.in.data() + block};
    float* outPtr[2] = {buffers.out.data(), buffers.out.data() + block};
    Progress progress(total);
    instance.setTransport(120.0, 0, true);

    std::int64_t skip = latency;
    for (std::int64_t pos = 0; pos < total;) {
        if (gInterrupted.load()) throw HostError("interrupted; no output written");
        const auto n = static_cast<std::int32_t>(std::min<std::int64_t>(block, total - pos));
        buffers.takeInput(source, pos, std::clamp<std::int64_t>(source.frames - pos, 0, n));
        if (demo) demo->follow(instance, pos, source.rate);
        instance.render(inPtr, outPtr, n);
        const std::int64_t dropped = std::min<std::int64_t>(skip, n);
        skip -= dropped;
        writer.write(buffers.interleaveOutput(dropped, n - dropped), n - dropped);
        pos += n;
        progress.update(pos);
    }
    progress.finish();
}

void reportRender(const RenderOptions& o, const RenderSource& source, Instance& instance,
                  std::int64_t outputFrames) {
    const std::string from = source.reader ? o.input : std::string("demo");
    if (o.json) {
        JsonWriter j(std::cout);
        j.beginObject();
        j.field("input", from);
        j.field("output", o.output);
        j.field("channelsIn", source.channels);
        j.field("sampleRate", source.rate);
        j.field("frames", outputFrames);
        j.field("latency", instance.reportedLatency());
        j.field("compensated", o.compensate);
        if (!o.stateOut.empty()) j.field("state", o.stateOut);
        j.endObject();
    } else {
        std::cout << "rendered " << from << " -> " << o.output << ": " << outputFrames
                  << " frames, 2 channels, " << source.rate << " Hz, latency "
                  << instance.reportedLatency() << " samples "
                  << (o.compensate ? "compensated" : "kept") << "\n";
    }
}

} // namespace

int runRender(const CommandLine& cl) {
    const std::optional<RenderOptions> options = parseRenderOptions(cl.args);
    if (!options) return kExitOk;
    const RenderOptions& o = *options;
    checkRenderPaths(o);

    const auto plugin = loadPlugin(cl.pluginPath);
    RenderSource source = openSource(o.input);
    Instance instance(*plugin, componentForInputs(plugin->effect(), source.channels), source.rate);
    applySettings(*plugin, instance, o.settings);
    std::optional<DemoAutomation> demo;
    if (!source.reader) demo.emplace(instance);

    const std::int32_t latency = o.compensate ? std::max(instance.reportedLatency(), 0) : 0;
    const auto tail = static_cast<std::int64_t>(std::lround(kTailSeconds * source.rate));
    const std::int64_t outputFrames = source.frames + tail;

    InterruptScope interrupts;
    AudioWriter writer(o.output, 2, source.rate);
    renderBlocks(instance, source, demo ? &*demo : nullptr, writer, o.block, latency,
                 outputFrames + latency);
    writer.commit();
    if (!o.stateOut.empty()) writeFileAtomically(o.stateOut, instance.stateChunk());
    reportRender(o, source, instance, outputFrames);
    return kExitOk;
}

} // namespace spatium::host
