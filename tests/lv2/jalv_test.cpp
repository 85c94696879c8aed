// Google Test first: Xlib defines macros (None, Bool) that clash with its names.
#include <gtest/gtest.h>

// The bundle in a real host: jalv's GTK front end, which embeds X11 UIs through
// suil, on a JACK server running its dummy driver and a private X server. The
// editor must show lit, a drag on its pan knob must reach the Pan control jalv
// keeps (read back from the state jalv saves), and the editor must survive jalv
// closing it and a second jalv opening it again.

#include "corvid/graphics/image.h"
#include "tests/window/xvfb.h"
#include "tools/pngwrite/pngwrite.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

const char* const kStereo = "https://spatium.example/plugins/spatium/stereo";
constexpr int kEditorWidth = 763;
constexpr int kEditorHeight = 494;
// The pan knob's box in the editor.
constexpr int kPanLeft = 342, kPanTop = 298, kPanRight = 454, kPanBottom = 410;
constexpr int kPanX = (kPanLeft + kPanRight) / 2, kPanY = (kPanTop + kPanBottom) / 2;
constexpr int kHintOverlap = 15;

bool onPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::stringstream dirs(path ? path : "");
    for (std::string dir; std::getline(dirs, dir, ':');)
        if (!dir.empty() && access((dir + "/" + program).c_str(), X_OK) == 0) return true;
    return false;
}

// suil's module that puts X11 UIs into GTK 3 windows; without it jalv shows its
// generic controls instead of the editor.
bool suilEmbedsX11InGtk3() {
    for (const char* dir : {"/usr/lib/x86_64-linux-gnu/suil-0", "/usr/lib/aarch64-linux-gnu/suil-0",
                            "/usr/lib/suil-0", "/usr/local/lib/suil-0"})
        if (fs::exists(fs::path(dir) / "libsuil_x11_in_gtk3.so")) return true;
    return false;
}

bool waitFor(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// A child program with extra environment and its output in files; stopped (and
// waited for) when the object goes.
class Process {
public:
    Process(const std::vector<std::string>& args, const std::vector<std::string>& env,
            const fs::path& logBase)
        : out_(logBase.string() + ".out"), err_(logBase.string() + ".err") {
        std::vector<std::string> environment;
        for (char** e = environ; *e; ++e) environment.emplace_back(*e);
        environment.insert(environment.end(), env.begin(), env.end());
        std::vector<char*> argv, envp;
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        for (const std::string& e : environment) envp.push_back(const_cast<char*>(e.c_str()));
        envp.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, out_.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        posix_spawn_file_actions_addopen(&actions, 2, err_.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        if (posix_spawnp(&pid_, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~Process() { stop(); }
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    bool started() const { return pid_ > 0; }
    // True once the program ended by itself; its exit status goes to status.
    bool exited(int& status) {
        if (pid_ <= 0) return true;
        int s = 0;
        if (waitpid(pid_, &s, WNOHANG) != pid_) return false;
        pid_ = -1;
        status = s;
        return true;
    }
    void stop() {
        if (pid_ <= 0) return;
        kill(pid_, SIGTERM);
        int status = 0;
        if (!waitFor([&] { return exited(status); }, std::chrono::seconds(5))) {
            kill(pid_, SIGKILL);
            waitpid(pid_, &status, 0);
            pid_ = -1;
        }
    }
    std::string output() const { return readFile(out_) + readFile(err_); }

private:
    pid_t pid_ = -1;
    std::string out_, err_;
};

// jack_wait -c answers "running" or "not running" for the server it is pointed at.
bool jackRunning(const std::vector<std::string>& env, const fs::path& log) {
    Process probe({"jack_wait", "-c"}, env, log);
    int status = 0;
    if (!waitFor([&] { return probe.exited(status); }, std::chrono::seconds(2))) return false;
    const std::string said = readFile(log.string() + ".out");
    return said.rfind("running", 0) == 0;
}

struct Found {
    ::Window window = 0;
    int x = 0, y = 0; // on the root window
};

class JalvTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
#ifdef SPATIUM_SANITIZED_BUILD
        skipReason = "jalv carries no sanitizer runtime and cannot load this build's bundle";
        return;
#endif
        if (!onPath("jalv.gtk3") || !onPath("jackd") || !onPath("jack_wait")) {
            skipReason = "jalv.gtk3 or jackd is not installed (Debian packages jalv, jackd2)";
            return;
        }
        if (!suilEmbedsX11InGtk3()) {
            skipReason = "suil's X11-in-GTK3 module is not installed (libsuil-0-0)";
            return;
        }
        server = new corvid::testing::XvfbServer();
        if (!server->available()) {
            skipReason = "Xvfb is not available";
            return;
        }
        work = fs::path(SPATIUM_BINARY_DIR_PATH) / "tests" / "lv2" / "jalv";
        fs::remove_all(work);
        fs::create_directories(work);
        // A private server name, so a developer's own JACK is never touched and
        // jalv never starts one of its own.
        jackEnv = {"JACK_DEFAULT_SERVER=spatium-test-" + std::to_string(getpid()),
                   "JACK_NO_START_SERVER=1"};
        jack = new Process({"jackd", "--no-realtime", "-d", "dummy", "-r", "48000", "-p", "1024"},
                           jackEnv, work / "jackd");
        const bool up =
            jack->started() && waitFor([] { return jackRunning(jackEnv, work / "jack_wait"); },
                                       std::chrono::seconds(10));
        if (!up) skipReason = "the JACK server on its dummy driver did not come up";
    }
    static void TearDownTestSuite() {
        delete jack;
        jack = nullptr;
        delete server;
        server = nullptr;
    }

    // Another client's windows come and go while the test walks the tree; Xlib's
    // default handler would end the test on the first one that vanished. The
    // calls that failed answer zero, which the search takes as "not this one".
    static int ignoreXError(Display*, XErrorEvent*) {
        return 0;
    }

    void SetUp() override {
        if (!skipReason.empty()) GTEST_SKIP() << skipReason;
        display = XOpenDisplay(server->display().c_str());
        ASSERT_NE(display, nullptr);
        previousHandler = XSetErrorHandler(&ignoreXError);
    }
    void TearDown() override {
        if (display) XCloseDisplay(display);
        if (previousHandler) XSetErrorHandler(previousHandler);
    }

    std::unique_ptr<Process> startJalv(const std::vector<std::string>& extra, const char* log) {
        std::vector<std::string> args = {"jalv.gtk3"};
        args.insert(args.end(), extra.begin(), extra.end());
        args.push_back(kStereo);
        std::vector<std::string> env = jackEnv;
        env.push_back(std::string("LV2_PATH=") + SPATIUM_BINARY_DIR_PATH + "/lv2");
        env.push_back("NO_AT_BRIDGE=1");
        return std::make_unique<Process>(args, env, work / log);
    }

    // Depth-first search below parent for a window passing test.
    ::Window findBelow(::Window parent, const std::function<bool(::Window)>& test) {
        ::Window root = 0, up = 0, *children = nullptr;
        unsigned int n = 0;
        if (!XQueryTree(display, parent, &root, &up, &children, &n)) return 0;
        ::Window hit = 0;
        for (unsigned int i = 0; i < n && !hit; ++i) {
            if (test(children[i]))
                hit = children[i];
            else
                hit = findBelow(children[i], test);
        }
        if (children) XFree(children);
        return hit;
    }

    std::string nameOf(::Window w) {
        char* name = nullptr;
        std::string result;
        if (XFetchName(display, w, &name) && name) result = name;
        if (name) XFree(name);
        return result;
    }

    Found locate(::Window w) {
        Found f{w};
        ::Window child = 0;
        XTranslateCoordinates(display, w, DefaultRootWindow(display), 0, 0, &f.x, &f.y, &child);
        return f;
    }

    // jalv's top-level window and the editor inside it: the viewable window of the
    // editor's size that has no children.
    bool findEditor(Found& toplevel, Found& editor) {
        const ::Window top = findBelow(DefaultRootWindow(display), [&](::Window w) {
            return nameOf(w).rfind("Spatium", 0) == 0;
        });
        if (!top) return false;
        const ::Window inner = findBelow(top, [&](::Window w) {
            XWindowAttributes a{};
            if (!XGetWindowAttributes(display, w, &a)) return false;
            ::Window root = 0, up = 0, *children = nullptr;
            unsigned int n = 0;
            if (!XQueryTree(display, w, &root, &up, &children, &n)) return false;
            if (children) XFree(children);
            return a.width == kEditorWidth && a.height == kEditorHeight &&
                   a.map_state == IsViewable && n == 0;
        });
        if (!inner) return false;
        toplevel = locate(top);
        editor = locate(inner);
        return true;
    }

    corvid::OwnedImage<corvid::RGBA> grab(::Window w, int left, int top, int right, int bottom) {
        corvid::OwnedImage<corvid::RGBA> image(right - left, bottom - top);
        XImage* x = XGetImage(display, w, left, top, static_cast<unsigned>(right - left),
                              static_cast<unsigned>(bottom - top), AllPlanes, ZPixmap);
        if (!x) return image;
        for (int y = 0; y < bottom - top; ++y)
            for (int i = 0; i < right - left; ++i) {
                const unsigned long p = XGetPixel(x, i, y);
                const auto channel = [&](unsigned long mask) {
                    int shift = 0;
                    while (mask && !(mask & 1)) {
                        mask >>= 1;
                        ++shift;
                    }
                    return static_cast<std::uint8_t>((p >> shift) & 0xFF);
                };
                image.pixelAt(i, y) = {channel(x->red_mask), channel(x->green_mask),
                                       channel(x->blue_mask), 255};
            }
        XDestroyImage(x);
        return image;
    }

    static std::size_t distinctColours(const corvid::OwnedImage<corvid::RGBA>& image) {
        std::vector<std::uint32_t> colours;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const corvid::RGBA c = image.pixelAt(x, y);
                colours.push_back(std::uint32_t(c.r) << 16 | std::uint32_t(c.g) << 8 | c.b);
            }
        std::sort(colours.begin(), colours.end());
        return static_cast<std::size_t>(std::unique(colours.begin(), colours.end()) -
                                        colours.begin());
    }

    // Pixels that differ between two grabs of one size by more than `tolerance` in
    // some channel.
    static std::size_t differing(const corvid::OwnedImage<corvid::RGBA>& a,
                                 const corvid::OwnedImage<corvid::RGBA>& b, int tolerance = 0) {
        std::size_t n = 0;
        const auto apart = [&](std::uint8_t u, std::uint8_t v) {
            return std::abs(int(u) - int(v)) > tolerance;
        };
        for (int y = 0; y < a.height(); ++y)
            for (int x = 0; x < a.width(); ++x) {
                const corvid::RGBA p = a.pixelAt(x, y), q = b.pixelAt(x, y);
                n += apart(p.r, q.r) || apart(p.g, q.g) || apart(p.b, q.b);
            }
        return n;
    }

    // The lit editor has a panel of many shades; a black or a flat window has few.
    void expectLit(const Found& editor, const char* png) {
        const auto shot = grab(editor.window, 0, 0, kEditorWidth, kEditorHeight);
        EXPECT_TRUE(tools::writePng((work / png).string(), shot));
        EXPECT_GT(distinctColours(shot), 1000u) << "see " << (work / png).string();
    }

    void move(int x, int y) {
        XTestFakeMotionEvent(display, -1, x, y, CurrentTime);
        XSync(display, False);
    }
    void button(bool down) {
        XTestFakeButtonEvent(display, 1, down, CurrentTime);
        XSync(display, False);
    }
    void click(int x, int y) {
        move(x, y);
        button(true);
        button(false);
    }
    void type(const std::string& text) {
        for (char c : text) {
            // Punctuation goes by its keysym name; a checkout's path may hold any of these.
            const std::string name = c == '/'   ? "slash"
                                     : c == '_' ? "underscore"
                                     : c == '-' ? "minus"
                                     : c == '.' ? "period"
                                                : std::string(1, c);
            const KeyCode code = XKeysymToKeycode(display, XStringToKeysym(name.c_str()));
            XTestFakeKeyEvent(display, code, True, CurrentTime);
            XTestFakeKeyEvent(display, code, False, CurrentTime);
            XSync(display, False);
            // The file chooser completes names as they are typed; give it the time.
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    void key(KeySym symbol) {
        const KeyCode code = XKeysymToKeycode(display, symbol);
        XTestFakeKeyEvent(display, code, True, CurrentTime);
        XTestFakeKeyEvent(display, code, False, CurrentTime);
        XSync(display, False);
    }

    // Saves jalv's state through its File menu and answers the Pan value in it.
    bool savedPan(const Found& toplevel, const fs::path& dir, double& pan, std::string& why) {
        // The menu bar's first entry sits at the window's top left.
        click(toplevel.x + 15, toplevel.y + 12);
        ::Window menu = 0;
        if (!waitFor(
                [&] {
                    menu = findBelow(DefaultRootWindow(display), [&](::Window w) {
                        XWindowAttributes a{};
                        return XGetWindowAttributes(display, w, &a) && a.override_redirect &&
                               a.map_state == IsViewable && a.width > 40 && a.height > 20;
                    });
                    return menu != 0;
                },
                std::chrono::seconds(5))) {
            why = "the File menu did not open";
            return false;
        }
        const Found m = locate(menu);
        click(m.x + 30, m.y + 12); // "Save", the first item
        ::Window dialog = 0;
        if (!waitFor(
                [&] {
                    dialog = findBelow(DefaultRootWindow(display), [&](::Window w) {
                        XWindowAttributes a{};
                        return nameOf(w) == "Save State" && XGetWindowAttributes(display, w, &a) &&
                               a.map_state == IsViewable;
                    });
                    return dialog != 0;
                },
                std::chrono::seconds(5))) {
            why = "the Save State dialog did not open";
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        XSetInputFocus(display, dialog, RevertToParent, CurrentTime);
        XSync(display, False);
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        type(dir.string());
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        key(XStringToKeysym("Return"));
        const fs::path state = dir / "state.ttl";
        if (!waitFor([&] { return fs::exists(state) && fs::file_size(state) > 0; },
                     std::chrono::seconds(5))) {
            why = "jalv wrote no state to " + dir.string();
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        const std::string text = readFile(state);
        const std::size_t port = text.find("lv2:symbol \"pan\"");
        const std::size_t value = port == std::string::npos ? port : text.find("pset:value", port);
        if (value == std::string::npos) {
            why = "the saved state has no pan value";
            return false;
        }
        pan = std::strtod(text.c_str() + value + std::strlen("pset:value"), nullptr);
        return true;
    }

    // What a window manager sends when the user closes a window.
    void closeWindow(::Window w) {
        XEvent ev{};
        ev.xclient.type = ClientMessage;
        ev.xclient.window = w;
        ev.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
        ev.xclient.format = 32;
        ev.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
        ev.xclient.data.l[1] = CurrentTime;
        XSendEvent(display, w, False, NoEventMask, &ev);
        XSync(display, False);
    }

    static corvid::testing::XvfbServer* server;
    static Process* jack;
    static std::vector<std::string> jackEnv;
    static fs::path work;
    static std::string skipReason;
    Display* display = nullptr;
    XErrorHandler previousHandler = nullptr;
};

corvid::testing::XvfbServer* JalvTest::server = nullptr;
Process* JalvTest::jack = nullptr;
std::vector<std::string> JalvTest::jackEnv;
fs::path JalvTest::work;
std::string JalvTest::skipReason;

TEST_F(JalvTest, EditorShowsLitTakesADragOnPanClosesAndOpensAgain) {
    auto jalv = startJalv({}, "jalv1");
    ASSERT_TRUE(jalv->started());
    Found toplevel, editor;
    ASSERT_TRUE(waitFor([&] { return findEditor(toplevel, editor); }, std::chrono::seconds(20)))
        << "jalv never showed the editor:\n"
        << jalv->output();
    // The knob without its lower edge, where the value hint of a drag lingers, once
    // its animations (the press easing out, the hover glow) have come to rest: jalv
    // ticks the editor from its own idle loop, which runs late on a loaded machine.
    const auto knob = [&] {
        auto shot = grab(editor.window, kPanLeft, kPanTop, kPanRight, kPanBottom - kHintOverlap);
        for (int tries = 0; tries < 40; ++tries) {
            std::this_thread::sleep_for(std::chrono::milliseconds(150));
            auto next =
                grab(editor.window, kPanLeft, kPanTop, kPanRight, kPanBottom - kHintOverlap);
            const bool still = differing(next, shot) == 0;
            shot = std::move(next);
            if (still) break;
        }
        return shot;
    };
    // Let the first frames land, with the pointer away from every control.
    move(editor.x + 700, editor.y + 480);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    expectLit(editor, "editor.png");
    const auto centred = knob();

    move(editor.x + kPanX, editor.y + kPanY);
    button(true);
    for (int step = 1; step <= 10; ++step) {
        std::this_thread::sleep_for(std::chrono::milliseconds(40));
        move(editor.x + kPanX, editor.y + kPanY - 4 * step);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    button(false);
    move(editor.x + 700, editor.y + 480);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    expectLit(editor, "editor_panned.png");
    // The value hint below the knob lights its lower edge until it has faded, 1.15 s
    // after the last change.
    std::this_thread::sleep_for(std::chrono::milliseconds(1200));
    const auto turned = knob();
    EXPECT_GT(differing(turned, centred), 100u) << "the knob did not turn";

    double pan = 0.0;
    std::string why;
    ASSERT_TRUE(savedPan(toplevel, work / "state", pan, why)) << why;
    EXPECT_GT(pan, 1.0) << "dragging up pans right";
    EXPECT_LE(pan, 90.0);

    // Closing the window ends jalv, which closes the editor on its way out.
    closeWindow(toplevel.window);
    int status = -1;
    ASSERT_TRUE(waitFor([&] { return jalv->exited(status); }, std::chrono::seconds(10)))
        << "jalv did not close";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << jalv->output();
    EXPECT_EQ(jalv->output().find("X Window System error"), std::string::npos) << jalv->output();

    // A second jalv with the saved state opens the editor again, knob turned.
    auto again = startJalv({"-l", (work / "state").string()}, "jalv2");
    ASSERT_TRUE(waitFor([&] { return findEditor(toplevel, editor); }, std::chrono::seconds(20)))
        << again->output();
    move(editor.x + 700, editor.y + 480);
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    expectLit(editor, "editor_reopened.png");
    const auto reopened = knob();
    // The hint that was shown leaves a trace of a few levels in the light around the
    // knob's lower edge, which the reopened editor has never had.
    constexpr int kTrace = 8;
    std::printf("knob pixels: reopened vs turned %zu, vs centred %zu, turned vs centred %zu\n",
                differing(reopened, turned, kTrace), differing(reopened, centred, kTrace),
                differing(turned, centred, kTrace));
    EXPECT_LT(differing(reopened, turned, kTrace) * 20, differing(reopened, centred, kTrace))
        << "the reopened editor shows another pan";
    closeWindow(toplevel.window);
    ASSERT_TRUE(waitFor([&] { return again->exited(status); }, std::chrono::seconds(10)));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << again->output();
}

} // namespace
