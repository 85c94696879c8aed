#pragma once
// The inverse DCT's arithmetic: the fixed-point constants the plain reference and
// the vector bodies share, and the vector passes written once over a lane type's
// packed words. A pass works on eight registers, register i holding input i of
// every column (or row) of a block; in registers wider than 128 bits each half
// holds a block of its own. Internal linkage only: each instruction set's source
// builds its own copy.

#include <cstdint>

namespace corvid::jpeg::idct_detail {
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

template <class L>
struct IdctPasses {
    using W = typename L::Words;

    // Both factors of a multiply-add pair in every 32-bit lane.
    static W pair(int a, int b) {
        return L::splat32(static_cast<std::int32_t>((static_cast<std::uint32_t>(b) << 16) |
                                                    (static_cast<std::uint32_t>(a) & 0xFFFFu)));
    }

    // One 1-D pass over eight lanes per block at once.
    static void pass(W x[8], W bias, int shift) {
        const W lo04 = L::interleaveLo16(x[0], x[4]), hi04 = L::interleaveHi16(x[0], x[4]);
        const W lo26 = L::interleaveLo16(x[2], x[6]), hi26 = L::interleaveHi16(x[2], x[6]);
        const W cSum = pair(kEvenA0, kEvenA0), cDiff = pair(kEvenA0, -kEvenA0);
        const W cR3 = pair(kRot26a, kFix0541196100), cR2 = pair(kFix0541196100, kRot26b);
        const W t0l = L::add32(L::maddPairs(lo04, cSum), bias);
        const W t0h = L::add32(L::maddPairs(hi04, cSum), bias);
        const W t1l = L::add32(L::maddPairs(lo04, cDiff), bias);
        const W t1h = L::add32(L::maddPairs(hi04, cDiff), bias);
        const W r3l = L::maddPairs(lo26, cR3), r3h = L::maddPairs(hi26, cR3);
        const W r2l = L::maddPairs(lo26, cR2), r2h = L::maddPairs(hi26, cR2);
        const W e10l = L::add32(t0l, r3l), e10h = L::add32(t0h, r3h);
        const W e13l = L::sub32(t0l, r3l), e13h = L::sub32(t0h, r3h);
        const W e11l = L::add32(t1l, r2l), e11h = L::add32(t1h, r2h);
        const W e12l = L::sub32(t1l, r2l), e12h = L::sub32(t1h, r2h);

        const W z3 = L::add16(x[7], x[3]), z4 = L::add16(x[5], x[1]);
        const W lo34 = L::interleaveLo16(z3, z4), hi34 = L::interleaveHi16(z3, z4);
        const W cZ3 = pair(kOdd34a, kFix1175875602), cZ4 = pair(kFix1175875602, kOdd34b);
        const W z3l = L::maddPairs(lo34, cZ3), z3h = L::maddPairs(hi34, cZ3);
        const W z4l = L::maddPairs(lo34, cZ4), z4h = L::maddPairs(hi34, cZ4);
        const W lo71 = L::interleaveLo16(x[7], x[1]), hi71 = L::interleaveHi16(x[7], x[1]);
        const W lo53 = L::interleaveLo16(x[5], x[3]), hi53 = L::interleaveHi16(x[5], x[3]);
        const W c0 = pair(kOdd71a, -kFix0899976223), c3 = pair(-kFix0899976223, kOdd71b);
        const W c1 = pair(kOdd53a, -kFix2562915447), c2 = pair(-kFix2562915447, kOdd53b);
        const W o0l = L::add32(L::maddPairs(lo71, c0), z3l);
        const W o0h = L::add32(L::maddPairs(hi71, c0), z3h);
        const W o3l = L::add32(L::maddPairs(lo71, c3), z4l);
        const W o3h = L::add32(L::maddPairs(hi71, c3), z4h);
        const W o1l = L::add32(L::maddPairs(lo53, c1), z4l);
        const W o1h = L::add32(L::maddPairs(hi53, c1), z4h);
        const W o2l = L::add32(L::maddPairs(lo53, c2), z3l);
        const W o2h = L::add32(L::maddPairs(hi53, c2), z3h);

        auto out = [shift](W l, W h) { return L::shiftNarrow32(l, h, shift); };
        x[0] = out(L::add32(e10l, o3l), L::add32(e10h, o3h));
        x[7] = out(L::sub32(e10l, o3l), L::sub32(e10h, o3h));
        x[1] = out(L::add32(e11l, o2l), L::add32(e11h, o2h));
        x[6] = out(L::sub32(e11l, o2l), L::sub32(e11h, o2h));
        x[2] = out(L::add32(e12l, o1l), L::add32(e12h, o1h));
        x[5] = out(L::sub32(e12l, o1l), L::sub32(e12h, o1h));
        x[3] = out(L::add32(e13l, o0l), L::add32(e13h, o0h));
        x[4] = out(L::sub32(e13l, o0l), L::sub32(e13h, o0h));
    }

    static void transpose(W x[8]) {
        const W a0 = L::interleaveLo16(x[0], x[1]), a1 = L::interleaveHi16(x[0], x[1]);
        const W a2 = L::interleaveLo16(x[2], x[3]), a3 = L::interleaveHi16(x[2], x[3]);
        const W a4 = L::interleaveLo16(x[4], x[5]), a5 = L::interleaveHi16(x[4], x[5]);
        const W a6 = L::interleaveLo16(x[6], x[7]), a7 = L::interleaveHi16(x[6], x[7]);
        const W b0 = L::interleaveLo32(a0, a2), b1 = L::interleaveHi32(a0, a2);
        const W b2 = L::interleaveLo32(a1, a3), b3 = L::interleaveHi32(a1, a3);
        const W b4 = L::interleaveLo32(a4, a6), b5 = L::interleaveHi32(a4, a6);
        const W b6 = L::interleaveLo32(a5, a7), b7 = L::interleaveHi32(a5, a7);
        x[0] = L::interleaveLo64(b0, b4);
        x[1] = L::interleaveHi64(b0, b4);
        x[2] = L::interleaveLo64(b1, b5);
        x[3] = L::interleaveHi64(b1, b5);
        x[4] = L::interleaveLo64(b2, b6);
        x[5] = L::interleaveHi64(b2, b6);
        x[6] = L::interleaveLo64(b3, b7);
        x[7] = L::interleaveHi64(b3, b7);
    }

    // Both passes on dequantised coefficients, leaving level-shifted samples (not
    // yet clamped to bytes) in row order.
    static void run(W x[8]) {
        pass(x, L::splat32(kPass1Bias), kPass1Shift);
        transpose(x);
        pass(x, L::splat32(kPass2Bias), kPass2Shift);
        transpose(x);
    }
};

} // namespace
} // namespace corvid::jpeg::idct_detail
