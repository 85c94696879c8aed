#include "corvid/core/cpu.h"

#if defined(__x86_64__) || defined(_M_X64)
#define CORVID_CPU_X86_64 1
#if defined(_MSC_VER) && !defined(__clang__)
#include <immintrin.h>
#include <intrin.h>
#else
#include <cpuid.h>
#include <immintrin.h>
#endif
#endif

namespace corvid {

namespace {

#if defined(CORVID_CPU_X86_64)

struct CpuidRegisters {
    unsigned a = 0, b = 0, c = 0, d = 0;
};

// One cpuid leaf and sub-leaf; false when the processor has no such leaf.
bool cpuid(unsigned leaf, unsigned subleaf, CpuidRegisters& r) {
#if defined(_MSC_VER) && !defined(__clang__)
    int regs[4] = {};
    __cpuid(regs, static_cast<int>(leaf & 0x80000000u));
    if (static_cast<unsigned>(regs[0]) < leaf) return false;
    __cpuidex(regs, static_cast<int>(leaf), static_cast<int>(subleaf));
    r.a = static_cast<unsigned>(regs[0]);
    r.b = static_cast<unsigned>(regs[1]);
    r.c = static_cast<unsigned>(regs[2]);
    r.d = static_cast<unsigned>(regs[3]);
    return true;
#else
    return __get_cpuid_count(leaf, subleaf, &r.a, &r.b, &r.c, &r.d) != 0;
#endif
}

// Which register states the operating system saves on a context switch. Only called
// once cpuid reports OSXSAVE; the build enables the XSAVE instructions for this file.
unsigned long long enabledRegisterStates() {
    return _xgetbv(0);
}

bool bit(unsigned value, int index) {
    return (value >> index & 1u) != 0;
}

#endif

CpuFeatures probe() {
    CpuFeatures f;
#if defined(CORVID_CPU_X86_64)
    CpuidRegisters basic;
    if (!cpuid(1, 0, basic)) return f;
    f.sse41 = bit(basic.c, 19);
    const bool osxsave = bit(basic.c, 27);
    const bool avx = bit(basic.c, 28);
    const unsigned long long xcr0 = osxsave ? enabledRegisterStates() : 0;
    const bool ymmState = (xcr0 & 0x6) == 0x6;   // SSE and AVX state
    const bool zmmState = (xcr0 & 0xE6) == 0xE6; // and the three AVX-512 states
    CpuidRegisters extended;
    if (cpuid(7, 0, extended)) {
        f.avx2 = avx && ymmState && bit(extended.b, 5);
        const bool avx512f = bit(extended.b, 16);
        const bool avx512dq = bit(extended.b, 17);
        const bool avx512bw = bit(extended.b, 30);
        const bool avx512vl = bit(extended.b, 31);
        f.avx512 = f.avx2 && zmmState && avx512f && avx512dq && avx512bw && avx512vl;
    }
#endif
    return f;
}

} // namespace

const CpuFeatures& cpuFeatures() {
    static const CpuFeatures features = probe();
    return features;
}

} // namespace corvid
