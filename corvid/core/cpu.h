#pragma once
// Processor feature detection for run-time dispatch. The baseline is SSE2; wider
// paths are chosen only when the processor and the operating system support them.

namespace corvid {

struct CpuFeatures {
    bool sse41 = false;
    bool avx2 = false;   // AVX2 and FMA-free AVX, with OS support for YMM state
    bool avx512 = false; // AVX-512 F, BW, DQ, VL with OS support for ZMM state
};

// Probed once on first use; safe from any thread.
const CpuFeatures& cpuFeatures();

} // namespace corvid
