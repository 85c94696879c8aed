#include "jpeg_oracle.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <jpeglib.h>
#include <random>

namespace jpegtest {

std::vector<std::uint8_t> encode(const Picture& picture, const EncodeOptions& options) {
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr jerr{};
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = static_cast<JDIMENSION>(picture.width);
    cinfo.image_height = static_cast<JDIMENSION>(picture.height);
    cinfo.input_components = picture.components;
    cinfo.in_color_space = picture.components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, options.quality, TRUE);
    if (picture.components == 3) {
        cinfo.comp_info[0].h_samp_factor = options.hLuma;
        cinfo.comp_info[0].v_samp_factor = options.vLuma;
        for (int c = 1; c < 3; ++c)
            cinfo.comp_info[c].h_samp_factor = cinfo.comp_info[c].v_samp_factor = 1;
    }
    if (options.rgbStored && picture.components == 3) jpeg_set_colorspace(&cinfo, JCS_RGB);
    cinfo.optimize_coding = options.optimize ? TRUE : FALSE;
    cinfo.restart_interval = static_cast<unsigned>(options.restartInterval);
    if (options.progressive) jpeg_simple_progression(&cinfo);
    jpeg_scan_info scans[3] = {};
    if (options.separateScans) {
        for (int c = 0; c < picture.components; ++c) {
            scans[c].comps_in_scan = 1;
            scans[c].component_index[0] = c;
            scans[c].Ss = 0;
            scans[c].Se = 63;
        }
        cinfo.scan_info = scans;
        cinfo.num_scans = picture.components;
    }
    jpeg_start_compress(&cinfo, TRUE);
    const int stride = picture.width * picture.components;
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(picture.pixels.data() +
                                            static_cast<std::size_t>(cinfo.next_scanline) * stride);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    std::vector<std::uint8_t> out(buffer, buffer + size);
    jpeg_destroy_compress(&cinfo);
    std::free(buffer);
    return out;
}

Picture referenceDecode(const std::vector<std::uint8_t>& jpeg, int components) {
    jpeg_decompress_struct cinfo{};
    jpeg_error_mgr jerr{};
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, jpeg.data(), static_cast<unsigned long>(jpeg.size()));
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space =
        components == 1 ? JCS_GRAYSCALE : (components == 4 ? JCS_EXT_RGBA : JCS_RGB);
    cinfo.dct_method = JDCT_ISLOW;
    cinfo.do_fancy_upsampling = TRUE;
    jpeg_start_decompress(&cinfo);
    Picture p;
    p.width = static_cast<int>(cinfo.output_width);
    p.height = static_cast<int>(cinfo.output_height);
    p.components = cinfo.output_components;
    p.pixels.resize(static_cast<std::size_t>(p.width) * p.height * p.components);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = p.pixels.data() +
                       static_cast<std::size_t>(cinfo.output_scanline) * p.width * p.components;
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return p;
}

Picture mixedPicture(int width, int height, int components, unsigned seed) {
    Picture p{width, height, components, {}};
    p.pixels.resize(static_cast<std::size_t>(width) * height * components);
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> noise(0, 255);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            for (int c = 0; c < components; ++c) {
                int v;
                if (x < width / 3) {
                    v = (y < height / 2) ? 40 + 60 * c : 200 - 50 * c; // flat patches
                } else if (x < 2 * width / 3) {
                    v = (x * 255 / std::max(1, width) + y * 128 / std::max(1, height) + 70 * c) &
                        255;
                } else {
                    v = noise(rng);
                }
                if ((x / 5 + y / 7) % 11 == 0) v = 255 - v; // sharp edges
                p.pixels[(static_cast<std::size_t>(y) * width + x) * components + c] =
                    static_cast<std::uint8_t>(v);
            }
        }
    }
    return p;
}

Picture detailedPicture(int width, int height, unsigned seed, double grain) {
    Picture p{width, height, 3, {}};
    p.pixels.resize(static_cast<std::size_t>(width) * height * 3);
    std::mt19937 rng(seed);
    std::normal_distribution<double> noise(0.0, grain);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const double fx = x / 23.0, fy = y / 17.0;
            const double base = 128 + 60 * std::sin(fx + 0.7 * std::sin(fy * 1.3)) +
                                40 * std::cos(fy * 2.1 + fx * 0.4) * std::sin(x * 0.9 + y * 0.35);
            for (int c = 0; c < 3; ++c) {
                const double v = base + 25 * std::sin(x * 0.21 * (c + 1) + y * 0.13) + noise(rng);
                p.pixels[(static_cast<std::size_t>(y) * width + x) * 3 + c] =
                    static_cast<std::uint8_t>(std::lround(std::clamp(v, 0.0, 255.0)));
            }
        }
    }
    return p;
}

} // namespace jpegtest
