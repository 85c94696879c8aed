#pragma once
// What a host gives an editor view: the plug frame and, on Linux, the run loop the
// view asks the frame for, served from the host's own loop.

#include "tests/vst3/host.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <vector>

namespace vst3host {

#if !defined(_WIN32)
class RunLoop final : public HostObject<IRunLoop> {
public:
    tresult VST3HOST_API queryInterface(const char* iid, void** object) override;
    tresult VST3HOST_API registerEventHandler(IEventHandler* handler, int fd) override;
    tresult VST3HOST_API unregisterEventHandler(IEventHandler* handler) override;
    tresult VST3HOST_API registerTimer(ITimerHandler* handler, std::uint64_t milliseconds) override;
    tresult VST3HOST_API unregisterTimer(ITimerHandler* handler) override;

    // Waits on the registered descriptors and runs due timers for the given time,
    // or until done() holds; returns done()'s last answer.
    bool serve(double seconds, const std::function<bool()>& done = {});
    std::size_t handlers() const { return handlers_.size(); }
    std::size_t timers() const { return timers_.size(); }
    std::uint64_t timerInterval() const { return timers_.empty() ? 0 : timers_[0].interval; }
    // Calls made to handlers and timers so far.
    std::int64_t fdCalls = 0, timerCalls = 0;

private:
    struct Handler {
        IEventHandler* handler;
        int fd;
    };
    struct Timer {
        ITimerHandler* handler;
        std::uint64_t interval;
        std::chrono::steady_clock::time_point due;
    };
    std::vector<Handler> handlers_;
    std::vector<Timer> timers_;
};
#endif

class PlugFrame final : public HostObject<IPlugFrame> {
public:
    tresult VST3HOST_API queryInterface(const char* iid, void** object) override;
    tresult VST3HOST_API resizeView(IPlugView* view, ViewRect* size) override;

#if !defined(_WIN32)
    RunLoop runLoop;
#endif
    std::int32_t resizeRequests = 0;
    // Which interfaces the view asked the frame for, by name.
    std::vector<std::string> asked;
};

} // namespace vst3host
