#pragma once
// The instruction sets the vector kernels are written for, the query for the widest
// one this machine runs, and the one rule for a kernel that lacks a body for a set.
// Every dispatched kernel and every test or benchmark that walks the paths speaks of
// them in these terms.

#include <vector>

namespace corvid {

// In order: each set includes the ones before it. SSE2 is the x86-64 baseline that
// every build assumes; AVX-512 means F, BW, DQ and VL together.
enum class Isa { sse2, avx2, avx512 };

// Whether this processor and its operating system run the set.
bool isaSupported(Isa isa);
// The widest set this processor runs; probed once, safe from any thread.
Isa bestIsa();
// Every set this processor runs, narrowest first, for tests and benchmarks that
// compare the paths.
std::vector<Isa> supportedIsas();
// A short lower-case name ("sse2", "avx2", "avx512") for labels.
const char* isaName(Isa isa);

// The bodies of one kernel, SSE2 always and the wider ones where written. Asked for
// a set it has no body for, a kernel runs its widest body below that set: on an
// AVX-512 machine a kernel written up to AVX2 runs its AVX2 body, and one written
// only for SSE2 runs that. No kernel decides this for itself.
template <class Body>
struct IsaBodies {
    Body sse2;
    Body avx2 = nullptr;
    Body avx512 = nullptr;

    constexpr Body operator[](Isa isa) const {
        if (isa == Isa::avx512 && avx512) return avx512;
        if (isa != Isa::sse2 && avx2) return avx2;
        return sse2;
    }
};

} // namespace corvid
