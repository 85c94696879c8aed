#pragma once
// The native window as the GUI sees it, and the calls a window makes into the GUI.
// Every platform window (and the headless one used by tests) translates its own
// events into the same IWindowListener calls, so the GUI never sees the platform.

#include "corvid/graphics/color.h"
#include "corvid/graphics/rect.h"
#include "corvid/graphics/view.h"

#include <cstdint>
#include <vector>

namespace corvid {

enum class MouseButton : std::int32_t { left = 0, right = 1, middle = 2, x1 = 3, x2 = 4 };

struct MouseState {
    bool leftButtonDown = false;
    bool rightButtonDown = false;
    bool middleButtonDown = false;
    bool x1ButtonDown = false;
    bool x2ButtonDown = false;
    bool ctrlPressed = false;
    bool shiftPressed = false;
    bool altPressed = false;

    friend constexpr bool operator==(const MouseState&, const MouseState&) = default;
};

enum class Key : std::int32_t {
    space = 0,
    upArrow = 1,
    downArrow = 2,
    leftArrow = 3,
    rightArrow = 4,
    digit0 = 5,
    digit1,
    digit2,
    digit3,
    digit4,
    digit5,
    digit6,
    digit7,
    digit8,
    digit9,
    enter = 15,
    escape = 16,
    unsupported = 17,
};

// Byte order of the lit window image, chosen by the window for its blit.
enum class PixelFormat : std::int32_t { BGRA8 = 0, ARGB8 = 1, RGBA8 = 2 };

// Window image: four bytes per pixel in the byte order the window asked for.
using WindowImageView = ImageView<RGBA>;

class IWindowListener {
public:
    virtual ~IWindowListener() = default;

    // Coordinates are window pixels; dx, dy are deltas since the previous move.
    virtual bool onMouseClick(std::int32_t x, std::int32_t y, MouseButton button,
                              bool isDoubleClick, MouseState state) = 0;
    virtual bool onMouseUp(std::int32_t x, std::int32_t y, MouseButton button,
                           MouseState state) = 0;
    // Deltas in wheel notches; positive y is away from the user, positive x right.
    virtual bool onMouseWheel(std::int32_t x, std::int32_t y, float wheelDeltaX, float wheelDeltaY,
                              MouseState state) = 0;
    virtual void onMouseMove(std::int32_t x, std::int32_t y, std::int32_t dx, std::int32_t dy,
                             MouseState state) = 0;
    virtual bool onKeyDown(Key key) = 0;
    virtual bool onKeyUp(Key key) = 0;
    // Renders the pending redraw into the image last returned by onWindowResized.
    virtual void paintWindow(PixelFormat format) = 0;
    // The window's client area changed (or is reported for the first time); the
    // returned view is what the window blits from until the next resize.
    virtual WindowImageView onWindowResized(std::int32_t width, std::int32_t height) = 0;
    // Gathers what changed since the last call; dirtyBounds then tells the window
    // which part of itself to repaint.
    virtual void collectDirtyAreas() = 0;
    virtual IntRect dirtyBounds() = 0;
    // After paintWindow: the parts of the image it changed, disjoint, or null when
    // it cannot tell (then all it was asked to repaint counts as changed).
    virtual const std::vector<IntRect>* changedAreas() { return nullptr; }
    virtual void onCaptureLost() = 0;
    // Animation tick: dt since the previous tick and time since the window opened,
    // both in seconds.
    virtual void animateSelf(double dt, double time) = 0;
};

class IWindow {
public:
    virtual ~IWindow() = default;

    // Handles the window's events; see each window for how long it may block.
    virtual void pumpEvents() = 0;
    virtual bool isClosed() = 0;
    // Handles what is already queued (and a due animation tick) without waiting.
    // A window whose events arrive through the host's own loop does nothing.
    virtual void pumpPendingEvents() {}
    virtual std::uint32_t timeMs() = 0;
    // The platform's handle of the window (HWND, X11 Window id, or a token).
    virtual void* nativeHandle() = 0;
    // A file descriptor that turns readable when events arrive (the X connection),
    // for hosts that watch descriptors in their own loop; -1 when there is none.
    virtual int eventDescriptor() { return -1; }
};

} // namespace corvid
