#pragma once
// The PNG filters' reversal, written once over a lane type; each instruction set's
// source instantiates it with its lanes. "Up" takes whole registers; the others carry
// a dependency from one pixel to the next and take one pixel per step.

#include "corvid/simd/pixels128.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace corvid::detail {

// dst[i] = src[i] + prior[i] from byte `from` on, whole registers at a time; returns
// the first byte left over. dst may equal src or lie before it.
using UnfilterUpBody = std::size_t (*)(std::uint8_t* dst, const std::uint8_t* src,
                                       const std::uint8_t* prior, std::size_t bytes,
                                       std::size_t from);
std::size_t unfilterUpSse2(std::uint8_t* dst, const std::uint8_t* src, const std::uint8_t* prior,
                           std::size_t bytes, std::size_t from);
std::size_t unfilterUpAvx2(std::uint8_t* dst, const std::uint8_t* src, const std::uint8_t* prior,
                           std::size_t bytes, std::size_t from);

// Sub (1), Average (3) or Paeth (4) over n pixels of bpp 3 or 4 bytes. dst may equal
// src or lie before it. Sub does not read prior.
using UnfilterPixelsBody = void (*)(unsigned filter, int bpp, std::uint8_t* dst,
                                    const std::uint8_t* src, const std::uint8_t* prior,
                                    std::size_t n);
void unfilterPixelsSse2(unsigned filter, int bpp, std::uint8_t* dst, const std::uint8_t* src,
                        const std::uint8_t* prior, std::size_t n);
void unfilterPixelsAvx2(unsigned filter, int bpp, std::uint8_t* dst, const std::uint8_t* src,
                        const std::uint8_t* prior, std::size_t n);

// Two consecutive Paeth rows of n pixels: row 1's prior is row 0's output. dst1 must
// not overlap row 0's source or output.
using UnfilterPaethPairBody = void (*)(int bpp, std::uint8_t* dst0, const std::uint8_t* src0,
                                       const std::uint8_t* prior0, std::uint8_t* dst1,
                                       const std::uint8_t* src1, std::size_t n);
void unfilterPaethPairSse2(int bpp, std::uint8_t* dst0, const std::uint8_t* src0,
                           const std::uint8_t* prior0, std::uint8_t* dst1, const std::uint8_t* src1,
                           std::size_t n);
void unfilterPaethPairAvx2(int bpp, std::uint8_t* dst0, const std::uint8_t* src0,
                           const std::uint8_t* prior0, std::uint8_t* dst1, const std::uint8_t* src1,
                           std::size_t n);

namespace {

template <class L>
struct UpKernel {
    static std::size_t run(std::uint8_t* dst, const std::uint8_t* src, const std::uint8_t* prior,
                           std::size_t bytes, std::size_t i) {
        constexpr std::size_t kStep = 2 * L::words;
        // A store never reaches source bytes not yet loaded, since dst <= src.
        for (; i + kStep <= bytes; i += kStep)
            L::storeWords(dst + i, L::add8(L::loadWords(src + i), L::loadWords(prior + i)));
        L::beforeNarrowCode();
        return i;
    }
};

// Each pixel is loaded as four bytes (three for a row's last 3-byte pixel, so no read
// passes the row) and only its own bytes are stored, so dst may equal src or lie
// before it. Lanes beyond the pixel carry junk that no lane-wise operation lets into
// the stored bytes.
template <class L, int Bpp>
struct PixelKernels {
    // The lane set only chooses the encoding: one pixel a step is as wide as it gets.
    using X = simd::Pixels128;
    using P = X::Pixels;

    static P load(const std::uint8_t* p, bool last) {
        std::uint32_t v;
        if (Bpp == 3 && last) {
            v = std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16;
        } else {
            std::memcpy(&v, p, 4);
        }
        return X::fromLow32(v);
    }

    static void store(std::uint8_t* p, P x) {
        const std::uint32_t v = X::low32(x);
        if (Bpp == 3) {
            const std::uint16_t low = std::uint16_t(v);
            std::memcpy(p, &low, 2);
            p[2] = std::uint8_t(v >> 16);
        } else {
            std::memcpy(p, &v, 4);
        }
    }

    static P load16(const std::uint8_t* p, bool last) { return X::widenLow8(load(p, last)); }
    static void store16(std::uint8_t* p, P x) { store(p, X::narrowBytes(x)); }

    static void sub(std::uint8_t* dst, const std::uint8_t* src, std::size_t n) {
        P a = X::zeroPixels();
        for (std::size_t i = 0; i < n; ++i) {
            a = X::add8(a, load(src + Bpp * i, i + 1 == n));
            store(dst + Bpp * i, a);
        }
    }

    static void average(std::uint8_t* dst, const std::uint8_t* src, const std::uint8_t* prior,
                        std::size_t n) {
        const P one = X::splatPixels8(1);
        P a = X::zeroPixels();
        for (std::size_t i = 0; i < n; ++i) {
            const bool last = i + 1 == n;
            const P b = load(prior + Bpp * i, last);
            // Rounded-up average minus the lost low bit gives the floor.
            const P avg = X::sub8(X::avgUp8(a, b), X::bitAnd(X::bitXor(a, b), one));
            a = X::add8(avg, load(src + Bpp * i, last));
            store(dst + Bpp * i, a);
        }
    }

    // Paeth picks whichever of a (left), b (up) and c (upper left) is nearest to
    // a + b - c, preferring a, then b. With d = b - c and t = a - c that is: a when
    // t >= max(d, -2d) or t <= min(d, -2d); otherwise c when d > 0 and 2t < -d, or
    // d < 0 and 2t > -d; otherwise b. The bounds depend only on the row above, so the
    // chain from one pixel to the next is a few compares and selects instead of the
    // three absolute differences. One step on 16-bit lanes: the unfiltered pixel from
    // the filtered one (s).
    static P paethStep(P a, P b, P c, P s) {
        const P zero = X::zeroPixels();
        const P one = X::splatPixels16(1);
        const P d = X::sub16(b, c);
        const P minus2d = X::sub16(zero, X::add16(d, d));
        // a chosen when a > c + max(d, -2d) - 1 or a < c + min(d, -2d) + 1.
        const P hi = X::sub16(X::add16(c, X::max16(d, minus2d)), one);
        const P lo = X::add16(X::add16(c, X::min16(d, minus2d)), one);
        // m = 3c - b: c chosen when 2a < m (d > 0) or 2a > m (d < 0).
        const P m = X::sub16(X::add16(X::add16(c, c), c), b);
        const P below = X::shiftRightSigned16(X::add16(m, one), 1);
        const P above = X::shiftRightSigned16(m, 1);
        const P dPos = X::greater16(d, zero);
        const P dNeg = X::greater16(zero, d);

        const P pickA = X::bitOr(X::greater16(a, hi), X::greater16(lo, a));
        const P pickC = X::bitOr(X::bitAnd(dPos, X::greater16(below, a)),
                                 X::bitAnd(dNeg, X::greater16(a, above)));
        const P bOrC = X::bitXor(b, X::bitAnd(X::bitXor(b, c), pickC));
        const P pred = X::bitOr(X::bitAnd(pickA, a), X::bitAndNot(pickA, bOrC));
        return X::bitAnd(X::add16(pred, s), X::splatPixels16(0xFF));
    }

    static void paeth(std::uint8_t* dst, const std::uint8_t* src, const std::uint8_t* prior,
                      std::size_t n) {
        P a = X::zeroPixels(), c = a; // left and upper left
        for (std::size_t i = 0; i < n; ++i) {
            const bool last = i + 1 == n;
            const P b = load16(prior + Bpp * i, last);
            a = paethStep(a, b, c, load16(src + Bpp * i, last));
            store16(dst + Bpp * i, a);
            c = b;
        }
    }

    // The low half of each register works on row 0 at pixel i, the high half on row 1
    // at pixel i - 2, whose upper neighbours row 0 finished two steps earlier. The
    // halves are independent, so one dependency chain serves two pixels. Row 1 reads
    // the row above only from registers.
    static void paethPair(std::uint8_t* dst0, const std::uint8_t* src0, const std::uint8_t* prior0,
                          std::uint8_t* dst1, const std::uint8_t* src1, std::size_t n) {
        const P zero = X::zeroPixels();
        P a = zero, c = zero, older = zero, old = zero;
        for (std::size_t i = 0; i < n + 2; ++i) {
            const bool top = i < n, bottom = i >= 2;
            const std::size_t j = i - 2;
            const P b0 = top ? load16(prior0 + Bpp * i, i + 1 == n) : zero;
            const P s0 = top ? load16(src0 + Bpp * i, i + 1 == n) : zero;
            const P s1 = bottom ? load16(src1 + Bpp * j, j + 1 == n) : zero;
            const P b = X::interleaveLo64(b0, older);
            a = paethStep(a, b, c, X::interleaveLo64(s0, s1));
            if (top) store16(dst0 + Bpp * i, a);
            if (bottom) store16(dst1 + Bpp * j, X::interleaveHi64(a, a));
            c = b;
            older = old;
            old = a;
        }
    }

    static void run(unsigned filter, std::uint8_t* dst, const std::uint8_t* src,
                    const std::uint8_t* prior, std::size_t n) {
        if (filter == 1)
            sub(dst, src, n);
        else if (filter == 3)
            average(dst, src, prior, n);
        else
            paeth(dst, src, prior, n);
    }
};

template <class L>
void unfilterPixelsOver(unsigned filter, int bpp, std::uint8_t* dst, const std::uint8_t* src,
                        const std::uint8_t* prior, std::size_t n) {
    if (bpp == 4)
        PixelKernels<L, 4>::run(filter, dst, src, prior, n);
    else
        PixelKernels<L, 3>::run(filter, dst, src, prior, n);
}

template <class L>
void unfilterPaethPairOver(int bpp, std::uint8_t* dst0, const std::uint8_t* src0,
                           const std::uint8_t* prior0, std::uint8_t* dst1, const std::uint8_t* src1,
                           std::size_t n) {
    if (bpp == 4)
        PixelKernels<L, 4>::paethPair(dst0, src0, prior0, dst1, src1, n);
    else
        PixelKernels<L, 3>::paethPair(dst0, src0, prior0, dst1, src1, n);
}

} // namespace
} // namespace corvid::detail
