#include "tests/png/pngoracle.h"

#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <stdexcept>

namespace pngtest {

namespace {

int channelsOf(int colourType) {
    switch (colourType) {
    case 2:
        return 3;
    case 4:
        return 2;
    case 6:
        return 4;
    default:
        return 1;
    }
}

void putSample(Bytes& row, std::size_t index, int depth, unsigned value) {
    if (depth == 16) {
        row[2 * index] = std::uint8_t(value >> 8);
        row[2 * index + 1] = std::uint8_t(value);
    } else if (depth == 8) {
        row[index] = std::uint8_t(value);
    } else {
        const std::size_t bit = index * std::size_t(depth);
        row[bit / 8] |= std::uint8_t(value << (8 - depth - int(bit % 8)));
    }
}

struct ReadState {
    const Bytes* file;
    std::size_t pos;
};

void readCallback(png_structp png, png_bytep out, png_size_t n) {
    auto* st = static_cast<ReadState*>(png_get_io_ptr(png));
    if (st->file->size() - st->pos < n) png_error(png, "read past end");
    std::memcpy(out, st->file->data() + st->pos, n);
    st->pos += n;
}

void writeCallback(png_structp png, png_bytep data, png_size_t n) {
    auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + n);
}

void flushCallback(png_structp) {}

} // namespace

Picture makePicture(int width, int height, int colourType, int depth, Pattern pattern,
                    unsigned seed) {
    Picture p;
    p.width = width;
    p.height = height;
    p.colourType = colourType;
    p.depth = depth;
    const int channels = channelsOf(colourType);
    const unsigned maxValue = (1u << depth) - 1;
    const std::size_t rowBytes = (std::size_t(width) * channels * depth + 7) / 8;
    p.rows.assign(rowBytes * std::size_t(height), 0);
    std::mt19937 rng(seed);
    const unsigned paletteSize = std::min(5u, 1u << depth);
    // Artwork: a few flat rectangles with soft vertical ramps, like the editor's maps.
    struct Box {
        int x0, y0, x1, y1;
        unsigned base[4];
    };
    std::vector<Box> boxes;
    for (int i = 0; i < 12; ++i) {
        Box b{};
        b.x0 = int(rng() % unsigned(width));
        b.y0 = int(rng() % unsigned(height));
        b.x1 = b.x0 + 1 + int(rng() % unsigned(width));
        b.y1 = b.y0 + 1 + int(rng() % unsigned(height));
        for (unsigned& v : b.base) v = rng();
        boxes.push_back(b);
    }
    for (int y = 0; y < height; ++y) {
        Bytes row(rowBytes, 0);
        for (int x = 0; x < width; ++x) {
            for (int c = 0; c < channels; ++c) {
                unsigned v = 0;
                switch (pattern) {
                case Pattern::Flat:
                    v = (seed * 977u + unsigned(c) * 131u) & 0xFFFF;
                    break;
                case Pattern::Gradient:
                    v = unsigned(x * 65535 / std::max(1, width - 1) * (c + 1) +
                                 y * 65535 / std::max(1, height - 1));
                    break;
                case Pattern::Noise:
                    v = rng();
                    break;
                case Pattern::Artwork:
                    v = unsigned(c) * 9000u;
                    for (const Box& b : boxes)
                        if (x >= b.x0 && x < b.x1 && y >= b.y0 && y < b.y1)
                            v = b.base[c] + unsigned(y - b.y0) * 40u;
                    break;
                }
                if (depth == 16)
                    v &= 0xFFFF;
                else
                    v = (v >> (16 - depth)) & maxValue;
                if (colourType == 3) v %= paletteSize;
                putSample(row, std::size_t(x) * channels + std::size_t(c), depth, v);
            }
        }
        std::memcpy(&p.rows[std::size_t(y) * rowBytes], row.data(), rowBytes);
    }
    if (colourType == 3) {
        for (unsigned i = 0; i < paletteSize; ++i) {
            p.palette.push_back(std::uint8_t(40 * i + 3));
            p.palette.push_back(std::uint8_t(255 - 50 * i));
            p.palette.push_back(std::uint8_t(i * i * 9));
        }
    }
    return p;
}

Bytes encodeWithLibpng(const Picture& picture, const Encoding& encoding) {
    Bytes out;
    std::vector<png_color> palette;
    std::vector<png_bytep> rows;
    png_color_16 key{};
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        throw std::runtime_error("libpng failed to encode");
    }
    png_set_write_fn(png, &out, writeCallback, flushCallback);
    png_set_IHDR(png, info, png_uint_32(picture.width), png_uint_32(picture.height), picture.depth,
                 picture.colourType, encoding.interlace ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    for (std::size_t i = 0; i + 2 < picture.palette.size(); i += 3)
        palette.push_back({picture.palette[i], picture.palette[i + 1], picture.palette[i + 2]});
    if (!palette.empty()) png_set_PLTE(png, info, palette.data(), int(palette.size()));
    if (!picture.trns.empty()) {
        if (picture.colourType == 3) {
            png_set_tRNS(png, info, picture.trns.data(), int(picture.trns.size()), nullptr);
        } else {
            const auto& t = picture.trns;
            if (picture.colourType == 0) {
                key.gray = png_uint_16(t[0] << 8 | t[1]);
            } else {
                key.red = png_uint_16(t[0] << 8 | t[1]);
                key.green = png_uint_16(t[2] << 8 | t[3]);
                key.blue = png_uint_16(t[4] << 8 | t[5]);
            }
            png_set_tRNS(png, info, nullptr, 0, &key);
        }
    }
    if (encoding.filters >= 0) png_set_filter(png, PNG_FILTER_TYPE_BASE, encoding.filters);
    png_set_compression_level(png, encoding.level);
    png_set_compression_strategy(png, encoding.strategy);
    if (encoding.idatSize) png_set_compression_buffer_size(png, png_size_t(encoding.idatSize));
    png_write_info(png, info);
    const std::size_t rowBytes = picture.rows.size() / std::size_t(picture.height);
    for (int y = 0; y < picture.height; ++y)
        rows.push_back(const_cast<png_bytep>(&picture.rows[std::size_t(y) * rowBytes]));
    png_write_image(png, rows.data());
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

corvid::DecodedImage decodeWithLibpng(const Bytes& file) {
    corvid::DecodedImage image;
    std::vector<png_bytep> rows;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        throw std::runtime_error("libpng failed to decode");
    }
    ReadState state{&file, 0};
    png_set_read_fn(png, &state, readCallback);
    png_read_info(png, info);
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    image.width = int(png_get_image_width(png, info));
    image.height = int(png_get_image_height(png, info));
    image.components = 4;
    image.pixels.resize(std::size_t(image.width) * std::size_t(image.height) * 4);
    for (int y = 0; y < image.height; ++y)
        rows.push_back(&image.pixels[std::size_t(y) * std::size_t(image.width) * 4]);
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    return image;
}

Bytes assemblePng(const std::vector<Chunk>& chunks) {
    Bytes out = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    for (const Chunk& c : chunks) {
        const std::uint32_t n = std::uint32_t(c.body.size());
        for (int s = 24; s >= 0; s -= 8) out.push_back(std::uint8_t(n >> s));
        const std::size_t typeAt = out.size();
        out.insert(out.end(), c.type.begin(), c.type.end());
        out.insert(out.end(), c.body.begin(), c.body.end());
        const std::uint32_t crc =
            std::uint32_t(::crc32(0, out.data() + typeAt, uInt(out.size() - typeAt)));
        for (int s = 24; s >= 0; s -= 8) out.push_back(std::uint8_t(crc >> s));
    }
    return out;
}

Bytes headerBody(std::uint32_t width, std::uint32_t height, int depth, int colourType,
                 int interlace) {
    Bytes b;
    for (std::uint32_t v : {width, height})
        for (int s = 24; s >= 0; s -= 8) b.push_back(std::uint8_t(v >> s));
    b.insert(b.end(),
             {std::uint8_t(depth), std::uint8_t(colourType), 0, 0, std::uint8_t(interlace)});
    return b;
}

Bytes zlibCompress(const Bytes& data, int level) {
    uLongf size = compressBound(uLong(data.size()));
    Bytes out(size);
    if (compress2(out.data(), &size, data.data(), uLong(data.size()), level) != Z_OK)
        throw std::runtime_error("zlib failed to compress");
    out.resize(size);
    return out;
}

} // namespace pngtest
