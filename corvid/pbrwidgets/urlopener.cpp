#include "corvid/pbrwidgets/urlopener.h"

#include <mutex>
#include <string>
#include <utility>

#ifdef _WIN32
// windows.h first: shellapi.h builds on its declarations.
#include <windows.h>

#include <shellapi.h>
#else
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace corvid {

namespace {

std::mutex& openerMutex() {
    static std::mutex m;
    return m;
}

UrlOpener& currentOpener() {
    static UrlOpener opener;
    return opener;
}

#ifndef _WIN32
// Searches PATH in the parent: between fork and exec only async-signal-safe calls
// are allowed, and a PATH search allocates.
std::string findInPath(const char* program) {
    const char* path = std::getenv("PATH");
    std::string_view rest =
        path != nullptr && *path != '\0' ? path : "/usr/local/bin:/usr/bin:/bin";
    while (true) {
        const std::size_t colon = rest.find(':');
        std::string dir(rest.substr(0, colon));
        if (dir.empty()) dir = ".";
        std::string candidate = dir + "/" + program;
        if (::access(candidate.c_str(), X_OK) == 0) return candidate;
        if (colon == std::string_view::npos) return {};
        rest.remove_prefix(colon + 1);
    }
}
#endif

} // namespace

bool isOpenableUrl(std::string_view url) {
    if (url.empty() || url.front() == '-') return false;
    for (const char c : url) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) return false;
    }
    return true;
}

void openUrl(std::string_view url) {
    if (!isOpenableUrl(url)) return;
    UrlOpener opener;
    {
        std::lock_guard guard(openerMutex());
        opener = currentOpener();
    }
    // Called outside the lock, so an opener may itself replace the opener.
    if (opener) {
        opener(url);
    } else {
        openUrlWithPlatform(url);
    }
}

UrlOpener setUrlOpener(UrlOpener opener) {
    std::lock_guard guard(openerMutex());
    return std::exchange(currentOpener(), std::move(opener));
}

#ifdef _WIN32

void openUrlWithPlatform(std::string_view url) {
    if (!isOpenableUrl(url)) return;
    const int inLength = static_cast<int>(url.size());
    const int wideLength = ::MultiByteToWideChar(CP_UTF8, 0, url.data(), inLength, nullptr, 0);
    if (wideLength <= 0) return;
    std::wstring wide(static_cast<std::size_t>(wideLength), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, url.data(), inLength, wide.data(), wideLength);
    ::ShellExecuteW(nullptr, L"open", wide.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

#else

void openUrlWithPlatform(std::string_view url) {
    if (!isOpenableUrl(url)) return;
    const std::string program = findInPath("xdg-open");
    if (program.empty()) return;
    const std::string argument(url);
    char* const argv[] = {const_cast<char*>("xdg-open"), const_cast<char*>(argument.c_str()),
                          nullptr};
    long maxFd = ::sysconf(_SC_OPEN_MAX);
    if (maxFd < 0 || maxFd > 65536) maxFd = 65536;

    // Two forks: the intermediate child exits at once and is reaped here, so the
    // handler is adopted by init and never becomes our zombie, and the only wait is
    // for that immediate exit, never for the browser.
    const pid_t child = ::fork();
    if (child < 0) return;
    if (child == 0) {
        ::setsid();
        const pid_t grandchild = ::fork();
        if (grandchild == 0) {
            // The host's files and sockets are not the handler's business.
            for (long fd = 3; fd < maxFd; ++fd) ::close(static_cast<int>(fd));
            ::execv(program.c_str(), argv);
        }
        ::_exit(0);
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
}

#endif

} // namespace corvid
