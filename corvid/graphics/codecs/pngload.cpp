#include "corvid/graphics/codecs/pngload.h"

#include "corvid/graphics/codecs/inflate.h"
#include "corvid/graphics/codecs/pngfilter_simd.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>
#include <vector>

namespace corvid {

namespace {

constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

// DEFLATE cannot expand one input byte to more than 1032 output bytes (a one-bit
// length-258 code and a one-bit distance code); image data claiming more is refused
// before its buffer is allocated.
constexpr std::uint64_t kMaxInflateRatio = 1032;

std::array<std::uint32_t, 256> makeCrcTable() {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t c = n;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}

std::uint32_t readBE32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
}

std::uint32_t chunkType(const char (&name)[5]) {
    return std::uint32_t(std::uint8_t(name[0])) << 24 | std::uint32_t(std::uint8_t(name[1])) << 16 |
           std::uint32_t(std::uint8_t(name[2])) << 8 | std::uint8_t(name[3]);
}

struct Header {
    int width = 0, height = 0;
    int depth = 0, colourType = 0;
    bool interlaced = false;
    int channels = 0;

    int bitsPerPixel() const { return depth * channels; }
    // Distance in bytes to the corresponding byte of the previous pixel (at least 1).
    int filterStride() const { return std::max(1, bitsPerPixel() / 8); }
    std::size_t rowBytes(int pixels) const {
        return (std::size_t(pixels) * std::size_t(bitsPerPixel()) + 7) / 8;
    }
};

struct Pass {
    int x0, y0, dx, dy;
    int width, height;
};

constexpr int kAdam7[7][4] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                              {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};

struct Transparency {
    bool present = false;
    std::uint16_t key[3] = {}; // grey or r, g, b of the transparent colour
};

struct State {
    Header header;
    std::array<std::uint8_t, 256 * 4> palette{}; // RGBA per entry
    int paletteSize = 0;
    Transparency trns;
    std::vector<std::uint8_t> compressed;
};

bool fail(std::string& error, const char* message) {
    error = message;
    return false;
}

bool parseHeader(const std::uint8_t* p, std::uint32_t length, Header& h, std::string& error) {
    if (length != 13) return fail(error, "PNG header chunk has the wrong length");
    const std::uint32_t width = readBE32(p), height = readBE32(p + 4);
    h.depth = p[8];
    h.colourType = p[9];
    if (width == 0 || height == 0) return fail(error, "PNG image has zero width or height");
    if (width > std::uint32_t(kMaxPngSide) || height > std::uint32_t(kMaxPngSide) ||
        std::uint64_t(width) * height > std::uint64_t(kMaxPngPixels))
        return fail(error, "PNG image is larger than allowed");
    h.width = int(width);
    h.height = int(height);
    bool depthOk = false;
    switch (h.colourType) {
    case 0:
        h.channels = 1;
        depthOk = h.depth == 1 || h.depth == 2 || h.depth == 4 || h.depth == 8 || h.depth == 16;
        break;
    case 2:
        h.channels = 3;
        depthOk = h.depth == 8 || h.depth == 16;
        break;
    case 3:
        h.channels = 1;
        depthOk = h.depth == 1 || h.depth == 2 || h.depth == 4 || h.depth == 8;
        break;
    case 4:
        h.channels = 2;
        depthOk = h.depth == 8 || h.depth == 16;
        break;
    case 6:
        h.channels = 4;
        depthOk = h.depth == 8 || h.depth == 16;
        break;
    default:
        return fail(error, "PNG image has an invalid colour type");
    }
    if (!depthOk) return fail(error, "PNG image has an invalid bit depth for its colour type");
    if (p[10] != 0) return fail(error, "PNG image has an unknown compression method");
    if (p[11] != 0) return fail(error, "PNG image has an unknown filter method");
    if (p[12] > 1) return fail(error, "PNG image has an unknown interlace method");
    h.interlaced = p[12] == 1;
    return true;
}

bool parseTransparency(const std::uint8_t* p, std::uint32_t length, State& s, std::string& error) {
    switch (s.header.colourType) {
    case 0:
        if (length != 2) return fail(error, "PNG transparency chunk has the wrong length");
        s.trns.key[0] = std::uint16_t(p[0] << 8 | p[1]);
        s.trns.present = true;
        return true;
    case 2:
        if (length != 6) return fail(error, "PNG transparency chunk has the wrong length");
        for (int c = 0; c < 3; ++c) s.trns.key[c] = std::uint16_t(p[2 * c] << 8 | p[2 * c + 1]);
        s.trns.present = true;
        return true;
    case 3:
        if (s.paletteSize == 0) return fail(error, "PNG transparency chunk before the palette");
        if (length > std::uint32_t(s.paletteSize))
            return fail(error, "PNG transparency chunk longer than the palette");
        for (std::uint32_t i = 0; i < length; ++i) s.palette[4 * i + 3] = p[i];
        s.trns.present = true;
        return true;
    default:
        // Images with an alpha channel carry no transparency chunk; readers ignore one.
        return true;
    }
}

// Walks the chunks, checking each CRC, and gathers the header, palette, transparency
// and the concatenated image data.
bool parseChunks(const std::uint8_t* data, std::size_t size, State& s, std::string& error) {
    std::size_t pos = sizeof(kSignature);
    bool haveHeader = false, inData = false, dataDone = false;
    for (;;) {
        if (size - pos < 12) return fail(error, "PNG file is truncated");
        const std::uint32_t length = readBE32(data + pos);
        if (length > 0x7FFFFFFFu) return fail(error, "PNG chunk length is invalid");
        if (size - pos - 12 < length) return fail(error, "PNG file is truncated");
        const std::uint8_t* typeBytes = data + pos + 4;
        const std::uint8_t* body = typeBytes + 4;
        for (int i = 0; i < 4; ++i) {
            const std::uint8_t c = typeBytes[i] & ~0x20;
            if (c < 'A' || c > 'Z') return fail(error, "PNG chunk has an invalid type");
        }
        if (crc32(0, typeBytes, 4 + std::size_t(length)) != readBE32(body + length))
            return fail(error, "PNG chunk CRC mismatch");
        const std::uint32_t type = readBE32(typeBytes);
        pos += 12 + std::size_t(length);

        if (!haveHeader && type != chunkType("IHDR"))
            return fail(error, "PNG file does not start with a header chunk");
        if (inData && type != chunkType("IDAT")) {
            inData = false;
            dataDone = true;
        }
        if (type == chunkType("IHDR")) {
            if (haveHeader) return fail(error, "PNG file has two header chunks");
            if (!parseHeader(body, length, s.header, error)) return false;
            haveHeader = true;
        } else if (type == chunkType("PLTE")) {
            if (inData || dataDone) return fail(error, "PNG palette after the image data");
            if (s.paletteSize) return fail(error, "PNG file has two palettes");
            if (length == 0 || length % 3 || length > 768)
                return fail(error, "PNG palette has an invalid length");
            const int ct = s.header.colourType;
            if (ct == 0 || ct == 4) return fail(error, "PNG palette in a grey image");
            s.paletteSize = int(length / 3);
            for (int i = 0; i < s.paletteSize; ++i) {
                std::memcpy(&s.palette[4 * std::size_t(i)], body + 3 * i, 3);
                s.palette[4 * std::size_t(i) + 3] = 255;
            }
        } else if (type == chunkType("tRNS")) {
            if (inData || dataDone)
                return fail(error, "PNG transparency chunk after the image data");
            if (s.trns.present) return fail(error, "PNG file has two transparency chunks");
            if (!parseTransparency(body, length, s, error)) return false;
        } else if (type == chunkType("IDAT")) {
            if (dataDone) return fail(error, "PNG image data chunks are not consecutive");
            if (s.header.colourType == 3 && s.paletteSize == 0)
                return fail(error, "PNG palette image has no palette");
            inData = true;
            s.compressed.insert(s.compressed.end(), body, body + length);
        } else if (type == chunkType("IEND")) {
            if (!inData && !dataDone) return fail(error, "PNG file has no image data");
            return true;
        } else if (!(typeBytes[0] & 0x20)) {
            return fail(error, "PNG file has an unknown critical chunk");
        }
    }
}

std::vector<Pass> makePasses(const Header& h) {
    std::vector<Pass> passes;
    if (!h.interlaced) {
        passes.push_back({0, 0, 1, 1, h.width, h.height});
        return passes;
    }
    for (const auto& a : kAdam7) {
        const int w = h.width > a[0] ? (h.width - a[0] + a[2] - 1) / a[2] : 0;
        const int ht = h.height > a[1] ? (h.height - a[1] + a[3] - 1) / a[3] : 0;
        if (w && ht) passes.push_back({a[0], a[1], a[2], a[3], w, ht});
    }
    return passes;
}

// Expands one unfiltered scanline of n pixels to 8-bit RGBA. False on a palette index
// outside the palette.
bool expandRow(const State& s, const std::uint8_t* src, int n, std::uint8_t* rgba) {
    const Header& h = s.header;
    const Transparency& t = s.trns;
    const int d = h.depth;
    switch (h.colourType) {
    case 0:
        if (d == 16) {
            for (int i = 0; i < n; ++i) {
                const std::uint8_t v = src[2 * i];
                const unsigned full = unsigned(v) << 8 | src[2 * i + 1];
                rgba[4 * i] = rgba[4 * i + 1] = rgba[4 * i + 2] = v;
                rgba[4 * i + 3] = (t.present && full == t.key[0]) ? 0 : 255;
            }
        } else {
            const unsigned mask = (1u << d) - 1, scale = 255 / mask;
            for (int i = 0; i < n; ++i) {
                const int bit = i * d;
                const unsigned sample = (src[bit >> 3] >> (8 - d - (bit & 7))) & mask;
                const std::uint8_t v = std::uint8_t(sample * scale);
                rgba[4 * i] = rgba[4 * i + 1] = rgba[4 * i + 2] = v;
                rgba[4 * i + 3] = (t.present && sample == t.key[0]) ? 0 : 255;
            }
        }
        return true;
    case 2:
        if (d == 16) {
            for (int i = 0; i < n; ++i) {
                const std::uint8_t* p = src + 6 * i;
                bool key = t.present;
                for (int c = 0; c < 3; ++c) {
                    rgba[4 * i + c] = p[2 * c];
                    key = key && (unsigned(p[2 * c]) << 8 | p[2 * c + 1]) == t.key[c];
                }
                rgba[4 * i + 3] = key ? 0 : 255;
            }
        } else {
            for (int i = 0; i < n; ++i) {
                const std::uint8_t* p = src + 3 * i;
                rgba[4 * i] = p[0];
                rgba[4 * i + 1] = p[1];
                rgba[4 * i + 2] = p[2];
                const bool key =
                    t.present && p[0] == t.key[0] && p[1] == t.key[1] && p[2] == t.key[2];
                rgba[4 * i + 3] = key ? 0 : 255;
            }
        }
        return true;
    case 3: {
        const unsigned mask = (1u << d) - 1;
        for (int i = 0; i < n; ++i) {
            const int bit = i * d;
            const unsigned index = (src[bit >> 3] >> (8 - d - (bit & 7))) & mask;
            if (index >= unsigned(s.paletteSize)) return false;
            std::memcpy(rgba + 4 * i, &s.palette[4 * index], 4);
        }
        return true;
    }
    case 4: {
        const int step = d / 4; // bytes per pixel: 2 or 4
        for (int i = 0; i < n; ++i) {
            const std::uint8_t* p = src + step * i;
            rgba[4 * i] = rgba[4 * i + 1] = rgba[4 * i + 2] = p[0];
            rgba[4 * i + 3] = p[step / 2];
        }
        return true;
    }
    default: {
        if (d == 8) {
            std::memcpy(rgba, src, 4 * std::size_t(n));
        } else {
            for (int i = 0; i < 4 * n; ++i) rgba[i] = src[2 * i];
        }
        return true;
    }
    }
}

void packRow(const std::uint8_t* rgba, int n, int components, std::uint8_t* dst, int step) {
    for (int i = 0; i < n; ++i, dst += step) {
        const std::uint8_t* p = rgba + 4 * i;
        switch (components) {
        case 1:
            dst[0] = std::uint8_t((77 * p[0] + 150 * p[1] + 29 * p[2]) >> 8);
            break;
        case 2:
            dst[0] = std::uint8_t((77 * p[0] + 150 * p[1] + 29 * p[2]) >> 8);
            dst[1] = p[3];
            break;
        case 3:
            dst[0] = p[0];
            dst[1] = p[1];
            dst[2] = p[2];
            break;
        default:
            std::memcpy(dst, p, 4);
            break;
        }
    }
}

// Straight conversion of 8-bit grey, grey + alpha, RGB or RGBA pixels (C channels) to D
// components, by the same rules as expandRow followed by packRow.
template <int C, int D>
void convertPixels(const std::uint8_t* src, int n, std::uint8_t* dst) {
    for (int i = 0; i < n; ++i, src += C, dst += D) {
        const unsigned r = src[0];
        const unsigned g = C >= 3 ? src[1] : r;
        const unsigned b = C >= 3 ? src[2] : r;
        const std::uint8_t a = C == 2 ? src[1] : C == 4 ? src[3] : 255;
        if constexpr (D <= 2) {
            dst[0] = C >= 3 ? std::uint8_t((77 * r + 150 * g + 29 * b) >> 8) : std::uint8_t(r);
            if constexpr (D == 2) dst[1] = a;
        } else {
            dst[0] = std::uint8_t(r);
            dst[1] = std::uint8_t(g);
            dst[2] = std::uint8_t(b);
            if constexpr (D == 4) dst[3] = a;
        }
    }
}

template <int C>
void convertPixelsTo(int components, const std::uint8_t* src, int n, std::uint8_t* dst) {
    switch (components) {
    case 1:
        return convertPixels<C, 1>(src, n, dst);
    case 2:
        return convertPixels<C, 2>(src, n, dst);
    case 3:
        return convertPixels<C, 3>(src, n, dst);
    default:
        return convertPixels<C, 4>(src, n, dst);
    }
}

void convertRow8(int channels, int components, const std::uint8_t* src, int n, std::uint8_t* dst) {
    switch (channels) {
    case 1:
        return convertPixelsTo<1>(components, src, n, dst);
    case 2:
        return convertPixelsTo<2>(components, src, n, dst);
    case 3:
        return convertPixelsTo<3>(components, src, n, dst);
    default:
        return convertPixelsTo<4>(components, src, n, dst);
    }
}

int nativeComponents(const State& s) {
    switch (s.header.colourType) {
    case 0:
        return s.trns.present ? 2 : 1;
    case 4:
        return 2;
    case 6:
        return 4;
    default:
        return s.trns.present ? 4 : 3;
    }
}

bool decodeImpl(const std::uint8_t* data, std::size_t size, int requested, DecodedImage& out,
                std::string& error) {
    if (!isPng(data, size)) return fail(error, "not a PNG file");
    if (requested < 0 || requested > 4)
        return fail(error, "requested component count must be 0 to 4");
    State s;
    if (!parseChunks(data, size, s, error)) return false;
    const Header& h = s.header;
    const std::vector<Pass> passes = makePasses(h);

    std::uint64_t expected = 0;
    for (const Pass& p : passes) expected += (h.rowBytes(p.width) + 1) * std::uint64_t(p.height);
    if (expected / kMaxInflateRatio > s.compressed.size())
        return fail(error, "PNG image data is too short for the image size");

    std::vector<std::uint8_t> raw;
    InflateLimits limits;
    limits.maxOutput = std::size_t(expected);
    limits.sizeHint = std::size_t(expected);
    std::string inflateError;
    if (!inflateZlib(s.compressed.data(), s.compressed.size(), limits, raw, inflateError)) {
        error = "PNG image data is corrupt: " + inflateError;
        return false;
    }
    if (raw.size() != expected) return fail(error, "PNG image data is too short");
    s.compressed = {};

    const int components = requested ? requested : nativeComponents(s);
    const int stride = h.filterStride();
    out.width = h.width;
    out.height = h.height;
    out.components = components;
    const std::size_t outRow = std::size_t(h.width) * std::size_t(components);
    const std::size_t outSize = outRow * std::size_t(h.height);
    std::uint8_t* raw8 = raw.data();

    // 8-bit images already in the requested layout are unfiltered within the inflated
    // buffer, each row moved down over the filter bytes before it, which then becomes the
    // result: no second picture-sized buffer to allocate and touch.
    const bool direct = !h.interlaced && h.depth == 8 && h.colourType != 3 && !s.trns.present &&
                        h.channels == components;
    if (direct) {
        const std::size_t rb = h.rowBytes(h.width);
        if (!detail::unfilterRows(raw8, rb, h.height, stride, raw8, rb))
            return fail(error, "PNG row has an unknown filter type");
        raw.resize(outSize);
        out.pixels = std::move(raw);
        return true;
    }

    out.pixels.resize(outSize);
    // Other 8-bit layouts without palette or transparency key convert row by row.
    if (!h.interlaced && h.depth == 8 && h.colourType != 3 && !s.trns.present) {
        const std::size_t rb = h.rowBytes(h.width);
        if (!detail::unfilterRows(raw8, rb, h.height, stride, raw8 + 1, rb + 1))
            return fail(error, "PNG row has an unknown filter type");
        for (int y = 0; y < h.height; ++y)
            convertRow8(h.channels, components, raw8 + std::size_t(y) * (rb + 1) + 1, h.width,
                        out.pixels.data() + std::size_t(y) * outRow);
        return true;
    }

    std::vector<std::uint8_t> rgba(4 * std::size_t(h.width));
    for (const Pass& p : passes) {
        const std::size_t rb = h.rowBytes(p.width);
        if (!detail::unfilterRows(raw8, rb, p.height, stride, raw8 + 1, rb + 1))
            return fail(error, "PNG row has an unknown filter type");
        for (int y = 0; y < p.height; ++y) {
            const std::uint8_t* line = raw8 + std::size_t(y) * (rb + 1) + 1;
            if (!expandRow(s, line, p.width, rgba.data()))
                return fail(error, "PNG palette index outside the palette");
            std::uint8_t* dst = out.pixels.data() + std::size_t(p.y0 + y * p.dy) * outRow +
                                std::size_t(p.x0) * std::size_t(components);
            packRow(rgba.data(), p.width, components, dst, p.dx * components);
        }
        raw8 += (rb + 1) * std::size_t(p.height);
    }
    return true;
}

} // namespace

namespace detail {

namespace {

void unfilterUp(std::uint8_t* dst, const std::uint8_t* src, const std::uint8_t* prior,
                std::size_t bytes, Isa isa) {
    std::size_t i =
        IsaBodies<UnfilterUpBody>{&unfilterUpSse2, &unfilterUpAvx2}[isa](dst, src, prior, bytes, 0);
    i = unfilterUpSse2(dst, src, prior, bytes, i);
    for (; i < bytes; ++i) dst[i] = std::uint8_t(src[i] + prior[i]);
}

int paeth(int a, int b, int c) {
    const int p = a + b - c;
    const int pa = p > a ? p - a : a - p;
    const int pb = p > b ? p - b : b - p;
    const int pc = p > c ? p - c : c - p;
    if (pa <= pb && pa <= pc) return a;
    return pb <= pc ? b : c;
}

} // namespace

bool unfilterRow(unsigned filter, std::uint8_t* dst, const std::uint8_t* src,
                 const std::uint8_t* prior, std::size_t bytes, int stride, Isa isa) {
    if (filter > 4) return false;
    if (filter == 0) {
        if (dst != src) std::memmove(dst, src, bytes);
        return true;
    }
    if (filter == 2) {
        unfilterUp(dst, src, prior, bytes, isa);
        return true;
    }
    if (stride == 3 || stride == 4) {
        IsaBodies<UnfilterPixelsBody>{&unfilterPixelsSse2, &unfilterPixelsAvx2}[isa](
            filter, stride, dst, src, prior, bytes / std::size_t(stride));
        return true;
    }
    const std::size_t st = std::size_t(stride);
    const std::size_t head = std::min(st, bytes);
    switch (filter) {
    case 1:
        if (dst != src) std::memmove(dst, src, head);
        for (std::size_t i = st; i < bytes; ++i) dst[i] = std::uint8_t(src[i] + dst[i - st]);
        return true;
    case 3:
        for (std::size_t i = 0; i < head; ++i) dst[i] = std::uint8_t(src[i] + (prior[i] >> 1));
        for (std::size_t i = st; i < bytes; ++i)
            dst[i] = std::uint8_t(src[i] + ((dst[i - st] + prior[i]) >> 1));
        return true;
    default:
        for (std::size_t i = 0; i < head; ++i) dst[i] = std::uint8_t(src[i] + prior[i]);
        for (std::size_t i = st; i < bytes; ++i)
            dst[i] = std::uint8_t(src[i] + paeth(dst[i - st], prior[i], prior[i - st]));
        return true;
    }
}

bool unfilterRows(std::uint8_t* data, std::size_t bytes, int rows, int stride, std::uint8_t* out,
                  std::size_t outPitch, Isa isa) {
    const std::vector<std::uint8_t> zeros(bytes, 0);
    std::vector<std::uint8_t> second;
    const std::uint8_t* prior = zeros.data();
    for (int y = 0; y < rows; ++y) {
        const std::uint8_t* line = data + std::size_t(y) * (bytes + 1);
        std::uint8_t* dst = out + std::size_t(y) * outPitch;
        const bool pair = (stride == 3 || stride == 4) && line[0] == 4 && y + 1 < rows &&
                          line[bytes + 1] == 4 && bytes >= std::size_t(stride);
        if (pair) {
            // Row y + 1 goes through a scratch row: written in place it could land on
            // bytes of row y not yet read.
            second.resize(bytes);
            const std::size_t n = bytes / std::size_t(stride);
            IsaBodies<UnfilterPaethPairBody>{&unfilterPaethPairSse2, &unfilterPaethPairAvx2}[isa](
                stride, dst, line + 1, prior, second.data(), line + bytes + 2, n);
            ++y;
            dst = out + std::size_t(y) * outPitch;
            std::memcpy(dst, second.data(), bytes);
        } else if (!unfilterRow(line[0], dst, line + 1, prior, bytes, stride, isa)) {
            return false;
        }
        prior = dst;
    }
    return true;
}

} // namespace detail

std::uint32_t crc32(std::uint32_t crc, const std::uint8_t* data, std::size_t size) {
    static const std::array<std::uint32_t, 256> table = makeCrcTable();
    crc = ~crc;
    for (std::size_t i = 0; i < size; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

bool isPng(const std::uint8_t* data, std::size_t size) {
    return data && size >= sizeof(kSignature) &&
           std::memcmp(data, kSignature, sizeof(kSignature)) == 0;
}

bool decodePng(const std::uint8_t* data, std::size_t size, int requestedComponents,
               DecodedImage& out, std::string& error) {
    out = {};
    if (decodeImpl(data, size, requestedComponents, out, error)) return true;
    out = {};
    return false;
}

} // namespace corvid
