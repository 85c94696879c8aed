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
    float readInterpolated(float delay) const {
        const float p = (static_cast<float>(newest) - delay) + static_cast<float>(2 * capacity);
        const int e = static_cast<int>(p);
        const float x = p - static_cast<float>(e);
        const float* b = buffer.get();
        const float ym2 = b[(e - 2) & mask];
        const float ym1 = b[(e - 1) & mask];
        const float y0 = b[e & mask];
        const float y1 = b[(e + 1) & mask];
        const float y2 = b[(e + 2) & mask];
        const float y3 = b[(e + 3) & mask];
        float r;
        interpolate(x, ym2, ym1, y0, y1, y2, y3, r);
        return r;
    }

    // out[i] = readInterpolated(delays[i]) for i < n, several reads at a time with the
    // same arithmetic, so the results are identical.
    void readBlock(const float* delays, float* out, int n) const {
        readBlockUsing(readIsa, delays, out, n);
    }
    // The same with a given instruction set (which the processor must run).
    void readBlockUsing(Isa isa, const float* delays, float* out, int n) const;

    // The polynomial on its own; T is float or a vector of floats, so batched reads use
    // the very same operations in the same order. Vectors travel by reference so that
    // wide ones never cross a call in registers of a width the caller may lack.
    template <class T>
    [[gnu::always_inline]] static void interpolate(const T& x, const T& ym2, const T& ym1,
                                                   const T& y0, const T& y1, const T& y2,
                                                   const T& y3, T& out) {
        const T c1 = 2.0f * (ym2 - y2) + 16.0f * (y1 - ym1);
        const T c2 = 16.0f * (ym1 + y1) - ym2 - 30.0f * y0 - y2;
        const T c3 = 66.0f * y1 - 70.0f * y0 - 33.0f * y2 + 39.0f * ym1 + 7.0f * y3 - 9.0f * ym2;
        const T c4 =
            126.0f * y0 - 124.0f * y1 + 61.0f * y2 - 64.0f * ym1 - 12.0f * y3 + 13.0f * ym2;
        const T c5 = 5.0f * (y3 - ym2) + 50.0f * (y1 - y0) + 25.0f * (ym1 - y2);
        out = y0 + (x * 0.041666668f) * (c1 + x * (c2 + x * (c3 + x * (c4 + x * c5))));
    }

    std::uint64_t capacity = 0;
    std::unique_ptr<float[]> buffer;
    int newest = 0;
    int mask = 0;
    int requested = 0;
    // Chosen once by resize(), off the audio thread.
    Isa readIsa = Isa::sse2;
};

} // namespace corvid
