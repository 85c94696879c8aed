// guidemo: opens a window with lit demo elements, or renders them headless.
//
//   guidemo                        window until closed
//   guidemo --seconds 5            window for five seconds
//   guidemo --capture out.png      also save what reached the window at the end
//   guidemo --screenshot out.png   no display: render and save a PNG

#include "demo.h"
#include "tools/pngwrite/pngwrite.h"

#include "corvid/core/error.h"
#include "corvid/window/headlesswindow.h"

#ifndef _WIN32
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#endif

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

int usage() {
    std::fprintf(stderr,
                 "usage: guidemo [--screenshot FILE.png] [--seconds S] [--capture FILE.png]\n");
    return 2;
}

int renderHeadless(const std::string& path) {
    guidemo::DemoEditor editor;
    corvid::HeadlessWindow& window = editor.openHeadlessEditor(corvid::PixelFormat::RGBA8);
    // A few timer ticks, so the lamps are caught part-way through their pulse.
    for (int i = 0; i < 20; ++i) window.pumpEvents();
    if (!tools::writePng(path, window.screen())) {
        std::fprintf(stderr, "guidemo: cannot write %s\n", path.c_str());
        return 1;
    }
    return 0;
}

#ifndef _WIN32
// Reads the window's pixels back from the X server, as a screenshot tool would.
bool captureWindow(void* handle, const std::string& path) {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) return false;
    const auto window = static_cast<::Window>(reinterpret_cast<std::uintptr_t>(handle));
    XWindowAttributes attributes;
    XGetWindowAttributes(display, window, &attributes);
    XImage* shot = XGetImage(display, window, 0, 0, static_cast<unsigned>(attributes.width),
                             static_cast<unsigned>(attributes.height), AllPlanes, ZPixmap);
    bool ok = false;
    if (shot != nullptr) {
        corvid::OwnedImage<corvid::RGBA> image(attributes.width, attributes.height);
        for (int y = 0; y < attributes.height; ++y)
            for (int x = 0; x < attributes.width; ++x) {
                const unsigned long p = XGetPixel(shot, x, y);
                image.pixelAt(x, y) = {static_cast<std::uint8_t>((p & shot->red_mask) >> 16),
                                       static_cast<std::uint8_t>((p & shot->green_mask) >> 8),
                                       static_cast<std::uint8_t>(p & shot->blue_mask), 255};
            }
        XDestroyImage(shot);
        ok = tools::writePng(path, image);
    }
    XCloseDisplay(display);
    return ok;
}
#endif

int runWindow(double seconds, const std::string& capturePath) {
    guidemo::DemoEditor editor;
    void* handle = editor.openEditor(nullptr, nullptr, corvid::DawKind::standalone, 0);
    corvid::IWindow* window = editor.getWindow();
    if (window == nullptr) return 1;
    const auto start = std::chrono::steady_clock::now();
    while (!window->isClosed()) {
        window->pumpEvents();
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        if (seconds > 0.0 && elapsed.count() >= seconds) break;
    }
    int status = 0;
#ifndef _WIN32
    if (!capturePath.empty() && !captureWindow(handle, capturePath)) {
        std::fprintf(stderr, "guidemo: cannot capture the window into %s\n", capturePath.c_str());
        status = 1;
    }
#else
    (void)handle;
    (void)capturePath;
#endif
    editor.closeEditor();
    return status;
}

} // namespace

int main(int argc, char** argv) {
    std::string screenshot, capture;
    double seconds = 0.0;
    for (int i = 1; i < argc; ++i) {
        const bool hasValue = i + 1 < argc;
        if (std::strcmp(argv[i], "--screenshot") == 0 && hasValue)
            screenshot = argv[++i];
        else if (std::strcmp(argv[i], "--capture") == 0 && hasValue)
            capture = argv[++i];
        else if (std::strcmp(argv[i], "--seconds") == 0 && hasValue)
            seconds = std::atof(argv[++i]);
        else
            return usage();
    }
    if (!screenshot.empty()) return renderHeadless(screenshot);
#ifdef _WIN32
    // Refused before the window opens, so nobody waits for a file that never comes.
    if (!capture.empty()) {
        std::fprintf(stderr, "guidemo: --capture is not available on Windows; use --screenshot\n");
        return 2;
    }
#endif
    return runWindow(seconds, capture);
}
