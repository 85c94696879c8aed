#include "corvid/graphics/codecs/jpegload.h"
#include "jpeg_oracle.h"

#include <benchmark/benchmark.h>
#include <jpeglib.h>

#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

// Pictures like the editor's: a detailed 763 x 494 background (about 370 KB at 4:4:4)
// and a smoother 1024 x 768 skybox (about 170 KB at 4:2:0).
const Bytes& background(bool progressive) {
    static const jpegtest::Picture picture = jpegtest::detailedPicture(763, 494, 1);
    static const Bytes files[2] = {
        jpegtest::encode(picture, jpegtest::EncodeOptions{90, 1, 1, false, 0, false}),
        jpegtest::encode(picture, jpegtest::EncodeOptions{90, 1, 1, true, 0, false})};
    return files[progressive ? 1 : 0];
}

const Bytes& skybox(bool progressive) {
    static const jpegtest::Picture picture = jpegtest::detailedPicture(1024, 768, 2, 2.0);
    static const Bytes files[2] = {
        jpegtest::encode(picture, jpegtest::EncodeOptions{75, 2, 2, false, 0, false}),
        jpegtest::encode(picture, jpegtest::EncodeOptions{75, 2, 2, true, 0, false})};
    return files[progressive ? 1 : 0];
}

void corvidDecode(benchmark::State& state, const Bytes& file, int components) {
    for (auto _ : state) {
        corvid::DecodedImage image;
        std::string error;
        if (!corvid::decodeJpeg(file.data(), file.size(), components, image, error)) {
            state.SkipWithError(error.c_str());
            return;
        }
        benchmark::DoNotOptimize(image.pixels.data());
    }
    state.counters["file_bytes"] = static_cast<double>(file.size());
}

// The output buffer is allocated afresh each time, as our decoder's is: both then pay
// for first touching the picture's memory.
void turboDecode(benchmark::State& state, const Bytes& file, int components) {
    for (auto _ : state) {
        std::vector<std::uint8_t> pixels;
        jpeg_decompress_struct cinfo{};
        jpeg_error_mgr jerr{};
        cinfo.err = jpeg_std_error(&jerr);
        jpeg_create_decompress(&cinfo);
        jpeg_mem_src(&cinfo, file.data(), static_cast<unsigned long>(file.size()));
        jpeg_read_header(&cinfo, TRUE);
        cinfo.out_color_space = components == 4 ? JCS_EXT_RGBA : JCS_RGB;
        cinfo.dct_method = JDCT_ISLOW;
        cinfo.do_fancy_upsampling = TRUE;
        jpeg_start_decompress(&cinfo);
        const std::size_t stride = static_cast<std::size_t>(cinfo.output_width) * components;
        pixels.resize(stride * cinfo.output_height);
        while (cinfo.output_scanline < cinfo.output_height) {
            JSAMPROW rows[16];
            for (int i = 0; i < 16; ++i)
                rows[i] = pixels.data() + stride * std::min<std::size_t>(cinfo.output_scanline + i,
                                                                         cinfo.output_height - 1);
            jpeg_read_scanlines(&cinfo, rows, 16);
        }
        jpeg_finish_decompress(&cinfo);
        jpeg_destroy_decompress(&cinfo);
        benchmark::DoNotOptimize(pixels.data());
    }
    state.counters["file_bytes"] = static_cast<double>(file.size());
}

void BM_Background_Baseline_Corvid(benchmark::State& s) {
    corvidDecode(s, background(false), 3);
}
void BM_Background_Baseline_Turbo(benchmark::State& s) {
    turboDecode(s, background(false), 3);
}
void BM_Background_Progressive_Corvid(benchmark::State& s) {
    corvidDecode(s, background(true), 3);
}
void BM_Background_Progressive_Turbo(benchmark::State& s) {
    turboDecode(s, background(true), 3);
}
void BM_Skybox_Baseline_Corvid(benchmark::State& s) {
    corvidDecode(s, skybox(false), 4);
}
void BM_Skybox_Baseline_Turbo(benchmark::State& s) {
    turboDecode(s, skybox(false), 4);
}
void BM_Skybox_Progressive_Corvid(benchmark::State& s) {
    corvidDecode(s, skybox(true), 4);
}
void BM_Skybox_Progressive_Turbo(benchmark::State& s) {
    turboDecode(s, skybox(true), 4);
}

BENCHMARK(BM_Background_Baseline_Corvid)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Background_Baseline_Turbo)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Background_Progressive_Corvid)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Background_Progressive_Turbo)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Skybox_Baseline_Corvid)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Skybox_Baseline_Turbo)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Skybox_Progressive_Corvid)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Skybox_Progressive_Turbo)->Unit(benchmark::kMillisecond);

} // namespace
