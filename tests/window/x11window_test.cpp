// Google Test first: Xlib defines macros (None, Bool) that clash with its names.
#include <gtest/gtest.h>

#include "corvid/gui/graphics.h"
#include "corvid/window/x11window.h"
#include "xvfb.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

using namespace corvid;

namespace {

TEST(X11KeyMap, KeypadDigitsAndNamedKeysLikeTheWindowsMapping) {
    EXPECT_EQ(X11Window::mapKeySym(XK_space), Key::space);
    EXPECT_EQ(X11Window::mapKeySym(XK_Up), Key::upArrow);
    EXPECT_EQ(X11Window::mapKeySym(XK_Down), Key::downArrow);
    EXPECT_EQ(X11Window::mapKeySym(XK_Left), Key::leftArrow);
    EXPECT_EQ(X11Window::mapKeySym(XK_Right), Key::rightArrow);
    EXPECT_EQ(X11Window::mapKeySym(XK_Return), Key::enter);
    EXPECT_EQ(X11Window::mapKeySym(XK_KP_Enter), Key::enter);
    EXPECT_EQ(X11Window::mapKeySym(XK_Escape), Key::escape);
    for (int i = 0; i <= 9; ++i)
        EXPECT_EQ(X11Window::mapKeySym(XK_KP_0 + static_cast<unsigned>(i)),
                  static_cast<Key>(static_cast<int>(Key::digit0) + i));
    // Only keypad digits count; the keypad without NumLock and the main row do not.
    EXPECT_EQ(X11Window::mapKeySym(XK_KP_Insert), Key::unsupported);
    EXPECT_EQ(X11Window::mapKeySym(XK_0), Key::unsupported);
    EXPECT_EQ(X11Window::mapKeySym(XK_a), Key::unsupported);
}

TEST(X11WindowOpen, AnUnreachableDisplayGivesNoWindowAndTheProcessLives) {
    const char* before = std::getenv("DISPLAY");
    const std::string saved = before ? before : "";
    setenv("DISPLAY", ":4093", 1); // no server listens there
    EXPECT_EQ(X11Window::open(nullptr, nullptr, 100, 80), nullptr);
    GUIGraphics gui(100, 80, 1);
    EXPECT_EQ(gui.openEditor(nullptr, nullptr, DawKind::unknown, 0), nullptr);
    EXPECT_EQ(gui.getWindow(), nullptr);
    if (before)
        setenv("DISPLAY", saved.c_str(), 1);
    else
        unsetenv("DISPLAY");
}

struct Event {
    std::string what;
    int x = 0, y = 0;
    bool flag = false;
    MouseState state;
};

class Recorder : public UIElement {
public:
    Recorder(UIContext& c, IntRect pos, std::vector<Event>& log) : UIElement(c), log_(log) {
        position = pos;
    }
    void arrange(const IntRect&) override {}
    bool onMouseClick(int32_t x, int32_t y, MouseButton b, bool isDouble, MouseState s) override {
        log_.push_back({b == MouseButton::right ? "rclick" : "click", x, y, isDouble, s});
        return true;
    }
    bool onMouseWheel(int32_t x, int32_t y, float, float dy, MouseState s) override {
        log_.push_back({"wheel", x, y, dy > 0, s});
        return true;
    }
    void onDragMove(int32_t x, int32_t y, int32_t, int32_t, MouseState s) override {
        log_.push_back({"drag", x, y, false, s});
        markDirtyRect({x, y, x + 2, y + 2});
    }
    void onDragEnd() override { log_.push_back({"dragEnd", 0, 0, false, {}}); }
    bool onKeyDown(Key k) override {
        log_.push_back({"key", static_cast<int>(k), 0, false, {}});
        return k != Key::unsupported;
    }
    void paintMaps(const ImageView<RGBA>& d, const ImageView<L16>& h, const ImageView<RGBA>& m,
                   const std::vector<IntRect>& rects) override {
        for (const IntRect& r : rects)
            for (int y = r.minY; y < r.maxY; ++y)
                for (int x = r.minX; x < r.maxX; ++x) {
                    d.at(x, y) = {230, 40, 20, 0};
                    h.at(x, y) = L16(30000);
                    m.at(x, y) = {60, 0, 128, 0}; // unlit: the diffuse colour shows as is
                }
    }

private:
    std::vector<Event>& log_;
};

class X11WindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { server = new corvid::testing::XvfbServer(); }
    static void TearDownTestSuite() {
        delete server;
        server = nullptr;
    }

    void SetUp() override {
        if (!server->available()) GTEST_SKIP() << "Xvfb is not available";
        host = XOpenDisplay(server->display().c_str());
        ASSERT_NE(host, nullptr);
        int eventBase, errorBase, major, minor;
        ASSERT_TRUE(XTestQueryExtension(host, &eventBase, &errorBase, &major, &minor));
        parent = XCreateSimpleWindow(host, DefaultRootWindow(host), 0, 0, 300, 200, 0, 0, 0);
        XSelectInput(host, parent, KeyPressMask | KeyReleaseMask);
        XMapWindow(host, parent);
        XSync(host, False);
    }

    void TearDown() override {
        gui.reset();
        if (host != nullptr) {
            XDestroyWindow(host, parent);
            XCloseDisplay(host);
        }
    }

    X11Window& open() {
        gui = std::make_unique<GUIGraphics>(200, 150, 2);
        gui->addChild(std::make_unique<Recorder>(gui->getContext(), IntRect{20, 30, 60, 70}, log));
        void* handle = gui->openEditor(reinterpret_cast<void*>(static_cast<uintptr_t>(parent)),
                                       nullptr, DawKind::unknown, 0);
        EXPECT_NE(handle, nullptr);
        auto* window = dynamic_cast<X11Window*>(gui->getWindow());
        EXPECT_NE(window, nullptr);
        pumpUntil(*window, [&] { return window->paintCount() > 0; });
        return *window;
    }

    bool pumpUntil(X11Window& window, const std::function<bool()>& done) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
        while (!done()) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            window.pumpEvents();
        }
        return true;
    }

    void fakeMove(int x, int y) { XTestFakeMotionEvent(host, -1, x, y, CurrentTime); }
    void fakeButton(unsigned b, bool down) { XTestFakeButtonEvent(host, b, down, CurrentTime); }
    void fakeKey(KeySym k, bool down) {
        XTestFakeKeyEvent(host, XKeysymToKeycode(host, k), down, CurrentTime);
    }
    Event last(const std::string& what) const {
        for (auto it = log.rbegin(); it != log.rend(); ++it)
            if (it->what == what) return *it;
        return {};
    }
    size_t count(const std::string& what) const {
        size_t n = 0;
        for (const Event& e : log) n += e.what == what;
        return n;
    }

    static corvid::testing::XvfbServer* server;
    Display* host = nullptr;
    ::Window parent = 0;
    std::unique_ptr<GUIGraphics> gui;
    std::vector<Event> log;
};

corvid::testing::XvfbServer* X11WindowTest::server = nullptr;

TEST_F(X11WindowTest, PointerEventsReachTheElementInLocalCoordinates) {
    X11Window& window = open();
    fakeMove(25, 37);
    fakeButton(1, true);
    XSync(host, False);
    ASSERT_TRUE(pumpUntil(window, [&] { return count("click") == 1; }));
    EXPECT_EQ(log.back().x, 5);
    EXPECT_EQ(log.back().y, 7);
    EXPECT_FALSE(log.back().flag);
    EXPECT_TRUE(log.back().state.leftButtonDown);

    // The window keeps the pointer while the button is down, even outside it.
    fakeMove(250, 180);
    XSync(host, False);
    ASSERT_TRUE(pumpUntil(window, [&] { return count("drag") == 1; }));
    EXPECT_EQ(log.back().x, 230);
    EXPECT_EQ(log.back().y, 150);

    fakeButton(1, false);
    fakeMove(35, 47); // far enough from the first press not to pair with it
    fakeButton(1, true);
    fakeButton(1, false);
    fakeButton(1, true);
    fakeButton(1, false);
    XSync(host, False);
    ASSERT_TRUE(pumpUntil(window, [&] { return count("click") == 3; }));
    EXPECT_TRUE(last("click").flag) << "the second quick press is a double click";
    EXPECT_GE(count("dragEnd"), 2u);

    fakeMove(40, 50);
    fakeButton(3, true);
    fakeButton(3, false);
    fakeButton(4, true);
    fakeButton(4, false);
    XSync(host, False);
    ASSERT_TRUE(pumpUntil(window, [&] { return count("wheel") == 1; }));
    EXPECT_EQ(count("rclick"), 1u);
    EXPECT_EQ(log.back().x, 20);
    EXPECT_EQ(log.back().y, 20);
    EXPECT_TRUE(log.back().flag) << "wheel away from the user is positive";
}

TEST_F(X11WindowTest, KeysGoToTheGuiAndUnhandledOnesToTheParent) {
    X11Window& window = open();
    fakeMove(25, 37);
    fakeButton(1, true);
    fakeButton(1, false);
    fakeKey(XK_space, true);
    fakeKey(XK_space, false);
    XSync(host, False);
    ASSERT_TRUE(pumpUntil(window, [&] { return count("key") == 1; }));
    EXPECT_EQ(log.back().x, static_cast<int>(Key::space));

    fakeKey(XK_a, true);
    fakeKey(XK_a, false);
    XSync(host, False);
    // Declined by the focused element, then asked again on the walk through the tree.
    ASSERT_TRUE(pumpUntil(window, [&] { return count("key") == 3; }));
    EXPECT_EQ(log.back().x, static_cast<int>(Key::unsupported));
    bool forwarded = false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (!forwarded && std::chrono::steady_clock::now() < deadline) {
        window.pumpEvents();
        while (XPending(host) > 0) {
            XEvent ev;
            XNextEvent(host, &ev);
            if (ev.type == KeyPress && ev.xkey.window == parent && ev.xany.send_event &&
                ev.xkey.keycode == XKeysymToKeycode(host, XK_a))
                forwarded = true;
        }
    }
    EXPECT_TRUE(forwarded);

    // Keypad digits count as digits when NumLock is on.
    fakeKey(XK_Num_Lock, true);
    fakeKey(XK_Num_Lock, false);
    fakeKey(XK_KP_7, true);
    fakeKey(XK_KP_7, false);
    fakeKey(XK_Num_Lock, true);
    fakeKey(XK_Num_Lock, false);
    XSync(host, False);
    ASSERT_TRUE(pumpUntil(window, [&] {
        return std::any_of(log.begin(), log.end(), [](const Event& e) {
            return e.what == "key" && e.x == static_cast<int>(Key::digit7);
        });
    }));
}

TEST_F(X11WindowTest, ABurstOfMotionIsPaintedAsOneFrame) {
    X11Window& window = open();
    fakeMove(25, 37);
    fakeButton(1, true);
    XSync(host, False);
    ASSERT_TRUE(pumpUntil(window, [&] { return count("click") == 1; }));
    for (int i = 0; i < 3; ++i) window.pumpEvents();
    const int before = window.paintCount();
    constexpr int kMoves = 20;
    for (int i = 0; i < kMoves; ++i) fakeMove(26 + i, 40);
    XSync(host, False);
    ASSERT_TRUE(pumpUntil(window, [&] { return count("drag") == kMoves; }));
    // Each element dirtied the window, yet the motion drained in one round of the
    // loop is painted once (a read may split the burst, never into one per event).
    EXPECT_LE(window.paintCount() - before, 4);
    EXPECT_GE(window.paintCount() - before, 1);
    fakeButton(1, false);
    XSync(host, False);
}

TEST_F(X11WindowTest, PaintedPixelsArriveInTheWindow) {
    X11Window& window = open();
    // A few more ticks, so that everything dirty has been painted and blitted.
    for (int i = 0; i < 5; ++i) window.pumpEvents();
    XSync(host, False);
    XImage* shot = XGetImage(host, reinterpret_cast<uintptr_t>(gui->getWindow()->nativeHandle()), 0,
                             0, 200, 150, AllPlanes, ZPixmap);
    ASSERT_NE(shot, nullptr);
    const WindowImageView image = gui->getWindowImage();
    int mismatches = 0;
    for (int y = 0; y < 150; y += 7)
        for (int x = 0; x < 200; x += 5) {
            const unsigned long p = XGetPixel(shot, x, y);
            const RGBA q = image.at(x, y); // BGRA bytes
            if (((p >> 16) & 255) != q.b || ((p >> 8) & 255) != q.g || (p & 255) != q.r)
                ++mismatches;
        }
    // The element is unlit, so its diffuse colour (through identity curves) shows.
    const unsigned long inside = XGetPixel(shot, 30, 40);
    XDestroyImage(shot);
    EXPECT_EQ(mismatches, 0);
    EXPECT_EQ((inside >> 16) & 255, 230u);
    EXPECT_EQ((inside >> 8) & 255, 40u);
    EXPECT_EQ(inside & 255, 20u);
}

} // namespace

namespace {

TEST_F(X11WindowTest, ASizeChangeIsNoticedAtTheNextPaint) {
    X11Window& window = open();
    const auto id = static_cast<::Window>(reinterpret_cast<uintptr_t>(window.nativeHandle()));
    XResizeWindow(host, id, 260, 120); // the host resizes its child
    XSync(host, False);
    ASSERT_TRUE(pumpUntil(window, [&] {
        int32_t w = 0, h = 0;
        gui->editorSize(&w, &h);
        return w == 260 && h == 120;
    }));
    EXPECT_EQ(gui->getWindowImage().width(), 260);
    EXPECT_EQ(gui->getDiffuseMap().level(0).height(), 120);
}

} // namespace
