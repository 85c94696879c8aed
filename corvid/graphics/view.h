#pragma once
// Non-owning view of a pixel array: width, height, pitch in bytes and the top-left
// pixel. Views are cheap values; the pixels belong to an OwnedImage or to the
// window. A view can carry a clip rectangle (in its own coordinates) that drawing
// honours in addition to the view's bounds.

#include "corvid/graphics/color.h"
#include "corvid/graphics/rect.h"

#include <cstddef>
#include <cstdint>
#include <limits>
#include <type_traits>

namespace corvid {

template <typename T>
class ImageView {
    using Byte = std::conditional_t<std::is_const_v<T>, const std::byte, std::byte>;

public:
    static constexpr IntRect noClip{
        std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::min(),
        std::numeric_limits<int32_t>::max(), std::numeric_limits<int32_t>::max()};

    ImageView() = default;
    ImageView(T* pixels, int32_t width, int32_t height, std::ptrdiff_t pitchBytes)
        : pixels_(pixels), width_(width), height_(height), pitch_(pitchBytes) {}

    // A mutable view converts to a read-only one.
    template <typename U>
    requires(std::is_const_v<T>&& std::is_same_v<std::remove_const_t<T>, U>)
        ImageView(const ImageView<U>& o)
        : pixels_(o.pixels()), width_(o.width()), height_(o.height()), pitch_(o.pitch()),
          clip_(o.clip()) {}

    T* pixels() const { return pixels_; }
    int32_t width() const { return width_; }
    int32_t height() const { return height_; }
    std::ptrdiff_t pitch() const { return pitch_; }
    bool isEmpty() const { return width_ <= 0 || height_ <= 0 || pixels_ == nullptr; }

    T* row(int32_t y) const {
        return reinterpret_cast<T*>(reinterpret_cast<Byte*>(pixels_) +
                                    static_cast<std::ptrdiff_t>(y) * pitch_);
    }
    T& at(int32_t x, int32_t y) const { return row(y)[x]; }

    IntRect bounds() const { return {0, 0, width_, height_}; }
    const IntRect& clip() const { return clip_; }

    // The pixels drawing may touch: the view's bounds cut by its clip rectangle.
    IntRect drawableArea() const { return bounds().intersect(clip_); }

    // Sub-view whose top-left pixel is the rectangle's top-left. The rectangle is
    // first cut to the view's bounds so a crop never points outside the pixels;
    // the clip rectangle moves along with the origin.
    ImageView crop(const IntRect& rect) const {
        const IntRect r = rect.normalized().intersect(bounds());
        ImageView v(r.isEmpty() ? pixels_ : &at(r.minX, r.minY), r.width(), r.height(), pitch_);
        if (clip_ != noClip) v.clip_ = clip_.intersect(bounds()).translated(-r.minX, -r.minY);
        return v;
    }

    // Same pixels with the clip narrowed to rect (in view coordinates).
    ImageView withClip(const IntRect& rect) const {
        ImageView v = *this;
        v.clip_ = clip_.intersect(rect.normalized());
        return v;
    }

private:
    T* pixels_ = nullptr;
    int32_t width_ = 0;
    int32_t height_ = 0;
    std::ptrdiff_t pitch_ = 0;
    IntRect clip_ = noClip;
};

} // namespace corvid
