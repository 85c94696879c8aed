#pragma once
// Text for the editor: a TrueType font embedded in the program, its glyph bitmaps
// cached per size and eighth-pixel position, layout of UTF-8 strings and blending
// into the diffuse map. Several widgets draw with one font from the redraw workers
// at once, so the cache and every text operation run under the font's lock.

#include "corvid/core/sync.h"
#include "corvid/graphics/color.h"
#include "corvid/graphics/image.h"
#include "corvid/graphics/rect.h"
#include "corvid/graphics/text/rasterizer.h"
#include "corvid/graphics/text/truetype.h"
#include "corvid/graphics/view.h"

#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <string_view>
#include <tuple>
#include <type_traits>

namespace corvid {

// A rasterised glyph is identified by its code point, scale and sub-pixel shift
// (multiples of 1/8 pixel from 0 to 1 inclusive).
struct GlyphKey {
    std::uint32_t codePoint = 0;
    float scale = 0;
    float shiftX = 0;
    float shiftY = 0;

    friend bool operator<(const GlyphKey& a, const GlyphKey& b) {
        return std::tie(a.codePoint, a.scale, a.shiftX, a.shiftY) <
               std::tie(b.codePoint, b.scale, b.shiftX, b.shiftY);
    }
};

enum TextAlign : int { alignOrigin = 0, alignCentre = 1 };

class Font {
public:
    // Glyph bitmaps larger than this are not rasterised; they draw as empty boxes.
    static constexpr std::int64_t maxGlyphPixels = std::int64_t(1) << 22;

    // data is the font file (or collection, whose first font is used); it is not
    // copied and must outlive the font. Data that is not a usable TrueType font is
    // fatal: fonts are built into the program, so this is a build fault.
    explicit Font(std::span<const std::uint8_t> data);
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;

    int ascent() const { return ascent_; }
    int descent() const { return descent_; }
    int lineGap() const { return lineGap_; }
    const TrueTypeFace& face() const { return face_; }

    // Pixels per font unit for a font size given as the ascent-to-descent height.
    float scaleForSize(float fontSizePx) const { return fontSizePx / float(ascent_ - descent_); }

    // Lays out UTF-8 text with its pen starting at (x, y) on the baseline and calls
    // visitor(IntRect box, uint32_t codePoint, int indexInText, float scale,
    // float shiftX, float shiftY) for every code point, box in pixels, y down.
    template <typename Visitor>
    void layoutGlyphs(std::string_view text, float fontSizePx, float letterSpacing, float x,
                      float y, Visitor&& visitor) const {
        using V = std::remove_reference_t<Visitor>;
        layout(
            text, fontSizePx, letterSpacing, x, y,
            [](void* context, const IntRect& box, std::uint32_t codePoint, int index, float scale,
               float shiftX, float shiftY) {
                (*static_cast<V*>(context))(box, codePoint, index, scale, shiftX, shiftY);
            },
            const_cast<void*>(static_cast<const void*>(std::addressof(visitor))));
    }

    // Union of the glyph boxes of text laid out from (0, 0); empty for empty text.
    IntRect textBounds(std::string_view text, float fontSizePx, float letterSpacing);

    // Coverage of one glyph, rasterised on first use and kept for the font's life.
    // Keys with a non-finite or non-positive scale give an empty view.
    ImageView<const L8> glyphCoverage(const GlyphKey& key);

    // Rasterises a glyph without touching the cache.
    OwnedImage<L8> rasterizeGlyph(const GlyphKey& key);

private:
    friend void drawText(ImageView<RGBA> target, Font& font, std::string_view text,
                         float fontSizePx, float letterSpacing, RGBA color, float x, float y,
                         int alignX, int alignY);

    using LayoutCallback = void (*)(void*, const IntRect&, std::uint32_t, int, float, float, float);
    void layout(std::string_view text, float fontSizePx, float letterSpacing, float x, float y,
                LayoutCallback callback, void* context) const;

    TrueTypeFace face_;
    std::int16_t ascent_ = 0, descent_ = 0, lineGap_ = 0;
    std::map<GlyphKey, OwnedImage<L8>> glyphCache;
    ReentrantLock cacheMutex;
    // Rasteriser and outline scratch are shared by all glyphs; both are used only
    // under cacheMutex.
    GlyphRasterizer rasterizer_;
    GlyphOutline outline_;
};

// Draws text into target with its pen at (x, y). alignX / alignY = alignCentre
// centres the text's box on that coordinate; anything else leaves the pen there.
// Coverage blends the colour's r, g, b over the target and every pixel of each
// glyph's box takes the colour's alpha.
void drawText(ImageView<RGBA> target, Font& font, std::string_view text, float fontSizePx,
              float letterSpacing, RGBA color, float x, float y, int alignX, int alignY);

} // namespace corvid
