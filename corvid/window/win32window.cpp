#ifdef _WIN32

#include "corvid/window/win32window.h"

#include "corvid/core/error.h"
#include "corvid/core/fpcontrol.h"

#include <windowsx.h>

#include <cstdio>
#include <random>

namespace corvid {

namespace {

// "corvid_" and a random version-4 UUID: a class name no other window shares.
std::wstring makeClassName() {
    std::random_device device;
    std::mt19937_64 rng((static_cast<std::uint64_t>(device()) << 32) ^ device());
    std::uint64_t hi = rng(), lo = rng();
    hi = (hi & 0xFFFFFFFFFFFF0FFFull) | 0x0000000000004000ull; // version 4
    lo = (lo & 0x3FFFFFFFFFFFFFFFull) | 0x8000000000000000ull; // variant 1
    char text[40];
    std::snprintf(text, sizeof text, "%08x-%04x-%04x-%04x-%012llx", static_cast<unsigned>(hi >> 32),
                  static_cast<unsigned>((hi >> 16) & 0xFFFF), static_cast<unsigned>(hi & 0xFFFF),
                  static_cast<unsigned>(lo >> 48),
                  static_cast<unsigned long long>(lo & 0xFFFFFFFFFFFFull));
    std::wstring name = L"corvid_";
    for (const char* p = text; *p != '\0'; ++p) name.push_back(static_cast<wchar_t>(*p));
    return name;
}

// One notch of a wheel, as Windows counts it.
constexpr float kWheelDeltaPerNotch = WHEEL_DELTA;

} // namespace

HINSTANCE Win32Window::ownModule() {
    HMODULE module = nullptr;
    // Any address inside this module names it; the window procedure is one.
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCWSTR>(&Win32Window::windowProc), &module))
        fatalError("Win32 window: cannot find its own module");
    return module;
}

SIZE Win32Window::outerSizeFor(DWORD style, std::int32_t width, std::int32_t height) {
    RECT frame{0, 0, width, height};
    if (!AdjustWindowRectEx(&frame, style, FALSE, 0)) return {width, height};
    return {frame.right - frame.left, frame.bottom - frame.top};
}

Win32Window::Win32Window(void* parentWindow, IWindowListener* windowListener, std::int32_t width,
                         std::int32_t height)
    : listener(windowListener), className(makeClassName()) {
    module = ownModule();
    // IDC_ARROW is a resource number in the form of either character set; the
    // number is what LoadCursorW needs.
    cursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    windowClass.style = CS_DBLCLKS | CS_OWNDC;
    windowClass.lpfnWndProc = &Win32Window::windowProc;
    windowClass.cbClsExtra = 0;
    windowClass.cbWndExtra = 0;
    windowClass.hInstance = module;
    windowClass.hIcon = nullptr;
    windowClass.hCursor = cursor;
    windowClass.hbrBackground = nullptr;
    windowClass.lpszMenuName = nullptr;
    windowClass.lpszClassName = className.c_str();
    if (RegisterClassW(&windowClass) == 0) fatalError("Win32 window: cannot register the class");

    HWND parent = static_cast<HWND>(parentWindow);
    DWORD style = WS_CHILD | WS_VISIBLE;
    SIZE outer{width, height};
    if (parent == nullptr) {
        // A window of its own: the editor must fill its client area, so the frame
        // and title bar come on top of the editor's size.
        parent = GetDesktopWindow();
        style = kStandaloneStyle;
        outer = outerSizeFor(style, width, height);
    }
    hwnd = CreateWindowExW(0, className.c_str(), nullptr, style, CW_USEDEFAULT, CW_USEDEFAULT,
                           outer.cx, outer.cy, parent, nullptr, module, nullptr);
    if (hwnd == nullptr) fatalError("Win32 window: cannot create the window");

    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    if (listener != nullptr) SetTimer(hwnd, kTimerId, kTimerPeriodMs, nullptr);
    SetFocus(hwnd);
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    performanceFrequency = frequency.QuadPart;
    creationTime = lastTickTime = timeMs();
}

Win32Window::~Win32Window() {
    if (hwnd != nullptr) {
        KillTimer(hwnd, kTimerId);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        DestroyWindow(hwnd);
    }
    UnregisterClassW(className.c_str(), module);
}

void Win32Window::pumpEvents() {
    MSG message;
    const BOOL result = GetMessageW(&message, nullptr, 0, 0);
    if (result == -1) fatalError("Win32 window: GetMessage failed");
    TranslateMessage(&message);
    DispatchMessageW(&message);
}

std::uint32_t Win32Window::timeMs() {
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return static_cast<std::uint32_t>((counter.QuadPart * 1000 + performanceFrequency / 2) /
                                      performanceFrequency);
}

Key Win32Window::mapVirtualKey(WPARAM virtualKey) {
    switch (virtualKey) {
    case VK_SPACE:
        return Key::space;
    case VK_UP:
        return Key::upArrow;
    case VK_DOWN:
        return Key::downArrow;
    case VK_LEFT:
        return Key::leftArrow;
    case VK_RIGHT:
        return Key::rightArrow;
    case VK_RETURN:
        return Key::enter;
    case VK_ESCAPE:
        return Key::escape;
    default:
        break;
    }
    if (virtualKey >= VK_NUMPAD0 && virtualKey <= VK_NUMPAD9)
        return static_cast<Key>(static_cast<std::int32_t>(Key::digit0) +
                                static_cast<std::int32_t>(virtualKey - VK_NUMPAD0));
    return Key::unsupported;
}

MouseState Win32Window::stateFrom(WPARAM wParam) {
    MouseState s;
    s.leftButtonDown = (wParam & MK_LBUTTON) != 0;
    s.rightButtonDown = (wParam & MK_RBUTTON) != 0;
    s.middleButtonDown = (wParam & MK_MBUTTON) != 0;
    s.x1ButtonDown = (wParam & MK_XBUTTON1) != 0;
    s.x2ButtonDown = (wParam & MK_XBUTTON2) != 0;
    s.ctrlPressed = (wParam & MK_CONTROL) != 0;
    s.shiftPressed = (wParam & MK_SHIFT) != 0;
    s.altPressed = (GetAsyncKeyState(VK_MENU) & 0x8000) != 0;
    return s;
}

LRESULT CALLBACK Win32Window::windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<Win32Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self == nullptr) return DefWindowProcW(hwnd, message, wParam, lParam);
    FpEnvironmentGuard fp;
    if (self->listener == nullptr) return DefWindowProcW(hwnd, message, wParam, lParam);
    return self->handleMessage(message, wParam, lParam);
}

void Win32Window::afterEvent() {
    listener->collectDirtyAreas();
    const IntRect bounds = listener->dirtyBounds();
    if (bounds.isEmpty()) return;
    const RECT r{bounds.minX, bounds.minY, bounds.maxX, bounds.maxY};
    InvalidateRect(hwnd, &r, FALSE);
    UpdateWindow(hwnd);
}

void Win32Window::blit() {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(hwnd, &paint);
    const RECT& r = paint.rcPaint;
    if (r.right > r.left && r.bottom > r.top && !windowImage.isEmpty()) {
        BITMAPINFOHEADER header{};
        header.biSize = 40;
        // A DIB row is as long as its width says; the image's pitch is the row.
        header.biWidth = static_cast<LONG>(windowImage.pitch() / 4);
        header.biHeight = -windowImage.height(); // rows top to bottom
        header.biPlanes = 1;
        header.biBitCount = 32;
        header.biCompression = BI_RGB;
        header.biSizeImage = static_cast<DWORD>(windowImage.height() * windowImage.pitch());
        header.biXPelsPerMeter = 72;
        header.biYPelsPerMeter = 72;
        const int height = windowImage.height();
        SetDIBitsToDevice(dc, r.left, r.top, static_cast<DWORD>(r.right - r.left),
                          static_cast<DWORD>(r.bottom - r.top), r.left, height - r.bottom, 0,
                          static_cast<UINT>(height), windowImage.pixels(),
                          reinterpret_cast<const BITMAPINFO*>(&header), DIB_RGB_COLORS);
    }
    EndPaint(hwnd, &paint);
}

LRESULT Win32Window::mouseDown(MouseButton button, bool isDoubleClick, UINT message, WPARAM wParam,
                               LPARAM lParam) {
    SetFocus(hwnd);
    SetCapture(hwnd);
    // The position of the last move, not the message's own.
    if (listener->onMouseClick(lastMouseX, lastMouseY, button, isDoubleClick, stateFrom(wParam))) {
        afterEvent();
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT Win32Window::mouseUp(MouseButton button, UINT message, WPARAM wParam, LPARAM lParam) {
    ReleaseCapture();
    if (listener->onMouseUp(lastMouseX, lastMouseY, button, stateFrom(wParam))) {
        afterEvent();
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT Win32Window::mouseWheel(bool horizontal, UINT message, WPARAM wParam, LPARAM lParam) {
    // Wheel messages carry the pointer in screen coordinates.
    POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    ScreenToClient(hwnd, &at);
    const float notches = GET_WHEEL_DELTA_WPARAM(wParam) / kWheelDeltaPerNotch;
    // Windows counts the vertical wheel positive away from the user and the
    // horizontal one positive to the right, as the listener does.
    const float dx = horizontal ? notches : 0.0f;
    const float dy = horizontal ? 0.0f : notches;
    if (listener->onMouseWheel(at.x, at.y, dx, dy, stateFrom(GET_KEYSTATE_WPARAM(wParam)))) {
        afterEvent();
        return 0;
    }
    // Unhandled: DefWindowProc hands the wheel on to the parent, so a host's
    // scrolling view still scrolls.
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT Win32Window::handleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_GETDLGCODE:
        // Inside a host's dialog the dialog manager would otherwise take arrows,
        // Enter, Escape and Tab for its own navigation before the editor sees them.
        return DLGC_WANTALLKEYS | DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_SETCURSOR:
        // Over the client area the editor's arrow, not whatever the host's parent
        // window would set.
        if (LOWORD(lParam) == HTCLIENT && cursor != nullptr) {
            SetCursor(cursor);
            return TRUE;
        }
        return DefWindowProcW(hwnd, message, wParam, lParam);
    case WM_MOUSEWHEEL:
        return mouseWheel(false, message, wParam, lParam);
    case WM_MOUSEHWHEEL:
        return mouseWheel(true, message, wParam, lParam);
    case WM_NCDESTROY:
        return destroyed(message, wParam, lParam);
    case WM_SIZE:
        clientWidth = LOWORD(lParam);
        clientHeight = HIWORD(lParam);
        return DefWindowProcW(hwnd, message, wParam, lParam);
    case WM_PAINT:
        return paint(message, wParam, lParam);
    case WM_CLOSE:
        // The owner holds this object and frees it; only the native window goes now.
        KillTimer(hwnd, kTimerId);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        DestroyWindow(hwnd);
        hwnd = nullptr;
        closed = true;
        return 0;
    case WM_KEYDOWN:
    case WM_KEYUP:
        return keyMessage(message, wParam, lParam);
    case WM_TIMER:
        if (wParam != kTimerId) return DefWindowProcW(hwnd, message, wParam, lParam);
        tick();
        return 0;
    case WM_MOUSEMOVE:
        mouseMove(wParam, lParam);
        return 0;
    case WM_CAPTURECHANGED:
        listener->onCaptureLost();
        return DefWindowProcW(hwnd, message, wParam, lParam);
    default:
        return mouseButton(message, wParam, lParam);
    }
}

LRESULT Win32Window::mouseButton(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_LBUTTONDOWN:
        return mouseDown(MouseButton::left, false, message, wParam, lParam);
    case WM_LBUTTONDBLCLK:
        return mouseDown(MouseButton::left, true, message, wParam, lParam);
    case WM_RBUTTONDOWN:
        return mouseDown(MouseButton::right, false, message, wParam, lParam);
    case WM_RBUTTONDBLCLK:
        return mouseDown(MouseButton::right, true, message, wParam, lParam);
    case WM_MBUTTONDOWN:
        return mouseDown(MouseButton::middle, false, message, wParam, lParam);
    case WM_MBUTTONDBLCLK:
        return mouseDown(MouseButton::middle, true, message, wParam, lParam);
    case WM_XBUTTONDOWN:
    case WM_XBUTTONDBLCLK:
        return mouseDown(HIWORD(wParam) == 1 ? MouseButton::x1 : MouseButton::x2,
                         message == WM_XBUTTONDBLCLK, message, wParam, lParam);
    case WM_LBUTTONUP:
        return mouseUp(MouseButton::left, message, wParam, lParam);
    case WM_RBUTTONUP:
        return mouseUp(MouseButton::right, message, wParam, lParam);
    case WM_MBUTTONUP:
        return mouseUp(MouseButton::middle, message, wParam, lParam);
    case WM_XBUTTONUP:
        return mouseUp(HIWORD(wParam) == 1 ? MouseButton::x1 : MouseButton::x2, message, wParam,
                       lParam);
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

LRESULT Win32Window::destroyed(UINT message, WPARAM wParam, LPARAM lParam) {
    // The host destroyed its parent window and this one with it: nothing is
    // left to destroy, and no message may reach this object any more.
    HWND gone = hwnd;
    SetWindowLongPtrW(gone, GWLP_USERDATA, 0);
    hwnd = nullptr;
    closed = true;
    return DefWindowProcW(gone, message, wParam, lParam);
}

LRESULT Win32Window::paint(UINT message, WPARAM wParam, LPARAM lParam) {
    RECT update;
    if (!GetUpdateRect(hwnd, &update, FALSE)) return DefWindowProcW(hwnd, message, wParam, lParam);
    RECT client;
    GetClientRect(hwnd, &client);
    const std::int32_t w = client.right - client.left, h = client.bottom - client.top;
    if (w != clientWidth || h != clientHeight || windowImage.isEmpty()) {
        clientWidth = w;
        clientHeight = h;
        windowImage = listener->onWindowResized(w, h);
    }
    listener->paintWindow(PixelFormat::BGRA8);
    blit();
    return 0;
}

LRESULT Win32Window::keyMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    const Key key = mapVirtualKey(wParam);
    const bool handled = message == WM_KEYDOWN ? listener->onKeyDown(key) : listener->onKeyUp(key);
    if (handled) {
        afterEvent();
        return 0;
    }
    // Host shortcuts keep working. A window without a host parent is its own
    // root; sending the key to itself would recurse forever.
    HWND root = GetAncestor(hwnd, GA_ROOT);
    if (root != nullptr && root != hwnd) SendMessageW(root, message, wParam, lParam);
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

void Win32Window::tick() {
    const std::uint32_t now = timeMs();
    listener->animateSelf((now - lastTickTime) * 0.001, (now - creationTime) * 0.001);
    lastTickTime = now;
    afterEvent();
}

void Win32Window::mouseMove(WPARAM wParam, LPARAM lParam) {
    // Signed on both axes: with the mouse captured the pointer can leave the
    // window to the left or top, and those positions are negative.
    const std::int32_t x = GET_X_LPARAM(lParam);
    const std::int32_t y = GET_Y_LPARAM(lParam);
    listener->onMouseMove(x, y, x - lastMouseX, y - lastMouseY, stateFrom(wParam));
    lastMouseX = x;
    lastMouseY = y;
    afterEvent();
}

} // namespace corvid

#endif // _WIN32
