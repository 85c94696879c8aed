#pragma once
// Power-of-two ring of single-precision samples with a fractional read. The ring is
// allocated only by resize(); feeding and reading never allocate.

#include "corvid/core/isa.h"

#include <cstdint>
#include <memory>

namespace corvid {

class Delayline {
public:
    // Makes room for at least size + 1 samples and clears the history. If the memory
    // cannot be had the line is left empty (capacity 0) and ready() answers false.
    void resize(int size);

    bool ready() const { return capacity != 0; }

    // frames must not exceed the capacity.
    void feed(const float* samples, int frames);

    // The sample written delay samples before the newest one, interpolated between
    // slots. Clean for 3 <= delay <= capacity - 3: the kernel looks three slots ahead.
    // The plain form of every batched read below.
    float readInterpolated(float delay) const;

    // out[i] = readInterpolated(delays[i]) for i < n, several reads at a time with the
    // same arithmetic, so the results are identical.
    void readBlock(const float* delays, float* out, int n) const {
        readBlockUsing(readIsa, delays, out, n);
    }
    // The same with a given instruction set (which the processor must run).
    void readBlockUsing(Isa isa, const float* delays, float* out, int n) const;

    // readBlock on two lines in one pass, each with its own delays and output: the
    // two streams of reads overlap. The same results as two readBlock calls; the
    // first line's instruction set is used.
    static void readBlockPair(const Delayline& a, const float* delaysA, float* outA,
                              const Delayline& b, const float* delaysB, float* outB, int n) {
        readBlockPairUsing(a.readIsa, a, delaysA, outA, b, delaysB, outB, n);
    }
    static void readBlockPairUsing(Isa isa, const Delayline& a, const float* delaysA, float* outA,
                                   const Delayline& b, const float* delaysB, float* outB, int n);

    std::uint64_t capacity = 0;
    std::unique_ptr<float[]> buffer;
    int newest = 0;
    int mask = 0;
    int requested = 0;
    // Chosen once by resize(), off the audio thread.
    Isa readIsa = Isa::sse2;
};

} // namespace corvid
