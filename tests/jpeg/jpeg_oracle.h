#pragma once
// libjpeg-turbo as an encoder of test pictures and as the reference decoder, plus the
// synthetic pictures the tests and benchmarks feed it.

#include <cstdint>
#include <vector>

namespace jpegtest {

struct Picture {
    int width = 0, height = 0, components = 3;
    std::vector<std::uint8_t> pixels;
};

struct EncodeOptions {
    int quality = 90;
    int hLuma = 1, vLuma = 1; // luma sampling factors; chroma is 1x1
    bool progressive = false;
    int restartInterval = 0; // in MCUs
    bool optimize = false;
    bool separateScans = false; // sequential, one scan per component
    bool rgbStored = false;     // colour stored as RGB (Adobe marker), not YCbCr
};

std::vector<std::uint8_t> encode(const Picture& picture, const EncodeOptions& options);

// Decodes with the integer transform and triangle upsampling, the choices ours makes.
Picture referenceDecode(const std::vector<std::uint8_t>& jpeg, int components);

// Large flat patches, smooth ramps, fine noise and sharp edges in one picture.
Picture mixedPicture(int width, int height, int components, unsigned seed);
// Dense detail everywhere, like a photograph of foliage: expensive to code. `grain` is
// the standard deviation of the added noise.
Picture detailedPicture(int width, int height, unsigned seed, double grain = 14.0);

} // namespace jpegtest
