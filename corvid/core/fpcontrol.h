#pragma once
// Floating-point environment for framework code entered from the host.
//
// Hosts call us with whatever control words they like. The audio and graphics
// code assumes flush-to-zero, denormals-are-zero and masked exceptions, so every
// entry point installs that environment on entry and gives the host's back on exit.

#include <cstdint>

namespace corvid {

// MXCSR: all exceptions masked, round to nearest, flush-to-zero and denormals-are-zero.
inline constexpr std::uint32_t kFrameworkMxcsr = 0x9FFF;
// x87: all exceptions masked, 53-bit precision, round to nearest.
inline constexpr std::uint16_t kFrameworkX87ControlWord = 0x037F;

struct FpEnvironment {
    std::uint32_t mxcsr = 0;
    std::uint16_t x87 = 0;
};

// Reads the calling thread's control words (zeros off x86-64).
FpEnvironment readFpEnvironment();
// Installs the given control words on the calling thread (no-op off x86-64).
void writeFpEnvironment(const FpEnvironment& env);

// Sets the framework environment for the lifetime of the guard and restores the
// previous one when it ends. Not copyable: a guard belongs to one scope on one thread.
class FpEnvironmentGuard {
public:
    FpEnvironmentGuard();
    ~FpEnvironmentGuard();
    FpEnvironmentGuard(const FpEnvironmentGuard&) = delete;
    FpEnvironmentGuard& operator=(const FpEnvironmentGuard&) = delete;

private:
    FpEnvironment saved_;
};

} // namespace corvid
