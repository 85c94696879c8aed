#pragma once
// Decoding of the pictures embedded in the program (PNG and JPEG) into images. The
// pictures ship with the program and must decode, so every failure here is fatal;
// tryDecodeImage is the same decoding with the error returned instead.

#include "corvid/core/thread.h"
#include "corvid/graphics/codecs/decoded.h"
#include "corvid/graphics/color.h"
#include "corvid/graphics/image.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace corvid {

using ByteSpan = std::span<const std::uint8_t>;

// Chooses the decoder by the first bytes (PNG signature, or FF D8 for JPEG) and decodes
// with requestedComponents (1 to 4) per pixel. False with a message on any failure.
bool tryDecodeImage(ByteSpan data, int requestedComponents, DecodedImage& out, std::string& error);

DecodedImage decodeImage(ByteSpan data, int requestedComponents);

std::unique_ptr<OwnedImage<RGBA>> decodeToRGBA(ByteSpan data);

// r, g, b from colorData and alpha from the grey of alphaData; both pictures must have
// the same size.
std::unique_ptr<OwnedImage<RGBA>> decodeWithAlpha(ByteSpan colorData, ByteSpan alphaData);

// The editor's background: the graphics library knows nothing of the GUI, so the
// skybox is returned for the caller to install as the environment map. With a pool
// the pictures decode side by side on its workers (the editor opens about twice as
// fast on two cores); the maps are the same either way.
struct BackgroundMaps {
    std::unique_ptr<OwnedImage<RGBA>> diffuse;
    std::unique_ptr<OwnedImage<RGBA>> material;
    std::unique_ptr<OwnedImage<L16>> depth;
    std::unique_ptr<OwnedImage<RGBA>> skybox;
};

BackgroundMaps loadBackgroundMaps(ByteSpan backgroundColour, ByteSpan backgroundEmissive,
                                  ByteSpan backgroundMaterial, ByteSpan backgroundPhysical,
                                  ByteSpan backgroundDepth, ByteSpan skybox,
                                  ThreadPool* pool = nullptr);

// Height from a depth picture's pixel: the mean of r, g and b rescaled to 0..65535,
// truncated ((r + g + b) * 257 / 3 without a division).
constexpr std::uint16_t depthFromRGB(unsigned r, unsigned g, unsigned b) {
    return std::uint16_t((std::uint64_t(r + g + b) * 735871063467ull) >> 33);
}

} // namespace corvid
