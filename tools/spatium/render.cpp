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
#include <filesystem>
#include <iostream>

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

} // namespace

int runRender(const CommandLine& cl) {
    std::string input, output, stateOut, blockText;
    Settings settings;
    bool compensate = true;
    bool json = false;
    for (std::size_t i = 0; i < cl.args.size(); ++i) {
        const std::string& a = cl.args[i];
        std::string v;
        if (isHelp(a)) {
            std::cout << kRenderHelp;
            return kExitOk;
        } else if (takeOption(cl.args, i, "-o", v) || takeOption(cl.args, i, "--output", v)) {
            output = v;
        } else if (takeSettingsOption(cl.args, i, settings)) {
            // --preset, --state or --set
        } else if (takeOption(cl.args, i, "--save-state", v)) {
            stateOut = v;
        } else if (takeOption(cl.args, i, "--block", v)) {
            blockText = v;
        } else if (a == "--no-compensate") {
            compensate = false;
        } else if (a == "--json") {
            json = true;
        } else if (!a.empty() && a[0] == '-' && a != "-") {
            throw UsageError("unknown option " + a);
        } else if (input.empty()) {
            input = a;
        } else {
            throw UsageError("more than one input file (" + input + ", " + a + ")");
        }
    }
    if (output.empty()) throw UsageError("render needs an output file: -o OUT");
    std::int32_t block = kMaxBlock;
    if (!blockText.empty()) {
        char* end = nullptr;
        const long n = std::strtol(blockText.c_str(), &end, 10);
        if (end == blockText.c_str() || *end != '\0' || n < 1 || n > kMaxBlock)
            throw UsageError("--block wants a number of frames from 1 to 1024, not \"" + blockText +
                             "\"");
        block = static_cast<std::int32_t>(n);
    }
    if (!isWritableAudioPath(output))
        throw HostError(output +
                        ": unknown output type; use .wav, .aif, .aiff, .caf, .w64 or .rf64");
    if (!input.empty() && samePath(input, output))
        throw HostError("the output " + output + " is the input file; choose another output");
    if (!stateOut.empty() &&
        (samePath(stateOut, output) || (!input.empty() && samePath(stateOut, input))))
        throw HostError("--save-state " + stateOut + " would overwrite an audio file");

    const auto plugin = loadPlugin(cl.pluginPath);

    std::unique_ptr<AudioReader> reader;
    std::vector<float> demo;
    std::int32_t channels = 1;
    std::int32_t rate = kDemoSampleRate;
    std::int64_t inputFrames = 0;
    if (!input.empty()) {
        reader = std::make_unique<AudioReader>(input);
        channels = reader->channels();
        rate = reader->sampleRate();
        inputFrames = reader->frames();
        if (channels != 1 && channels != 2)
            throw HostError(input + " has " + std::to_string(channels) +
                            " channels; only mono and stereo files can be rendered");
        if (!isHostRate(rate))
            throw HostError(input + " is at " + std::to_string(rate) +
                            " Hz; the plug-in runs at 44100, 48000, 88200, 96000, 176400 or "
                            "192000 Hz, so resample it first");
    } else {
        demo = demoSource(rate, kDemoSeconds);
        inputFrames = static_cast<std::int64_t>(demo.size());
    }

    Instance instance(*plugin, componentForInputs(plugin->effect(), channels), rate);
    applySettings(*plugin, instance, settings);
    std::string panID, distanceID;
    if (!reader) {
        panID = findParameterID(instance, "Pan");
        distanceID = findParameterID(instance, "Distance");
    }

    const std::int32_t latency = compensate ? std::max(instance.reportedLatency(), 0) : 0;
    const auto tail = static_cast<std::int64_t>(std::lround(kTailSeconds * rate));
    const std::int64_t outputFrames = inputFrames + tail;
    const std::int64_t total = outputFrames + latency;

    InterruptScope interrupts;
    AudioWriter writer(output, 2, rate);
    std::vector<float> interleavedIn(static_cast<std::size_t>(block) * 2, 0.0f);
    std::vector<float> in(static_cast<std::size_t>(block) * 2, 0.0f);
    std::vector<float> out(static_cast<std::size_t>(block) * 2, 0.0f);
    std::vector<float> interleavedOut(static_cast<std::size_t>(block) * 2, 0.0f);
    const float* inPtr[2] = {in.data(), in.data() + block};
    float* outPtr[2] = {out.data(), out.data() + block};
    Progress progress(total);
    instance.setTransport(120.0, 0, true);

    std::int64_t skip = latency;
    for (std::int64_t pos = 0; pos < total;) {
        if (gInterrupted.load()) throw HostError("interrupted; no output written");
        const auto n = static_cast<std::int32_t>(std::min<std::int64_t>(block, total - pos));
        std::fill(in.begin(), in.end(), 0.0f);
        const std::int64_t fromInput = std::clamp<std::int64_t>(inputFrames - pos, 0, n);
        if (fromInput > 0) {
            if (reader) {
                reader->read(interleavedIn.data(), fromInput);
                for (std::int64_t f = 0; f < fromInput; ++f)
                    for (std::int32_t c = 0; c < channels; ++c)
                        in[static_cast<std::size_t>(c * block + f)] =
                            interleavedIn[static_cast<std::size_t>(f * channels + c)];
            } else {
                std::copy_n(demo.begin() + pos, fromInput, in.begin());
            }
        }
        if (!reader) {
            const DemoPosition p = demoPosition(static_cast<double>(pos) / rate, kDemoSeconds);
            char text[32];
            double value = 0.0;
            std::snprintf(text, sizeof text, "%.3f", p.panDegrees);
            if (instance.valueFromText(panID, text, value) == AAX_SUCCESS)
                instance.setNormalizedValue(panID, value);
            std::snprintf(text, sizeof text, "%.3f", p.distance);
            if (instance.valueFromText(distanceID, text, value) == AAX_SUCCESS)
                instance.setNormalizedValue(distanceID, value);
        }
        instance.render(inPtr, outPtr, n);
        const std::int64_t dropped = std::min<std::int64_t>(skip, n);
        skip -= dropped;
        const std::int64_t keep = n - dropped;
        for (std::int64_t f = 0; f < keep; ++f)
            for (std::int32_t c = 0; c < 2; ++c)
                interleavedOut[static_cast<std::size_t>(f * 2 + c)] =
                    out[static_cast<std::size_t>(c * block + dropped + f)];
        writer.write(interleavedOut.data(), keep);
        pos += n;
        progress.update(pos);
    }
    progress.finish();
    writer.commit();
    if (!stateOut.empty()) writeFileAtomically(stateOut, instance.stateChunk());

    const std::string source = reader ? input : std::string("demo");
    if (json) {
        JsonWriter j(std::cout);
        j.beginObject();
        j.field("input", source);
        j.field("output", output);
        j.field("channelsIn", channels);
        j.field("sampleRate", rate);
        j.field("frames", outputFrames);
        j.field("latency", instance.reportedLatency());
        j.field("compensated", compensate);
        if (!stateOut.empty()) j.field("state", stateOut);
        j.endObject();
    } else {
        std::cout << "rendered " << source << " -> " << output << ": " << outputFrames
                  << " frames, 2 channels, " << rate << " Hz, latency "
                  << instance.reportedLatency() << " samples "
                  << (compensate ? "compensated" : "kept") << "\n";
    }
    return kExitOk;
}

} // namespace spatium::host
