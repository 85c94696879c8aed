// Arbitrary bytes as a font file: the table reader, outline decoding (composites
// included), metrics, kerning and rasterisation must stay inside the data and finish.

#include "corvid/graphics/text/rasterizer.h"
#include "corvid/graphics/text/truetype.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    corvid::TrueTypeFace face;
    if (face.open({data, size}) != nullptr) return 0;

    static corvid::GlyphOutline outline;
    static corvid::GlyphRasterizer rasterizer;
    static std::vector<corvid::L8> pixels;
    std::vector<int> glyphs;
    for (std::uint32_t cp : {0x41u, 0x67u, 0xE9u, 0x20ACu, 0x1F600u, 0x10FFFFu})
        glyphs.push_back(face.glyphIndex(cp));
    for (int g = 0; g < face.numGlyphs() && g < 8; ++g) glyphs.push_back(g);
    glyphs.push_back(face.numGlyphs() - 1);

    const float scale = 14.0f / float(face.ascent() - face.descent());
    int previous = -1;
    for (int g : glyphs) {
        volatile int metrics = face.advanceWidth(g) + face.leftSideBearing(g);
        if (previous >= 0) metrics = metrics + face.kerning(previous, g);
        previous = g;
        const bool loaded = face.loadOutline(g, outline);
        corvid::GlyphBounds bounds;
        if (!face.glyphBounds(g, bounds)) continue;
        const corvid::IntRect box = corvid::glyphPixelBox(bounds, scale, 0.375f, 0.5f);
        if (!loaded || box.isEmpty() || std::int64_t(box.width()) * box.height() > (1 << 16))
            continue;
        pixels.assign(std::size_t(box.width()) * std::size_t(box.height()), corvid::L8(0));
        rasterizer.rasterize(
            outline, scale, 0.375f - float(box.minX), 0.5f - float(box.minY),
            corvid::ImageView<corvid::L8>(pixels.data(), box.width(), box.height(), box.width()));
    }
    return 0;
}
