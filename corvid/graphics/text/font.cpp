#include "corvid/graphics/text/font.h"

#include "corvid/core/error.h"
#include "corvid/graphics/text/utf8.h"

#include <cmath>
#include <cstring>
#include <string>
#include <utility>

namespace corvid {

namespace {

// Pen positions are kept well inside the int range so that adding a glyph box
// cannot overflow, however far off a caller places text.
constexpr float penLimit = float(1 << 28);

int32_t penPixel(float v) {
    if (!(v > -penLimit)) return -int32_t(penLimit); // NaN lands here too
    if (v > penLimit) return int32_t(penLimit);
    return int32_t(v);
}

// Sub-pixel positions are quantised to eighths so that a glyph is rasterised for at
// most nine shifts per axis.
float eighths(float fraction) {
    return std::round(fraction * 8.0f) / 8.0f;
}

// NaN in a key would break the cache's ordering; other bad values just give nothing.
bool usableKey(const GlyphKey& key) {
    return key.scale > 0.0f && std::isfinite(key.scale) && std::isfinite(key.shiftX) &&
           std::isfinite(key.shiftY);
}

} // namespace

Font::Font(std::span<const std::uint8_t> data) {
    if (const char* problem = face_.open(data))
        fatalError(std::string("cannot read embedded font: ") + problem);
    ascent_ = std::int16_t(face_.ascent());
    descent_ = std::int16_t(face_.descent());
    lineGap_ = std::int16_t(face_.lineGap());
}

void Font::layout(std::string_view text, float fontSizePx, float letterSpacing, float x, float y,
                  LayoutCallback callback, void* context) const {
    const float scale = scaleForSize(fontSizePx);
    const float fy = std::floor(y);
    const int32_t iy = penPixel(fy);
    const float shiftY = eighths(y - fy);
    int previous = -1, index = 0;
    for (std::size_t pos = 0; pos < text.size(); ++index) {
        const std::uint32_t codePoint = decodeUtf8(text, pos);
        const int glyph = face_.glyphIndex(codePoint);
        if (previous >= 0 && face_.hasKerning()) x += float(face_.kerning(previous, glyph)) * scale;
        const float fx = std::floor(x);
        const float shiftX = eighths(x - fx);
        IntRect box;
        GlyphBounds bounds;
        if (face_.glyphBounds(glyph, bounds)) box = glyphPixelBox(bounds, scale, shiftX, shiftY);
        box = box.translated(penPixel(fx), iy);
        callback(context, box, codePoint, index, scale, shiftX, shiftY);
        x += float(face_.advanceWidth(glyph)) * scale;
        x += letterSpacing;
        previous = glyph;
    }
}

IntRect Font::textBounds(std::string_view text, float fontSizePx, float letterSpacing) {
    ScopedLock lock(cacheMutex);
    IntRect bounds;
    layoutGlyphs(text, fontSizePx, letterSpacing, 0.0f, 0.0f,
                 [&](const IntRect& box, std::uint32_t, int, float, float, float) {
                     bounds = bounds.unite(box);
                 });
    return bounds;
}

OwnedImage<L8> Font::rasterizeGlyph(const GlyphKey& key) {
    OwnedImage<L8> bitmap;
    if (!usableKey(key)) return bitmap;
    const int glyph = face_.glyphIndex(key.codePoint);
    GlyphBounds bounds;
    if (!face_.glyphBounds(glyph, bounds)) return bitmap;
    const IntRect box = glyphPixelBox(bounds, key.scale, key.shiftX, key.shiftY);
    if (box.isEmpty() || std::int64_t(box.width()) * box.height() > maxGlyphPixels) return bitmap;

    bitmap.size(box.width(), box.height());
    ScopedLock lock(cacheMutex);
    if (face_.loadOutline(glyph, outline_)) {
        rasterizer_.rasterize(outline_, key.scale, key.shiftX - float(box.minX),
                              key.shiftY - float(box.minY), bitmap.asView());
    } else {
        // A damaged glyph keeps its box but shows nothing.
        bitmap.fill(L8(0));
    }
    return bitmap;
}

ImageView<const L8> Font::glyphCoverage(const GlyphKey& key) {
    if (!usableKey(key)) return {};
    ScopedLock lock(cacheMutex);
    auto found = glyphCache.find(key);
    if (found == glyphCache.end()) found = glyphCache.emplace(key, rasterizeGlyph(key)).first;
    return std::as_const(found->second).asView();
}

void drawText(ImageView<RGBA> target, Font& font, std::string_view text, float fontSizePx,
              float letterSpacing, RGBA color, float x, float y, int alignX, int alignY) {
    ScopedLock lock(font.cacheMutex);
    const IntRect bounds = font.textBounds(text, fontSizePx, letterSpacing);
    const float fx = std::floor(x), fy = std::floor(y);
    int32_t anchorX = penPixel(fx), anchorY = penPixel(fy);
    if (alignX == alignCentre) anchorX -= (bounds.minX + bounds.maxX) / 2;
    if (alignY == alignCentre) anchorY -= (bounds.minY + bounds.maxY) / 2;
    const IntRect area = target.drawableArea();

    font.layoutGlyphs(text, fontSizePx, letterSpacing, x - fx, y - fy,
                      [&](const IntRect& box, std::uint32_t codePoint, int, float scale,
                          float shiftX, float shiftY) {
                          const IntRect placed = box.translated(anchorX, anchorY);
                          const IntRect clipped = placed.intersect(area);
                          if (clipped.isEmpty()) return;
                          const ImageView<const L8> coverage =
                              font.glyphCoverage({codePoint, scale, shiftX, shiftY});
                          for (int32_t py = clipped.minY; py < clipped.maxY; ++py) {
                              const int32_t gy = py - placed.minY;
                              const L8* covRow =
                                  gy < coverage.height() ? coverage.row(gy) : nullptr;
                              RGBA* dst = target.row(py);
                              for (int32_t px = clipped.minX; px < clipped.maxX; ++px) {
                                  const int32_t gx = px - placed.minX;
                                  const unsigned c =
                                      covRow && gx < coverage.width() ? covRow[gx].l : 0u;
                                  RGBA& d = dst[px];
                                  d.r = std::uint8_t((c * color.r + (255 - c) * d.r + 128) >> 8);
                                  d.g = std::uint8_t((c * color.g + (255 - c) * d.g + 128) >> 8);
                                  d.b = std::uint8_t((c * color.b + (255 - c) * d.b + 128) >> 8);
                                  d.a = color.a;
                              }
                          }
                      });
}

} // namespace corvid
