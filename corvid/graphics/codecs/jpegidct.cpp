#include "corvid/graphics/codecs/jpegidct.h"

#include "corvid/core/isa.h"
#include "corvid/graphics/codecs/jpegidct_simd.h"

namespace corvid::jpeg {

using namespace idct_detail;

namespace {

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

IdctFunction bestIdct() {
    return &idctSse2;
}

IdctPairFunction idctPairFor(Isa isa) {
    return IsaBodies<IdctPairFunction>{&idctPairBySingles, &idctPairAvx2}[isa];
}

IdctPairFunction bestIdctPair() {
    return idctPairFor(bestIsa());
}

} // namespace corvid::jpeg
