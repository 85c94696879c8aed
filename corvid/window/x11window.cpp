#include "corvid/window/x11window.h"

#include "corvid/core/error.h"
#include "corvid/core/fpcontrol.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <poll.h>

namespace corvid {

namespace {

std::uint32_t monotonicMs() {
    using namespace std::chrono;
    return static_cast<std::uint32_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

// X numbers the buttons; 4 to 7 are wheel steps, 8 and 9 the side buttons.
bool buttonFromX(unsigned int xButton, MouseButton& button) {
    switch (xButton) {
    case Button1:
        button = MouseButton::left;
        return true;
    case Button2:
        button = MouseButton::middle;
        return true;
    case Button3:
        button = MouseButton::right;
        return true;
    case 8:
        button = MouseButton::x1;
        return true;
    case 9:
        button = MouseButton::x2;
        return true;
    default:
        return false;
    }
}

} // namespace

struct X11Window::Impl {
    Display* display = nullptr;
    ::Window window = 0;
    ::Window parent = 0;
    bool hasParent = false;
    bool alive = false;
    bool closed = false;
    IWindowListener* listener = nullptr;
    Visual* visual = nullptr;
    int depth = 0;
    Colormap colormap = 0; // ours, when the visual is not the screen's default
    GC gc = nullptr;
    Atom wmDeleteWindow = 0;
    PixelFormat format = PixelFormat::BGRA8;

    WindowImageView windowImage;
    XImage* ximage = nullptr;
    std::int32_t clientWidth = 0, clientHeight = 0;
    std::int32_t knownWidth = -1, knownHeight = -1;
    std::int32_t lastX = 0, lastY = 0;
    // Side buttons have no bit in the core protocol's state, so they are tracked.
    bool x1Down = false, x2Down = false;
    bool grabbed = false; // a button is held: the pointer belongs to this window

    std::uint32_t creationMs = 0, lastTickMs = 0, nextTickMs = 0;

    // Double-click detection: the previous press, and whether it completed one.
    unsigned int lastPressButton = 0;
    Time lastPressTime = 0;
    std::int32_t lastPressX = 0, lastPressY = 0;
    bool lastPressWasDouble = false;

    IntRect exposed;
    int paintCount = 0;

    ~Impl() { releaseImage(); }

    void releaseImage() {
        if (ximage != nullptr) {
            ximage->data = nullptr; // the pixels belong to the GUI
            XDestroyImage(ximage);
            ximage = nullptr;
        }
    }

    MouseState stateFrom(unsigned int xState) const {
        MouseState s;
        s.leftButtonDown = (xState & Button1Mask) != 0;
        s.middleButtonDown = (xState & Button2Mask) != 0;
        s.rightButtonDown = (xState & Button3Mask) != 0;
        s.x1ButtonDown = x1Down;
        s.x2ButtonDown = x2Down;
        s.ctrlPressed = (xState & ControlMask) != 0;
        s.shiftPressed = (xState & ShiftMask) != 0;
        s.altPressed = (xState & Mod1Mask) != 0;
        return s;
    }

    static void setButton(MouseState& s, MouseButton b, bool down) {
        switch (b) {
        case MouseButton::left:
            s.leftButtonDown = down;
            break;
        case MouseButton::right:
            s.rightButtonDown = down;
            break;
        case MouseButton::middle:
            s.middleButtonDown = down;
            break;
        case MouseButton::x1:
            s.x1ButtonDown = down;
            break;
        case MouseButton::x2:
            s.x2ButtonDown = down;
            break;
        }
    }

    // Events only collect what they dirtied; the repaint waits until the queue is
    // drained and the timer has ticked, so a burst of motion events and the tick
    // after them make one frame instead of one each.
    void afterEvent() { listener->collectDirtyAreas(); }

    void paintDirty() {
        if (listener == nullptr || !alive) return;
        FpEnvironmentGuard fp;
        const IntRect bounds = listener->dirtyBounds();
        if (!bounds.isEmpty()) paint(bounds, true);
    }

    // An expose shows all it asks for; a repaint of what changed may show less.
    void paint(const IntRect& requested, bool onlyChanged = false) {
        if (!alive) return;
        IntRect area = requested;
        if (clientWidth != knownWidth || clientHeight != knownHeight) {
            // A new size repaints everything, so everything is shown.
            onlyChanged = false;
            area = {0, 0, clientWidth, clientHeight};
            knownWidth = clientWidth;
            knownHeight = clientHeight;
            windowImage = listener->onWindowResized(clientWidth, clientHeight);
            releaseImage();
            if (!windowImage.isEmpty()) {
                ximage = XCreateImage(display, visual, static_cast<unsigned>(depth), ZPixmap, 0,
                                      reinterpret_cast<char*>(windowImage.pixels()),
                                      static_cast<unsigned>(windowImage.width()),
                                      static_cast<unsigned>(windowImage.height()), 32,
                                      static_cast<int>(windowImage.pitch()));
                if (ximage == nullptr) fatalError("X11 window: cannot create the window image");
            }
        }
        listener->paintWindow(format);
        ++paintCount;
        if (ximage == nullptr) return;
        const std::vector<IntRect>* changed = onlyChanged ? listener->changedAreas() : nullptr;
        bool sent = false;
        const auto put = [&](const IntRect& part) {
            const IntRect r = part.intersect(area).intersect(windowImage.bounds());
            if (r.isEmpty()) return;
            XPutImage(display, window, gc, ximage, r.minX, r.minY, r.minX, r.minY,
                      static_cast<unsigned>(r.width()), static_cast<unsigned>(r.height()));
            sent = true;
        };
        // The dirty bounds of two views far apart span most of the window; the
        // server only needs the pixels that changed.
        if (changed != nullptr) {
            for (const IntRect& part : *changed) put(part);
        } else {
            put(area);
        }
        if (sent) XFlush(display);
    }

    void tick() {
        const std::uint32_t now = monotonicMs();
        listener->animateSelf((now - lastTickMs) * 0.001, (now - creationMs) * 0.001);
        lastTickMs = now;
        // Keep the cadence, but never try to catch up on ticks missed while busy.
        nextTickMs += kTimerPeriodMs;
        if (static_cast<std::int32_t>(nextTickMs - now) <= 0) nextTickMs = now + kTimerPeriodMs;
        afterEvent();
    }

    void mouseMove(std::int32_t x, std::int32_t y, const MouseState& state) {
        listener->onMouseMove(x, y, x - lastX, y - lastY, state);
        lastX = x;
        lastY = y;
        afterEvent();
    }

    void buttonPress(const XButtonEvent& e) {
        const MouseState before = stateFrom(e.state);
        // The click is reported where the last move left the pointer; a press
        // somewhere else (no motion seen in between) is first reported as a move.
        if (e.x != lastX || e.y != lastY) mouseMove(e.x, e.y, before);
        if (e.button >= 4 && e.button <= 7) {
            const float dx = e.button == 6 ? -1.0f : e.button == 7 ? 1.0f : 0.0f;
            const float dy = e.button == 4 ? 1.0f : e.button == 5 ? -1.0f : 0.0f;
            if (listener->onMouseWheel(lastX, lastY, dx, dy, before)) afterEvent();
            return;
        }
        MouseButton button;
        if (!buttonFromX(e.button, button)) return;
        if (button == MouseButton::x1) x1Down = true;
        if (button == MouseButton::x2) x2Down = true;
        MouseState state = stateFrom(e.state);
        setButton(state, button, true);

        const bool isDouble = !lastPressWasDouble && e.button == lastPressButton &&
                              e.time - lastPressTime <= kDoubleClickMs &&
                              std::abs(e.x - lastPressX) <= kDoubleClickDistance &&
                              std::abs(e.y - lastPressY) <= kDoubleClickDistance;
        lastPressWasDouble = isDouble;
        lastPressButton = e.button;
        lastPressTime = e.time;
        lastPressX = e.x;
        lastPressY = e.y;

        grabbed = true;
        if (isViewable()) XSetInputFocus(display, window, RevertToParent, CurrentTime);
        if (listener->onMouseClick(lastX, lastY, button, isDouble, state)) afterEvent();
    }

    void buttonRelease(const XButtonEvent& e) {
        MouseButton button;
        if (!buttonFromX(e.button, button)) return; // wheel steps have no release to report
        if (button == MouseButton::x1) x1Down = false;
        if (button == MouseButton::x2) x2Down = false;
        MouseState state = stateFrom(e.state);
        setButton(state, button, false);
        grabbed = state.leftButtonDown || state.rightButtonDown || state.middleButtonDown ||
                  state.x1ButtonDown || state.x2ButtonDown;
        if (listener->onMouseUp(lastX, lastY, button, state)) afterEvent();
    }

    void key(XKeyEvent& e, bool down) {
        KeySym keysym = NoSymbol;
        char text[8];
        XLookupString(&e, text, sizeof text, &keysym, nullptr);
        const Key k = mapKeySym(keysym);
        const bool handled = down ? listener->onKeyDown(k) : listener->onKeyUp(k);
        if (handled) {
            afterEvent();
            return;
        }
        // Host shortcuts keep working when the GUI has no use for the key.
        if (hasParent) {
            XEvent forward;
            forward.xkey = e;
            forward.xkey.window = parent;
            XSendEvent(display, parent, False, down ? KeyPressMask : KeyReleaseMask, &forward);
            XFlush(display);
        }
    }

    bool isViewable() {
        XWindowAttributes attributes;
        return XGetWindowAttributes(display, window, &attributes) != 0 &&
               attributes.map_state == IsViewable;
    }

    // X reports auto-repeat as release + press pairs with one time stamp; the GUI
    // expects repeated presses only, as on Windows.
    bool isAutoRepeatRelease(const XKeyEvent& e) {
        if (XEventsQueued(display, QueuedAfterReading) == 0) return false;
        XEvent next;
        XPeekEvent(display, &next);
        return next.type == KeyPress && next.xkey.time == e.time && next.xkey.keycode == e.keycode;
    }

    void handle(XEvent& ev) {
        if (ev.xany.window != window) return;
        switch (ev.type) {
        case Expose: {
            const IntRect r{ev.xexpose.x, ev.xexpose.y, ev.xexpose.x + ev.xexpose.width,
                            ev.xexpose.y + ev.xexpose.height};
            exposed = exposed.unite(r);
            if (ev.xexpose.count == 0) {
                const IntRect area = exposed;
                exposed = {};
                paint(area);
            }
            break;
        }
        case ConfigureNotify:
            clientWidth = ev.xconfigure.width;
            clientHeight = ev.xconfigure.height;
            break;
        case MotionNotify:
            mouseMove(ev.xmotion.x, ev.xmotion.y, stateFrom(ev.xmotion.state));
            break;
        case ButtonPress:
            buttonPress(ev.xbutton);
            break;
        case ButtonRelease:
            buttonRelease(ev.xbutton);
            break;
        case KeyPress:
            key(ev.xkey, true);
            break;
        case KeyRelease:
            if (!isAutoRepeatRelease(ev.xkey)) key(ev.xkey, false);
            break;
        case EnterNotify:
        case LeaveNotify:
            // Another client took the pointer while a button was held here.
            if (ev.xcrossing.mode == NotifyGrab && grabbed) {
                grabbed = false;
                listener->onCaptureLost();
                afterEvent();
            }
            break;
        case ClientMessage:
            if (static_cast<Atom>(ev.xclient.data.l[0]) == wmDeleteWindow) closed = true;
            break;
        case DestroyNotify:
            alive = false;
            closed = true;
            break;
        default:
            break;
        }
    }

    // Whether events may be waiting, at the cost of one system call: XPending would
    // flush and try a read (several calls), and a host's idle timer asks this
    // dozens of times a second while nothing happens.
    bool eventsMayWait() const {
        if (XEventsQueued(display, QueuedAlready) > 0) return true;
        pollfd fd{ConnectionNumber(display), POLLIN, 0};
        return poll(&fd, 1, 0) != 0;
    }

    void dispatchQueued() {
        if (!eventsMayWait()) return;
        while (XPending(display) > 0) {
            XEvent ev;
            XNextEvent(display, &ev);
            if (listener == nullptr) continue;
            FpEnvironmentGuard fp;
            handle(ev);
        }
        // Handlers may have made requests (the input focus); nothing else sends them.
        XFlush(display);
    }

    void tickIfDue() {
        if (listener == nullptr || !alive) return;
        if (static_cast<std::int32_t>(nextTickMs - monotonicMs()) > 0) return;
        FpEnvironmentGuard fp;
        tick();
    }
};

X11Window::X11Window() : impl(std::make_unique<Impl>()) {}

std::unique_ptr<X11Window> X11Window::open(void* parentWindow, IWindowListener* listener,
                                           std::int32_t width, std::int32_t height) {
    std::unique_ptr<X11Window> window(new X11Window);
    if (!window->create(parentWindow, listener, width, height)) return nullptr;
    return window;
}

bool X11Window::create(void* parentWindow, IWindowListener* listener, std::int32_t width,
                       std::int32_t height) {
    Impl& w = *impl;
    w.listener = listener;
    w.display = XOpenDisplay(nullptr);
    if (w.display == nullptr) return false;
    const int screen = DefaultScreen(w.display);
    w.hasParent = parentWindow != nullptr;
    w.parent = w.hasParent ? static_cast<::Window>(reinterpret_cast<std::uintptr_t>(parentWindow))
                           : RootWindow(w.display, screen);
    w.visual = DefaultVisual(w.display, screen);
    w.depth = DefaultDepth(w.display, screen);
    // A child takes its parent's visual: toolkits often pick another one than the
    // screen's default, and a child of a different visual without its own colour
    // map cannot be created.
    if (w.hasParent) {
        XWindowAttributes parentAttributes{};
        if (XGetWindowAttributes(w.display, w.parent, &parentAttributes) != 0 &&
            parentAttributes.visual != nullptr && parentAttributes.c_class == InputOutput) {
            w.visual = parentAttributes.visual;
            w.depth = parentAttributes.depth;
        }
    }
    bool usable = w.visual->c_class == TrueColor && (w.depth == 24 || w.depth == 32);
    if (usable && w.visual->red_mask == 0xFF0000 && w.visual->green_mask == 0xFF00 &&
        w.visual->blue_mask == 0xFF)
        w.format = PixelFormat::BGRA8;
    else if (usable && w.visual->red_mask == 0xFF && w.visual->green_mask == 0xFF00 &&
             w.visual->blue_mask == 0xFF0000)
        w.format = PixelFormat::RGBA8;
    else
        usable = false;
    if (!usable) {
        XCloseDisplay(w.display);
        w.display = nullptr;
        return false;
    }

    w.clientWidth = std::max(width, 1);
    w.clientHeight = std::max(height, 1);

    XSetWindowAttributes attributes{};
    // No background: the GUI paints every pixel, and clearing first would flicker.
    attributes.background_pixmap = None;
    attributes.bit_gravity = NorthWestGravity;
    attributes.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask |
                            KeyPressMask | KeyReleaseMask | StructureNotifyMask | EnterWindowMask |
                            LeaveWindowMask;
    unsigned long mask = CWBackPixmap | CWBitGravity | CWEventMask;
    if (w.visual != DefaultVisual(w.display, screen)) {
        w.colormap = XCreateColormap(w.display, RootWindow(w.display, screen), w.visual, AllocNone);
        attributes.colormap = w.colormap;
        attributes.border_pixel = 0;
        mask |= CWColormap | CWBorderPixel;
    }
    w.window = XCreateWindow(w.display, w.parent, 0, 0, static_cast<unsigned>(w.clientWidth),
                             static_cast<unsigned>(w.clientHeight), 0, w.depth, InputOutput,
                             w.visual, mask, &attributes);
    if (w.window == 0) {
        if (w.colormap != 0) XFreeColormap(w.display, w.colormap);
        w.colormap = 0;
        XCloseDisplay(w.display);
        w.display = nullptr;
        return false;
    }
    w.alive = true;
    w.gc = XCreateGC(w.display, w.window, 0, nullptr);
    if (!w.hasParent) {
        w.wmDeleteWindow = XInternAtom(w.display, "WM_DELETE_WINDOW", False);
        XSetWMProtocols(w.display, w.window, &w.wmDeleteWindow, 1);
        XStoreName(w.display, w.window, "Corvid");
        // A fixed-size editor: ask the window manager not to offer resizing.
        XSizeHints* hints = XAllocSizeHints();
        if (hints != nullptr) {
            hints->flags = PMinSize | PMaxSize;
            hints->min_width = hints->max_width = w.clientWidth;
            hints->min_height = hints->max_height = w.clientHeight;
            XSetWMNormalHints(w.display, w.window, hints);
            XFree(hints);
        }
    }
    XMapWindow(w.display, w.window);
    XSync(w.display, False);
    if (w.hasParent && w.isViewable())
        XSetInputFocus(w.display, w.window, RevertToParent, CurrentTime);

    w.creationMs = w.lastTickMs = monotonicMs();
    w.nextTickMs = w.creationMs + kTimerPeriodMs;
    return true;
}

X11Window::~X11Window() {
    Impl& w = *impl;
    if (w.display == nullptr) return;
    w.releaseImage();
    if (w.gc != nullptr) XFreeGC(w.display, w.gc);
    if (w.alive) {
        // A host may destroy its parent window (and so this one) before it closes
        // the editor; destroying it again would be an X error, which ends the host.
        // The round trip brings the notice of a destruction the server has done.
        XSync(w.display, False);
        XEvent ev;
        if (XCheckTypedWindowEvent(w.display, w.window, DestroyNotify, &ev)) w.alive = false;
    }
    if (w.alive) XDestroyWindow(w.display, w.window);
    if (w.colormap != 0) XFreeColormap(w.display, w.colormap);
    XCloseDisplay(w.display);
}

void X11Window::pumpEvents() {
    Impl& w = *impl;
    if (XPending(w.display) == 0) {
        int timeout = static_cast<int>(kTimerPeriodMs);
        if (w.listener != nullptr) {
            const auto untilTick = static_cast<std::int32_t>(w.nextTickMs - monotonicMs());
            timeout = std::clamp(untilTick, 0, static_cast<std::int32_t>(kTimerPeriodMs));
        }
        pollfd fd{ConnectionNumber(w.display), POLLIN, 0};
        poll(&fd, 1, timeout);
    }
    pumpPendingEvents();
}

void X11Window::pumpPendingEvents() {
    impl->dispatchQueued();
    impl->tickIfDue();
    impl->paintDirty();
}

bool X11Window::isClosed() {
    return impl->closed;
}

std::uint32_t X11Window::timeMs() {
    return monotonicMs();
}

int X11Window::eventDescriptor() {
    return impl->display ? ConnectionNumber(impl->display) : -1;
}

void* X11Window::nativeHandle() {
    return reinterpret_cast<void*>(static_cast<std::uintptr_t>(impl->window));
}

PixelFormat X11Window::pixelFormat() const {
    return impl->format;
}

int X11Window::paintCount() const {
    return impl->paintCount;
}

Key X11Window::mapKeySym(unsigned long keysym) {
    switch (keysym) {
    case XK_space:
        return Key::space;
    case XK_Up:
        return Key::upArrow;
    case XK_Down:
        return Key::downArrow;
    case XK_Left:
        return Key::leftArrow;
    case XK_Right:
        return Key::rightArrow;
    case XK_Return:
    case XK_KP_Enter:
        return Key::enter;
    case XK_Escape:
        return Key::escape;
    default:
        break;
    }
    if (keysym >= XK_KP_0 && keysym <= XK_KP_9)
        return static_cast<Key>(static_cast<std::int32_t>(Key::digit0) +
                                static_cast<std::int32_t>(keysym - XK_KP_0));
    return Key::unsupported;
}

} // namespace corvid
