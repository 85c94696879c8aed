#pragma once
// The editor as CLAP's gui extension: the client's editor embedded in the host's
// window (x11 on Linux, win32 on Windows), never floating, at its one size. On
// Linux the host drives it: a timer from timer-support and the X connection's
// descriptor through posix-fd-support, both registered while the editor is open
// and released when it is destroyed; each tick also drains what Xlib has already
// queued, which would never wake the descriptor. On Windows the window runs from
// the host's message loop and a timer on it brings the host's values to the widgets.
//
// Main thread only.

#include "corvid/clap/abi.h"
#include "corvid/host/editorsession.h"

namespace corvid::clap {

class Plugin;

inline constexpr std::uint32_t kEditorTimerMs = 15;

class Gui {
public:
    explicit Gui(Plugin& plugin);
    ~Gui();
    Gui(const Gui&) = delete;
    Gui& operator=(const Gui&) = delete;

    // gui, timer-support and posix-fd-support, or null for other IDs.
    static const void* extension(const char* id);

    bool supports(const char* api, bool floating) const;
    bool create(const char* api, bool floating);
    void destroy();
    bool size(std::uint32_t& width, std::uint32_t& height);
    bool setSize(std::uint32_t width, std::uint32_t height);
    bool setParent(const clap_window& window);

    void onTimer(clap_id id);
    void onFd(int fd);
    // The periodic work: the host's values to the widgets, the window's queue.
    void tick();

private:
    bool attachRunLoop();
    void detachRunLoop();
    void close();

    Plugin& plugin_;
    host::EditorSession session_;
    bool created_ = false;
    void* window_ = nullptr;
    const clap_host_timer_support* timers_ = nullptr;
    const clap_host_posix_fd_support* fds_ = nullptr;
    clap_id timer_ = kInvalidId;
    int fd_ = -1;
};

} // namespace corvid::clap
