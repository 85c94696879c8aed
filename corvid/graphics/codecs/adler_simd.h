#pragma once
// Adler-32's bulk sums, written once over a lane type's packed words; each
// instruction set's source instantiates them with its lanes. Internal linkage only:
// each source builds its own copy.

#include <cstddef>
#include <cstdint>

namespace corvid::adler_detail {

// The modulus, and the most bytes one call of a chunk sum may take.
constexpr std::uint32_t kBase = 65521;
constexpr std::size_t kBlock = 5552;

// Folds whole chunks of 2 * words bytes (at most kBlock bytes in all) into s1 and s2,
// both below kBase on return; returns the bytes taken.
using ChunkSums = std::size_t (*)(std::uint32_t& s1, std::uint32_t& s2, const std::uint8_t* p,
                                  std::size_t size);
std::size_t chunkSumsSse2(std::uint32_t& s1, std::uint32_t& s2, const std::uint8_t* p,
                          std::size_t size);
std::size_t chunkSumsAvx2(std::uint32_t& s1, std::uint32_t& s2, const std::uint8_t* p,
                          std::size_t size);

namespace {

template <class L>
struct AdlerKernel {
    using W = typename L::Words;
    static constexpr std::size_t kStep = 2 * L::words;

    // Each chunk adds its byte sum and its position-weighted sum (the first byte
    // weighs kStep, the last 1); the s2 share of the sums before a chunk is added
    // once at the end, from the running prefix of the byte sums.
    static std::size_t chunkSums(std::uint32_t& s1, std::uint32_t& s2, const std::uint8_t* p,
                                 std::size_t size) {
        alignas(64) static constexpr std::int16_t kWeights[32] = {
            32, 31, 30, 29, 28, 27, 26, 25, 24, 23, 22, 21, 20, 19, 18, 17,
            16, 15, 14, 13, 12, 11, 10, 9,  8,  7,  6,  5,  4,  3,  2,  1};
        const W first = L::loadWords(kWeights + 32 - kStep);
        const W second = L::loadWords(kWeights + 32 - L::words);
        const W one = L::splat16(1);
        W sum = L::splat32(0), prefix = sum, weighted = sum;
        const std::size_t chunks = (size < kBlock ? size : kBlock) / kStep;
        for (std::size_t i = 0; i < chunks; ++i, p += kStep) {
            const W lo = L::widenBytes(p), hi = L::widenBytes(p + L::words);
            prefix = L::add32(prefix, sum);
            sum = L::add32(sum, L::add32(L::maddPairs(lo, one), L::maddPairs(hi, one)));
            weighted =
                L::add32(weighted, L::add32(L::maddPairs(lo, first), L::maddPairs(hi, second)));
        }
        constexpr int kLanes = L::words / 2;
        std::uint32_t a[kLanes], b[kLanes], c[kLanes];
        L::storeWords(a, sum);
        L::storeWords(b, prefix);
        L::storeWords(c, weighted);
        std::uint64_t total = 0, before = 0, weights = 0;
        for (int i = 0; i < kLanes; ++i) {
            total += a[i];
            before += b[i];
            weights += c[i];
        }
        const std::uint64_t n = kStep * chunks;
        s2 = std::uint32_t((s2 + std::uint64_t(s1) * n + kStep * before + weights) % kBase);
        s1 = std::uint32_t((s1 + total) % kBase);
        L::beforeNarrowCode();
        return n;
    }
};

} // namespace
} // namespace corvid::adler_detail
