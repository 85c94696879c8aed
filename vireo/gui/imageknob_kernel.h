#pragma once
// The image knob's body kernels, one per instruction set, each built in a file of
// its own; the knob takes the widest the processor has. All give the same pixels.

#include <cstddef>
#include <cstdint>

namespace vireo::imageknob_detail {

// The picture (w wide, at least 4w high, RGBA rows, with rows and pitch below
// 65536), its turn, and the part of the maps to draw: the knob centre (cx, cy) in element pixels,
// the element's top-left corner in the maps, and the pixels minX..maxX by minY..maxY of the maps,
// which lie inside the element and the maps.
struct BodyJob {
    const std::uint8_t* picture = nullptr;
    std::ptrdiff_t picturePitch = 0;
    std::int32_t width = 0, height = 0;
    float c = 1.0f, s = 0.0f, cx = 0.0f, cy = 0.0f;
    std::int32_t originX = 0, originY = 0;
    std::uint8_t* diffuse = nullptr;
    std::ptrdiff_t diffusePitch = 0;
    std::uint8_t* depth = nullptr;
    std::ptrdiff_t depthPitch = 0;
    std::uint8_t* material = nullptr;
    std::ptrdiff_t materialPitch = 0;
    std::int32_t minX = 0, minY = 0, maxX = 0, maxY = 0;
};

void drawBodySse2(const BodyJob& job);
void drawBodyAvx2(const BodyJob& job);
void drawBodyAvx512(const BodyJob& job);

} // namespace vireo::imageknob_detail
