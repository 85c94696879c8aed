#pragma once
// Byte order reversal for big-endian data read on a little-endian machine.

#include <cstdint>

#if defined(_MSC_VER) && !defined(__clang__)
#include <stdlib.h>
#endif

namespace corvid {

inline std::uint64_t byteSwap64(std::uint64_t v) {
#if defined(__GNUC__) || defined(__clang__)
    return __builtin_bswap64(v);
#elif defined(_MSC_VER)
    return _byteswap_uint64(v);
#else
    v = ((v & 0x00FF00FF00FF00FFull) << 8) | ((v >> 8) & 0x00FF00FF00FF00FFull);
    v = ((v & 0x0000FFFF0000FFFFull) << 16) | ((v >> 16) & 0x0000FFFF0000FFFFull);
    return (v << 32) | (v >> 32);
#endif
}

} // namespace corvid
