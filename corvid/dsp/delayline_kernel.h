#pragma once
// The delay line's batched fractional read, written once over a lane type of
// corvid/simd and instantiated by one source per instruction set. Like the lane
// headers it has internal linkage only and includes nothing with inline functions of
// external linkage, so the copies built for wider sets never replace the baseline's
// at link time.

#include <cstdint>

namespace corvid::delay_detail {

// What a read needs of the line: the ring, its mask, and where the newest sample is.
struct Ring {
    const float* slots = nullptr;
    std::int32_t mask = 0;
    std::int32_t newest = 0;
    std::uint64_t capacity = 0;
};

using ReadBody = void (*)(const Ring& ring, const float* delays, float* out, int n);

void readSse2(const Ring& ring, const float* delays, float* out, int n);
void readAvx2(const Ring& ring, const float* delays, float* out, int n);
void readAvx512(const Ring& ring, const float* delays, float* out, int n);

using PairBody = void (*)(const Ring& a, const float* delaysA, float* outA, const Ring& b,
                          const float* delaysB, float* outB, int n);

void readPairSse2(const Ring& a, const float* delaysA, float* outA, const Ring& b,
                  const float* delaysB, float* outB, int n);
void readPairAvx2(const Ring& a, const float* delaysA, float* outA, const Ring& b,
                  const float* delaysB, float* outB, int n);
void readPairAvx512(const Ring& a, const float* delaysA, float* outA, const Ring& b,
                    const float* delaysB, float* outB, int n);

namespace {

// The polynomial through six slots around the read position; T is float or a vector
// of floats, so batched and single reads run the very same operations in the same
// order. Vectors travel by reference so that wide ones never cross a call in
// registers of a width the caller may lack.
template <class T>
[[gnu::always_inline]] inline void interpolate(const T& x, const T& ym2, const T& ym1, const T& y0,
                                               const T& y1, const T& y2, const T& y3, T& out) {
    const T c1 = 2.0f * (ym2 - y2) + 16.0f * (y1 - ym1);
    const T c2 = 16.0f * (ym1 + y1) - ym2 - 30.0f * y0 - y2;
    const T c3 = 66.0f * y1 - 70.0f * y0 - 33.0f * y2 + 39.0f * ym1 + 7.0f * y3 - 9.0f * ym2;
    const T c4 = 126.0f * y0 - 124.0f * y1 + 61.0f * y2 - 64.0f * ym1 - 12.0f * y3 + 13.0f * ym2;
    const T c5 = 5.0f * (y3 - ym2) + 50.0f * (y1 - y0) + 25.0f * (ym1 - y2);
    out = y0 + (x * 0.041666668f) * (c1 + x * (c2 + x * (c3 + x * (c4 + x * c5))));
}

// One read, the sample written `delay` samples before the newest one.
inline float readOne(const Ring& ring, float delay) {
    const float p =
        (static_cast<float>(ring.newest) - delay) + static_cast<float>(2 * ring.capacity);
    const int e = static_cast<int>(p);
    const float x = p - static_cast<float>(e);
    const float* b = ring.slots;
    const int m = ring.mask;
    float r;
    interpolate(x, b[(e - 2) & m], b[(e - 1) & m], b[e & m], b[(e + 1) & m], b[(e + 2) & m],
                b[(e + 3) & m], r);
    return r;
}

// L::lanes reads at a time from one ring, lane for lane what readOne does. A steady
// or slowly gliding delay reads consecutive slots, which plain unaligned loads fetch;
// otherwise the six taps are gathered.
template <class L>
struct LaneReader {
    using VF = typename L::VF;
    using VI = typename L::VI;
    static constexpr int W = L::lanes;

    explicit LaneReader(const Ring& r)
        : ring(r), newest(L::splatF(static_cast<float>(r.newest))),
          twice(L::splatF(static_cast<float>(2 * r.capacity))), mask(L::splatI(r.mask)),
          iota(L::iotaI()) {}

    [[gnu::always_inline]] void read(const float* delays, float* out) const {
        const VF p = (newest - (VF)L::load(delays)) + twice;
        const VI e = L::truncate(p);
        const VF x = p - L::toFloat(e);
        const std::int32_t e0 = e[0];
        const std::int32_t base = (e0 - 2) & ring.mask;
        const bool consecutive =
            L::none(e != L::splatI(e0) + iota) && base + W + 5 <= ring.mask + 1;
        VF y[6];
        if (consecutive) {
            for (int j = 0; j < 6; ++j) y[j] = (VF)L::load(ring.slots + base + j);
        } else {
            for (int j = 0; j < 6; ++j)
                y[j] = L::gatherF(ring.slots, (e + L::splatI(j - 2)) & mask);
        }
        VF r;
        interpolate(x, y[0], y[1], y[2], y[3], y[4], y[5], r);
        L::store(out, (VI)r);
    }

    const Ring& ring;
    VF newest, twice;
    VI mask, iota;
};

template <class L>
void readLanes(const Ring& ring, const float* delays, float* out, int n) {
    const LaneReader<L> reader(ring);
    int i = 0;
    for (; i + L::lanes <= n; i += L::lanes) reader.read(delays + i, out + i);
    for (; i < n; ++i) out[i] = readOne(ring, delays[i]);
}

// Two rings in one pass, a vector of each in turn: each read waits on its slot
// positions before it can load, and the other ring's arithmetic fills that wait.
template <class L>
void readPairLanes(const Ring& a, const float* delaysA, float* outA, const Ring& b,
                   const float* delaysB, float* outB, int n) {
    const LaneReader<L> readerA(a), readerB(b);
    int i = 0;
    for (; i + L::lanes <= n; i += L::lanes) {
        readerA.read(delaysA + i, outA + i);
        readerB.read(delaysB + i, outB + i);
    }
    for (; i < n; ++i) {
        outA[i] = readOne(a, delaysA[i]);
        outB[i] = readOne(b, delaysB[i]);
    }
}

} // namespace
} // namespace corvid::delay_detail
