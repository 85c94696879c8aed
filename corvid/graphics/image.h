#pragma once
// An image that owns its pixels: width x height pixels, rows packed with no gap,
// storage aligned to 128 bytes so rows can be streamed with vector loads. Pixel
// content is never initialised by allocation; callers fill what they use.

#include "corvid/graphics/color.h"
#include "corvid/graphics/view.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <type_traits>
#include <utility>

namespace corvid {

namespace detail {
struct AlignedFree {
    void operator()(std::byte* p) const;
};
// 128-byte aligned storage of at least `bytes` bytes (rounded up to a multiple of
// 128). Running out of memory is fatal.
std::unique_ptr<std::byte[], AlignedFree> allocateImageStorage(std::size_t bytes);
// Checked width x height x pixelSize; negative or overflowing sizes are fatal.
std::size_t imageStorageBytes(int32_t width, int32_t height, std::size_t pixelSize);
} // namespace detail

template <typename T>
class OwnedImage {
    static_assert(std::is_trivially_copyable_v<T> && std::is_trivially_default_constructible_v<T>);

public:
    OwnedImage() = default;
    OwnedImage(int32_t width, int32_t height) { size(width, height); }
    OwnedImage(OwnedImage&& o) noexcept
        : width_(std::exchange(o.width_, 0)), height_(std::exchange(o.height_, 0)),
          storage_(std::move(o.storage_)) {}
    OwnedImage& operator=(OwnedImage&& o) noexcept {
        width_ = std::exchange(o.width_, 0);
        height_ = std::exchange(o.height_, 0);
        storage_ = std::move(o.storage_);
        return *this;
    }
    OwnedImage(const OwnedImage&) = delete;
    OwnedImage& operator=(const OwnedImage&) = delete;

    int32_t width() const { return width_; }
    int32_t height() const { return height_; }
    std::ptrdiff_t pitch() const { return static_cast<std::ptrdiff_t>(width_) * sizeof(T); }

    T* data() { return reinterpret_cast<T*>(storage_.get()); }
    const T* data() const { return reinterpret_cast<const T*>(storage_.get()); }

    std::span<T> rowSpan(int32_t y) {
        return {data() + static_cast<std::ptrdiff_t>(y) * width_, static_cast<std::size_t>(width_)};
    }
    std::span<const T> rowSpan(int32_t y) const {
        return {data() + static_cast<std::ptrdiff_t>(y) * width_, static_cast<std::size_t>(width_)};
    }

    T& pixelAt(int32_t x, int32_t y) { return data()[static_cast<std::ptrdiff_t>(y) * width_ + x]; }
    const T& pixelAt(int32_t x, int32_t y) const {
        return data()[static_cast<std::ptrdiff_t>(y) * width_ + x];
    }
    void setPixel(int32_t x, int32_t y, T value) { pixelAt(x, y) = value; }

    // Reallocates for the new size; the previous pixels are not preserved. A size
    // with either side 0 releases the storage.
    void size(int32_t width, int32_t height) {
        const std::size_t bytes = detail::imageStorageBytes(width, height, sizeof(T));
        storage_.reset();
        width_ = 0;
        height_ = 0;
        if (bytes == 0) return;
        storage_ = detail::allocateImageStorage(bytes);
        width_ = width;
        height_ = height;
    }

    int64_t numPixels() const { return static_cast<int64_t>(width_) * height_; }

    void fill(T value) {
        T* p = data();
        for (int64_t i = 0, n = numPixels(); i < n; ++i) p[i] = value;
    }

    ImageView<T> asView() { return {data(), width_, height_, pitch()}; }
    ImageView<const T> asView() const { return {data(), width_, height_, pitch()}; }

private:
    int32_t width_ = 0;
    int32_t height_ = 0;
    std::unique_ptr<std::byte[], detail::AlignedFree> storage_;
};

} // namespace corvid
