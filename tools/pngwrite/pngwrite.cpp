#include "tools/pngwrite/pngwrite.h"

#include <png.h>

#include <cstdio>
#include <vector>

namespace tools {

bool writePng(const std::string& path, const corvid::OwnedImage<corvid::RGBA>& image) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    bool ok = false;
    if (info != nullptr && setjmp(png_jmpbuf(png)) == 0) {
        png_init_io(png, file);
        png_set_IHDR(png, info, static_cast<png_uint_32>(image.width()),
                     static_cast<png_uint_32>(image.height()), 8, PNG_COLOR_TYPE_RGB,
                     PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_write_info(png, info);
        std::vector<png_byte> row(static_cast<size_t>(image.width()) * 3);
        for (int y = 0; y < image.height(); ++y) {
            const auto pixels = image.rowSpan(y);
            for (int x = 0; x < image.width(); ++x) {
                row[static_cast<size_t>(x) * 3 + 0] = pixels[static_cast<size_t>(x)].r;
                row[static_cast<size_t>(x) * 3 + 1] = pixels[static_cast<size_t>(x)].g;
                row[static_cast<size_t>(x) * 3 + 2] = pixels[static_cast<size_t>(x)].b;
            }
            png_write_row(png, row.data());
        }
        png_write_end(png, info);
        ok = true;
    }
    png_destroy_write_struct(&png, info != nullptr ? &info : nullptr);
    return std::fclose(file) == 0 && ok;
}

} // namespace tools
