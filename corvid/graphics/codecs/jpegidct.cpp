#include "corvid/graphics/codecs/jpegidct.h"

#include "corvid/core/compiler.h"
#include "corvid/core/cpu.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace corvid::jpeg {

namespace {

// Loeffler-Ligtenberg-Moschytz factorisation, constants scaled by 2^13. The rotations
// are folded into pairs of products (a*c1 + b*c2) so that they map onto one
// multiply-add instruction each.
constexpr int kConstBits = 13;
constexpr int kPass1Bits = 2;
constexpr int kPass1Shift = kConstBits - kPass1Bits;
constexpr int kPass2Shift = kConstBits + kPass1Bits + 3;
constexpr std::int32_t kPass1Bias = 1 << (kPass1Shift - 1);
// Rounding plus the +128 level shift, applied before the final shift.
constexpr std::int32_t kPass2Bias = (1 << (kPass2Shift - 1)) + (128 << kPass2Shift);

constexpr int kFix0298631336 = 2446;
constexpr int kFix0390180644 = 3196;
constexpr int kFix0541196100 = 4433;
constexpr int kFix0765366865 = 6270;
constexpr int kFix0899976223 = 7373;
constexpr int kFix1175875602 = 9633;
constexpr int kFix1501321110 = 12299;
constexpr int kFix1847759065 = 15137;
constexpr int kFix1961570560 = 16069;
constexpr int kFix2053119869 = 16819;
constexpr int kFix2562915447 = 20995;
constexpr int kFix3072711026 = 25172;

// Pair constants: (first operand factor, second operand factor).
constexpr int kEvenA0 = 1 << kConstBits;                 // (x0 + x4) << 13
constexpr int kRot26a = kFix0541196100 + kFix0765366865; // x2 factor in the +branch
constexpr int kRot26b = kFix0541196100 - kFix1847759065; // x6 factor in the -branch
constexpr int kOdd34a = kFix1175875602 - kFix1961570560; // z3 in z3'
constexpr int kOdd34b = kFix1175875602 - kFix0390180644; // z4 in z4'
constexpr int kOdd71a = kFix0298631336 - kFix0899976223; // x7 in t0
constexpr int kOdd71b = kFix1501321110 - kFix0899976223; // x1 in t3
constexpr int kOdd53a = kFix2053119869 - kFix2562915447; // x5 in t1
constexpr int kOdd53b = kFix3072711026 - kFix2562915447; // x3 in t2

// The scalar transform mirrors the vector one operation by operation, including its
// wrap-around in 16- and 32-bit lanes, so corrupt input gives the same (defined) result.
inline std::int32_t add32(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}
inline std::int32_t sub32(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) - static_cast<std::uint32_t>(b));
}
inline std::int32_t madd(std::int16_t a, std::int16_t b, int ca, int cb) {
    return add32(a * ca, b * cb);
}
inline std::int16_t wrap16(std::int32_t v) {
    return static_cast<std::int16_t>(v);
}
inline std::int16_t saturate16(std::int32_t v) {
    return static_cast<std::int16_t>(v < -32768 ? -32768 : (v > 32767 ? 32767 : v));
}

void transform1d(const std::int16_t x[8], std::int32_t bias, int shift, std::int16_t y[8]) {
    const std::int32_t t0 = add32(madd(x[0], x[4], kEvenA0, kEvenA0), bias);
    const std::int32_t t1 = add32(madd(x[0], x[4], kEvenA0, -kEvenA0), bias);
    const std::int32_t r3 = madd(x[2], x[6], kRot26a, kFix0541196100);
    const std::int32_t r2 = madd(x[2], x[6], kFix0541196100, kRot26b);
    const std::int32_t e10 = add32(t0, r3), e13 = sub32(t0, r3);
    const std::int32_t e11 = add32(t1, r2), e12 = sub32(t1, r2);

    const std::int16_t z3 = wrap16(x[7] + x[3]);
    const std::int16_t z4 = wrap16(x[5] + x[1]);
    const std::int32_t z3r = madd(z3, z4, kOdd34a, kFix1175875602);
    const std::int32_t z4r = madd(z3, z4, kFix1175875602, kOdd34b);
    const std::int32_t o0 = add32(madd(x[7], x[1], kOdd71a, -kFix0899976223), z3r);
    const std::int32_t o3 = add32(madd(x[7], x[1], -kFix0899976223, kOdd71b), z4r);
    const std::int32_t o1 = add32(madd(x[5], x[3], kOdd53a, -kFix2562915447), z4r);
    const std::int32_t o2 = add32(madd(x[5], x[3], -kFix2562915447, kOdd53b), z3r);

    const std::int32_t r[8] = {add32(e10, o3), add32(e11, o2), add32(e12, o1), add32(e13, o0),
                               sub32(e13, o0), sub32(e12, o1), sub32(e11, o2), sub32(e10, o3)};
    for (int i = 0; i < 8; ++i) y[i] = saturate16(r[i] >> shift);
}

} // namespace

void idctReference(const std::int16_t* coefficients, const std::uint16_t* quantisers,
                   std::uint8_t* out, std::ptrdiff_t stride) {
    std::int16_t work[64];
    for (int c = 0; c < 8; ++c) {
        std::int16_t col[8], res[8];
        for (int r = 0; r < 8; ++r)
            col[r] = wrap16(coefficients[r * 8 + c] * quantisers[r * 8 + c]);
        transform1d(col, kPass1Bias, kPass1Shift, res);
        for (int r = 0; r < 8; ++r) work[r * 8 + c] = res[r];
    }
    for (int r = 0; r < 8; ++r) {
        std::int16_t res[8];
        transform1d(work + r * 8, kPass2Bias, kPass2Shift, res);
        for (int c = 0; c < 8; ++c) {
            const int v = res[c];
            out[r * stride + c] = static_cast<std::uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
        }
    }
}

void idctPairBySingles(const std::int16_t* coefficientsA, const std::uint16_t* quantisersA,
                       std::uint8_t* outA, std::ptrdiff_t strideA,
                       const std::int16_t* coefficientsB, const std::uint16_t* quantisersB,
                       std::uint8_t* outB, std::ptrdiff_t strideB) {
    const IdctFunction single = bestIdct();
    single(coefficientsA, quantisersA, outA, strideA);
    single(coefficientsB, quantisersB, outB, strideB);
}

std::uint8_t idctFlatValue(std::int16_t dc, std::uint16_t quantiser) {
    const std::int16_t x = wrap16(dc * quantiser);
    const std::int16_t w = saturate16(add32(x * kEvenA0, kPass1Bias) >> kPass1Shift);
    const int v = saturate16(add32(w * kEvenA0, kPass2Bias) >> kPass2Shift);
    return static_cast<std::uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
}

#if defined(__x86_64__)

namespace {

inline __m128i pair(int a, int b) {
    return _mm_set1_epi32(static_cast<int>((static_cast<std::uint32_t>(b) << 16) |
                                           (static_cast<std::uint32_t>(a) & 0xFFFFu)));
}

// One 1-D pass over eight lanes at once: x[i] holds input i of every lane.
inline void pass(__m128i x[8], __m128i bias, int shift) {
    const __m128i lo04 = _mm_unpacklo_epi16(x[0], x[4]), hi04 = _mm_unpackhi_epi16(x[0], x[4]);
    const __m128i lo26 = _mm_unpacklo_epi16(x[2], x[6]), hi26 = _mm_unpackhi_epi16(x[2], x[6]);
    const __m128i cSum = pair(kEvenA0, kEvenA0), cDiff = pair(kEvenA0, -kEvenA0);
    const __m128i cR3 = pair(kRot26a, kFix0541196100), cR2 = pair(kFix0541196100, kRot26b);
    const __m128i t0l = _mm_add_epi32(_mm_madd_epi16(lo04, cSum), bias);
    const __m128i t0h = _mm_add_epi32(_mm_madd_epi16(hi04, cSum), bias);
    const __m128i t1l = _mm_add_epi32(_mm_madd_epi16(lo04, cDiff), bias);
    const __m128i t1h = _mm_add_epi32(_mm_madd_epi16(hi04, cDiff), bias);
    const __m128i r3l = _mm_madd_epi16(lo26, cR3), r3h = _mm_madd_epi16(hi26, cR3);
    const __m128i r2l = _mm_madd_epi16(lo26, cR2), r2h = _mm_madd_epi16(hi26, cR2);
    const __m128i e10l = _mm_add_epi32(t0l, r3l), e10h = _mm_add_epi32(t0h, r3h);
    const __m128i e13l = _mm_sub_epi32(t0l, r3l), e13h = _mm_sub_epi32(t0h, r3h);
    const __m128i e11l = _mm_add_epi32(t1l, r2l), e11h = _mm_add_epi32(t1h, r2h);
    const __m128i e12l = _mm_sub_epi32(t1l, r2l), e12h = _mm_sub_epi32(t1h, r2h);

    const __m128i z3 = _mm_add_epi16(x[7], x[3]), z4 = _mm_add_epi16(x[5], x[1]);
    const __m128i lo34 = _mm_unpacklo_epi16(z3, z4), hi34 = _mm_unpackhi_epi16(z3, z4);
    const __m128i cZ3 = pair(kOdd34a, kFix1175875602), cZ4 = pair(kFix1175875602, kOdd34b);
    const __m128i z3l = _mm_madd_epi16(lo34, cZ3), z3h = _mm_madd_epi16(hi34, cZ3);
    const __m128i z4l = _mm_madd_epi16(lo34, cZ4), z4h = _mm_madd_epi16(hi34, cZ4);
    const __m128i lo71 = _mm_unpacklo_epi16(x[7], x[1]), hi71 = _mm_unpackhi_epi16(x[7], x[1]);
    const __m128i lo53 = _mm_unpacklo_epi16(x[5], x[3]), hi53 = _mm_unpackhi_epi16(x[5], x[3]);
    const __m128i c0 = pair(kOdd71a, -kFix0899976223), c3 = pair(-kFix0899976223, kOdd71b);
    const __m128i c1 = pair(kOdd53a, -kFix2562915447), c2 = pair(-kFix2562915447, kOdd53b);
    const __m128i o0l = _mm_add_epi32(_mm_madd_epi16(lo71, c0), z3l);
    const __m128i o0h = _mm_add_epi32(_mm_madd_epi16(hi71, c0), z3h);
    const __m128i o3l = _mm_add_epi32(_mm_madd_epi16(lo71, c3), z4l);
    const __m128i o3h = _mm_add_epi32(_mm_madd_epi16(hi71, c3), z4h);
    const __m128i o1l = _mm_add_epi32(_mm_madd_epi16(lo53, c1), z4l);
    const __m128i o1h = _mm_add_epi32(_mm_madd_epi16(hi53, c1), z4h);
    const __m128i o2l = _mm_add_epi32(_mm_madd_epi16(lo53, c2), z3l);
    const __m128i o2h = _mm_add_epi32(_mm_madd_epi16(hi53, c2), z3h);

    const __m128i s = _mm_cvtsi32_si128(shift);
    auto out = [&](__m128i l, __m128i h) {
        return _mm_packs_epi32(_mm_sra_epi32(l, s), _mm_sra_epi32(h, s));
    };
    x[0] = out(_mm_add_epi32(e10l, o3l), _mm_add_epi32(e10h, o3h));
    x[7] = out(_mm_sub_epi32(e10l, o3l), _mm_sub_epi32(e10h, o3h));
    x[1] = out(_mm_add_epi32(e11l, o2l), _mm_add_epi32(e11h, o2h));
    x[6] = out(_mm_sub_epi32(e11l, o2l), _mm_sub_epi32(e11h, o2h));
    x[2] = out(_mm_add_epi32(e12l, o1l), _mm_add_epi32(e12h, o1h));
    x[5] = out(_mm_sub_epi32(e12l, o1l), _mm_sub_epi32(e12h, o1h));
    x[3] = out(_mm_add_epi32(e13l, o0l), _mm_add_epi32(e13h, o0h));
    x[4] = out(_mm_sub_epi32(e13l, o0l), _mm_sub_epi32(e13h, o0h));
}

inline void transpose(__m128i x[8]) {
    const __m128i a0 = _mm_unpacklo_epi16(x[0], x[1]), a1 = _mm_unpackhi_epi16(x[0], x[1]);
    const __m128i a2 = _mm_unpacklo_epi16(x[2], x[3]), a3 = _mm_unpackhi_epi16(x[2], x[3]);
    const __m128i a4 = _mm_unpacklo_epi16(x[4], x[5]), a5 = _mm_unpackhi_epi16(x[4], x[5]);
    const __m128i a6 = _mm_unpacklo_epi16(x[6], x[7]), a7 = _mm_unpackhi_epi16(x[6], x[7]);
    const __m128i b0 = _mm_unpacklo_epi32(a0, a2), b1 = _mm_unpackhi_epi32(a0, a2);
    const __m128i b2 = _mm_unpacklo_epi32(a1, a3), b3 = _mm_unpackhi_epi32(a1, a3);
    const __m128i b4 = _mm_unpacklo_epi32(a4, a6), b5 = _mm_unpackhi_epi32(a4, a6);
    const __m128i b6 = _mm_unpacklo_epi32(a5, a7), b7 = _mm_unpackhi_epi32(a5, a7);
    x[0] = _mm_unpacklo_epi64(b0, b4);
    x[1] = _mm_unpackhi_epi64(b0, b4);
    x[2] = _mm_unpacklo_epi64(b1, b5);
    x[3] = _mm_unpackhi_epi64(b1, b5);
    x[4] = _mm_unpacklo_epi64(b2, b6);
    x[5] = _mm_unpackhi_epi64(b2, b6);
    x[6] = _mm_unpacklo_epi64(b3, b7);
    x[7] = _mm_unpackhi_epi64(b3, b7);
}

CORVID_TARGET("avx2") inline __m256i pair2(int a, int b) {
    return _mm256_set1_epi32(static_cast<int>((static_cast<std::uint32_t>(b) << 16) |
                                              (static_cast<std::uint32_t>(a) & 0xFFFFu)));
}

CORVID_TARGET("avx2") inline __m256i descale2(__m256i l, __m256i h, __m128i s) {
    return _mm256_packs_epi32(_mm256_sra_epi32(l, s), _mm256_sra_epi32(h, s));
}

// The same pass on two blocks at once, one in each 128-bit half.
CORVID_TARGET("avx2") inline void pass2(__m256i x[8], __m256i bias, int shift) {
    const __m256i lo04 = _mm256_unpacklo_epi16(x[0], x[4]),
                  hi04 = _mm256_unpackhi_epi16(x[0], x[4]);
    const __m256i lo26 = _mm256_unpacklo_epi16(x[2], x[6]),
                  hi26 = _mm256_unpackhi_epi16(x[2], x[6]);
    const __m256i cSum = pair2(kEvenA0, kEvenA0), cDiff = pair2(kEvenA0, -kEvenA0);
    const __m256i cR3 = pair2(kRot26a, kFix0541196100), cR2 = pair2(kFix0541196100, kRot26b);
    const __m256i t0l = _mm256_add_epi32(_mm256_madd_epi16(lo04, cSum), bias);
    const __m256i t0h = _mm256_add_epi32(_mm256_madd_epi16(hi04, cSum), bias);
    const __m256i t1l = _mm256_add_epi32(_mm256_madd_epi16(lo04, cDiff), bias);
    const __m256i t1h = _mm256_add_epi32(_mm256_madd_epi16(hi04, cDiff), bias);
    const __m256i r3l = _mm256_madd_epi16(lo26, cR3), r3h = _mm256_madd_epi16(hi26, cR3);
    const __m256i r2l = _mm256_madd_epi16(lo26, cR2), r2h = _mm256_madd_epi16(hi26, cR2);
    const __m256i e10l = _mm256_add_epi32(t0l, r3l), e10h = _mm256_add_epi32(t0h, r3h);
    const __m256i e13l = _mm256_sub_epi32(t0l, r3l), e13h = _mm256_sub_epi32(t0h, r3h);
    const __m256i e11l = _mm256_add_epi32(t1l, r2l), e11h = _mm256_add_epi32(t1h, r2h);
    const __m256i e12l = _mm256_sub_epi32(t1l, r2l), e12h = _mm256_sub_epi32(t1h, r2h);

    const __m256i z3 = _mm256_add_epi16(x[7], x[3]), z4 = _mm256_add_epi16(x[5], x[1]);
    const __m256i lo34 = _mm256_unpacklo_epi16(z3, z4), hi34 = _mm256_unpackhi_epi16(z3, z4);
    const __m256i cZ3 = pair2(kOdd34a, kFix1175875602), cZ4 = pair2(kFix1175875602, kOdd34b);
    const __m256i z3l = _mm256_madd_epi16(lo34, cZ3), z3h = _mm256_madd_epi16(hi34, cZ3);
    const __m256i z4l = _mm256_madd_epi16(lo34, cZ4), z4h = _mm256_madd_epi16(hi34, cZ4);
    const __m256i lo71 = _mm256_unpacklo_epi16(x[7], x[1]),
                  hi71 = _mm256_unpackhi_epi16(x[7], x[1]);
    const __m256i lo53 = _mm256_unpacklo_epi16(x[5], x[3]),
                  hi53 = _mm256_unpackhi_epi16(x[5], x[3]);
    const __m256i c0 = pair2(kOdd71a, -kFix0899976223), c3 = pair2(-kFix0899976223, kOdd71b);
    const __m256i c1 = pair2(kOdd53a, -kFix2562915447), c2 = pair2(-kFix2562915447, kOdd53b);
    const __m256i o0l = _mm256_add_epi32(_mm256_madd_epi16(lo71, c0), z3l);
    const __m256i o0h = _mm256_add_epi32(_mm256_madd_epi16(hi71, c0), z3h);
    const __m256i o3l = _mm256_add_epi32(_mm256_madd_epi16(lo71, c3), z4l);
    const __m256i o3h = _mm256_add_epi32(_mm256_madd_epi16(hi71, c3), z4h);
    const __m256i o1l = _mm256_add_epi32(_mm256_madd_epi16(lo53, c1), z4l);
    const __m256i o1h = _mm256_add_epi32(_mm256_madd_epi16(hi53, c1), z4h);
    const __m256i o2l = _mm256_add_epi32(_mm256_madd_epi16(lo53, c2), z3l);
    const __m256i o2h = _mm256_add_epi32(_mm256_madd_epi16(hi53, c2), z3h);

    const __m128i s = _mm_cvtsi32_si128(shift);
    x[0] = descale2(_mm256_add_epi32(e10l, o3l), _mm256_add_epi32(e10h, o3h), s);
    x[7] = descale2(_mm256_sub_epi32(e10l, o3l), _mm256_sub_epi32(e10h, o3h), s);
    x[1] = descale2(_mm256_add_epi32(e11l, o2l), _mm256_add_epi32(e11h, o2h), s);
    x[6] = descale2(_mm256_sub_epi32(e11l, o2l), _mm256_sub_epi32(e11h, o2h), s);
    x[2] = descale2(_mm256_add_epi32(e12l, o1l), _mm256_add_epi32(e12h, o1h), s);
    x[5] = descale2(_mm256_sub_epi32(e12l, o1l), _mm256_sub_epi32(e12h, o1h), s);
    x[3] = descale2(_mm256_add_epi32(e13l, o0l), _mm256_add_epi32(e13h, o0h), s);
    x[4] = descale2(_mm256_sub_epi32(e13l, o0l), _mm256_sub_epi32(e13h, o0h), s);
}

CORVID_TARGET("avx2") inline void transpose2(__m256i x[8]) {
    const __m256i a0 = _mm256_unpacklo_epi16(x[0], x[1]), a1 = _mm256_unpackhi_epi16(x[0], x[1]);
    const __m256i a2 = _mm256_unpacklo_epi16(x[2], x[3]), a3 = _mm256_unpackhi_epi16(x[2], x[3]);
    const __m256i a4 = _mm256_unpacklo_epi16(x[4], x[5]), a5 = _mm256_unpackhi_epi16(x[4], x[5]);
    const __m256i a6 = _mm256_unpacklo_epi16(x[6], x[7]), a7 = _mm256_unpackhi_epi16(x[6], x[7]);
    const __m256i b0 = _mm256_unpacklo_epi32(a0, a2), b1 = _mm256_unpackhi_epi32(a0, a2);
    const __m256i b2 = _mm256_unpacklo_epi32(a1, a3), b3 = _mm256_unpackhi_epi32(a1, a3);
    const __m256i b4 = _mm256_unpacklo_epi32(a4, a6), b5 = _mm256_unpackhi_epi32(a4, a6);
    const __m256i b6 = _mm256_unpacklo_epi32(a5, a7), b7 = _mm256_unpackhi_epi32(a5, a7);
    x[0] = _mm256_unpacklo_epi64(b0, b4);
    x[1] = _mm256_unpackhi_epi64(b0, b4);
    x[2] = _mm256_unpacklo_epi64(b1, b5);
    x[3] = _mm256_unpackhi_epi64(b1, b5);
    x[4] = _mm256_unpacklo_epi64(b2, b6);
    x[5] = _mm256_unpackhi_epi64(b2, b6);
    x[6] = _mm256_unpacklo_epi64(b3, b7);
    x[7] = _mm256_unpackhi_epi64(b3, b7);
}

} // namespace

void idctSse2(const std::int16_t* coefficients, const std::uint16_t* quantisers, std::uint8_t* out,
              std::ptrdiff_t stride) {
    __m128i x[8];
    for (int r = 0; r < 8; ++r) {
        const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(coefficients + r * 8));
        const __m128i q = _mm_loadu_si128(reinterpret_cast<const __m128i*>(quantisers + r * 8));
        x[r] = _mm_mullo_epi16(c, q);
    }
    pass(x, _mm_set1_epi32(kPass1Bias), kPass1Shift);
    transpose(x);
    pass(x, _mm_set1_epi32(kPass2Bias), kPass2Shift);
    transpose(x);
    for (int r = 0; r < 8; r += 2) {
        const __m128i p = _mm_packus_epi16(x[r], x[r + 1]);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + r * stride), p);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + (r + 1) * stride), _mm_srli_si128(p, 8));
    }
}

CORVID_TARGET("avx2")
void idctPairAvx2(const std::int16_t* coefficientsA, const std::uint16_t* quantisersA,
                  std::uint8_t* outA, std::ptrdiff_t strideA, const std::int16_t* coefficientsB,
                  const std::uint16_t* quantisersB, std::uint8_t* outB, std::ptrdiff_t strideB) {
    __m256i x[8];
    for (int r = 0; r < 8; ++r) {
        auto row = [](const void* p) { return _mm_loadu_si128(static_cast<const __m128i*>(p)); };
        const __m256i c = _mm256_inserti128_si256(
            _mm256_castsi128_si256(row(coefficientsA + r * 8)), row(coefficientsB + r * 8), 1);
        const __m256i q = _mm256_inserti128_si256(_mm256_castsi128_si256(row(quantisersA + r * 8)),
                                                  row(quantisersB + r * 8), 1);
        x[r] = _mm256_mullo_epi16(c, q);
    }
    pass2(x, _mm256_set1_epi32(kPass1Bias), kPass1Shift);
    transpose2(x);
    pass2(x, _mm256_set1_epi32(kPass2Bias), kPass2Shift);
    transpose2(x);
    for (int r = 0; r < 8; r += 2) {
        // Bytes 0-7 and 8-15 of each half: rows r and r + 1 of block A, then of block B.
        const __m256i p = _mm256_packus_epi16(x[r], x[r + 1]);
        const __m128i a = _mm256_castsi256_si128(p), b = _mm256_extracti128_si256(p, 1);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(outA + r * strideA), a);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(outA + (r + 1) * strideA),
                         _mm_srli_si128(a, 8));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(outB + r * strideB), b);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(outB + (r + 1) * strideB),
                         _mm_srli_si128(b, 8));
    }
}

IdctFunction bestIdct() {
    return &idctSse2;
}

IdctPairFunction bestIdctPair() {
    return corvid::cpuFeatures().avx2 ? &idctPairAvx2 : &idctPairBySingles;
}

#else

IdctFunction bestIdct() {
    return &idctReference;
}

IdctPairFunction bestIdctPair() {
    return &idctPairBySingles;
}

#endif

} // namespace corvid::jpeg
