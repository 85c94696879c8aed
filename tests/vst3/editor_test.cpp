// The bundle's editor embedded as hosts on Linux embed it: an X11 child of the
// host's window, driven only by the host's run loop, dragged with XTest.

#include "tests/vst3/editor.h"
#include "tests/window/xvfb.h"

// Before Xlib, whose None and Bool macros break gtest's declarations.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>

using namespace vst3host;

namespace {

// The pan knob's box in the editor (its layout's pan entry).
constexpr int kPanLeft = 342, kPanTop = 298, kPanRight = 454, kPanBottom = 410;
constexpr int kPanX = (kPanLeft + kPanRight) / 2, kPanY = (kPanTop + kPanBottom) / 2;

class Vst3EditorTest : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string bundle = bundleIn(SPATIUM_BINARY_DIR_PATH);
        if (bundle.empty())
            GTEST_SKIP() << "the VST3 bundle is not built in " SPATIUM_BINARY_DIR_PATH
                            "/vst3 (build the spatium_vst3 target)";
        server.emplace();
        if (!server->available()) GTEST_SKIP() << "Xvfb is not available";
        display = XOpenDisplay(server->display().c_str());
        ASSERT_NE(display, nullptr);
        int eventBase, errorBase, major, minor;
        if (!XTestQueryExtension(display, &eventBase, &errorBase, &major, &minor))
            GTEST_SKIP() << "the X server has no XTest";
        module = std::make_unique<Module>(bundle);
        plugin = std::make_unique<Plugin>(*module, 2, 48000.0, 512);
        pan = plugin->parameter("Pan");
    }

    void TearDown() override {
        plugin.reset();
        module.reset();
        if (display) {
            if (parent) XDestroyWindow(display, parent);
            XCloseDisplay(display);
        }
    }

    // The editor's windows inside the host's window.
    std::vector<::Window> children() {
        ::Window root = 0, up = 0, *list = nullptr;
        unsigned count = 0;
        std::vector<::Window> found;
        XSync(display, False);
        if (XQueryTree(display, parent, &root, &up, &list, &count)) {
            found.assign(list, list + count);
            if (list) XFree(list);
        }
        return found;
    }

    // Creates, sizes and attaches a view in a fresh host window and serves the run
    // loop until the editor's window shows; returns that window.
    ::Window open(IPlugView*& view) {
        view = plugin->controller().createView("editor");
        if (!view) {
            ADD_FAILURE() << "createView(\"editor\") gave no view";
            return 0;
        }
        EXPECT_EQ(view->isPlatformTypeSupported(kPlatformTypeX11EmbedWindowID), kResultTrue);
        EXPECT_NE(view->isPlatformTypeSupported(kPlatformTypeHWND), kResultTrue);
        ViewRect size{};
        EXPECT_EQ(view->getSize(&size), kResultOk);
        EXPECT_EQ(size.right - size.left, 763);
        EXPECT_EQ(size.bottom - size.top, 494);
        EXPECT_NE(view->canResize(), kResultTrue);
        if (!parent) {
            parent = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0,
                                         static_cast<unsigned>(size.right - size.left),
                                         static_cast<unsigned>(size.bottom - size.top), 0, 0, 0);
            XMapWindow(display, parent);
            XSync(display, False);
        }
        EXPECT_EQ(view->setFrame(&frame), kResultOk);
        const tresult r =
            view->attached(reinterpret_cast<void*>(parent), kPlatformTypeX11EmbedWindowID);
        EXPECT_EQ(r, kResultOk) << resultText(r);
        EXPECT_EQ(frame.runLoop.handlers(), 1u);
        EXPECT_EQ(frame.runLoop.timers(), 1u);
        ::Window shown = 0;
        frame.runLoop.serve(5.0, [&] {
            for (::Window w : children()) {
                XWindowAttributes a{};
                if (XGetWindowAttributes(display, w, &a) && a.map_state == IsViewable) {
                    EXPECT_EQ(a.width, size.right - size.left);
                    EXPECT_EQ(a.height, size.bottom - size.top);
                    shown = w;
                }
            }
            return shown != 0;
        });
        EXPECT_NE(shown, 0u) << "the editor's window did not show";
        // Time to paint and let its opening animations settle.
        frame.runLoop.serve(1.0);
        return shown;
    }

    // Removes and releases the view; nothing of it may stay behind.
    void close(IPlugView*& view) {
        EXPECT_EQ(view->removed(), kResultOk);
        EXPECT_EQ(frame.runLoop.handlers(), 0u) << "an event handler outlived removed()";
        EXPECT_EQ(frame.runLoop.timers(), 0u) << "a timer outlived removed()";
        EXPECT_EQ(view->setFrame(nullptr), kResultOk);
        view->release();
        view = nullptr;
        // The plug-in's own connection may not have reached the server yet.
        bool gone = false;
        for (int i = 0; i < 50 && !(gone = children().empty()); ++i) frame.runLoop.serve(0.02);
        EXPECT_TRUE(gone) << "the editor's window outlived removed()";
        EXPECT_EQ(frame.heldByPlugin(), 0);
        EXPECT_EQ(frame.runLoop.heldByPlugin(), 0);
    }

    std::vector<std::uint8_t> knobPixels(::Window editor) {
        XImage* image = XGetImage(display, editor, kPanLeft, kPanTop, kPanRight - kPanLeft,
                                  kPanBottom - kPanTop, AllPlanes, ZPixmap);
        if (!image) return {};
        std::vector<std::uint8_t> bytes(
            image->data,
            image->data + static_cast<std::size_t>(image->bytes_per_line) * image->height);
        XDestroyImage(image);
        return bytes;
    }

    std::optional<corvid::testing::XvfbServer> server;
    Display* display = nullptr;
    ::Window parent = 0;
    std::unique_ptr<Module> module;
    std::unique_ptr<Plugin> plugin;
    PlugFrame frame;
    ParamID pan = 0;
};

TEST_F(Vst3EditorTest, DraggingThePanKnobEditsPanThroughTheHost) {
    IPlugView* view = nullptr;
    const ::Window editor = open(view);
    ASSERT_NE(editor, 0u);
    EXPECT_NE(std::find(frame.asked.begin(), frame.asked.end(), "IRunLoop"), frame.asked.end());
    EXPECT_GT(frame.runLoop.timerCalls, 0);
    EXPECT_GE(frame.runLoop.timerInterval(), 1u);

    int x = 0, y = 0;
    ::Window unused = 0;
    XTranslateCoordinates(display, editor, DefaultRootWindow(display), kPanX, kPanY, &x, &y,
                          &unused);
    std::vector<Edit>& edits = plugin->handler().edits;
    const std::int64_t fdCallsBefore = frame.runLoop.fdCalls;
    XTestFakeMotionEvent(display, -1, x, y, CurrentTime);
    XTestFakeButtonEvent(display, 1, True, CurrentTime);
    XSync(display, False);
    EXPECT_TRUE(frame.runLoop.serve(3.0, [&] { return !edits.empty(); })) << "no edit began";
    for (int step = 1; step <= 8; ++step) {
        XTestFakeMotionEvent(display, -1, x, y - 5 * step, CurrentTime);
        XSync(display, False);
        frame.runLoop.serve(0.08);
    }
    XTestFakeButtonEvent(display, 1, False, CurrentTime);
    XSync(display, False);
    EXPECT_TRUE(frame.runLoop.serve(3.0, [&] {
        return !edits.empty() && edits.back().kind == Edit::end;
    })) << "the edit did not end";
    EXPECT_GT(frame.runLoop.fdCalls, fdCallsBefore) << "the X connection's handler never ran";

    ASSERT_GE(edits.size(), 3u);
    EXPECT_EQ(edits.front().kind, Edit::begin);
    EXPECT_EQ(edits.back().kind, Edit::end);
    double previous = 0.5;
    for (std::size_t i = 0; i < edits.size(); ++i) {
        EXPECT_EQ(edits[i].id, pan) << "edit " << i;
        if (i == 0 || i + 1 == edits.size()) continue;
        ASSERT_EQ(edits[i].kind, Edit::perform) << "edit " << i;
        // Upward is rightward.
        EXPECT_GT(edits[i].value, previous) << "edit " << i;
        previous = edits[i].value;
    }
    // The parameter holds a float; the edit told the host the value as a double.
    EXPECT_NEAR(plugin->controller().getParamNormalized(pan), previous, 1e-6);
    close(view);
}

TEST_F(Vst3EditorTest, ReopensAndShowsValuesTheHostSets) {
    IPlugView* view = nullptr;
    ASSERT_NE(open(view), 0u);
    close(view);
    const ::Window editor = open(view);
    ASSERT_NE(editor, 0u);
    const std::vector<std::uint8_t> before = knobPixels(editor);
    ASSERT_EQ(plugin->controller().setParamNormalized(pan, 0.95), kResultOk);
    std::vector<std::uint8_t> after;
    EXPECT_TRUE(frame.runLoop.serve(3.0, [&] {
        after = knobPixels(editor);
        return after != before;
    })) << "the pan knob did not move to the host's value";
    EXPECT_TRUE(plugin->handler().edits.empty()) << "a host's change came back as an edit";
    close(view);
    // A view removed without ever being attached, and one dropped straight away.
    view = plugin->controller().createView("editor");
    ASSERT_NE(view, nullptr);
    view->release();
    EXPECT_EQ(plugin->controller().createView("not an editor"), nullptr);
}

} // namespace
