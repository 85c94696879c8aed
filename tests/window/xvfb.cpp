#include "xvfb.h"

#include <X11/Xlib.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace corvid::testing {

namespace {
const char* findXvfb() {
    for (const char* path : {"/usr/bin/Xvfb", "/usr/local/bin/Xvfb"})
        if (access(path, X_OK) == 0) return path;
    return nullptr;
}

bool displayNumberFree(int n) {
    struct stat st;
    const std::string lock = "/tmp/.X" + std::to_string(n) + "-lock";
    const std::string socket = "/tmp/.X11-unix/X" + std::to_string(n);
    return stat(lock.c_str(), &st) != 0 && stat(socket.c_str(), &st) != 0;
}
} // namespace

XvfbServer::XvfbServer() {
    const char* xvfb = findXvfb();
    if (xvfb == nullptr) return;
    // Several test programs may start servers at once; a taken number makes the
    // server exit at once, and the next number is tried.
    for (int n = 90 + static_cast<int>(getpid() % 200); n < 600 && !ready_; n += 7) {
        if (!displayNumberFree(n)) continue;
        display_ = ":" + std::to_string(n);
        pid_ = fork();
        if (pid_ == 0) {
            const int devnull = open("/dev/null", O_WRONLY);
            if (devnull >= 0) {
                dup2(devnull, 1);
                dup2(devnull, 2);
            }
            execl(xvfb, "Xvfb", display_.c_str(), "-screen", "0", "1024x768x24", "-noreset",
                  "-nolisten", "tcp", static_cast<char*>(nullptr));
            _exit(127);
        }
        if (pid_ < 0) return;
        for (int attempt = 0; attempt < 100; ++attempt) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                break;
            }
            if (Display* d = XOpenDisplay(display_.c_str())) {
                XCloseDisplay(d);
                ready_ = true;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        if (!ready_ && pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
            pid_ = -1;
        }
    }
    if (ready_) setenv("DISPLAY", display_.c_str(), 1);
}

XvfbServer::~XvfbServer() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
}

} // namespace corvid::testing
