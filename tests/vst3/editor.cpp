#include "tests/vst3/editor.h"

#include <algorithm>
#include <cstring>
#include <string>

#if !defined(_WIN32)
#include <cerrno>
#include <poll.h>
#endif

namespace vst3host {

#if !defined(_WIN32)
tresult RunLoop::queryInterface(const char* iid, void** object) {
    if (!object) return kInvalidArgument;
    if (sameUid(iid, kFUnknownIid) || sameUid(iid, kIRunLoopIid)) {
        addRef();
        *object = static_cast<IRunLoop*>(this);
        return kResultOk;
    }
    *object = nullptr;
    return kNoInterface;
}

tresult RunLoop::registerEventHandler(IEventHandler* handler, int fd) {
    if (!handler || fd < 0) return kInvalidArgument;
    handlers_.push_back({handler, fd});
    return kResultOk;
}

tresult RunLoop::unregisterEventHandler(IEventHandler* handler) {
    const auto before = handlers_.size();
    std::erase_if(handlers_, [handler](const Handler& h) { return h.handler == handler; });
    return handlers_.size() < before ? kResultOk : kInvalidArgument;
}

tresult RunLoop::registerTimer(ITimerHandler* handler, std::uint64_t milliseconds) {
    if (!handler) return kInvalidArgument;
    timers_.push_back({handler, milliseconds,
                       std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds)});
    return kResultOk;
}

tresult RunLoop::unregisterTimer(ITimerHandler* handler) {
    const auto before = timers_.size();
    std::erase_if(timers_, [handler](const Timer& t) { return t.handler == handler; });
    return timers_.size() < before ? kResultOk : kInvalidArgument;
}

bool RunLoop::serve(double seconds, const std::function<bool()>& done) {
    using Clock = std::chrono::steady_clock;
    const auto until = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                          std::chrono::duration<double>(seconds));
    for (;;) {
        if (done && done()) return true;
        const auto now = Clock::now();
        if (now >= until) return false;
        auto wake = until;
        for (const Timer& t : timers_) wake = std::min(wake, t.due);
        const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(wake - now);
        std::vector<pollfd> fds;
        for (const Handler& h : handlers_) fds.push_back({h.fd, POLLIN, 0});
        const int ready =
            poll(fds.data(), fds.size(), static_cast<int>(std::max<std::int64_t>(wait.count(), 0)));
        if (ready < 0 && errno != EINTR) return false;
        // A handler may unregister itself or others while being called.
        for (const pollfd& p : fds) {
            if (!(p.revents & (POLLIN | POLLHUP | POLLERR))) continue;
            for (const Handler& h : std::vector<Handler>(handlers_))
                if (h.fd == p.fd &&
                    std::any_of(handlers_.begin(), handlers_.end(),
                                [&h](const Handler& o) { return o.handler == h.handler; })) {
                    ++fdCalls;
                    h.handler->onFDIsSet(p.fd);
                }
        }
        const auto after = Clock::now();
        for (const Timer& t : std::vector<Timer>(timers_)) {
            if (t.due > after) continue;
            auto it = std::find_if(timers_.begin(), timers_.end(),
                                   [&t](const Timer& o) { return o.handler == t.handler; });
            if (it == timers_.end()) continue;
            it->due = after + std::chrono::milliseconds(std::max<std::uint64_t>(t.interval, 1));
            ++timerCalls;
            t.handler->onTimer();
        }
    }
}
#endif

tresult PlugFrame::queryInterface(const char* iid, void** object) {
    if (!object) return kInvalidArgument;
    *object = nullptr;
    if (sameUid(iid, kFUnknownIid) || sameUid(iid, kIPlugFrameIid)) {
        asked.emplace_back(sameUid(iid, kFUnknownIid) ? "FUnknown" : "IPlugFrame");
        addRef();
        *object = static_cast<IPlugFrame*>(this);
        return kResultOk;
    }
#if !defined(_WIN32)
    if (sameUid(iid, kIRunLoopIid)) {
        asked.emplace_back("IRunLoop");
        return runLoop.queryInterface(iid, object);
    }
#endif
    static const char* const kHex = "0123456789ABCDEF";
    std::string id = "other ";
    for (int i = 0; iid && i < 16; ++i) {
        id += kHex[static_cast<std::uint8_t>(iid[i]) >> 4];
        id += kHex[iid[i] & 15];
    }
    asked.push_back(id);
    return kNoInterface;
}

tresult PlugFrame::resizeView(IPlugView*, ViewRect*) {
    // The editor has one size; asking for another is recorded and refused.
    ++resizeRequests;
    return kResultFalse;
}

} // namespace vst3host
