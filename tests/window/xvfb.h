#pragma once
// Starts a private Xvfb server, on a display number of the server's own choosing,
// for the duration of a test program, so window tests never touch the developer's
// own display.

#include <string>
#include <sys/types.h>

namespace corvid::testing {

class XvfbServer {
public:
    // Starts the server and points DISPLAY at it. available() is false when the
    // Xvfb program is not installed or does not come up.
    XvfbServer();
    ~XvfbServer();
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    bool available() const { return pid_ > 0 && ready_; }
    const std::string& display() const { return display_; }

private:
    pid_t pid_ = -1;
    bool ready_ = false;
    std::string display_;
};

} // namespace corvid::testing
