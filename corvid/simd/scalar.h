#pragma once
// The few scalar functions the vector kernels need, as compiler built-ins: the
// kernel sources, each built for its own instruction set, include no header with
// inline functions of external linkage (such as <cmath>'s), so that no copy built
// for a wider set can stand in for the baseline one at link time.

#include <cstddef>

namespace corvid::simd {
namespace {

inline float sqrtf(float v) {
    return __builtin_sqrtf(v);
}
inline float atan2f(float y, float x) {
    return __builtin_atan2f(y, x);
}
inline float ceilf(float v) {
    return __builtin_ceilf(v);
}
inline float floorf(float v) {
    return __builtin_floorf(v);
}
// The index of the lowest set bit of a non-zero value.
inline int lowestBit(unsigned v) {
    return __builtin_ctz(v);
}
inline void copyBytes(void* to, const void* from, std::size_t n) {
    __builtin_memcpy(to, from, n);
}

} // namespace
} // namespace corvid::simd
