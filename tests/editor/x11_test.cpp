// The editor on a real X server: the adapter opens it inside a host's window,
// closes it and opens it again without rebuilding it; and "spatium editor" is
// played with a pointer as a user would, checking what the host was told and
// what the saved state holds.

// Google Test first: Xlib defines macros (None, Bool) that clash with its names.
#include <gtest/gtest.h>

#include "corvid/aax/client.h"
#include "corvid/client/preset.h"
#include "corvid/gui/graphics.h"
#include "tests/window/xvfb.h"
#include "tools/spatium/chunk.h"
#include "tools/spatium/headless.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <chrono>
#include <cmath>
#include <fstream>
#include <iterator>
#include <signal.h>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <vector>

extern char** environ;

namespace {

using namespace spatium::host;

void sleepMs(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

std::vector<::Window> childrenOf(Display* d, ::Window w) {
    ::Window root = 0, parent = 0, *list = nullptr;
    unsigned n = 0;
    std::vector<::Window> out;
    if (XQueryTree(d, w, &root, &parent, &list, &n) != 0) {
        out.assign(list, list + n);
        if (list) XFree(list);
    }
    return out;
}

TEST(EditorX11, TheAdapterOpensClosesAndReopensTheSameEditorInAHostWindow) {
    corvid::testing::XvfbServer server;
    if (!server.available()) GTEST_SKIP() << "Xvfb is not available";
    Display* d = XOpenDisplay(nullptr);
    ASSERT_NE(d, nullptr);
    const ::Window host = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 800, 520, 0, 0, 0);
    XMapWindow(d, host);
    XSync(d, False);

    Plugin plugin("linked", linkedPluginExports());
    Instance instance(plugin, componentForInputs(plugin.effect(), 1), 48000.0);
    auto* adapter = dynamic_cast<corvid::aax::AAXClient*>(&instance.parameters());
    ASSERT_NE(adapter, nullptr);
    EditorView view(instance);
    void* parent = reinterpret_cast<void*>(static_cast<std::uintptr_t>(host));

    view.open(parent);
    auto* editor = dynamic_cast<corvid::GUIGraphics*>(adapter->client().ensureEditor());
    ASSERT_NE(editor, nullptr);
    std::vector<const corvid::UIElement*> tree;
    for (const auto& c : editor->getChildren()) tree.push_back(c.get());
    for (int i = 0; i < 20; ++i) {
        view.idle();
        sleepMs(5);
    }
    XSync(d, False);
    auto inside = childrenOf(d, host);
    ASSERT_EQ(inside.size(), 1u);
    XWindowAttributes a;
    XGetWindowAttributes(d, inside[0], &a);
    EXPECT_EQ(a.width, 763);
    EXPECT_EQ(a.height, 494);
    std::int32_t w = 0, h = 0;
    view.size(w, h);
    EXPECT_EQ(w, 763);
    EXPECT_EQ(h, 494);

    view.close();
    XSync(d, False);
    EXPECT_TRUE(childrenOf(d, host).empty());

    view.open(parent);
    view.idle();
    XSync(d, False);
    EXPECT_EQ(childrenOf(d, host).size(), 1u);
    EXPECT_EQ(adapter->client().ensureEditor(), editor);
    std::vector<const corvid::UIElement*> again;
    for (const auto& c : editor->getChildren()) again.push_back(c.get());
    EXPECT_EQ(again, tree); // the same widgets: nothing was rebuilt
    view.close();
    XDestroyWindow(d, host);
    XCloseDisplay(d);
}

// ---- the command-line host, played with the pointer

class ToolProcess {
public:
    explicit ToolProcess(const std::vector<std::string>& args) {
        std::vector<char*> argv;
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        if (posix_spawn(&pid_, argv[0], nullptr, nullptr, argv.data(), environ) != 0) pid_ = -1;
    }
    ~ToolProcess() {
        if (pid_ > 0 && !exited_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    bool started() const { return pid_ > 0; }
    // The exit status, or -1 when it has not ended within the time.
    int waitForExit(int timeoutMs) {
        for (int t = 0; t < timeoutMs; t += 20) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                exited_ = true;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
            }
            sleepMs(20);
        }
        return -1;
    }

private:
    pid_t pid_ = -1;
    bool exited_ = false;
};

std::string windowName(Display* d, ::Window w) {
    char* name = nullptr;
    std::string result;
    if (XFetchName(d, w, &name) && name) {
        result = name;
        XFree(name);
    }
    return result;
}

// The tool's top-level window once the editor sits inside it.
::Window waitForEditorWindow(Display* d, int timeoutMs) {
    for (int t = 0; t < timeoutMs; t += 50) {
        for (::Window w : childrenOf(d, DefaultRootWindow(d)))
            if (windowName(d, w) == "Spatium" && !childrenOf(d, w).empty()) return w;
        sleepMs(50);
    }
    return 0;
}

class Pointer {
public:
    explicit Pointer(Display* d) : d_(d) {}
    void moveTo(int x, int y) {
        XTestFakeMotionEvent(d_, -1, x, y, 0);
        settle();
    }
    void press(int button = 1) {
        XTestFakeButtonEvent(d_, static_cast<unsigned>(button), True, 0);
        settle();
    }
    void release(int button = 1) {
        XTestFakeButtonEvent(d_, static_cast<unsigned>(button), False, 0);
        settle();
    }
    void click(int x, int y, int button = 1) {
        moveTo(x, y);
        press(button);
        release(button);
    }
    // A vertical drag in steps, as a hand moves.
    void drag(int x, int y, int dy, int steps) {
        moveTo(x, y);
        press();
        for (int i = 1; i <= steps; ++i) moveTo(x, y + dy * i / steps);
        release();
    }

private:
    void settle() {
        XFlush(d_);
        sleepMs(40);
    }
    Display* d_;
};

struct Automation {
    std::string kind;
    int id = -1;
    double value = 0.0;
};

std::vector<Automation> readAutomation(const std::string& path) {
    std::vector<Automation> out;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream s(line);
        Automation a;
        s >> a.kind >> a.id;
        if (a.kind == "set") s >> a.value;
        out.push_back(a);
    }
    return out;
}

// Takes the events of one gesture on one parameter: touch, any sets, release.
std::vector<double> takeGesture(const std::vector<Automation>& log, std::size_t& at, int id) {
    std::vector<double> values;
    EXPECT_LT(at, log.size());
    if (at >= log.size()) return values;
    EXPECT_EQ(log[at].kind, "touch");
    EXPECT_EQ(log[at].id, id);
    ++at;
    while (at < log.size() && log[at].kind == "set" && log[at].id == id)
        values.push_back(log[at++].value);
    EXPECT_LT(at, log.size());
    if (at < log.size()) {
        EXPECT_EQ(log[at].kind, "release");
        EXPECT_EQ(log[at].id, id);
        ++at;
    }
    return values;
}

// Pan and Distance under a point of the panorama, as its user expects them.
void panoramaAt(double x, double y, double& panDegrees, double& distanceDb) {
    const double w = 238, h = 141, rm = 91;
    const double e = (y - (h - 18)) / rm, f = (x - w / 2) / rm;
    const double d = std::sqrt(e * e + f * f);
    distanceDb = 6.0 - 30.0 * std::pow(d, 4.0 / 3.0);
    panDegrees = std::atan2(f / d, -e / d) * 180.0 / M_PI;
}

TEST(EditorX11, AUserPlacesTheSourceAndTheHostHearsEveryGesture) {
    corvid::testing::XvfbServer server;
    if (!server.available()) GTEST_SKIP() << "Xvfb is not available";
    Display* d = XOpenDisplay(nullptr);
    ASSERT_NE(d, nullptr);
    int eventBase = 0, errorBase = 0, major = 0, minor = 0;
    if (!XTestQueryExtension(d, &eventBase, &errorBase, &major, &minor))
        GTEST_SKIP() << "the X server has no XTest";

    const std::string dir = ::testing::TempDir();
    const std::string state = dir + "editor_x11_state.bin";
    const std::string log = dir + "editor_x11_automation.txt";
    std::remove(state.c_str());
    std::remove(log.c_str());
    ToolProcess tool({SPATIUM_TOOL_PATH, "editor", "--seconds", "60", "--save-state", state,
                      "--log-automation", log});
    ASSERT_TRUE(tool.started());
    const ::Window top = waitForEditorWindow(d, 15000);
    ASSERT_NE(top, 0u) << "the editor window did not appear";
    sleepMs(300);

    Pointer pointer(d);
    // The editor sits at the top-left corner of the tool's window, which sits at
    // the screen's origin on a server without a window manager.
    pointer.drag(398, 354, -30, 6);    // the pan knob, upward: more to the right
    pointer.drag(61, 185, 20, 4);      // the distance slider, downward: further away
    pointer.click(398, 354);           // a double click on the pan knob:
    pointer.click(398, 354);           // back to the centre
    pointer.click(143 + 150, 88 + 60); // the panorama: place the source
    pointer.click(540, 110);           // the tempo dropdown opens...
    sleepMs(300);
    pointer.click(540, 101 + 258); // ...and "1/4" is chosen
    sleepMs(200);
    pointer.click(703, 440);                        // Test Mono on
    pointer.click(10 + 2 * 21 + 10, 395 + 21 + 10); // the bow game
    pointer.click(561, 385, 3);                     // freeze the phase scope
    pointer.moveTo(300, 20);

    // Close the window as a window manager would.
    XEvent close{};
    close.xclient.type = ClientMessage;
    close.xclient.window = top;
    close.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
    close.xclient.format = 32;
    close.xclient.data.l[0] = static_cast<long>(XInternAtom(d, "WM_DELETE_WINDOW", False));
    XSendEvent(d, top, False, NoEventMask, &close);
    XFlush(d);
    ASSERT_EQ(tool.waitForExit(15000), 0);
    XCloseDisplay(d);

    // What the host received, gesture by gesture.
    const std::vector<Automation> events = readAutomation(log);
    std::size_t at = 0;
    const std::vector<double> pan = takeGesture(events, at, 6);
    ASSERT_FALSE(pan.empty());
    for (std::size_t i = 1; i < pan.size(); ++i) EXPECT_GT(pan[i], pan[i - 1]);
    EXPECT_GT(pan.front(), 0.5);
    const std::vector<double> distance = takeGesture(events, at, 0);
    ASSERT_FALSE(distance.empty());
    for (std::size_t i = 1; i < distance.size(); ++i) EXPECT_LT(distance[i], distance[i - 1]);
    EXPECT_LT(distance.front(), 0.8);
    // Double click: the first press drags nothing, the second resets and drags nothing.
    EXPECT_TRUE(takeGesture(events, at, 6).empty());
    EXPECT_EQ(takeGesture(events, at, 6), std::vector<double>{0.5});
    EXPECT_TRUE(takeGesture(events, at, 6).empty());
    // The panorama click sets both, inside both gestures, then its drag touches both.
    double panDegrees = 0, distanceDb = 0;
    panoramaAt(150, 60, panDegrees, distanceDb);
    const double panNorm = (panDegrees + 90.0) / 180.0, distNorm = (distanceDb + 24.0) / 30.0;
    const std::vector<std::string> order = {"touch 6",   "touch 0",   "set 6",   "set 0",
                                            "release 6", "release 0", "touch 6", "touch 0",
                                            "release 0", "release 6"};
    ASSERT_GE(events.size(), at + order.size());
    for (const std::string& expected : order) {
        EXPECT_EQ(events[at].kind + " " + std::to_string(events[at].id), expected);
        if (events[at].kind == "set") {
            EXPECT_NEAR(events[at].value, events[at].id == 6 ? panNorm : distNorm, 2e-3);
        }
        ++at;
    }
    // The dropdown sets its choice directly; the switch brackets its flip.
    ASSERT_LT(at, events.size());
    EXPECT_EQ(events[at].kind, "set");
    EXPECT_EQ(events[at].id, 11);
    EXPECT_NEAR(events[at].value, 9.0 / 11.0, 1e-6);
    ++at;
    EXPECT_EQ(takeGesture(events, at, 20), std::vector<double>{1.0});
    EXPECT_EQ(at, events.size()) << "the bow game and the scope must not touch parameters";

    // What was saved is what the user placed.
    const std::vector<std::uint8_t> bytes = readFile(state);
    const corvid::DecodedChunk saved = corvid::decodeChunk(bytes.data(), bytes.size(), 32);
    ASSERT_TRUE(saved.error.empty()) << saved.error;
    ASSERT_GE(saved.values.size(), 21u);
    EXPECT_NEAR(saved.values[6], panNorm, 2e-3);
    EXPECT_NEAR(saved.values[0], distNorm, 2e-3);
    EXPECT_NEAR(saved.values[11], 9.0 / 11.0, 1e-6);
    EXPECT_EQ(saved.values[20], 1.0f);
    EXPECT_EQ(saved.values[1], 0.5f); // Stereo Width untouched
}

// Runs the tool with its error output captured; returns the exit status.
int runTool(const std::string& arguments, std::string& errors, const std::string& env = "") {
    const std::string errorFile = ::testing::TempDir() + "editor_tool_errors.txt";
    const std::string command =
        env + " " + SPATIUM_TOOL_PATH + " editor " + arguments + " 2>" + errorFile;
    const int status = std::system(command.c_str());
    std::ifstream in(errorFile);
    errors.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return status;
}

TEST(EditorX11, FailuresAreReportedAndLeaveNothingBehind) {
    const std::string dir = ::testing::TempDir();
    const std::string state = dir + "editor_failure_state.bin";
    const std::string shot = dir + "editor_failure.png";
    const std::string notAudio = dir + "editor_not_audio.wav";
    std::ofstream(notAudio) << "this is not a sound file";
    std::remove(state.c_str());
    std::remove(shot.c_str());
    std::string errors;

    EXPECT_NE(runTool("--save-state " + state, errors, "DISPLAY="), 0);
    EXPECT_NE(errors.find("--screenshot"), std::string::npos) << errors;

    EXPECT_NE(runTool("/nonexistent.wav --save-state " + state, errors), 0);
    EXPECT_NE(runTool(notAudio + " --screenshot " + shot, errors), 0);
    EXPECT_NE(errors.find(notAudio), std::string::npos) << errors;

    EXPECT_NE(runTool("--play --device spatium-no-such-card --save-state " + state, errors), 0);
    EXPECT_NE(errors.find("spatium-no-such-card"), std::string::npos) << errors;

    EXPECT_FALSE(std::ifstream(state).good());
    EXPECT_FALSE(std::ifstream(shot).good());
    EXPECT_FALSE(std::ifstream(shot + ".part").good());
    std::remove(notAudio.c_str());
}

TEST(EditorX11, AScreenshotNeedsNoDisplay) {
    const std::string shot = ::testing::TempDir() + "editor_headless.png";
    std::remove(shot.c_str());
    std::string errors;
    ASSERT_EQ(runTool("--screenshot " + shot + " --frames 5 --set Pan=45", errors, "DISPLAY="), 0)
        << errors;
    std::ifstream in(shot, std::ios::binary);
    char signature[8] = {};
    in.read(signature, 8);
    EXPECT_EQ(std::string(signature + 1, 3), "PNG");
    std::remove(shot.c_str());
}

} // namespace
