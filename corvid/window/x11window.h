#pragma once
// The Linux window: an Xlib window inside the host's window (given as an X11
// window id), or a top-level window when there is none. It speaks the same
// listener protocol as the Windows window: 15 ms animation ticks, buttons with
// double clicks, wheel, modifiers and keys mapped to the GUI's vocabulary, the
// pointer kept by the window while a button is down, the dirty area repainted
// right after each handled event, a size change noticed at paint time, and keys
// the GUI does not handle handed on to the parent window.
//
// The window has its own display connection and its own event pump, so a host's
// idle callback or a plain loop can drive it from the GUI thread.

#include "corvid/window/window.h"

#include <cstdint>
#include <memory>

namespace corvid {

class X11Window : public IWindow {
public:
    static constexpr std::uint32_t kTimerPeriodMs = 15;
    // Presses of one button closer than this in time and space make a double click.
    static constexpr std::uint32_t kDoubleClickMs = 500;
    static constexpr std::int32_t kDoubleClickDistance = 4;

    // parentWindow is an X11 Window id cast to a pointer, or null. Null when the
    // display cannot be reached (none, gone, or refusing clients while it resets)
    // or its screen has no visual the GUI can paint: the host gets no editor
    // rather than losing its process.
    static std::unique_ptr<X11Window> open(void* parentWindow, IWindowListener* listener,
                                           std::int32_t width, std::int32_t height);
    ~X11Window() override;

    X11Window(const X11Window&) = delete;
    X11Window& operator=(const X11Window&) = delete;

    // Waits for the next event or the next animation tick, whichever comes first
    // (so at most one timer period), then handles everything that is queued.
    void pumpEvents() override;
    // Handles what is queued and a tick that is due, without waiting.
    void pumpPendingEvents() override;
    // True once a top-level window was closed by the user or the window was
    // destroyed from outside (the parent went away).
    bool isClosed() override;
    // Milliseconds on a monotonic clock.
    std::uint32_t timeMs() override;
    // The X11 Window id as a pointer-sized value.
    void* nativeHandle() override;
    // The display connection's descriptor. Xlib may already have read events off
    // it into its queue, so a host loop must also pump on a timer.
    int eventDescriptor() override;

    // Byte order the window asks the GUI for, from the screen's visual.
    PixelFormat pixelFormat() const;
    int paintCount() const;

    // Key symbol (as XLookupString reports it, so NumLock is honoured) to key.
    static Key mapKeySym(unsigned long keysym);

private:
    X11Window();
    // False, with nothing left open, when the window cannot be made.
    bool create(void* parentWindow, IWindowListener* listener, std::int32_t width,
                std::int32_t height);

    struct Impl;
    std::unique_ptr<Impl> impl;
};

} // namespace corvid
