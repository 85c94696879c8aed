#pragma once
// The framework's two ways of failing: a recoverable exception carrying a fixed
// message (caught at the host boundary), and a fatal stop for conditions the
// program cannot continue from (out of memory, undecodable embedded resources).

#include <stdexcept>
#include <string>

namespace corvid {

class CorvidError : public std::runtime_error {
public:
    explicit CorvidError(const std::string& message) : std::runtime_error(message) {}
};

// Prints "corvid: fatal error: <message>" to stderr and aborts. Every fatal path of
// the framework ends here so there is one place that reports and stops.
[[noreturn]] void fatalError(const char* message);
[[noreturn]] void fatalError(const std::string& message);

} // namespace corvid
