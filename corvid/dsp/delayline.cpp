#include "corvid/dsp/delayline.h"

#include "corvid/core/compiler.h"
#include "corvid/core/isa.h"

#include <algorithm>
#include <cstring>
#include <immintrin.h>
#include <new>

namespace corvid {

namespace {

// Each kernel does W reads at a time, lane for lane what readInterpolated does. A steady
// or slowly gliding delay reads consecutive slots, which plain unaligned loads fetch;
// otherwise the six taps are gathered.

struct ReadSetup {
    const float* b;
    int mask;
    float newest;
    float twice;

    explicit ReadSetup(const Delayline& line)
        : b(line.buffer.get()), mask(line.mask), newest(static_cast<float>(line.newest)),
          twice(static_cast<float>(2 * line.capacity)) {}
};

void readBaseline(const Delayline& line, const float* delays, float* out, int n) {
    const ReadSetup s(line);
    const __m128 newest = _mm_set1_ps(s.newest);
    const __m128 twice = _mm_set1_ps(s.twice);
    const __m128i iota = _mm_setr_epi32(0, 1, 2, 3);
    int i = 0;
    for (; i + 4 <= n; i += 4) {
        const __m128 p = _mm_add_ps(_mm_sub_ps(newest, _mm_loadu_ps(delays + i)), twice);
        const __m128i e = _mm_cvttps_epi32(p);
        const __m128 x = _mm_sub_ps(p, _mm_cvtepi32_ps(e));
        const int e0 = _mm_cvtsi128_si32(e);
        const int base = (e0 - 2) & s.mask;
        const bool consecutive =
            _mm_movemask_epi8(_mm_cmpeq_epi32(e, _mm_add_epi32(_mm_set1_epi32(e0), iota))) ==
                0xFFFF &&
            base + 4 + 5 <= s.mask + 1;
        __m128 y[6];
        if (consecutive) {
            for (int j = 0; j < 6; ++j) y[j] = _mm_loadu_ps(s.b + base + j);
        } else {
            alignas(16) std::int32_t ei[4];
            _mm_store_si128(reinterpret_cast<__m128i*>(ei), e);
            for (int j = 0; j < 6; ++j)
                y[j] = _mm_setr_ps(s.b[(ei[0] + j - 2) & s.mask], s.b[(ei[1] + j - 2) & s.mask],
                                   s.b[(ei[2] + j - 2) & s.mask], s.b[(ei[3] + j - 2) & s.mask]);
        }
        __m128 r;
        Delayline::interpolate(x, y[0], y[1], y[2], y[3], y[4], y[5], r);
        _mm_storeu_ps(out + i, r);
    }
    for (; i < n; ++i) out[i] = line.readInterpolated(delays[i]);
}

CORVID_TARGET("avx2") void readAvx2(const Delayline& line, const float* delays, float* out, int n) {
    const ReadSetup s(line);
    const __m256 newest = _mm256_set1_ps(s.newest);
    const __m256 twice = _mm256_set1_ps(s.twice);
    const __m256i iota = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
    const __m256i mask = _mm256_set1_epi32(s.mask);
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        const __m256 p = _mm256_add_ps(_mm256_sub_ps(newest, _mm256_loadu_ps(delays + i)), twice);
        const __m256i e = _mm256_cvttps_epi32(p);
        const __m256 x = _mm256_sub_ps(p, _mm256_cvtepi32_ps(e));
        const int e0 = _mm_cvtsi128_si32(_mm256_castsi256_si128(e));
        const int base = (e0 - 2) & s.mask;
        const bool consecutive = _mm256_movemask_epi8(_mm256_cmpeq_epi32(
                                     e, _mm256_add_epi32(_mm256_set1_epi32(e0), iota))) == -1 &&
                                 base + 8 + 5 <= s.mask + 1;
        __m256 y[6];
        if (consecutive) {
            for (int j = 0; j < 6; ++j) y[j] = _mm256_loadu_ps(s.b + base + j);
        } else {
            for (int j = 0; j < 6; ++j)
                y[j] = _mm256_i32gather_ps(
                    s.b, _mm256_and_si256(_mm256_add_epi32(e, _mm256_set1_epi32(j - 2)), mask), 4);
        }
        __m256 r;
        Delayline::interpolate(x, y[0], y[1], y[2], y[3], y[4], y[5], r);
        _mm256_storeu_ps(out + i, r);
    }
    for (; i < n; ++i) out[i] = line.readInterpolated(delays[i]);
}

// The compiler's own AVX-512 headers trip its uninitialised-value warning (their
// intrinsics start from an undefined register on purpose).
CORVID_GCC_WARNINGS_PUSH
CORVID_GCC_WARNING_OFF("-Wmaybe-uninitialized")
CORVID_TARGET("avx512f,avx512vl,avx512bw,avx512dq")
void readAvx512(const Delayline& line, const float* delays, float* out, int n) {
    const ReadSetup s(line);
    const __m512 newest = _mm512_set1_ps(s.newest);
    const __m512 twice = _mm512_set1_ps(s.twice);
    const __m512i iota = _mm512_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
    const __m512i mask = _mm512_set1_epi32(s.mask);
    int i = 0;
    for (; i + 16 <= n; i += 16) {
        const __m512 p = _mm512_add_ps(_mm512_sub_ps(newest, _mm512_loadu_ps(delays + i)), twice);
        const __m512i e = _mm512_cvttps_epi32(p);
        const __m512 x = _mm512_sub_ps(p, _mm512_cvtepi32_ps(e));
        const int e0 = _mm_cvtsi128_si32(_mm512_castsi512_si128(e));
        const int base = (e0 - 2) & s.mask;
        const bool consecutive =
            _mm512_cmpeq_epi32_mask(e, _mm512_add_epi32(_mm512_set1_epi32(e0), iota)) == 0xFFFF &&
            base + 16 + 5 <= s.mask + 1;
        __m512 y[6];
        if (consecutive) {
            for (int j = 0; j < 6; ++j) y[j] = _mm512_loadu_ps(s.b + base + j);
        } else {
            for (int j = 0; j < 6; ++j)
                y[j] = _mm512_i32gather_ps(
                    _mm512_and_si512(_mm512_add_epi32(e, _mm512_set1_epi32(j - 2)), mask), s.b, 4);
        }
        __m512 r;
        Delayline::interpolate(x, y[0], y[1], y[2], y[3], y[4], y[5], r);
        _mm512_storeu_ps(out + i, r);
    }
    for (; i < n; ++i) out[i] = line.readInterpolated(delays[i]);
}
CORVID_GCC_WARNINGS_POP

} // namespace

void Delayline::readBlockUsing(Isa isa, const float* delays, float* out, int n) const {
    IsaBodies<void (*)(const Delayline&, const float*, float*, int)>{
        &readBaseline, &readAvx2, &readAvx512}[isa](*this, delays, out, n);
}

void Delayline::resize(int size) {
    readIsa = bestIsa();
    std::uint32_t m = static_cast<std::uint32_t>(std::max(size, 0));
    m |= m >> 1;
    m |= m >> 2;
    m |= m >> 4;
    m |= m >> 8;
    m |= m >> 16;
    const std::uint64_t slots = static_cast<std::uint64_t>(m) + 1;
    buffer.reset();
    buffer.reset(new (std::nothrow) float[slots]);
    if (!buffer) {
        capacity = 0;
        mask = 0;
        newest = 0;
        requested = size;
        return;
    }
    std::fill_n(buffer.get(), slots, 0.0f);
    capacity = slots;
    mask = static_cast<int>(m);
    newest = mask;
    requested = size;
}

void Delayline::feed(const float* samples, int frames) {
    if (frames <= 0) return;
    const int start = (newest + 1) & mask;
    const int first = std::min(frames, static_cast<int>(capacity) - start);
    std::memcpy(buffer.get() + start, samples, sizeof(float) * static_cast<std::size_t>(first));
    if (frames > first)
        std::memcpy(buffer.get(), samples + first,
                    sizeof(float) * static_cast<std::size_t>(frames - first));
    newest = (newest + frames) & mask;
}

} // namespace corvid
