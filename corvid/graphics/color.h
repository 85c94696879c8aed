#pragma once
// Pixel types of the graphics library. They are plain, trivially copyable structs
// so images can be allocated without constructing pixels and moved with memcpy.

#include <cstdint>
#include <type_traits>

namespace corvid {

// Four bytes in memory order r, g, b, a.
struct RGBA {
    uint8_t r;
    uint8_t g;
    uint8_t b;
    uint8_t a;

    friend constexpr bool operator==(const RGBA&, const RGBA&) = default;
};

// 16-bit luminance; the depth map uses it as height (larger is nearer).
struct L16 {
    uint16_t l;

    L16() = default;
    constexpr L16(uint16_t value) : l(value) {}

    friend constexpr bool operator==(const L16&, const L16&) = default;
};

// 8-bit luminance: opacity masks and glyph coverage.
struct L8 {
    uint8_t l;

    L8() = default;
    constexpr L8(uint8_t value) : l(value) {}

    friend constexpr bool operator==(const L8&, const L8&) = default;
};

static_assert(sizeof(RGBA) == 4 && std::is_trivial_v<RGBA>);
static_assert(sizeof(L16) == 2 && std::is_trivially_copyable_v<L16> &&
              std::is_trivially_default_constructible_v<L16>);
static_assert(sizeof(L8) == 1 && std::is_trivially_copyable_v<L8> &&
              std::is_trivially_default_constructible_v<L8>);

} // namespace corvid
