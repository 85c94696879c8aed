// vst3host: a small VST3 host for checking the Spatium.vst3 bundle from scripts,
// on Linux and as a Windows program under Wine.
//
//   vst3host signal OUT [--channels N] [--rate HZ] [--seconds S]
//   vst3host [--bundle DIR] describe
//   vst3host [--bundle DIR] render IN -o OUT [--block N] [--state FILE]
//            [--set NAME=TEXT]... [--at FRAME NAME=TEXT]... [--cut]
//            [--save-state FILE] [--save-chunk FILE]
//   vst3host [--bundle DIR] check IN [--block N] [--set NAME=TEXT]...
//   vst3host [--bundle DIR] editor [--drag-seconds S]          (Windows)
//
// signal writes the test signal the checks use (default mono, 48000 Hz, 1.5 s).
// render writes what `spatium render IN --no-compensate` writes; --at changes a
// parameter at a frame inside the host blocks (--cut: blocks cut at the frame, the
// change at offset 0). --save-chunk writes the state chunk alone, without what
// the VST3 state carries after it. check runs the state, damaged-state, parameter
// text and automation checks. editor opens the editor in a top-level window,
// prints "ready X Y" with the pan knob's screen position and waits for a drag.
// The bundle defaults to ../vst3/Spatium.vst3 from the program's folder.

#include "tests/vst3/checks.h"
#include "tests/vst3/editor.h"

#include "tools/spatium/chunk.h"
#include "tools/aaxhost/host.h"
#include "tools/aaxhost/paths.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>

#if defined(_WIN32)
#include <windows.h>

#include <chrono>
#include <thread>
#else
#include <unistd.h>
#endif

using namespace vst3host;

namespace {

struct Options {
    std::string bundle, command, input, output, stateIn, stateOut, chunkOut;
    std::int32_t block = kMaxBlock;
    Settings settings;
    std::vector<std::pair<std::int64_t, std::pair<std::string, std::string>>> at;
    bool cut = false;
    double dragSeconds = 30.0;
    std::int32_t channels = 1, rate = 48000;
    double seconds = 1.5;
};

std::string programFolder() {
#if defined(_WIN32)
    wchar_t path[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    return spatium::host::utf8FromPath(std::filesystem::path(std::wstring(path, n)).parent_path());
#else
    std::error_code error;
    return std::filesystem::read_symlink("/proc/self/exe", error).parent_path().string();
#endif
}

std::pair<std::string, std::string> assignment(const std::string& text) {
    const std::size_t eq = text.find('=');
    if (eq == std::string::npos) throw Error("wanted NAME=TEXT, not \"" + text + "\"");
    return {text.substr(0, eq), text.substr(eq + 1)};
}

Options parse(const std::vector<std::string>& args) {
    Options o;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        const auto value = [&]() -> const std::string& {
            if (i + 1 >= args.size()) throw Error(a + " wants a value");
            return args[++i];
        };
        if (a == "--bundle")
            o.bundle = value();
        else if (a == "-o")
            o.output = value();
        else if (a == "--block")
            o.block = std::atoi(value().c_str());
        else if (a == "--state")
            o.stateIn = value();
        else if (a == "--save-state")
            o.stateOut = value();
        else if (a == "--save-chunk")
            o.chunkOut = value();
        else if (a == "--set")
            o.settings.push_back(assignment(value()));
        else if (a == "--at") {
            const std::int64_t frame = std::atoll(value().c_str());
            o.at.emplace_back(frame, assignment(value()));
        } else if (a == "--cut")
            o.cut = true;
        else if (a == "--channels")
            o.channels = std::atoi(value().c_str());
        else if (a == "--rate")
            o.rate = std::atoi(value().c_str());
        else if (a == "--seconds")
            o.seconds = std::atof(value().c_str());
        else if (a == "--drag-seconds")
            o.dragSeconds = std::atof(value().c_str());
        else if (!a.empty() && a[0] == '-')
            throw Error("unknown option " + a);
        else if (o.command.empty())
            o.command = a;
        else if (o.input.empty())
            o.input = a;
        else
            throw Error("unexpected argument " + a);
    }
    if (o.bundle.empty()) o.bundle = programFolder() + "/../vst3/Spatium.vst3";
    if (o.block < 1 || o.block > kMaxBlock) throw Error("--block wants 1 to 1024 frames");
    return o;
}

int describe(Module& module) {
    std::printf("vendor %s, url %s, flags %d\n", module.info().vendor, module.info().url,
                module.info().flags);
    for (const ClassEntry& c : module.classes())
        std::printf("class \"%s\" category \"%s\" sub \"%s\" vendor \"%s\" version \"%s\" sdk "
                    "\"%s\" cardinality %d\n",
                    c.name.c_str(), c.category.c_str(), c.subCategories.c_str(), c.vendor.c_str(),
                    c.version.c_str(), c.sdkVersion.c_str(), c.cardinality);
    Plugin plugin(module, 2, 48000.0, kMaxBlock);
    std::printf("latency %u, tail %u\n", plugin.processor().getLatencySamples(),
                plugin.processor().getTailSamples());
    for (const ParameterInfo& p : plugin.parameters())
        std::printf("%u %s [%s] steps %d default %.6f flags 0x%x: %s\n", p.id,
                    utf8(p.title).c_str(), utf8(p.units).c_str(), p.stepCount,
                    p.defaultNormalizedValue, p.flags,
                    plugin.text(p.id, p.defaultNormalizedValue).c_str());
    return 0;
}

int renderFile(Module& module, const Options& o) {
    if (o.input.empty() || o.output.empty()) throw Error("render wants IN and -o OUT");
    const Audio input = readAudio(o.input);
    Plugin plugin(module, input.channels, input.rate, o.block);
    if (!o.stateIn.empty()) {
        const tresult r = plugin.restore(spatium::host::readFile(o.stateIn));
        if (r != kResultOk) throw Error("setState of " + o.stateIn + ": " + resultText(r));
    }
    apply(plugin, o.settings);
    std::vector<Change> changes;
    for (const auto& [frame, set] : o.at) {
        const ParamID id = plugin.parameter(set.first);
        changes.push_back({frame, id, plugin.valueOf(id, set.second)});
    }
    writeAudio(o.output, render(plugin, input, o.block, changes,
                                o.cut ? Delivery::cutBlocks : Delivery::atOffsets));
    const std::vector<std::uint8_t> state = plugin.state();
    if (!o.stateOut.empty()) spatium::host::writeFileAtomically(o.stateOut, state);
    if (!o.chunkOut.empty()) {
        const std::size_t length = chunkLength(state);
        if (length == 0) throw Error("the state holds no whole chunk");
        spatium::host::writeFileAtomically(
            o.chunkOut, std::vector<std::uint8_t>(state.begin(), state.begin() + length));
    }
    return 0;
}

int check(Module& module, const Options& o) {
    if (o.input.empty()) throw Error("check wants an input file");
    const Audio input = readAudio(o.input);
    int failed = 0;
    const auto report = [&failed](const char* what, const Failures& failures) {
        std::printf("%s: %s\n", what, failures.empty() ? "ok" : "FAILED");
        for (const std::string& f : failures) std::printf("  %s\n", f.c_str());
        failed += failures.empty() ? 0 : 1;
    };
    report("state round trip", checkStateRoundTrip(module, input, o.block, o.settings));
    report("damaged states", checkDamagedStates(module, o.settings));
    report("parameter texts", checkParameterTexts(module));
    report("automation", checkAutomation(module, input, o.block));
    return failed ? 1 : 0;
}

#if defined(_WIN32)
constexpr int kPanX = (342 + 454) / 2, kPanY = (298 + 410) / 2;
constexpr DWORD kFrameStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

LRESULT CALLBACK frameProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CLOSE) return 0;
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

void pump(double seconds) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < until) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
}

// Opens the view in the frame window, sized to it; returns the editor's child.
HWND openView(IPlugView& view, PlugFrame& frame, HWND window) {
    if (view.isPlatformTypeSupported(kPlatformTypeHWND) != kResultTrue)
        throw Error("the view does not support HWND");
    ViewRect size{};
    if (view.getSize(&size) != kResultOk) throw Error("getSize failed");
    if (view.setFrame(&frame) != kResultOk) throw Error("setFrame failed");
    RECT outer{0, 0, size.right - size.left, size.bottom - size.top};
    AdjustWindowRectEx(&outer, kFrameStyle, FALSE, 0);
    SetWindowPos(window, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
                 SWP_NOMOVE | SWP_NOZORDER);
    ShowWindow(window, SW_SHOW);
    if (view.attached(window, kPlatformTypeHWND) != kResultOk) throw Error("attached failed");
    HWND child = GetWindow(window, GW_CHILD);
    if (!child) throw Error("the view made no child window");
    RECT client;
    GetClientRect(child, &client);
    std::printf("editor %ld x %ld (view %d x %d)\n", static_cast<long>(client.right),
                static_cast<long>(client.bottom), size.right - size.left, size.bottom - size.top);
    if (client.right != size.right - size.left || client.bottom != size.bottom - size.top)
        throw Error("the editor window does not have the view's size");
    pump(1.0);
    return child;
}

int editor(Module& module, const Options& o) {
    Plugin plugin(module, 2, 48000.0, 512);
    const ParamID pan = plugin.parameter("Pan");
    WNDCLASSW frameClass{};
    frameClass.lpfnWndProc = frameProc;
    frameClass.hInstance = GetModuleHandleW(nullptr);
    frameClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    frameClass.lpszClassName = L"Vst3TestHost";
    if (!RegisterClassW(&frameClass)) throw Error("cannot register the window class");
    HWND window = CreateWindowExW(0, frameClass.lpszClassName, L"Spatium VST3", kFrameStyle, 0, 0,
                                  400, 300, nullptr, nullptr, frameClass.hInstance, nullptr);
    if (!window) throw Error("cannot create the host window");
    PlugFrame frame;

    IPlugView* view = plugin.controller().createView("editor");
    if (!view) throw Error("createView(\"editor\") gave no view");
    HWND child = openView(*view, frame, window);
    POINT centre{kPanX, kPanY};
    ClientToScreen(child, &centre);
    std::printf("ready %ld %ld\n", static_cast<long>(centre.x), static_cast<long>(centre.y));
    std::fflush(stdout);

    // Waits for the drag's gesture to end.
    std::vector<Edit>& edits = plugin.handler().edits;
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::duration<double>(o.dragSeconds);
    while (std::chrono::steady_clock::now() < deadline &&
           !(edits.size() >= 3 && edits.back().kind == Edit::end))
        pump(0.05);
    int performs = 0;
    bool ordered =
        !edits.empty() && edits.front().kind == Edit::begin && edits.back().kind == Edit::end;
    for (const Edit& e : edits) {
        if (e.id != pan) ordered = false;
        if (e.kind == Edit::perform) ++performs;
    }
    std::printf("edits %zu, performs %d, Pan %s -> %s\n", edits.size(), performs,
                plugin.text(pan, 0.5).c_str(),
                performs ? plugin.text(pan, edits[edits.size() - 2].value).c_str() : "-");
    if (!ordered || performs == 0)
        throw Error("dragging the pan knob did not give begin, perform and end edits of Pan");

    if (view->removed() != kResultOk) throw Error("removed failed");
    view->release();
    pump(0.2);
    if (IsWindow(child) || GetWindow(window, GW_CHILD))
        throw Error("the editor window outlived removed()");
    view = plugin.controller().createView("editor");
    if (!view) throw Error("the second createView gave no view");
    openView(*view, frame, window);
    if (view->removed() != kResultOk) throw Error("the second removed failed");
    view->release();
    pump(0.2);
    if (GetWindow(window, GW_CHILD)) throw Error("the reopened editor outlived removed()");
    if (frame.heldByPlugin() != 0)
        throw Error("the plug-in kept " + std::to_string(frame.heldByPlugin()) +
                    " references to the frame");
    DestroyWindow(window);
    UnregisterClassW(frameClass.lpszClassName, frameClass.hInstance);
    std::printf("editor closed and reopened\n");
    return 0;
}
#endif

int run(const Options& o) {
    if (o.command == "signal") {
        if (o.input.empty()) throw Error("signal wants an output file");
        writeAudio(o.input, testSignal(o.channels, o.rate, o.seconds));
        return 0;
    }
    Module module(o.bundle);
    if (o.command == "describe") return describe(module);
    if (o.command == "render") return renderFile(module, o);
    if (o.command == "check") return check(module, o);
#if defined(_WIN32)
    if (o.command == "editor") return editor(module, o);
#endif
    throw Error("unknown command \"" + o.command + "\"");
}

} // namespace

int main(int argc, char** argv) {
    try {
        return run(parse(spatium::host::utf8Arguments(argc, argv)));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "vst3host: %s\n", e.what());
        return 1;
    }
}
