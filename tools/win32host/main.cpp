// win32host: opens the plug-in's editor as a child of a top-level Win32 window,
// the way a Windows host does, and checks what a user would see.
//
//   win32host --shot FIRST.png --reopened-shot SECOND.png [--drag-seconds S]
//
// 1. Opens the window and the editor, lets it paint and animate, and reads the
//    editor window's pixels back with BitBlt into FIRST.png.
// 2. Prints "ready X Y" with the pan knob's centre in screen coordinates and waits
//    up to S seconds (default 30) for someone to drag it (an XTest drag under Wine),
//    then prints Pan before and after.
// 3. Closes the editor, checks that its window is gone, opens it again and saves
//    SECOND.png.
// Exit status 0 only when every step worked and both pictures show a lit editor.

#include "tools/aaxhost/host.h"
#include "tools/pngwrite/pngwrite.h"
#include "tools/spatium/commands.h"

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <stdexcept>
#include <string>

using namespace spatium::host;

namespace {

// The pan knob's box in the editor (the layout's pan entry).
constexpr int kPanLeft = 342, kPanTop = 298, kPanRight = 454, kPanBottom = 410;
constexpr DWORD kFrameStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

LRESULT CALLBACK frameProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CLOSE) return 0; // the program decides when it ends
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

// Runs the message loop for the given time, as a host's GUI thread does between
// its own work, waking the editor as a host's timer would.
void runMessages(EditorView& view, double seconds) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < until) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        view.idle();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
}

HWND editorWindowOf(HWND frame) {
    return GetWindow(frame, GW_CHILD);
}

// The window's pixels as the screen shows them, read from its device context.
corvid::OwnedImage<corvid::RGBA> capture(HWND window) {
    RECT client;
    GetClientRect(window, &client);
    const int width = client.right, height = client.bottom;
    if (width <= 0 || height <= 0) throw HostError("the editor window has no area");
    HDC source = GetDC(window);
    HDC memory = CreateCompatibleDC(source);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height; // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    const bool ok = bitmap != nullptr && SelectObject(memory, bitmap) != nullptr &&
                    BitBlt(memory, 0, 0, width, height, source, 0, 0, SRCCOPY);
    corvid::OwnedImage<corvid::RGBA> image(width, height);
    if (ok) {
        GdiFlush();
        const auto* bgra = static_cast<const std::uint8_t*>(bits);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const std::uint8_t* p = bgra + (static_cast<std::size_t>(y) * width + x) * 4;
                image.pixelAt(x, y) = {p[2], p[1], p[0], 255};
            }
    }
    DeleteDC(memory);
    if (bitmap) DeleteObject(bitmap);
    ReleaseDC(window, source);
    if (!ok) throw HostError("BitBlt from the editor window failed");
    return image;
}

// A lit editor has its panel's many shades; a window that was never painted is one
// flat colour, and a failed blit is black.
void expectLit(const corvid::OwnedImage<corvid::RGBA>& image, const char* what) {
    std::set<std::uint32_t> colours;
    double luminance = 0.0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const corvid::RGBA p = image.pixelAt(x, y);
            colours.insert(static_cast<std::uint32_t>(p.r) << 16 | p.g << 8 | p.b);
            luminance += 0.2126 * p.r + 0.7152 * p.g + 0.0722 * p.b;
        }
    luminance /= static_cast<double>(image.width()) * image.height();
    std::printf("%s: %d x %d, %zu colours, mean luminance %.1f\n", what, image.width(),
                image.height(), colours.size(), luminance);
    if (colours.size() < 1000 || luminance < 20.0)
        throw HostError(std::string(what) + " does not show a lit editor");
}

void save(const corvid::OwnedImage<corvid::RGBA>& image, const std::string& path) {
    if (!tools::writePng(path, image)) throw HostError("cannot write " + path);
}

int run(const std::string& firstShot, const std::string& secondShot, double dragSeconds) {
    const auto plugin = loadPlugin("");
    Instance instance(*plugin, componentForInputs(plugin->effect(), 2), 48000.0);
    const std::string pan = findParameterID(instance, "Pan");

    WNDCLASSW frameClass{};
    frameClass.lpfnWndProc = frameProc;
    frameClass.hInstance = GetModuleHandleW(nullptr);
    frameClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    frameClass.lpszClassName = L"SpatiumTestHost";
    if (!RegisterClassW(&frameClass)) throw HostError("cannot register the host window class");
    HWND frame = CreateWindowExW(0, frameClass.lpszClassName, L"Spatium", kFrameStyle, 0, 0, 400,
                                 300, nullptr, nullptr, frameClass.hInstance, nullptr);
    if (!frame) throw HostError("cannot create the host window");

    EditorView view(instance);
    // Opens the editor and fits the frame's client area to it, as a host does.
    const auto openEditor = [&] {
        view.open(frame);
        std::int32_t width = 0, height = 0;
        view.size(width, height);
        RECT outer{0, 0, width, height};
        AdjustWindowRectEx(&outer, kFrameStyle, FALSE, 0);
        SetWindowPos(frame, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
                     SWP_NOMOVE | SWP_NOZORDER);
        ShowWindow(frame, SW_SHOW);
        HWND editor = editorWindowOf(frame);
        if (!editor) throw HostError("the editor opened no child window");
        RECT client;
        GetClientRect(editor, &client);
        std::printf("editor %d x %d (reported %d x %d)\n", static_cast<int>(client.right),
                    static_cast<int>(client.bottom), width, height);
        if (client.right != width || client.bottom != height)
            throw HostError("the editor window does not have the editor's size");
        runMessages(view, 1.5);
        return editor;
    };

    HWND editor = openEditor();
    const auto first = capture(editor);
    save(first, firstShot);
    expectLit(first, "first opening");

    POINT centre{(kPanLeft + kPanRight) / 2, (kPanTop + kPanBottom) / 2};
    ClientToScreen(editor, &centre);
    const double before = instance.normalizedValue(pan);
    const std::string beforeText = instance.valueText(pan);
    std::printf("ready %ld %ld\n", static_cast<long>(centre.x), static_cast<long>(centre.y));
    std::fflush(stdout);
    // Waits for the drag to begin, then for it to settle.
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::duration<double>(dragSeconds);
    double last = before;
    auto lastChange = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() < deadline) {
        runMessages(view, 0.05);
        const double now = instance.normalizedValue(pan);
        if (now != last) {
            last = now;
            lastChange = std::chrono::steady_clock::now();
        } else if (last != before &&
                   std::chrono::steady_clock::now() - lastChange > std::chrono::milliseconds(700)) {
            break;
        }
    }
    std::printf("Pan %s -> %s\n", beforeText.c_str(), instance.valueText(pan).c_str());
    if (last == before) throw HostError("dragging the pan knob did not change Pan");

    view.close();
    runMessages(view, 0.2);
    if (IsWindow(editor) || editorWindowOf(frame))
        throw HostError("the editor window outlived closing the editor");
    editor = openEditor();
    const auto second = capture(editor);
    save(second, secondShot);
    expectLit(second, "second opening");
    view.close();
    DestroyWindow(frame);
    UnregisterClassW(frameClass.lpszClassName, frameClass.hInstance);
    return 0;
}

int usage() {
    std::fprintf(
        stderr,
        "usage: win32host --shot FIRST.png --reopened-shot SECOND.png [--drag-seconds S]\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    std::string firstShot, secondShot;
    double dragSeconds = 30.0;
    for (int i = 1; i < argc; ++i) {
        const bool hasValue = i + 1 < argc;
        if (std::strcmp(argv[i], "--shot") == 0 && hasValue)
            firstShot = argv[++i];
        else if (std::strcmp(argv[i], "--reopened-shot") == 0 && hasValue)
            secondShot = argv[++i];
        else if (std::strcmp(argv[i], "--drag-seconds") == 0 && hasValue)
            dragSeconds = std::atof(argv[++i]);
        else
            return usage();
    }
    if (firstShot.empty() || secondShot.empty()) return usage();
    try {
        return run(firstShot, secondShot, dragSeconds);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "win32host: %s\n", e.what());
        return 1;
    }
}
