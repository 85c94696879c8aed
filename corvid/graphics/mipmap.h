#pragma once
// Mipmap pyramid of an image: level k is (width >> k) x (height >> k). Levels are
// rebuilt rectangle by rectangle as the maps below them change, and read back with
// bilinear sampling by the compositor.

#include "corvid/core/isa.h"
#include "corvid/graphics/color.h"
#include "corvid/graphics/image.h"
#include "corvid/graphics/rect.h"

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

namespace corvid {

enum class MipFilter {
    box,              // 2x2 average
    cubic,            // 4x4 with weights 1-3-3-1, edges repeated
    alphaWeightedBox, // 2x2 of colour x alpha; RGBA only
};

template <typename T>
struct MipSampleType;
template <>
struct MipSampleType<RGBA> {
    using type = std::array<float, 4>; // r, g, b, a on the 0..255 scale
};
template <>
struct MipSampleType<L16> {
    using type = float; // 0..65535 scale
};

template <typename T>
class Mipmap {
public:
    using Sample = typename MipSampleType<T>::type;

    std::vector<std::unique_ptr<OwnedImage<T>>> levels;

    Mipmap() = default;
    // Allocates the levels; pixel content is left uninitialised.
    Mipmap(int maxLevel, int32_t width, int32_t height);
    // Takes the image as level 0 and generates every level above it over the
    // whole image (box for levels 1 and 2, cubic above).
    Mipmap(std::unique_ptr<OwnedImage<T>> image, int maxLevel);

    // Halvings before a side reaches 0, counting level 0, at most maxLevel + 1.
    static int levelCountFor(int maxLevel, int32_t width, int32_t height);

    // Reallocates every level; levels that would have a zero side are not created.
    void size(int levelCount, int32_t width, int32_t height);

    int levelCount() const { return static_cast<int>(levels.size()); }
    OwnedImage<T>& level(int k) { return *levels[static_cast<std::size_t>(k)]; }
    const OwnedImage<T>& level(int k) const { return *levels[static_cast<std::size_t>(k)]; }

    // Downsamples the part of level - 1 under rect (level - 1 coordinates) into
    // level; returns the rectangle written, in level coordinates. An invalid level
    // or an empty rect writes nothing and returns an empty rectangle. The row
    // kernels use the widest instruction set this processor runs unless told
    // otherwise (a set the processor must run); every set gives the same pixels.
    IntRect buildNextLevel(MipFilter filter, int level, const IntRect& rect, Isa isa = bestIsa());

    // The rectangle of `level` that buildNextLevel recomputes for rect of level - 1.
    IntRect nextLevelRect(MipFilter filter, int level, const IntRect& rect) const;

    Sample sampleBilinear(int level, float x, float y) const;
};

extern template class Mipmap<RGBA>;
extern template class Mipmap<L16>;

} // namespace corvid
