#pragma once

#include <cstdint>
#include <vector>

namespace corvid {

// Plain result of a picture decoder: 8 bits per component, rows packed with no gap.
struct DecodedImage {
    int width = 0, height = 0, components = 0;
    std::vector<std::uint8_t> pixels;
};

} // namespace corvid
