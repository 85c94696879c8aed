// Any bytes must give either a picture of the stated size or an error message, never a
// crash, hang or bad memory access.
#include "corvid/graphics/codecs/jpegload.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The component request comes from the length so that seed files stay plain JPEGs.
    const int components = static_cast<int>(size % 4) + 1;
    corvid::DecodedImage image;
    std::string error;
    // A small pixel limit keeps each run fast; the size checks themselves are the same.
    if (corvid::decodeJpeg(data, size, components, image, error, std::size_t{1} << 20)) {
        if (image.width <= 0 || image.height <= 0 || image.components != components ||
            image.pixels.size() !=
                static_cast<std::size_t>(image.width) * image.height * components)
            std::abort();
    } else if (error.empty() || !image.pixels.empty()) {
        std::abort();
    }
    return 0;
}
