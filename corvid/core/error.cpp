#include "corvid/core/error.h"

#include <cstdio>
#include <cstdlib>

namespace corvid {

void fatalError(const char* message) {
    std::fprintf(stderr, "corvid: fatal error: %s\n", message ? message : "(no message)");
    std::fflush(stderr);
    std::abort();
}

void fatalError(const std::string& message) {
    fatalError(message.c_str());
}

} // namespace corvid
