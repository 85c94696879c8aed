#include "xvfb.h"

#include <X11/Xlib.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace corvid::testing {

namespace {
const char* findXvfb() {
    for (const char* path : {"/usr/bin/Xvfb", "/usr/local/bin/Xvfb"})
        if (access(path, X_OK) == 0) return path;
    return nullptr;
}

// Reads the display number the server writes once it accepts connections, within
// the time given; empty if the server exits or stays silent.
std::string readDisplayNumber(int fd, int milliseconds) {
    std::string number;
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        const int r = poll(&p, 1, milliseconds);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) return {};
        char c = 0;
        const ssize_t n = read(fd, &c, 1);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return {};
        if (c == '\n') return number;
        if (c < '0' || c > '9') return {};
        number += c;
    }
}
} // namespace

XvfbServer::XvfbServer() {
    const char* xvfb = findXvfb();
    if (xvfb == nullptr) return;
    // The server picks a free display number itself and tells it through a pipe
    // once it is ready. Several test programs start servers at once; choosing the
    // number here instead could let two of them meet on one server, and the
    // second would lose its display when the first one's server ends.
    int fds[2];
    if (pipe(fds) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
        close(fds[0]);
        const int devnull = open("/dev/null", O_WRONLY);
        if (devnull >= 0) {
            dup2(devnull, 1);
            dup2(devnull, 2);
        }
        const std::string fd = std::to_string(fds[1]);
        execl(xvfb, "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24", "-noreset",
              "-nolisten", "tcp", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    if (pid_ < 0) {
        close(fds[0]);
        return;
    }
    const std::string number = readDisplayNumber(fds[0], 10000);
    close(fds[0]);
    if (!number.empty()) {
        display_ = ":" + number;
        if (Display* d = XOpenDisplay(display_.c_str())) {
            XCloseDisplay(d);
            ready_ = true;
        }
    }
    if (!ready_) {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
        return;
    }
    setenv("DISPLAY", display_.c_str(), 1);
}

XvfbServer::~XvfbServer() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
}

} // namespace corvid::testing
