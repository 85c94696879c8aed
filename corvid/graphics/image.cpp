#include "corvid/graphics/image.h"

#include "corvid/core/error.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace corvid::detail {

namespace {
constexpr std::size_t imageAlignment = 128;
} // namespace

// The block is over-allocated and aligned by hand, with the start of the
// allocation stored just below the aligned storage: the aligned allocation
// functions split every block and free the slack, which costs more than small
// images (glyph bitmaps) take to draw.
void AlignedFree::operator()(std::byte* p) const {
    if (!p) return;
    void* block;
    std::memcpy(&block, p - sizeof(void*), sizeof(void*));
    std::free(block);
}

std::unique_ptr<std::byte[], AlignedFree> allocateImageStorage(std::size_t bytes) {
    const std::size_t rounded = (bytes + imageAlignment - 1) & ~(imageAlignment - 1);
    if (rounded < bytes) fatalError("image too large");
    if (rounded > std::numeric_limits<std::size_t>::max() - imageAlignment)
        fatalError("image too large");
    void* block = std::malloc(rounded + imageAlignment);
    if (!block) fatalError("out of memory allocating an image");
    // malloc aligns to at least 16, so there is always room for the pointer.
    const std::uintptr_t start = reinterpret_cast<std::uintptr_t>(block);
    auto* p = reinterpret_cast<std::byte*>((start + imageAlignment) & ~(imageAlignment - 1));
    std::memcpy(p - sizeof(void*), &block, sizeof(void*));
    return std::unique_ptr<std::byte[], AlignedFree>(p);
}

std::size_t imageStorageBytes(int32_t width, int32_t height, std::size_t pixelSize) {
    if (width < 0 || height < 0) fatalError("negative image size");
    const auto pixels = static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
    if (pixels > std::numeric_limits<std::size_t>::max() / 2 / pixelSize)
        fatalError("image too large");
    return static_cast<std::size_t>(pixels) * pixelSize;
}

} // namespace corvid::detail
