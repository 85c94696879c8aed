// Google Test first: Xlib defines macros (None, Bool) that clash with its names.
#include <gtest/gtest.h>

// The bundle's editor as an LV2 host without lilv or suil sees it: the library
// opened with dlopen, the plug-in and its UI instantiated through the exported
// descriptors, the UI embedded in a window of a private X server and driven with
// XTest, every call back into the host recorded.

#include "spatium/params.h"
#include "tests/window/xvfb.h"

#include <lv2/core/lv2.h>
#include <lv2/instance-access/instance-access.h>
#include <lv2/log/log.h>
#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <dlfcn.h>

#include <algorithm>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace {

const char* const kStereo = "https://spatium.example/plugins/spatium/stereo";
constexpr std::uint32_t kPanPort = spatium::kPan;
constexpr std::uint32_t kControls = spatium::kParameterCount;
constexpr std::uint32_t kPortCount = kControls + 2 + 2 + 1;
constexpr int kEditorWidth = 763;
constexpr int kEditorHeight = 494;
// The pan knob's box in the editor.
constexpr int kPanLeft = 342, kPanTop = 298, kPanRight = 454, kPanBottom = 410;
constexpr int kPanX = (kPanLeft + kPanRight) / 2, kPanY = (kPanTop + kPanBottom) / 2;

// What the UI asked of the host, in order.
struct Call {
    enum Kind { write, touchOn, touchOff } kind;
    std::uint32_t port;
    float value;
};

struct FakeHost {
    std::vector<Call> calls;
    std::vector<std::string> log;
    std::vector<std::pair<int, int>> resizes;
    std::map<std::string, LV2_URID> ids;
    LV2_URID logError = 0;

    std::size_t writesTo(std::uint32_t port) const {
        std::size_t n = 0;
        for (const Call& c : calls) n += c.kind == Call::write && c.port == port;
        return n;
    }
};

LV2_URID mapUri(LV2_URID_Map_Handle handle, const char* uri) {
    auto& ids = static_cast<FakeHost*>(handle)->ids;
    const auto it = ids.find(uri);
    if (it != ids.end()) return it->second;
    const auto id = static_cast<LV2_URID>(ids.size() + 1);
    ids.emplace(uri, id);
    return id;
}

void writePort(LV2UI_Controller controller, std::uint32_t port, std::uint32_t size,
               std::uint32_t protocol, const void* buffer) {
    auto* host = static_cast<FakeHost*>(controller);
    ASSERT_EQ(size, sizeof(float));
    ASSERT_EQ(protocol, 0u);
    host->calls.push_back({Call::write, port, *static_cast<const float*>(buffer)});
}

void touchPort(LV2UI_Feature_Handle handle, std::uint32_t port, bool grabbed) {
    static_cast<FakeHost*>(handle)->calls.push_back(
        {grabbed ? Call::touchOn : Call::touchOff, port, 0.0f});
}

int resizeUi(LV2UI_Feature_Handle handle, int width, int height) {
    static_cast<FakeHost*>(handle)->resizes.emplace_back(width, height);
    return 0;
}

int logVprintf(LV2_Log_Handle handle, LV2_URID type, const char* format, va_list args) {
    auto* host = static_cast<FakeHost*>(handle);
    char text[1024];
    std::vsnprintf(text, sizeof text, format, args);
    if (type == host->logError) host->log.emplace_back(text);
    return 0;
}

int logPrintf(LV2_Log_Handle handle, LV2_URID type, const char* format, ...) {
    va_list args;
    va_start(args, format);
    const int n = logVprintf(handle, type, format, args);
    va_end(args);
    return n;
}

class Lv2UiTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { server = new corvid::testing::XvfbServer(); }
    static void TearDownTestSuite() {
        delete server;
        server = nullptr;
    }

    void SetUp() override {
        if (!server->available()) GTEST_SKIP() << "Xvfb is not available";
        library = dlopen(SPATIUM_LV2_BUNDLE "/spatium.so", RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(library, nullptr) << dlerror();
        auto pluginEntry =
            reinterpret_cast<LV2_Descriptor_Function>(dlsym(library, "lv2_descriptor"));
        auto uiEntry =
            reinterpret_cast<LV2UI_DescriptorFunction>(dlsym(library, "lv2ui_descriptor"));
        ASSERT_NE(pluginEntry, nullptr);
        ASSERT_NE(uiEntry, nullptr);
        for (std::uint32_t i = 0; (plugin = pluginEntry(i)); ++i)
            if (std::string(plugin->URI) == kStereo) break;
        ASSERT_NE(plugin, nullptr);
        uiDescriptor = uiEntry(0);
        ASSERT_NE(uiDescriptor, nullptr);
        EXPECT_EQ(uiEntry(1), nullptr);

        map = {&host, &mapUri};
        host.logError = mapUri(&host, LV2_LOG__Error);
        mapFeature = {LV2_URID__map, &map};
        const LV2_Feature* pluginFeatures[] = {&mapFeature, nullptr};
        instance = plugin->instantiate(plugin, 48000.0, SPATIUM_LV2_BUNDLE, pluginFeatures);
        ASSERT_NE(instance, nullptr);
        ports.assign(kPortCount, 0.0f);
        audio.assign(4, std::vector<float>(256, 0.0f));
        for (std::uint32_t p = 0; p < kControls; ++p) plugin->connect_port(instance, p, &ports[p]);
        for (std::uint32_t c = 0; c < 4; ++c)
            plugin->connect_port(instance, kControls + c, audio[c].data());
        plugin->connect_port(instance, kControls + 4, &ports[kControls + 4]);
        plugin->activate(instance);
        // Zero on every control puts the pan knob in the middle; the others clamp.
        plugin->run(instance, 256);

        display = XOpenDisplay(server->display().c_str());
        ASSERT_NE(display, nullptr);
        int eventBase, errorBase, major, minor;
        ASSERT_TRUE(XTestQueryExtension(display, &eventBase, &errorBase, &major, &minor));
        parent = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, kEditorWidth,
                                     kEditorHeight, 0, 0, 0);
        XMapWindow(display, parent);
        XSync(display, False);
    }

    void TearDown() override {
        if (ui) uiDescriptor->cleanup(ui);
        if (instance) plugin->cleanup(instance);
        if (display) {
            if (parent) XDestroyWindow(display, parent);
            XCloseDisplay(display);
        }
        if (library) dlclose(library);
    }

    struct Features {
        LV2_Feature parent, instance, touch, resize, log, map;
        LV2UI_Touch touchData;
        LV2UI_Resize resizeData;
        LV2_Log_Log logData;
        std::vector<const LV2_Feature*> list;
    };

    // Every feature a full host offers, less those named in without.
    const LV2_Feature* const* features(const std::vector<std::string>& without = {}) {
        f.touchData = {&host, &touchPort};
        f.resizeData = {&host, &resizeUi};
        f.logData = {&host, &logPrintf, &logVprintf};
        f.parent = {LV2_UI__parent, reinterpret_cast<void*>(static_cast<std::uintptr_t>(parent))};
        f.instance = {LV2_INSTANCE_ACCESS_URI, instance};
        f.touch = {LV2_UI__touch, &f.touchData};
        f.resize = {LV2_UI__resize, &f.resizeData};
        f.log = {LV2_LOG__log, &f.logData};
        f.map = {LV2_URID__map, &map};
        f.list.clear();
        for (const LV2_Feature* feature :
             {&f.parent, &f.instance, &f.touch, &f.resize, &f.log, &f.map})
            if (std::find(without.begin(), without.end(), feature->URI) == without.end())
                f.list.push_back(feature);
        f.list.push_back(nullptr);
        return f.list.data();
    }

    LV2UI_Handle instantiateUi(const LV2_Feature* const* list, ::Window* window = nullptr) {
        LV2UI_Widget widget = nullptr;
        LV2UI_Handle handle = uiDescriptor->instantiate(uiDescriptor, kStereo, SPATIUM_LV2_BUNDLE,
                                                        &writePort, &host, &widget, list);
        if (handle && window)
            *window = static_cast<::Window>(reinterpret_cast<std::uintptr_t>(widget));
        return handle;
    }

    int idle(LV2UI_Handle handle) {
        const auto* iface = static_cast<const LV2UI_Idle_Interface*>(
            uiDescriptor->extension_data(LV2_UI__idleInterface));
        return iface->idle(handle);
    }

    // Calls idle as a host's timer would until done() or a few seconds passed.
    bool idleUntil(LV2UI_Handle handle, const std::function<bool()>& done) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (!done()) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            idle(handle);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return true;
    }

    // Pixels of a box of the editor window, as the X server has them.
    std::vector<unsigned long> grab(::Window window, int left, int top, int right, int bottom) {
        XImage* image = XGetImage(display, window, left, top, static_cast<unsigned>(right - left),
                                  static_cast<unsigned>(bottom - top), AllPlanes, ZPixmap);
        std::vector<unsigned long> pixels;
        if (!image) return pixels;
        for (int y = 0; y < bottom - top; ++y)
            for (int x = 0; x < right - left; ++x) pixels.push_back(XGetPixel(image, x, y));
        XDestroyImage(image);
        return pixels;
    }

    static std::size_t distinct(std::vector<unsigned long> pixels) {
        std::sort(pixels.begin(), pixels.end());
        return static_cast<std::size_t>(std::unique(pixels.begin(), pixels.end()) - pixels.begin());
    }

    std::size_t childCount() {
        ::Window root = 0, up = 0, *children = nullptr;
        unsigned int n = 0;
        XQueryTree(display, parent, &root, &up, &children, &n);
        if (children) XFree(children);
        return n;
    }

    // Waits until the editor painted: the lit panel has far more than a few colours.
    ::Window openPainted() {
        ::Window window = 0;
        ui = instantiateUi(features(), &window);
        EXPECT_NE(ui, nullptr);
        if (!ui) return 0;
        EXPECT_TRUE(idleUntil(ui, [&] {
            return distinct(grab(window, 0, 0, kEditorWidth, kEditorHeight)) > 200;
        })) << "the editor never painted";
        return window;
    }

    static corvid::testing::XvfbServer* server;
    void* library = nullptr;
    const LV2_Descriptor* plugin = nullptr;
    const LV2UI_Descriptor* uiDescriptor = nullptr;
    LV2_Handle instance = nullptr;
    LV2UI_Handle ui = nullptr;
    FakeHost host;
    LV2_URID_Map map{};
    LV2_Feature mapFeature{};
    Features f;
    std::vector<float> ports;
    std::vector<std::vector<float>> audio;
    Display* display = nullptr;
    ::Window parent = 0;
};

corvid::testing::XvfbServer* Lv2UiTest::server = nullptr;

TEST_F(Lv2UiTest, WithoutInstanceAccessTheUiRefusesAndSaysWhyInTheHostLog) {
    EXPECT_EQ(instantiateUi(features({LV2_INSTANCE_ACCESS_URI})), nullptr);
    ASSERT_EQ(host.log.size(), 1u);
    EXPECT_NE(host.log[0].find("instance-access"), std::string::npos) << host.log[0];
    EXPECT_EQ(childCount(), 0u) << "nothing may be left in the host's window";
    EXPECT_TRUE(host.calls.empty());
}

TEST_F(Lv2UiTest, OpensInTheParentAtItsFixedSizeAndPaintsFromIdle) {
    const ::Window window = openPainted();
    ASSERT_NE(window, 0u);
    EXPECT_EQ(childCount(), 1u);
    ASSERT_EQ(host.resizes.size(), 1u);
    EXPECT_EQ(host.resizes[0], std::make_pair(kEditorWidth, kEditorHeight));
    XWindowAttributes attributes{};
    XGetWindowAttributes(display, window, &attributes);
    EXPECT_EQ(attributes.width, kEditorWidth);
    EXPECT_EQ(attributes.height, kEditorHeight);
    EXPECT_EQ(idle(ui), 0);
    EXPECT_TRUE(host.calls.empty()) << "opening is not a gesture";

    // One editor per instance: a second UI would take the first one's window.
    EXPECT_EQ(instantiateUi(features()), nullptr);
    EXPECT_EQ(host.log.size(), 1u);
}

// GTK picks its own visual for the windows it embeds UIs in, often not the
// screen's default; the editor must still open in them.
TEST_F(Lv2UiTest, OpensInAParentOfAnotherVisualThanTheScreens) {
    XVisualInfo wanted{};
    wanted.screen = DefaultScreen(display);
    wanted.depth = DefaultDepth(display, wanted.screen);
    wanted.c_class = TrueColor;
    int count = 0;
    XVisualInfo* visuals = XGetVisualInfo(
        display, VisualScreenMask | VisualDepthMask | VisualClassMask, &wanted, &count);
    Visual* other = nullptr;
    for (int i = 0; i < count && !other; ++i)
        if (visuals[i].visual != DefaultVisual(display, wanted.screen)) other = visuals[i].visual;
    if (!other) {
        if (visuals) XFree(visuals);
        GTEST_SKIP() << "the X server has one true-colour visual only";
    }
    XSetWindowAttributes attributes{};
    attributes.colormap = XCreateColormap(display, DefaultRootWindow(display), other, AllocNone);
    attributes.border_pixel = 0;
    XDestroyWindow(display, parent);
    parent =
        XCreateWindow(display, DefaultRootWindow(display), 0, 0, kEditorWidth, kEditorHeight, 0,
                      wanted.depth, InputOutput, other, CWColormap | CWBorderPixel, &attributes);
    XFree(visuals);
    XMapWindow(display, parent);
    XSync(display, False);
    EXPECT_NE(openPainted(), 0u);
    uiDescriptor->cleanup(ui);
    ui = nullptr;
    XDestroyWindow(display, parent);
    parent = 0;
    XFreeColormap(display, attributes.colormap);
}

TEST_F(Lv2UiTest, DraggingThePanKnobWritesThePanPortBetweenTouches) {
    const ::Window window = openPainted();
    ASSERT_NE(window, 0u);
    XTestFakeMotionEvent(display, -1, kPanX, kPanY, CurrentTime);
    XTestFakeButtonEvent(display, 1, True, CurrentTime);
    XSync(display, False);
    ASSERT_TRUE(idleUntil(ui, [&] { return !host.calls.empty(); })) << "no touch began";
    for (int step = 1; step <= 8; ++step) {
        XTestFakeMotionEvent(display, -1, kPanX, kPanY - 5 * step, CurrentTime);
        XSync(display, False);
        const std::size_t before = host.writesTo(kPanPort);
        idleUntil(ui, [&] { return host.writesTo(kPanPort) > before; });
        // A host passes writes to the audio thread through a queue, so a run may see
        // the value before the latest one; here it always does.
        std::vector<float> written;
        for (const Call& c : host.calls)
            if (c.kind == Call::write) written.push_back(c.value);
        if (written.size() >= 2) ports[kPanPort] = written[written.size() - 2];
        plugin->run(instance, 256);
    }
    XTestFakeButtonEvent(display, 1, False, CurrentTime);
    XSync(display, False);
    ASSERT_TRUE(idleUntil(ui, [&] { return host.calls.back().kind == Call::touchOff; }));

    ASSERT_GE(host.calls.size(), 3u);
    EXPECT_EQ(host.calls.front().kind, Call::touchOn);
    EXPECT_EQ(host.calls.front().port, kPanPort);
    EXPECT_EQ(host.calls.back().port, kPanPort);
    float previous = 0.0f;
    std::size_t writes = 0;
    for (std::size_t i = 1; i + 1 < host.calls.size(); ++i) {
        const Call& c = host.calls[i];
        ASSERT_EQ(c.kind, Call::write) << "call " << i;
        ASSERT_EQ(c.port, kPanPort);
        // Upward is rightward, and the run between moves must not pull the knob back.
        EXPECT_GT(c.value, previous) << "write " << writes;
        previous = c.value;
        ++writes;
    }
    EXPECT_GE(writes, 8u);

    // The echo of the last write, as a host that notifies its UI of every change
    // sends it, is no new gesture.
    host.calls.clear();
    uiDescriptor->port_event(ui, kPanPort, sizeof previous, 0, &previous);
    plugin->run(instance, 256);
    for (int i = 0; i < 10; ++i) idle(ui);
    EXPECT_TRUE(host.calls.empty());
}

TEST_F(Lv2UiTest, HostChangesReachTheKnobWithoutBeingWrittenBack) {
    const ::Window window = openPainted();
    ASSERT_NE(window, 0u);
    const auto knob = [&] { return grab(window, kPanLeft, kPanTop, kPanRight, kPanBottom); };
    const std::vector<unsigned long> centred = knob();

    // Through port_event, as hosts tell a UI of automation or a generic control.
    const float left = -80.0f;
    uiDescriptor->port_event(ui, kPanPort, sizeof left, 0, &left);
    EXPECT_TRUE(idleUntil(ui, [&] { return knob() != centred; })) << "the knob did not turn";
    const std::vector<unsigned long> turnedLeft = knob();

    // Through the port alone: run() takes it and the UI's idle tells the widgets.
    ports[kPanPort] = 80.0f;
    plugin->run(instance, 256);
    EXPECT_TRUE(idleUntil(ui, [&] { return knob() != turnedLeft && knob() != centred; }))
        << "a value the host wrote to the port did not reach the knob";

    // Events the UI does not speak are ignored: another protocol, a wrong size, the
    // latency output, a port past the end.
    const float value = 10.0f;
    uiDescriptor->port_event(ui, kPanPort, sizeof value, 1, &value);
    uiDescriptor->port_event(ui, kPanPort, 2, 0, &value);
    uiDescriptor->port_event(ui, kControls + 4, sizeof value, 0, &value);
    uiDescriptor->port_event(ui, kPortCount + 10, sizeof value, 0, &value);
    for (int i = 0; i < 10; ++i) idle(ui);
    EXPECT_TRUE(host.calls.empty());
}

TEST_F(Lv2UiTest, CleanupRemovesTheWindowAndTheUiOpensAgain) {
    ASSERT_NE(openPainted(), 0u);
    uiDescriptor->cleanup(ui);
    ui = nullptr;
    XSync(display, False);
    EXPECT_EQ(childCount(), 0u);
    ASSERT_NE(openPainted(), 0u);
    EXPECT_EQ(childCount(), 1u);

    // A drag cut short by closing still ends at the host.
    XTestFakeMotionEvent(display, -1, kPanX, kPanY, CurrentTime);
    XTestFakeButtonEvent(display, 1, True, CurrentTime);
    XSync(display, False);
    ASSERT_TRUE(idleUntil(ui, [&] { return !host.calls.empty(); }));
    uiDescriptor->cleanup(ui);
    ui = nullptr;
    XTestFakeButtonEvent(display, 1, False, CurrentTime);
    XSync(display, False);
    ASSERT_EQ(host.calls.size(), 2u);
    EXPECT_EQ(host.calls[0].kind, Call::touchOn);
    EXPECT_EQ(host.calls[1].kind, Call::touchOff);
    EXPECT_EQ(host.calls[1].port, kPanPort);
}

TEST_F(Lv2UiTest, IdleReportsTheEditorGoneWhenTheHostDestroysItsParent) {
    ASSERT_NE(openPainted(), 0u);
    XDestroyWindow(display, parent);
    parent = 0;
    XSync(display, False);
    EXPECT_TRUE(idleUntil(ui, [&] { return idle(ui) != 0; }));
    uiDescriptor->cleanup(ui);
    ui = nullptr;
}

TEST_F(Lv2UiTest, CleanupRightAfterTheParentWentIsSafe) {
    ASSERT_NE(openPainted(), 0u);
    XDestroyWindow(display, parent);
    parent = 0;
    XSync(display, False);
    uiDescriptor->cleanup(ui);
    ui = nullptr;
}

} // namespace
