// Google Test first: Xlib defines macros (None, Bool) that clash with its names.
#include <gtest/gtest.h>

// The editor through CLAP's gui extension, in the test host: embedded in a
// window of a private X server, run only by the timers and descriptors the host
// serves, the pan knob dragged with XTest, and the gestures received as the
// host receives them: events of its flushes and process calls.

#include "tests/clap/testhost.h"
#include "tests/window/xvfb.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <poll.h>

#include <chrono>
#include <functional>
#include <thread>

namespace {

using namespace claptest;

constexpr int kEditorWidth = 763;
constexpr int kEditorHeight = 494;
// The pan knob's box in the editor.
constexpr int kPanLeft = 342, kPanTop = 298, kPanRight = 454, kPanBottom = 410;
constexpr int kPanX = (kPanLeft + kPanRight) / 2, kPanY = (kPanTop + kPanBottom) / 2;

class ClapUi : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        server = new corvid::testing::XvfbServer();
        library = new Library(SPATIUM_CLAP_LIBRARY);
    }
    static void TearDownTestSuite() {
        delete library;
        delete server;
    }

    void SetUp() override {
        if (!server->available()) GTEST_SKIP() << "Xvfb is not available";
        instance = std::make_unique<Instance>(*library, host);
        display = XOpenDisplay(server->display().c_str());
        ASSERT_NE(display, nullptr);
        int eventBase, errorBase, major, minor;
        ASSERT_TRUE(XTestQueryExtension(display, &eventBase, &errorBase, &major, &minor));
        parent = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, kEditorWidth,
                                     kEditorHeight, 0, 0, 0);
        XMapWindow(display, parent);
        XSync(display, False);
        pan = instance->idOf("Pan");
    }

    void TearDown() override {
        instance.reset();
        if (display) {
            XDestroyWindow(display, parent);
            XCloseDisplay(display);
        }
    }

    bool open() {
        const clap_plugin_t* p = instance->plugin();
        if (!instance->gui->create(p, "x11", false)) return false;
        uint32_t w = 0, h = 0;
        EXPECT_TRUE(instance->gui->get_size(p, &w, &h));
        EXPECT_EQ(w, static_cast<uint32_t>(kEditorWidth));
        EXPECT_EQ(h, static_cast<uint32_t>(kEditorHeight));
        clap_window_t window{};
        window.api = "x11";
        window.handle.x11 = parent;
        if (!instance->gui->set_parent(p, &window)) return false;
        return instance->gui->show(p);
    }

    // One turn of the host's loop: the plug-in's descriptors that are ready, its
    // timers, and a flush when it asked for one.
    void serve() {
        const clap_plugin_t* p = instance->plugin();
        const auto* timers = instance->ext<clap_plugin_timer_support_t>("clap.timer-support");
        const auto* fds = instance->ext<clap_plugin_posix_fd_support_t>("clap.posix-fd-support");
        std::vector<pollfd> ready;
        for (const auto& [fd, flags] : host.fds) ready.push_back({fd, POLLIN, 0});
        if (!ready.empty()) poll(ready.data(), ready.size(), 0);
        for (const pollfd& r : ready)
            if (r.revents & POLLIN) fds->on_fd(p, r.fd, 1);
        const auto ids = host.timers;
        for (const auto& [id, period] : ids) timers->on_timer(p, id);
        if (host.flushRequests > flushesServed) {
            flushesServed = host.flushRequests;
            InEvents none;
            instance->params->flush(p, none.clap(), sent.clap());
        }
    }

    bool serveUntil(const std::function<bool()>& done) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (!done()) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            serve();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return true;
    }

    std::size_t childCount() {
        ::Window root = 0, up = 0, *children = nullptr;
        unsigned int n = 0;
        XQueryTree(display, parent, &root, &up, &children, &n);
        if (children) XFree(children);
        return n;
    }

    static corvid::testing::XvfbServer* server;
    static Library* library;
    Host host;
    std::unique_ptr<Instance> instance;
    Display* display = nullptr;
    ::Window parent = 0;
    std::uint32_t pan = 0;
    OutEvents sent;
    int flushesServed = 0;
};

corvid::testing::XvfbServer* ClapUi::server = nullptr;
Library* ClapUi::library = nullptr;

TEST_F(ClapUi, OpensEmbeddedAtItsSizeWithTheHostsTimerAndDescriptor) {
    const clap_plugin_t* p = instance->plugin();
    EXPECT_FALSE(instance->gui->create(p, "x11", true)) << "never floating";
    EXPECT_FALSE(instance->gui->can_resize(p));
    ASSERT_TRUE(open());
    EXPECT_EQ(childCount(), 1u);
    EXPECT_EQ(host.timers.size(), 1u);
    EXPECT_EQ(host.fds.size(), 1u) << "the X connection's descriptor";
    EXPECT_TRUE(instance->gui->set_size(p, kEditorWidth, kEditorHeight));
    EXPECT_FALSE(instance->gui->set_size(p, kEditorWidth + 10, kEditorHeight));
    uint32_t w = 1000, h = 1000;
    EXPECT_TRUE(instance->gui->adjust_size(p, &w, &h));
    EXPECT_EQ(w, static_cast<uint32_t>(kEditorWidth));
    for (int i = 0; i < 20; ++i) serve();
    EXPECT_TRUE(sent.events.empty()) << "opening is not a gesture";

    instance->gui->destroy(p);
    XSync(display, False);
    EXPECT_EQ(childCount(), 0u);
    EXPECT_TRUE(host.timers.empty()) << "everything registered is released";
    EXPECT_TRUE(host.fds.empty());
    ASSERT_TRUE(open()) << "and it opens again";
    EXPECT_EQ(childCount(), 1u);
    EXPECT_EQ(host.timers.size(), 1u);
    instance->gui->destroy(p);
}

TEST_F(ClapUi, WithoutTheHostsTimerTheEditorIsNotCreated) {
    host.offerTimers = false;
    EXPECT_FALSE(instance->gui->create(instance->plugin(), "x11", false));
    EXPECT_EQ(childCount(), 0u);
}

TEST_F(ClapUi, DraggingThePanKnobSendsAGestureOfRisingValues) {
    ASSERT_TRUE(open());
    for (int i = 0; i < 20; ++i) serve();
    XTestFakeMotionEvent(display, -1, kPanX, kPanY, CurrentTime);
    XTestFakeButtonEvent(display, 1, True, CurrentTime);
    XSync(display, False);
    ASSERT_TRUE(serveUntil([&] { return !sent.events.empty(); })) << "no gesture began";
    for (int step = 1; step <= 8; ++step) {
        XTestFakeMotionEvent(display, -1, kPanX, kPanY - 5 * step, CurrentTime);
        XSync(display, False);
        const std::size_t before = sent.events.size();
        serveUntil([&] { return sent.events.size() > before; });
    }
    XTestFakeButtonEvent(display, 1, False, CurrentTime);
    XSync(display, False);
    ASSERT_TRUE(serveUntil([&] { return sent.events.back().type == EV_GESTURE_END; }));

    ASSERT_GE(sent.events.size(), 3u);
    EXPECT_EQ(sent.events.front().type, EV_GESTURE_BEGIN);
    EXPECT_EQ(sent.events.front().id, pan);
    EXPECT_EQ(sent.events.back().id, pan);
    double previous = 0.0;
    std::size_t values = 0;
    for (std::size_t i = 1; i + 1 < sent.events.size(); ++i) {
        ASSERT_EQ(sent.events[i].type, EV_PARAM_VALUE) << i;
        ASSERT_EQ(sent.events[i].id, pan);
        EXPECT_GT(sent.events[i].value, previous) << "upward is rightward";
        previous = sent.events[i].value;
        ++values;
    }
    EXPECT_GE(values, 8u);
    EXPECT_FLOAT_EQ(static_cast<float>(instance->value(pan)), static_cast<float>(previous))
        << "the plug-in holds what it sent";

    // Processing, the gestures go out from process instead, with no flush asked.
    ASSERT_TRUE(instance->start(48000.0, 2));
    sent.events.clear();
    const int requests = host.flushRequests;
    XTestFakeMotionEvent(display, -1, kPanX, kPanY, CurrentTime);
    XTestFakeButtonEvent(display, 1, True, CurrentTime);
    XTestFakeMotionEvent(display, -1, kPanX, kPanY + 20, CurrentTime);
    XTestFakeButtonEvent(display, 1, False, CurrentTime);
    XSync(display, False);
    std::vector<std::vector<float>> in(2, std::vector<float>(256)), out = in;
    ASSERT_TRUE(serveUntil([&] {
        InEvents none;
        instance->process(in, out, 0, 256, none, &sent);
        return !sent.events.empty() && sent.events.back().type == EV_GESTURE_END;
    }));
    EXPECT_EQ(host.flushRequests, requests);
    EXPECT_EQ(sent.events.front().type, EV_GESTURE_BEGIN);
    instance->gui->destroy(instance->plugin());
}

TEST_F(ClapUi, ADragCutShortByClosingStillEndsAtTheHost) {
    ASSERT_TRUE(open());
    for (int i = 0; i < 20; ++i) serve();
    XTestFakeMotionEvent(display, -1, kPanX, kPanY, CurrentTime);
    XTestFakeButtonEvent(display, 1, True, CurrentTime);
    XSync(display, False);
    ASSERT_TRUE(serveUntil([&] { return !sent.events.empty(); }));
    instance->gui->destroy(instance->plugin());
    XTestFakeButtonEvent(display, 1, False, CurrentTime);
    XSync(display, False);
    InEvents none;
    instance->params->flush(instance->plugin(), none.clap(), sent.clap());
    ASSERT_GE(sent.events.size(), 2u);
    EXPECT_EQ(sent.events.front().type, EV_GESTURE_BEGIN);
    EXPECT_EQ(sent.events.back().type, EV_GESTURE_END);
    EXPECT_EQ(sent.events.back().id, pan);
}

} // namespace
