#include "corvid/clap/gui.h"

#include "corvid/clap/plugin.h"
#include "corvid/core/fpcontrol.h"
#include "corvid/host/entry.h"

#include <cstdint>
#include <cstring>

#if defined(_WIN32)
#include <windows.h>
#endif

namespace corvid::clap {

namespace {

#if defined(_WIN32)
constexpr const char* kApi = kWindowApiWin32;
constexpr UINT_PTR kTimerId = 0x434C4150; // "CLAP"

void CALLBACK timerProc(HWND window, UINT, UINT_PTR, DWORD) {
    if (auto* gui = reinterpret_cast<Gui*>(GetPropW(window, L"CorvidClapGui"))) gui->tick();
}
#else
constexpr const char* kApi = kWindowApiX11;
#endif

Gui* guiOf(const clap_plugin* p) {
    return Plugin::of(p).gui();
}

bool guiSupported(const clap_plugin* p, const char* api, bool floating) {
    return guiOf(p)->supports(api, floating);
}
bool guiPreferred(const clap_plugin*, const char** api, bool* floating) {
    if (!api || !floating) return false;
    *api = kApi;
    *floating = false;
    return true;
}
bool guiCreate(const clap_plugin* p, const char* api, bool floating) {
    return guiOf(p)->create(api, floating);
}
void guiDestroy(const clap_plugin* p) {
    guiOf(p)->destroy();
}
// The editor draws at one scale.
bool guiSetScale(const clap_plugin*, double) {
    return false;
}
bool guiSize(const clap_plugin* p, std::uint32_t* width, std::uint32_t* height) {
    return width && height && guiOf(p)->size(*width, *height);
}
bool guiCanResize(const clap_plugin*) {
    return false;
}
bool guiResizeHints(const clap_plugin*, clap_gui_resize_hints* hints) {
    if (!hints) return false;
    *hints = clap_gui_resize_hints{};
    return true;
}
bool guiAdjustSize(const clap_plugin* p, std::uint32_t* width, std::uint32_t* height) {
    return width && height && guiOf(p)->size(*width, *height);
}
bool guiSetSize(const clap_plugin* p, std::uint32_t width, std::uint32_t height) {
    return guiOf(p)->setSize(width, height);
}
bool guiSetParent(const clap_plugin* p, const clap_window* window) {
    return window && guiOf(p)->setParent(*window);
}
// Embedded only: there is no window of our own to keep above another.
bool guiSetTransient(const clap_plugin*, const clap_window*) {
    return false;
}
void guiSuggestTitle(const clap_plugin*, const char*) {}
// The editor lives in the host's window, which the host shows and hides.
bool guiShow(const clap_plugin*) {
    return true;
}
bool guiHide(const clap_plugin*) {
    return true;
}
const clap_plugin_gui kGui = {&guiSupported,    &guiPreferred, &guiCreate,    &guiDestroy,
                              &guiSetScale,     &guiSize,      &guiCanResize, &guiResizeHints,
                              &guiAdjustSize,   &guiSetSize,   &guiSetParent, &guiSetTransient,
                              &guiSuggestTitle, &guiShow,      &guiHide};

void timerFired(const clap_plugin* p, clap_id id) {
    guiOf(p)->onTimer(id);
}
const clap_plugin_timer_support kTimerSupport = {&timerFired};

void fdReady(const clap_plugin* p, int fd, std::uint32_t) {
    guiOf(p)->onFd(fd);
}
const clap_plugin_posix_fd_support kFdSupport = {&fdReady};

} // namespace

Gui::Gui(Plugin& plugin) : plugin_(plugin) {}

Gui::~Gui() {
    destroy();
}

const void* Gui::extension(const char* id) {
    if (std::strcmp(id, kExtGui) == 0) return &kGui;
#if !defined(_WIN32)
    if (std::strcmp(id, kExtTimerSupport) == 0) return &kTimerSupport;
    if (std::strcmp(id, kExtPosixFdSupport) == 0) return &kFdSupport;
#endif
    return nullptr;
}

bool Gui::supports(const char* api, bool floating) const {
    return !floating && api && std::strcmp(api, kApi) == 0;
}

bool Gui::create(const char* api, bool floating) {
    if (!supports(api, floating) || created_ || !plugin_.onMainThread()) return false;
#if !defined(_WIN32)
    // Without the host's timer nothing would ever run the window.
    timers_ = plugin_.hostExtension<clap_host_timer_support>(kExtTimerSupport);
    fds_ = plugin_.hostExtension<clap_host_posix_fd_support>(kExtPosixFdSupport);
    if (!timers_ || !timers_->register_timer || !timers_->unregister_timer) return false;
#endif
    created_ = true;
    return true;
}

void Gui::destroy() {
    if (!created_) return;
    close();
    created_ = false;
}

void Gui::close() {
    if (!session_.isOpen() && !window_) return;
    host::EntryScope scope;
    detachRunLoop();
    session_.close();
    window_ = nullptr;
    // A drag cut short by the closing must not leave the host holding a parameter.
    plugin_.gestures().endAll();
}

bool Gui::size(std::uint32_t& width, std::uint32_t& height) {
    if (!created_) return false;
    host::EntryScope scope;
    IGraphics* editor = plugin_.client().ensureEditor();
    if (!editor) return false;
    std::int32_t w = 0;
    std::int32_t h = 0;
    editor->editorSize(&w, &h);
    width = static_cast<std::uint32_t>(w);
    height = static_cast<std::uint32_t>(h);
    return true;
}

bool Gui::setSize(std::uint32_t width, std::uint32_t height) {
    std::uint32_t w = 0;
    std::uint32_t h = 0;
    return size(w, h) && w == width && h == height;
}

bool Gui::setParent(const clap_window& window) {
    if (!created_ || !supports(window.api, false) || !plugin_.onMainThread()) return false;
#if defined(_WIN32)
    void* parent = window.win32;
#else
    void* parent = reinterpret_cast<void*>(static_cast<std::uintptr_t>(window.x11));
#endif
    if (!parent) return false;
    host::EntryScope scope;
    close();
    if (!session_.open(plugin_.client(), parent, DawKind::unknown, &window_)) return false;
    if (!attachRunLoop()) {
        session_.close();
        window_ = nullptr;
        return false;
    }
    // Values the host set before the editor existed have listeners now.
    plugin_.deliverHostValues();
    return true;
}

bool Gui::attachRunLoop() {
#if defined(_WIN32)
    auto* window = static_cast<HWND>(window_);
    SetPropW(window, L"CorvidClapGui", this);
    return SetTimer(window, kTimerId, kEditorTimerMs, &timerProc) != 0;
#else
    if (!timers_->register_timer(plugin_.host(), kEditorTimerMs, &timer_)) {
        timer_ = kInvalidId;
        return false;
    }
    IGraphics* editor = plugin_.client().ensureEditor();
    const int fd = editor ? editor->editorEventDescriptor() : -1;
    // The timer alone keeps the editor running where the host has no descriptors.
    if (fd >= 0 && fds_ && fds_->register_fd && fds_->unregister_fd &&
        fds_->register_fd(plugin_.host(), fd, kFdRead))
        fd_ = fd;
    return true;
#endif
}

void Gui::detachRunLoop() {
#if defined(_WIN32)
    if (window_) {
        KillTimer(static_cast<HWND>(window_), kTimerId);
        RemovePropW(static_cast<HWND>(window_), L"CorvidClapGui");
    }
#else
    if (fd_ >= 0) fds_->unregister_fd(plugin_.host(), fd_);
    if (timer_ != kInvalidId) timers_->unregister_timer(plugin_.host(), timer_);
    fd_ = -1;
    timer_ = kInvalidId;
#endif
}

void Gui::onTimer(clap_id id) {
    if (id == timer_) tick();
}

void Gui::onFd(int fd) {
    if (fd == fd_) tick();
}

void Gui::tick() {
    if (!session_.isOpen()) return;
    FpEnvironmentGuard fpGuard;
    plugin_.deliverHostValues();
    session_.idle();
}

} // namespace corvid::clap
