#pragma once
// The Windows window: a child of the host's editor window that turns window
// messages into listener calls, ticks the animation every 15 ms and blits the
// window image with SetDIBitsToDevice. Built only for Windows. It uses the
// wide-character window functions throughout, whether or not UNICODE is defined,
// and registers its class under the module that holds this code (the plug-in
// DLL), not under the host executable.

#ifdef _WIN32

#include "corvid/window/window.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstdint>
#include <string>

namespace corvid {

class Win32Window : public IWindow {
public:
    static constexpr UINT_PTR kTimerId = 144;
    static constexpr UINT kTimerPeriodMs = 15;

    // parentWindow is the host's HWND, or null for a window of its own.
    // Registration or creation failures are fatal.
    Win32Window(void* parentWindow, IWindowListener* listener, std::int32_t width,
                std::int32_t height);
    ~Win32Window() override;

    Win32Window(const Win32Window&) = delete;
    Win32Window& operator=(const Win32Window&) = delete;

    // One GetMessage / TranslateMessage / DispatchMessage cycle.
    void pumpEvents() override;
    // True once the native window is gone: after WM_CLOSE of a window of its own,
    // or when the host destroyed the parent and with it this window.
    bool isClosed() override { return closed; }
    std::uint32_t timeMs() override;
    void* nativeHandle() override { return hwnd; }

    static Key mapVirtualKey(WPARAM virtualKey);
    // The module this code was linked into: the plug-in DLL inside a host.
    static HINSTANCE ownModule();
    // Outer size of a window of its own whose client area is width x height.
    static SIZE outerSizeFor(DWORD style, std::int32_t width, std::int32_t height);
    // Style of a window without a host parent: a frame that can be moved and closed.
    static constexpr DWORD kStandaloneStyle =
        WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_VISIBLE;

private:
    static LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // What handleMessage hands on: the button messages, and the messages whose
    // handling takes more than a few lines.
    LRESULT mouseButton(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT destroyed(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT paint(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT keyMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void tick();
    void mouseMove(WPARAM wParam, LPARAM lParam);
    LRESULT mouseDown(MouseButton button, bool isDoubleClick, UINT message, WPARAM wParam,
                      LPARAM lParam);
    LRESULT mouseUp(MouseButton button, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT mouseWheel(bool horizontal, UINT message, WPARAM wParam, LPARAM lParam);
    void afterEvent();
    void blit();
    static MouseState stateFrom(WPARAM wParam);

    HWND hwnd = nullptr;
    HINSTANCE module = nullptr;
    HCURSOR cursor = nullptr;
    WNDCLASSW windowClass{};
    std::int64_t performanceFrequency = 1;
    std::uint32_t creationTime = 0, lastTickTime = 0;
    IWindowListener* listener = nullptr;
    WindowImageView windowImage;
    bool closed = false;
    std::int32_t clientWidth = 0, clientHeight = 0;
    std::int32_t lastMouseX = 0, lastMouseY = 0;
    std::wstring className;
};

} // namespace corvid

#endif // _WIN32
