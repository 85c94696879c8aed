// spatium editor: the plug-in's editor in a window of this host's own, with the
// plug-in running on an audio thread in real time, as a workstation runs it.

#include "corvid/core/thread.h"
#include "tools/pngwrite/pngwrite.h"
#include "tools/spatium/audiofile.h"
#include "tools/spatium/chunk.h"
#include "tools/spatium/commands.h"
#include "tools/spatium/demo.h"
#include "tools/spatium/headless.h"

#if !defined(_WIN32)
#include "tools/spatium/alsaout.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <poll.h>
#endif

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <thread>

namespace spatium::host {

namespace {

const char* const kEditorHelp = R"(usage: spatium editor [IN] [options]

Opens the plug-in's editor inside a window of this host, the way a workstation
attaches it, while the plug-in processes IN (mono or stereo; without IN the
built-in demo source) on an audio thread in real time, looping. Turn the
controls with the mouse; the panorama and the phase scope follow the audio.
Close the window (or press Ctrl+C) to end.

options:
  --play                  also play the output on the sound card (ALSA)
  --device NAME           the ALSA device for --play (default "default")
  --preset NAME|INDEX     load a factory preset first
  --state FILE            restore a saved state (or exported preset) first
  --set NAME=TEXT         set a parameter first, e.g. --set Pan=-45; repeatable
  --save-state FILE       save the plug-in's state when the editor closes, for
                          "spatium render --state FILE"
  --seconds S             close the editor after S seconds
  --log-automation FILE   write the edits the host received (touch, set, release)
  --screenshot FILE.png   draw the editor without a display instead: run it for
                          --frames N animation frames of 15 ms (default 30) with
                          the audio feeding it, then save the lit window as PNG.
                          This draws the plug-in built into spatium itself, since
                          a loaded library hands out no pixels; --plugin is not used
)";

constexpr std::int32_t kBlock = 256;
constexpr std::int32_t kDefaultFrames = 30;
// How often the host wakes the editor while nothing happens, as a workstation's idle
// timer does: once per 15 ms animation frame. Each wake-up costs the processor more
// than the editor's work in it, so input over the editor wakes it at once instead of
// a faster timer.
constexpr int kFrameWakeMs = 15;
constexpr double kFrameSeconds = kFrameWakeMs / 1000.0;

std::atomic<bool> gStop{false};
extern "C" void onEditorInterrupt(int) {
    gStop.store(true);
}

struct Options {
    std::string input;
    Settings settings;
    std::string saveState;
    std::string automationLog;
    std::string screenshot;
    std::string device = "default";
    bool play = false;
    double seconds = -1.0;
    std::int32_t frames = kDefaultFrames;
};

double parseSeconds(const std::string& text) {
    char* end = nullptr;
    const double s = std::strtod(text.c_str(), &end);
    if (end == text.c_str() || *end != '\0' || !(s >= 0.0) || s > 1e6)
        throw UsageError("--seconds wants a number of seconds, not \"" + text + "\"");
    return s;
}

std::int32_t parseFrames(const std::string& text) {
    char* end = nullptr;
    const long n = std::strtol(text.c_str(), &end, 10);
    if (end == text.c_str() || *end != '\0' || n < 1 || n > 100000)
        throw UsageError("--frames wants a count from 1 to 100000, not \"" + text + "\"");
    return static_cast<std::int32_t>(n);
}

// The source, looped: the whole file (or the demo) in memory, planar.
class LoopSource {
public:
    explicit LoopSource(const std::string& path) {
        if (path.empty()) {
            rate_ = kDemoSampleRate;
            channels_ = 1;
            samples_[0] = demoSource(rate_, kDemoSeconds);
            return;
        }
        AudioReader reader(path);
        channels_ = reader.channels();
        rate_ = reader.sampleRate();
        if (channels_ != 1 && channels_ != 2)
            throw HostError(path + " has " + std::to_string(channels_) +
                            " channels; only mono and stereo files can be played");
        if (reader.frames() <= 0) throw HostError(path + " holds no audio");
        if (reader.frames() > std::int64_t(rate_) * 3600)
            throw HostError(path + " is longer than an hour; cut it first");
        std::vector<float> interleaved(static_cast<std::size_t>(reader.frames() * channels_));
        reader.read(interleaved.data(), reader.frames());
        for (std::int32_t c = 0; c < channels_; ++c) {
            samples_[c].resize(static_cast<std::size_t>(reader.frames()));
            for (std::size_t f = 0; f < samples_[c].size(); ++f)
                samples_[c][f] = interleaved[f * static_cast<std::size_t>(channels_) +
                                             static_cast<std::size_t>(c)];
        }
    }

    std::int32_t channels() const { return channels_; }
    std::int32_t sampleRate() const { return rate_; }

    void fill(float* const* out, std::int32_t frames) {
        const std::size_t length = samples_[0].size();
        for (std::int32_t f = 0; f < frames; ++f) {
            for (std::int32_t c = 0; c < channels_; ++c) out[c][f] = samples_[c][position_];
            if (++position_ == length) position_ = 0;
        }
    }

private:
    std::vector<float> samples_[2];
    std::int32_t channels_ = 1;
    std::int32_t rate_ = kDemoSampleRate;
    std::size_t position_ = 0;
};

// Renders one host block from the source; the output stays in out.
class BlockRenderer {
public:
    BlockRenderer(Instance& instance, LoopSource& source)
        : instance_(instance), source_(source), in_(2 * kBlock), out_(2 * kBlock),
          interleaved_(2 * kBlock) {}

    void render(std::int32_t frames) {
        float* in[2] = {in_.data(), in_.data() + kBlock};
        source_.fill(in, frames);
        const float* cin[2] = {in[0], in[1]};
        float* out[2] = {out_.data(), out_.data() + kBlock};
        instance_.render(cin, out, frames);
        for (std::int32_t f = 0; f < frames; ++f) {
            interleaved_[static_cast<std::size_t>(2 * f)] = out[0][f];
            interleaved_[static_cast<std::size_t>(2 * f + 1)] = out[1][f];
        }
    }
    const float* interleaved() const { return interleaved_.data(); }

private:
    Instance& instance_;
    LoopSource& source_;
    std::vector<float> in_, out_, interleaved_;
};

void writeAutomationLog(const std::string& path, const std::vector<AutomationEvent>& events) {
    std::string text;
    char line[96];
    for (const AutomationEvent& e : events) {
        switch (e.kind) {
        case AutomationEvent::touch:
            std::snprintf(line, sizeof line, "touch %s\n", e.id.c_str());
            break;
        case AutomationEvent::setValue:
            std::snprintf(line, sizeof line, "set %s %.9g\n", e.id.c_str(), e.value);
            break;
        case AutomationEvent::release:
            std::snprintf(line, sizeof line, "release %s\n", e.id.c_str());
            break;
        case AutomationEvent::registered:
            continue;
        }
        text += line;
    }
    writeFileAtomically(path, std::vector<std::uint8_t>(text.begin(), text.end()));
}

// Writes the picture beside the target and renames it into place, so a failed
// write leaves nothing behind.
void savePicture(const std::string& path, const corvid::OwnedImage<corvid::RGBA>& picture) {
    const std::string temp = path + ".part";
    if (!tools::writePng(temp, picture)) {
        std::error_code ignored;
        std::filesystem::remove(temp, ignored);
        throw HostError("cannot write " + path);
    }
    std::error_code error;
    std::filesystem::rename(temp, path, error);
    if (error) {
        std::filesystem::remove(temp, error);
        throw HostError("cannot write " + path + ": " + error.message());
    }
}

void checkOutputs(const Options& o) {
    const auto writable = [](const std::string& path, const char* what) {
        if (path.empty()) return;
        const std::filesystem::path p(path);
        const std::filesystem::path dir = p.has_parent_path() ? p.parent_path() : ".";
        std::error_code error;
        if (!std::filesystem::is_directory(dir, error))
            throw HostError(std::string(what) + " " + path + ": the folder " + dir.string() +
                            " does not exist");
        if (std::filesystem::is_directory(p, error))
            throw HostError(std::string(what) + " " + path + " is a folder");
    };
    writable(o.saveState, "--save-state");
    writable(o.automationLog, "--log-automation");
    writable(o.screenshot, "--screenshot");
    if (!o.screenshot.empty()) {
        const std::string ext = std::filesystem::path(o.screenshot).extension().string();
        if (ext != ".png" && ext != ".PNG")
            throw UsageError("--screenshot writes a PNG file; name it FILE.png");
    }
}

void finish(Instance& instance, const Options& o) {
    if (!o.saveState.empty()) {
        writeFileAtomically(o.saveState, instance.stateChunk());
        std::cout << "state saved to " << o.saveState
                  << "; render with it: spatium render IN -o OUT --state " << o.saveState << "\n";
    }
    if (!o.automationLog.empty()) writeAutomationLog(o.automationLog, instance.automation());
}

int runScreenshot(const Options& o) {
    Plugin plugin("the plug-in built into spatium", linkedPluginExports());
    LoopSource source(o.input);
    Instance instance(plugin, componentForInputs(plugin.effect(), source.channels()),
                      source.sampleRate());
    applySettings(plugin, instance, o.settings);
    instance.setTransport(120.0, 0, true);
    HeadlessEditor editor(instance);
    BlockRenderer renderer(instance, source);
    const auto perFrame = static_cast<std::int64_t>(kFrameSeconds * source.sampleRate() + 0.5);
    std::int64_t owed = 0;
    for (std::int32_t i = 0; i < o.frames; ++i) {
        owed += perFrame;
        while (owed > 0) {
            const auto n = static_cast<std::int32_t>(std::min<std::int64_t>(owed, kBlock));
            renderer.render(n);
            owed -= n;
        }
        editor.frame();
    }
    savePicture(o.screenshot, editor.picture());
    finish(instance, o);
    std::cout << "editor drawn after " << o.frames << " frames -> " << o.screenshot << "\n";
    return kExitOk;
}

#if !defined(_WIN32)
// The audio thread: paced by the sound card when playing, by the clock otherwise.
class AudioThread {
public:
    AudioThread(Instance& instance, LoopSource& source, AlsaOutput* output)
        : renderer_(instance, source), rate_(source.sampleRate()), output_(output) {
        thread_ = std::thread([this] { run(); });
    }
    ~AudioThread() { stop(); }

    void stop() {
        stopping_.store(true);
        if (thread_.joinable()) thread_.join();
    }
    // A playback failure met on the audio thread, reported once it has stopped.
    const std::string& failure() const { return failure_; }

private:
    void run() {
        corvid::nameCurrentThread("spatium-audio");
        using Clock = std::chrono::steady_clock;
        const auto period = std::chrono::duration_cast<Clock::duration>(
            std::chrono::duration<double>(double(kBlock) / rate_));
        auto next = Clock::now();
        try {
            while (!stopping_.load()) {
                renderer_.render(kBlock);
                if (output_) {
                    output_->write(renderer_.interleaved(), kBlock);
                } else {
                    next += period;
                    std::this_thread::sleep_until(next);
                }
            }
        } catch (const std::exception& e) {
            failure_ = e.what();
            gStop.store(true);
        }
    }

    BlockRenderer renderer_;
    std::int32_t rate_;
    AlsaOutput* output_;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
    std::string failure_;
};

// This host's own top-level window, which the plug-in's editor goes into.
class HostWindow {
public:
    HostWindow() {
        display_ = XOpenDisplay(nullptr);
        if (!display_) {
            const char* name = std::getenv("DISPLAY");
            throw HostError(std::string("cannot open the X display") +
                            (name && *name ? std::string(" \"") + name + "\""
                                           : std::string(" (DISPLAY is not set)")) +
                            "; to draw the editor without one, use --screenshot FILE.png");
        }
        const int screen = DefaultScreen(display_);
        window_ = XCreateSimpleWindow(display_, RootWindow(display_, screen), 0, 0, 763, 494, 0,
                                      BlackPixel(display_, screen), BlackPixel(display_, screen));
        deleteWindow_ = XInternAtom(display_, "WM_DELETE_WINDOW", False);
        XSetWMProtocols(display_, window_, &deleteWindow_, 1);
        XStoreName(display_, window_, "Spatium");
        XSelectInput(display_, window_, StructureNotifyMask);
        XMapWindow(display_, window_);
        XSync(display_, False);
    }
    ~HostWindow() {
        if (alive_) XDestroyWindow(display_, window_);
        XCloseDisplay(display_);
    }
    HostWindow(const HostWindow&) = delete;
    HostWindow& operator=(const HostWindow&) = delete;

    void* nativeHandle() const {
        return reinterpret_cast<void*>(static_cast<std::uintptr_t>(window_));
    }

    // The window takes the editor's size and keeps it.
    void fit(std::int32_t width, std::int32_t height) {
        if (width <= 0 || height <= 0) return;
        XResizeWindow(display_, window_, static_cast<unsigned>(width),
                      static_cast<unsigned>(height));
        XSizeHints* hints = XAllocSizeHints();
        if (hints) {
            hints->flags = PMinSize | PMaxSize;
            hints->min_width = hints->max_width = width;
            hints->min_height = hints->max_height = height;
            XSetWMNormalHints(display_, window_, hints);
            XFree(hints);
        }
        XFlush(display_);
    }

    // The host also listens to the input over the editor's window (its child), as a
    // workstation's event loop would notice it, to wake the editor at once. A button
    // press is the one kind only its owner may select; the motion before it tells.
    void watchEditorInput() {
        ::Window root = 0, parent = 0, *children = nullptr;
        unsigned count = 0;
        if (!XQueryTree(display_, window_, &root, &parent, &children, &count)) return;
        for (unsigned i = 0; i < count; ++i)
            XSelectInput(display_, children[i],
                         PointerMotionMask | ButtonReleaseMask | KeyPressMask | KeyReleaseMask |
                             EnterWindowMask | LeaveWindowMask);
        if (children) XFree(children);
        XFlush(display_);
    }

    // Handles this window's events until the deadline; true when it stopped early
    // for input over the editor (or the window closed).
    bool pumpUntil(std::chrono::steady_clock::time_point deadline) {
        bool waiting = XEventsQueued(display_, QueuedAlready) > 0;
        for (;;) {
            if (waiting) {
                bool input = false;
                while (XPending(display_) > 0) input |= handle();
                if (closed_ || input) return true;
            }
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) return false;
            waiting = readable(static_cast<int>(left.count()));
            if (!waiting) return false;
        }
    }
    bool closed() const { return closed_; }

private:
    // Waiting in poll rather than XPending: a quiet connection then costs one call.
    bool readable(int timeoutMs) const {
        pollfd fd{ConnectionNumber(display_), POLLIN, 0};
        return poll(&fd, 1, timeoutMs) > 0;
    }

    // True for input over the editor.
    bool handle() {
        XEvent ev;
        XNextEvent(display_, &ev);
        if (ev.type == ClientMessage && static_cast<Atom>(ev.xclient.data.l[0]) == deleteWindow_)
            closed_ = true;
        if (ev.type == DestroyNotify && ev.xdestroywindow.window == window_) {
            alive_ = false;
            closed_ = true;
        }
        return ev.xany.window != window_ &&
               (ev.type == MotionNotify || ev.type == ButtonRelease || ev.type == KeyPress ||
                ev.type == KeyRelease || ev.type == EnterNotify || ev.type == LeaveNotify);
    }

    Display* display_ = nullptr;
    ::Window window_ = 0;
    Atom deleteWindow_ = 0;
    bool closed_ = false;
    bool alive_ = true;
};

int runWindow(const CommandLine& cl, const Options& o) {
    const auto plugin = loadPlugin(cl.pluginPath);
    LoopSource source(o.input);
    Instance instance(*plugin, componentForInputs(plugin->effect(), source.channels()),
                      source.sampleRate());
    applySettings(*plugin, instance, o.settings);
    instance.setTransport(120.0, 0, true);

    std::unique_ptr<AlsaOutput> output;
    if (o.play) output = std::make_unique<AlsaOutput>(o.device, source.sampleRate(), 2);
    HostWindow window;
    EditorView view(instance);
    view.open(window.nativeHandle());
    window.watchEditorInput();
    std::int32_t width = 0, height = 0;
    view.size(width, height);
    window.fit(width, height);

    gStop.store(false);
    const auto previous = std::signal(SIGINT, onEditorInterrupt);
    std::string failure;
    {
        AudioThread audio(instance, source, output.get());
        using Clock = std::chrono::steady_clock;
        const auto start = Clock::now();
        auto wake = start;
        while (!gStop.load() && !window.closed()) {
            const auto now = Clock::now();
            if (o.seconds >= 0.0 && std::chrono::duration<double>(now - start).count() >= o.seconds)
                break;
            view.idle();
            // A steady cadence that never catches up on wake-ups missed while busy;
            // input in between is handled at once and leaves the cadence alone.
            const auto after = Clock::now();
            if (after >= wake) {
                wake += std::chrono::milliseconds(kFrameWakeMs);
                if (wake <= after) wake = after + std::chrono::milliseconds(kFrameWakeMs);
            }
            window.pumpUntil(wake);
        }
        audio.stop();
        failure = audio.failure();
    }
    std::signal(SIGINT, previous);
    view.close();
    if (!failure.empty()) throw HostError(failure);
    finish(instance, o);
    return kExitOk;
}

#else
int runWindow(const CommandLine&, const Options&) {
    throw HostError("this build of spatium has no editor window; draw the editor with "
                    "--screenshot FILE.png");
}
#endif

} // namespace

int runEditor(const CommandLine& cl) {
    Options o;
    bool framesGiven = false;
    for (std::size_t i = 0; i < cl.args.size(); ++i) {
        const std::string& a = cl.args[i];
        std::string v;
        if (isHelp(a)) {
            std::cout << kEditorHelp;
            return kExitOk;
        } else if (takeSettingsOption(cl.args, i, o.settings)) {
            // --preset, --state or --set
        } else if (takeOption(cl.args, i, "--save-state", v)) {
            o.saveState = v;
        } else if (takeOption(cl.args, i, "--log-automation", v)) {
            o.automationLog = v;
        } else if (takeOption(cl.args, i, "--screenshot", v)) {
            o.screenshot = v;
        } else if (takeOption(cl.args, i, "--frames", v)) {
            o.frames = parseFrames(v);
            framesGiven = true;
        } else if (takeOption(cl.args, i, "--seconds", v)) {
            o.seconds = parseSeconds(v);
        } else if (takeOption(cl.args, i, "--device", v)) {
            o.device = v;
        } else if (a == "--play") {
            o.play = true;
        } else if (!a.empty() && a[0] == '-') {
            throw UsageError("unknown option " + a);
        } else if (o.input.empty()) {
            o.input = a;
        } else {
            throw UsageError("more than one input file (" + o.input + ", " + a + ")");
        }
    }
    if (framesGiven && o.screenshot.empty())
        throw UsageError("--frames counts the frames of --screenshot FILE.png");
    if (!o.screenshot.empty() && (o.play || o.seconds >= 0.0))
        throw UsageError("--screenshot draws without a window or sound; drop --play and --seconds");
    checkOutputs(o);
    return o.screenshot.empty() ? runWindow(cl, o) : runScreenshot(o);
}

} // namespace spatium::host
