// Runs under Wine without a display: the window is a message-only one, which
// needs no graphics driver, and the mouse messages are sent straight to it.
#include "corvid/window/win32window.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <vector>

namespace corvid {
// Failures name the button instead of printing its bytes.
void PrintTo(MouseButton b, std::ostream* os) {
    static const char* const kNames[] = {"left", "right", "middle", "x1", "x2"};
    const auto i = static_cast<std::int32_t>(b);
    *os << (i >= 0 && i < 5 ? kNames[i] : "?");
}
} // namespace corvid

using namespace corvid;

namespace {

struct Press {
    bool down;
    MouseButton button;
    bool doubleClick;
    MouseState state;
    std::int32_t x, y;
};

// Keeps the mouse clicks and releases; every other call does nothing.
class ClickLog : public IWindowListener {
public:
    std::vector<Press> presses;

    bool onMouseClick(std::int32_t x, std::int32_t y, MouseButton button, bool isDoubleClick,
                      MouseState state) override {
        presses.push_back({true, button, isDoubleClick, state, x, y});
        return true;
    }
    bool onMouseUp(std::int32_t x, std::int32_t y, MouseButton button, MouseState state) override {
        presses.push_back({false, button, false, state, x, y});
        return true;
    }
    bool onMouseWheel(std::int32_t, std::int32_t, float, float, MouseState) override {
        return false;
    }
    void onMouseMove(std::int32_t, std::int32_t, std::int32_t, std::int32_t, MouseState) override {}
    bool onKeyDown(Key) override { return false; }
    bool onKeyUp(Key) override { return false; }
    void paintWindow(PixelFormat) override {}
    WindowImageView onWindowResized(std::int32_t, std::int32_t) override { return {}; }
    void collectDirtyAreas() override {}
    IntRect dirtyBounds() override { return {}; }
    void onCaptureLost() override {}
    void animateSelf(double, double) override {}
};

struct ButtonMessages {
    const char* name;
    UINT down, doubleClick, up;
    WPARAM held; // the MK_ flag Windows sets while the button is down
    WORD xButton;
    MouseButton expected;
};

const ButtonMessages kButtons[] = {
    {"left", WM_LBUTTONDOWN, WM_LBUTTONDBLCLK, WM_LBUTTONUP, MK_LBUTTON, 0, MouseButton::left},
    {"right", WM_RBUTTONDOWN, WM_RBUTTONDBLCLK, WM_RBUTTONUP, MK_RBUTTON, 0, MouseButton::right},
    {"middle", WM_MBUTTONDOWN, WM_MBUTTONDBLCLK, WM_MBUTTONUP, MK_MBUTTON, 0, MouseButton::middle},
    {"x1", WM_XBUTTONDOWN, WM_XBUTTONDBLCLK, WM_XBUTTONUP, MK_XBUTTON1, XBUTTON1, MouseButton::x1},
    {"x2", WM_XBUTTONDOWN, WM_XBUTTONDBLCLK, WM_XBUTTONUP, MK_XBUTTON2, XBUTTON2, MouseButton::x2},
};

MouseState heldState(MouseButton b) {
    MouseState s;
    s.leftButtonDown = b == MouseButton::left;
    s.rightButtonDown = b == MouseButton::right;
    s.middleButtonDown = b == MouseButton::middle;
    s.x1ButtonDown = b == MouseButton::x1;
    s.x2ButtonDown = b == MouseButton::x2;
    return s;
}

} // namespace

TEST(Win32WindowMouse, EachButtonReachesTheListenerAsItself) {
    ClickLog log;
    Win32Window window(HWND_MESSAGE, &log, 200, 100);
    HWND hwnd = static_cast<HWND>(window.nativeHandle());
    ASSERT_NE(hwnd, nullptr);
    std::int32_t x = 10;
    for (const ButtonMessages& b : kButtons) {
        SCOPED_TRACE(b.name);
        // The listener gets the position of the last move, not the click's own.
        x += 7;
        SendMessageW(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(x, 33));
        log.presses.clear();
        const WPARAM xWord = WPARAM(b.xButton) << 16;
        SendMessageW(hwnd, b.down, b.held | xWord, MAKELPARAM(x + 50, 60));
        SendMessageW(hwnd, b.up, xWord, MAKELPARAM(x + 50, 60));
        SendMessageW(hwnd, b.doubleClick, b.held | xWord, MAKELPARAM(x + 50, 60));
        SendMessageW(hwnd, b.up, xWord, MAKELPARAM(x + 50, 60));
        ASSERT_EQ(log.presses.size(), 4u);
        for (std::size_t i = 0; i < 4; ++i) {
            const Press& p = log.presses[i];
            SCOPED_TRACE(i);
            EXPECT_EQ(p.down, i % 2 == 0);
            EXPECT_EQ(p.button, b.expected);
            EXPECT_EQ(p.doubleClick, i == 2);
            // Down while pressed; Windows reports the released button as up.
            EXPECT_EQ(p.state, p.down ? heldState(b.expected) : MouseState{});
            EXPECT_EQ(p.x, x);
            EXPECT_EQ(p.y, 33);
        }
    }
}
