#pragma once
// The PNG "up" filter's reversal, written once over a lane type's packed words; each
// instruction set's source instantiates it with its lanes. The other filters carry
// a dependency from one pixel to the next and stay one pixel per step.

#include <cstddef>
#include <cstdint>

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

} // namespace
} // namespace corvid::detail
