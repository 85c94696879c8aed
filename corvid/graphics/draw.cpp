#include "corvid/graphics/draw.h"

#include "corvid/graphics/draw_kernel.h"

#include <cstdint>

namespace corvid {

namespace {

template <typename T>
void fillArea(const ImageView<T>& view, T value, const IntRect& r) {
    for (int32_t y = r.minY; y < r.maxY; ++y) {
        T* row = view.row(y);
        for (int32_t x = r.minX; x < r.maxX; ++x) row[x] = value;
    }
}

} // namespace

IntRect clippedArea(const IntRect& drawable, const IntRect& rect) {
    return rect.normalized().intersect(drawable);
}

void fillRect(const ImageView<RGBA>& view, RGBA color, const IntRect& rect) {
    fillArea(view, color, clippedArea(view.drawableArea(), rect));
}

void fillRect(const ImageView<L16>& view, L16 value, const IntRect& rect) {
    fillArea(view, value, clippedArea(view.drawableArea(), rect));
}

void fillRect(const ImageView<L8>& view, L8 value, const IntRect& rect) {
    fillArea(view, value, clippedArea(view.drawableArea(), rect));
}

void fillRectBlended(const ImageView<RGBA>& view, RGBA color, const IntRect& rect, float opacity,
                     Isa isa) {
    // Written as a negated comparison so NaN also counts as "nothing to draw".
    if (!(opacity > 0.0f)) return;
    const IntRect r = clippedArea(view.drawableArea(), rect);
    if (r.isEmpty()) return;
    if (opacity >= 1.0f) {
        fillArea(view, color, r);
        return;
    }
    const uint32_t o = uint32_t(opacity * 255.0f + 0.5f);
    const uint32_t premultiplied[4] = {color.r * o, color.g * o, color.b * o, color.a * o};
    const draw_detail::BlendRow blendRow = IsaBodies<draw_detail::BlendRow>{
        &draw_detail::blendRowSse2, &draw_detail::blendRowAvx2, &draw_detail::blendRowAvx512}[isa];
    for (int32_t y = r.minY; y < r.maxY; ++y)
        blendRow(reinterpret_cast<uint8_t*>(view.row(y) + r.minX), r.width(), premultiplied,
                 255 - o);
}

void fillRectBlended(const ImageView<L16>& view, L16 value, const IntRect& rect, float opacity) {
    if (!(opacity > 0.0f)) return;
    const IntRect r = clippedArea(view.drawableArea(), rect);
    if (r.isEmpty()) return;
    const uint32_t w = opacity >= 1.0f ? 65535u : uint32_t(opacity * 65535.0f + 0.5f);
    if (w == 65535u) {
        fillArea(view, value, r);
        return;
    }
    const uint32_t src = uint32_t(value.l) * w;
    const uint32_t inv = 65535u - w;
    for (int32_t y = r.minY; y < r.maxY; ++y) {
        L16* row = view.row(y);
        for (int32_t x = r.minX; x < r.maxX; ++x)
            row[x] = L16(uint16_t((src + inv * row[x].l) / 65535u));
    }
}

} // namespace corvid
