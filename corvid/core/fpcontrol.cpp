#include "corvid/core/fpcontrol.h"

#if defined(__x86_64__) || defined(_M_X64)
#include <xmmintrin.h>
#define CORVID_X86_64 1
#endif

namespace corvid {

FpEnvironment readFpEnvironment() {
    FpEnvironment env;
#if defined(CORVID_X86_64)
    env.mxcsr = _mm_getcsr();
#if defined(__GNUC__)
    std::uint16_t cw = 0;
    __asm__ volatile("fnstcw %0" : "=m"(cw));
    env.x87 = cw;
#endif
#endif
    return env;
}

void writeFpEnvironment(const FpEnvironment& env) {
#if defined(CORVID_X86_64)
    _mm_setcsr(env.mxcsr);
#if defined(__GNUC__)
    std::uint16_t cw = env.x87;
    __asm__ volatile("fldcw %0" : : "m"(cw));
#endif
#else
    (void)env;
#endif
}

FpEnvironmentGuard::FpEnvironmentGuard() : saved_(readFpEnvironment()) {
    writeFpEnvironment({kFrameworkMxcsr, kFrameworkX87ControlWord});
}

FpEnvironmentGuard::~FpEnvironmentGuard() {
    writeFpEnvironment(saved_);
}

} // namespace corvid
