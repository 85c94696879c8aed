#include "corvid/graphics/decode.h"

#include "corvid/core/error.h"
#include "corvid/graphics/codecs/jpegload.h"
#include "corvid/graphics/codecs/pngload.h"

#include <array>
#include <cstring>
#include <iterator>
#include <utility>

namespace corvid {

bool tryDecodeImage(ByteSpan data, int requestedComponents, DecodedImage& out, std::string& error) {
    out = {};
    if (requestedComponents < 1 || requestedComponents > 4) {
        error = "requested component count must be 1 to 4";
        return false;
    }
    if (data.size() < 2) {
        error = "image data too short to recognise";
        return false;
    }
    if (isPng(data.data(), data.size()))
        return decodePng(data.data(), data.size(), requestedComponents, out, error);
    if (data[0] == 0xFF && data[1] == 0xD8)
        return decodeJpeg(data.data(), data.size(), requestedComponents, out, error);
    error = "image data is neither PNG nor JPEG";
    return false;
}

DecodedImage decodeImage(ByteSpan data, int requestedComponents) {
    DecodedImage image;
    std::string error;
    if (!tryDecodeImage(data, requestedComponents, image, error))
        fatalError("cannot decode embedded image: " + error);
    // Callers copy the pixels by this size; a decoder breaking it must not corrupt memory.
    if (image.components != requestedComponents ||
        image.pixels.size() !=
            std::size_t(image.width) * std::size_t(image.height) * std::size_t(requestedComponents))
        fatalError("image decoder returned an inconsistent picture");
    return image;
}

namespace {

std::unique_ptr<OwnedImage<RGBA>> imageOf(const DecodedImage& decoded) {
    auto image = std::make_unique<OwnedImage<RGBA>>(decoded.width, decoded.height);
    std::memcpy(image->data(), decoded.pixels.data(), decoded.pixels.size());
    return image;
}

std::unique_ptr<OwnedImage<RGBA>> joinAlpha(const DecodedImage& colour, const DecodedImage& alpha) {
    if (colour.width != alpha.width || colour.height != alpha.height)
        fatalError("embedded image and its alpha picture differ in size");
    auto image = std::make_unique<OwnedImage<RGBA>>(colour.width, colour.height);
    RGBA* dst = image->data();
    const std::uint8_t* c = colour.pixels.data();
    const std::uint8_t* a = alpha.pixels.data();
    const std::size_t n = alpha.pixels.size();
    for (std::size_t i = 0; i < n; ++i, c += 3) dst[i] = RGBA{c[0], c[1], c[2], a[i]};
    return image;
}

// The height depends only on r + g + b: one table look-up instead of a wide multiply
// per pixel (the depth picture is converted every time an editor opens).
constexpr auto kDepthOfSum = [] {
    std::array<std::uint16_t, 3 * 255 + 1> table{};
    for (unsigned sum = 0; sum < table.size(); ++sum) table[sum] = depthFromRGB(sum, 0, 0);
    return table;
}();

std::unique_ptr<OwnedImage<L16>> depthOf(const DecodedImage& picture) {
    auto depth = std::make_unique<OwnedImage<L16>>(picture.width, picture.height);
    const std::uint8_t* src = picture.pixels.data();
    L16* dst = depth->data();
    for (std::int64_t i = 0, n = depth->numPixels(); i < n; ++i, src += 4)
        dst[i] = L16(kDepthOfSum[unsigned(src[0]) + src[1] + src[2]]);
    return depth;
}

} // namespace

std::unique_ptr<OwnedImage<RGBA>> decodeToRGBA(ByteSpan data) {
    return imageOf(decodeImage(data, 4));
}

std::unique_ptr<OwnedImage<RGBA>> decodeWithAlpha(ByteSpan colorData, ByteSpan alphaData) {
    return joinAlpha(decodeImage(colorData, 3), decodeImage(alphaData, 1));
}

BackgroundMaps loadBackgroundMaps(ByteSpan backgroundColour, ByteSpan backgroundEmissive,
                                  ByteSpan backgroundMaterial, ByteSpan backgroundPhysical,
                                  ByteSpan backgroundDepth, ByteSpan skybox, ThreadPool* pool) {
    // The dearest pictures first, so the last job to start is a short one and the
    // workers finish close together.
    struct Source {
        ByteSpan data;
        int components;
    };
    const Source sources[] = {{skybox, 4},
                              {backgroundColour, 3},
                              {backgroundDepth, 4},
                              {backgroundMaterial, 3},
                              {backgroundPhysical, 1},
                              {backgroundEmissive, 1}};
    constexpr int kSources = static_cast<int>(std::size(sources));
    DecodedImage decoded[kSources];
    const auto decodeOne = [&](int i) {
        decoded[i] = decodeImage(sources[i].data, sources[i].components);
    };
    BackgroundMaps maps;
    const auto assemble = [&](int job) {
        switch (job) {
        case 0:
            maps.skybox = imageOf(decoded[0]);
            break;
        case 1:
            maps.diffuse = joinAlpha(decoded[1], decoded[5]);
            break;
        case 2:
            maps.depth = depthOf(decoded[2]);
            break;
        default:
            maps.material = joinAlpha(decoded[3], decoded[4]);
            break;
        }
    };
    if (pool != nullptr) {
        pool->runParallel(kSources, decodeOne);
        pool->runParallel(4, assemble);
    } else {
        for (int i = 0; i < kSources; ++i) decodeOne(i);
        for (int job = 0; job < 4; ++job) assemble(job);
    }
    return maps;
}

} // namespace corvid
