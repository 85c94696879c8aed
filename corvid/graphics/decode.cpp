#include "corvid/graphics/decode.h"

#include "corvid/core/error.h"
#include "corvid/graphics/codecs/jpegload.h"
#include "corvid/graphics/codecs/pngload.h"

#include <cstring>
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

std::unique_ptr<OwnedImage<RGBA>> decodeToRGBA(ByteSpan data) {
    auto image = std::make_unique<OwnedImage<RGBA>>();
    {
        const DecodedImage decoded = decodeImage(data, 4);
        image->size(decoded.width, decoded.height);
        std::memcpy(image->data(), decoded.pixels.data(), decoded.pixels.size());
    }
    return image;
}

std::unique_ptr<OwnedImage<RGBA>> decodeWithAlpha(ByteSpan colorData, ByteSpan alphaData) {
    const DecodedImage colour = decodeImage(colorData, 3);
    const DecodedImage alpha = decodeImage(alphaData, 1);
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

BackgroundMaps loadBackgroundMaps(ByteSpan backgroundColour, ByteSpan backgroundEmissive,
                                  ByteSpan backgroundMaterial, ByteSpan backgroundPhysical,
                                  ByteSpan backgroundDepth, ByteSpan skybox) {
    BackgroundMaps maps;
    maps.diffuse = decodeWithAlpha(backgroundColour, backgroundEmissive);
    maps.material = decodeWithAlpha(backgroundMaterial, backgroundPhysical);
    {
        const std::unique_ptr<OwnedImage<RGBA>> picture = decodeToRGBA(backgroundDepth);
        maps.depth = std::make_unique<OwnedImage<L16>>(picture->width(), picture->height());
        const RGBA* src = picture->data();
        L16* dst = maps.depth->data();
        for (std::int64_t i = 0, n = picture->numPixels(); i < n; ++i)
            dst[i] = L16(depthFromRGB(src[i].r, src[i].g, src[i].b));
    }
    maps.skybox = decodeToRGBA(skybox);
    return maps;
}

} // namespace corvid
