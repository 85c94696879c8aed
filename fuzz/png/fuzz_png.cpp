// Feeds arbitrary bytes to the PNG decoder, once as given and once with every chunk CRC
// (and the Adler-32 of a single image-data chunk) made valid, so mutations get past the
// checksums into the decompressor, the filters and the pixel conversions.

#include "corvid/graphics/codecs/inflate.h"
#include "corvid/graphics/codecs/pngload.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::uint32_t readBE32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
}

void writeBE32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = std::uint8_t(v >> (24 - 8 * i));
}

void repairChecksums(std::vector<std::uint8_t>& file) {
    std::size_t pos = 8;
    while (pos + 12 <= file.size()) {
        const std::size_t length = readBE32(&file[pos]);
        if (length > file.size() - pos - 12) break;
        std::uint8_t* body = &file[pos + 8];
        if (std::memcmp(&file[pos + 4], "IDAT", 4) == 0 && length > 6) {
            corvid::InflateLimits limits;
            limits.maxOutput = std::size_t(1) << 22;
            std::vector<std::uint8_t> out;
            std::string error;
            std::size_t used = 0;
            if (corvid::inflateRaw(body + 2, length - 2, limits, out, error, &used) &&
                length - 2 - used >= 4)
                writeBE32(body + 2 + used, corvid::adler32(1, out.data(), out.size()));
        }
        writeBE32(body + length, corvid::crc32(0, &file[pos + 4], length + 4));
        pos += 12 + length;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const int components = int(size % 5);
    corvid::DecodedImage image;
    std::string error;
    corvid::decodePng(data, size, components, image, error);
    std::vector<std::uint8_t> file(data, data + size);
    repairChecksums(file);
    if (corvid::decodePng(file.data(), file.size(), components, image, error)) {
        const std::size_t expected =
            std::size_t(image.width) * std::size_t(image.height) * std::size_t(image.components);
        if (image.pixels.size() != expected) __builtin_trap();
    }
    return 0;
}
