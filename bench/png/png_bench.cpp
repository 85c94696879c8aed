// Our PNG decoder and inflate side by side with libpng and zlib on editor-sized pictures
// shaped like the background maps: large flat areas, soft ramps, a few KB compressed.

#include "corvid/graphics/codecs/inflate.h"
#include "corvid/graphics/codecs/pngload.h"

#include "tests/png/pngoracle.h"

#include <benchmark/benchmark.h>
#include <png.h>
#include <zlib.h>

#include <cstring>
#include <stdexcept>

namespace {

using pngtest::Bytes;

struct Input {
    const char* name;
    Bytes file;
    Bytes idat; // the concatenated zlib stream
    std::size_t rawSize = 0;
};

Bytes extractIdat(const Bytes& file) {
    Bytes out;
    std::size_t pos = 8;
    while (pos + 12 <= file.size()) {
        const std::size_t n = std::size_t(file[pos]) << 24 | std::size_t(file[pos + 1]) << 16 |
                              std::size_t(file[pos + 2]) << 8 | file[pos + 3];
        if (std::memcmp(&file[pos + 4], "IDAT", 4) == 0)
            out.insert(out.end(), file.begin() + std::ptrdiff_t(pos + 8),
                       file.begin() + std::ptrdiff_t(pos + 8 + n));
        pos += 12 + n;
    }
    return out;
}

Input makeInput(const char* name, int colourType, unsigned seed) {
    const pngtest::Picture picture =
        pngtest::makePicture(763, 494, colourType, 8, pngtest::Pattern::Artwork, seed);
    Input in;
    in.name = name;
    in.file = pngtest::encodeWithLibpng(picture, {});
    in.idat = extractIdat(in.file);
    in.rawSize = picture.rows.size() + 494;
    return in;
}

const std::vector<Input>& inputs() {
    static const std::vector<Input> all = {makeInput("rgb", 2, 5), makeInput("rgba", 6, 6),
                                           makeInput("rgba2", 6, 11)};
    return all;
}

void readFromMemory(png_structp png, png_bytep out, png_size_t n) {
    auto* cursor = static_cast<std::pair<const Bytes*, std::size_t>*>(png_get_io_ptr(png));
    if (cursor->first->size() - cursor->second < n) png_error(png, "truncated");
    std::memcpy(out, cursor->first->data() + cursor->second, n);
    cursor->second += n;
}

// libpng decoding to the same 8-bit RGBA result as ours.
void libpngDecode(const Bytes& file, std::vector<std::uint8_t>& pixels,
                  std::vector<png_bytep>& rows) {
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        throw std::runtime_error("libpng failed");
    }
    std::pair<const Bytes*, std::size_t> cursor{&file, 0};
    png_set_read_fn(png, &cursor, readFromMemory);
    png_read_info(png, info);
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
    png_read_update_info(png, info);
    const std::size_t w = png_get_image_width(png, info), h = png_get_image_height(png, info);
    pixels.resize(w * h * 4);
    rows.resize(h);
    for (std::size_t y = 0; y < h; ++y) rows[y] = &pixels[y * w * 4];
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
}

void BM_PngOurs(benchmark::State& state) {
    const Input& in = inputs()[std::size_t(state.range(0))];
    state.SetLabel(std::string(in.name) + " " + std::to_string(in.file.size()) + " bytes");
    for (auto _ : state) {
        corvid::DecodedImage image;
        std::string error;
        if (!corvid::decodePng(in.file.data(), in.file.size(), 4, image, error))
            state.SkipWithError(error.c_str());
        benchmark::DoNotOptimize(image.pixels.data());
    }
}

void BM_PngLibpng(benchmark::State& state) {
    const Input& in = inputs()[std::size_t(state.range(0))];
    state.SetLabel(std::string(in.name) + " " + std::to_string(in.file.size()) + " bytes");
    for (auto _ : state) {
        std::vector<std::uint8_t> pixels;
        std::vector<png_bytep> rows;
        libpngDecode(in.file, pixels, rows);
        benchmark::DoNotOptimize(pixels.data());
    }
}

void BM_InflateOurs(benchmark::State& state) {
    const Input& in = inputs()[std::size_t(state.range(0))];
    state.SetLabel(in.name);
    corvid::InflateLimits limits;
    limits.sizeHint = in.rawSize;
    for (auto _ : state) {
        std::vector<std::uint8_t> out;
        std::string error;
        if (!corvid::inflateZlib(in.idat.data(), in.idat.size(), limits, out, error))
            state.SkipWithError(error.c_str());
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(in.rawSize));
}

void BM_InflateZlib(benchmark::State& state) {
    const Input& in = inputs()[std::size_t(state.range(0))];
    state.SetLabel(in.name);
    for (auto _ : state) {
        std::vector<std::uint8_t> out(in.rawSize);
        uLongf size = uLongf(out.size());
        if (uncompress(out.data(), &size, in.idat.data(), uLong(in.idat.size())) != Z_OK)
            state.SkipWithError("zlib failed");
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(in.rawSize));
}

BENCHMARK(BM_PngOurs)->DenseRange(0, 2)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PngLibpng)->DenseRange(0, 2)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_InflateOurs)->DenseRange(0, 2)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_InflateZlib)->DenseRange(0, 2)->Unit(benchmark::kMicrosecond);

} // namespace
