// Glyph rasterisation speed, side by side with FreeType's unhinted anti-aliased
// rendering of the same font at the same scale: printable ASCII, no caching.

#include "corvid/graphics/text/font.h"
#include "tests/font/fontdata.h"
#include "tests/font/reference_rasterizer.h"

#include <benchmark/benchmark.h>

#include <ft2build.h>
#include FT_FREETYPE_H

#include <cmath>
#include <vector>

namespace {

const std::vector<std::uint8_t>& fontData() {
    static const std::vector<std::uint8_t> data = testfont::readDejaVuSans();
    return data;
}

// Sizes are given in tenths of a pixel (ascent-to-descent height).
float sizeOf(const benchmark::State& state) {
    return float(state.range(0)) / 10.0f;
}

void rasteriseAscii(benchmark::State& state) {
    corvid::Font font(fontData());
    const float scale = font.scaleForSize(sizeOf(state));
    std::int64_t pixels = 0;
    for (auto _ : state) {
        for (std::uint32_t c = 32; c < 127; ++c) {
            corvid::OwnedImage<corvid::L8> bitmap = font.rasterizeGlyph({c, scale, 0, 0});
            benchmark::DoNotOptimize(bitmap.data());
            pixels += bitmap.numPixels();
        }
    }
    state.SetItemsProcessed(state.iterations() * 95);
    state.counters["ns/glyph"] = benchmark::Counter(
        double(state.iterations()) * 95, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["pixels/glyph"] = double(pixels) / (double(state.iterations()) * 95);
}

// The scan conversion alone, outlines loaded beforehand; against the rasteriser
// kept in the tests as the reference for its output.
template <typename Rasterizer>
void scanAscii(benchmark::State& state) {
    corvid::Font font(fontData());
    const float scale = font.scaleForSize(sizeOf(state));
    struct Glyph {
        corvid::GlyphOutline outline;
        corvid::IntRect box;
    };
    std::vector<Glyph> glyphs;
    for (std::uint32_t c = 32; c < 127; ++c) {
        const int index = font.face().glyphIndex(c);
        corvid::GlyphBounds bounds;
        Glyph glyph;
        if (!font.face().glyphBounds(index, bounds) ||
            !font.face().loadOutline(index, glyph.outline))
            continue;
        glyph.box = corvid::glyphPixelBox(bounds, scale, 0, 0);
        glyphs.push_back(std::move(glyph));
    }
    corvid::OwnedImage<corvid::L8> canvas(256, 256);
    Rasterizer rasterizer;
    for (auto _ : state) {
        for (const Glyph& g : glyphs) {
            const corvid::ImageView<corvid::L8> target =
                canvas.asView().crop({0, 0, g.box.width(), g.box.height()});
            rasterizer.rasterize(g.outline, scale, -float(g.box.minX), -float(g.box.minY), target);
            benchmark::DoNotOptimize(canvas.data());
        }
    }
    state.counters["ns/glyph"] =
        benchmark::Counter(double(state.iterations()) * double(glyphs.size()),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void freeTypeAscii(benchmark::State& state) {
    FT_Library library;
    FT_Face face;
    if (FT_Init_FreeType(&library) ||
        FT_New_Memory_Face(library, fontData().data(), FT_Long(fontData().size()), 0, &face)) {
        state.SkipWithError("FreeType cannot open the font");
        return;
    }
    corvid::Font font(fontData());
    // The same pixels per font unit as ours: FreeType sizes the em square.
    const double emPixels = double(font.scaleForSize(sizeOf(state))) * face->units_per_EM;
    FT_Set_Char_Size(face, 0, FT_F26Dot6(std::lround(emPixels * 64)), 72, 72);
    std::int64_t pixels = 0;
    for (auto _ : state) {
        for (FT_ULong c = 32; c < 127; ++c) {
            FT_Load_Char(face, c, FT_LOAD_NO_HINTING | FT_LOAD_RENDER);
            benchmark::DoNotOptimize(face->glyph->bitmap.buffer);
            pixels += std::int64_t(face->glyph->bitmap.rows) * face->glyph->bitmap.width;
        }
    }
    state.SetItemsProcessed(state.iterations() * 95);
    state.counters["ns/glyph"] = benchmark::Counter(
        double(state.iterations()) * 95, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["pixels/glyph"] = double(pixels) / (double(state.iterations()) * 95);
    FT_Done_Face(face);
    FT_Done_FreeType(library);
}

} // namespace

BENCHMARK(rasteriseAscii)->Arg(95)->Arg(130);
BENCHMARK(freeTypeAscii)->Arg(95)->Arg(130);
BENCHMARK(scanAscii<corvid::GlyphRasterizer>)->Arg(95)->Arg(130);
BENCHMARK(scanAscii<fonttest::ReferenceRasterizer>)->Arg(95)->Arg(130);
