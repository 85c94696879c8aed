#include "corvid/graphics/image.h"

#include "corvid/core/error.h"

#include <limits>
#include <new>

namespace corvid::detail {

namespace {
constexpr std::size_t imageAlignment = 128;
} // namespace

void AlignedFree::operator()(std::byte* p) const {
    ::operator delete[](p, std::align_val_t(imageAlignment));
}

std::unique_ptr<std::byte[], AlignedFree> allocateImageStorage(std::size_t bytes) {
    const std::size_t rounded = (bytes + imageAlignment - 1) & ~(imageAlignment - 1);
    if (rounded < bytes) fatalError("image too large");
    void* p = ::operator new[](rounded, std::align_val_t(imageAlignment), std::nothrow);
    if (!p) fatalError("out of memory allocating an image");
    return std::unique_ptr<std::byte[], AlignedFree>(static_cast<std::byte*>(p));
}

std::size_t imageStorageBytes(int32_t width, int32_t height, std::size_t pixelSize) {
    if (width < 0 || height < 0) fatalError("negative image size");
    const auto pixels = static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
    if (pixels > std::numeric_limits<std::size_t>::max() / 2 / pixelSize)
        fatalError("image too large");
    return static_cast<std::size_t>(pixels) * pixelSize;
}

} // namespace corvid::detail
