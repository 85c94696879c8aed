#pragma once
// What the compositor's pixel kernels see: plain pointers to the map levels they
// read, the lighting settings, and the block of output to write. Kept free of the
// image classes so the kernels, each built for its own instruction set, share
// nothing with the rest of the program but this layout.

#include <cstddef>
#include <cstdint>

namespace corvid::compositor_detail {

// One level of a mipmap.
struct Plane {
    const std::byte* pixels = nullptr;
    int32_t width = 0;
    int32_t height = 0;
    std::ptrdiff_t pitch = 0;
};

// A requested level, already mapped to an existing one, with the scale of the level
// actually read (a request beyond the last level reads the last one at its own size).
struct Level {
    Plane plane;
    float scale = 1.0f;
};

// Lighting works on blocks of at most this size; bigger areas are cut up first.
constexpr int kBlockWidth = 64;
constexpr int kBlockHeight = 32;
constexpr int kCavityLevels = 4; // depth levels 1..4
constexpr int kGlowLevels = 5;   // diffuse levels 1..5
constexpr int kMaxSkyLevels = 32;

// Level 0 of the depth map is staged around the block with a border of clamped
// pixels for the reads of neighbours.
constexpr int kBorderLeft = 1;   // Sobel and curvature read x - 1
constexpr int kBorderRight = 10; // the shadow ray reads up to x + 10
constexpr int kBorderTop = 10;   // the shadow ray reads up to y - 10
constexpr int kBorderBottom = 1; // Sobel and curvature read y + 1
constexpr int kDepthStride = 80; // >= kBlockWidth + kBorderLeft + kBorderRight
constexpr int kDepthRows = kBlockHeight + kBorderTop + kBorderBottom;
static_assert(kDepthStride >= kBlockWidth + kBorderLeft + kBorderRight);
// Rows of one level a block can touch: a block at level 0 (small windows clamp the
// level) needs its own rows plus the one below.
constexpr int kLevelRows = kBlockHeight + 2;
// The narrowest kernel has four lanes.
constexpr int kMaxVectorsPerRow = kBlockWidth / 4;

// Integer and fractional position of one bilinear sample along one axis.
struct Axis {
    int i0;
    int i1;
    float f;
};

// The source rows of one level that a block reads, and each block row's pair of
// them with its vertical blend weight.
struct StagedLevel {
    int firstRow;
    Axis rows[kBlockHeight];
};

// Sample positions of every column of a block on one level.
struct StagedColumns {
    alignas(64) int32_t i0[kBlockWidth];
    alignas(64) int32_t i1[kBlockWidth];
    alignas(64) float f[kBlockWidth];
};

// Everything a kernel stages for one block. Too big for a stack the plug-in does not
// choose (a host's GUI thread lights a batch of one itself), and over-aligned, so it
// lives on the heap: the compositor keeps one per thread that can light at once and
// reuses it for every block. Each stage fills its part before the next reads it.
struct KernelScratch {
    // Depth stage: level 0 of the depth map around the block, edges repeated.
    alignas(64) int32_t depth[kDepthRows][kDepthStride];
    // Cavity and glow stages: the horizontal halves of the bilinear samples of the
    // upper levels, per source row the block touches (glow per colour channel).
    alignas(64) float cavity[kCavityLevels][kLevelRows][kBlockWidth];
    alignas(64) float glow[kGlowLevels][3][kLevelRows][kBlockWidth];
    StagedLevel cavityRows[kCavityLevels];
    StagedLevel glowRows[kGlowLevels];
    // Levels with no emitted light under the block add exactly nothing.
    bool glowLevelLit[kGlowLevels];
    // Working columns of one level, reused level after level.
    StagedColumns columns;
    alignas(64) int32_t offset0[kBlockWidth];
    alignas(64) int32_t offset1[kBlockWidth];
    alignas(64) int32_t takeLow[kBlockWidth];
    alignas(64) int32_t rel0[kBlockWidth];
    alignas(64) int32_t rel1[kBlockWidth];
    int window[kMaxVectorsPerRow];
    // Lighting stage: the view vector's x per column, and the material and diffuse
    // pixels of a row's last, partial vector padded with zeros.
    alignas(64) float viewX[kBlockWidth];
    alignas(64) int32_t materialRow[kBlockWidth];
    alignas(64) int32_t diffuseRow[kBlockWidth];
};

struct KernelInput {
    Level depth[kCavityLevels + 1]; // index = requested level
    Level glow[kGlowLevels + 1];    // index = requested level of the diffuse map
    Plane material;
    Level sky[kMaxSkyLevels];
    int skyLevels = 0; // 0: no skybox, metallic surfaces reflect black

    int32_t width = 0; // size of level 0 of the maps
    int32_t height = 0;

    float light1Color[3] = {};
    float light2Dir[3] = {};
    float light2Color[3] = {};
    float light3Dir[3] = {};
    float light3Color[3] = {};
    float ambientLight = 0.0f;
    float skyboxAmount = 0.0f;
    const float* exponentTable = nullptr; // 256 entries
    // Output curves of red, green and blue (256 entries each), every entry already
    // shifted into its byte of the output pixel, and the alpha byte of the format.
    const int32_t* curvePixels[3] = {};
    int32_t opaqueAlpha = 0;
    // The same curves as bytes (256 each) and the shift of each channel's byte in
    // the output pixel, for kernels that look bytes up without a gather.
    const uint8_t* curveBytes[3] = {};
    int curveShift[3] = {};
    std::byte* output = nullptr; // pixel (0, 0) of the window image
    std::ptrdiff_t outputPitch = 0;
};

// Lights one block (inside the maps, at most kBlockWidth x kBlockHeight) and writes
// it through the curves in the requested byte order, staging in the given scratch.
using BlockKernel = void (*)(const KernelInput& input, KernelScratch& scratch, int32_t minX,
                             int32_t minY, int32_t maxX, int32_t maxY);

void lightBlockSse2(const KernelInput& input, KernelScratch& scratch, int32_t minX, int32_t minY,
                    int32_t maxX, int32_t maxY);
void lightBlockAvx2(const KernelInput& input, KernelScratch& scratch, int32_t minX, int32_t minY,
                    int32_t maxX, int32_t maxY);
void lightBlockAvx512(const KernelInput& input, KernelScratch& scratch, int32_t minX, int32_t minY,
                      int32_t maxX, int32_t maxY);

// Shared arithmetic constants, so every kernel and the settings agree bit for bit.
constexpr float kInv255 = 0.003921568859368563f;
constexpr float kNormalZ = 37122.22265625f;
constexpr float kNormalBias = 1378059392.0f;
constexpr float kCavityRange = 23040.0f;
constexpr float kCavityScale = 4.340277882874943e-05f;
constexpr float kShadowRange = 15360.0f;
constexpr float kShadowScale = 6.510417006211355e-05f;
constexpr float kKeyLightGain = 0.307700514793396f;
constexpr float kCurvatureScale = 9.999999747378752e-06f;
constexpr float kGlowWeights[kGlowLevels] = {0.0011764699593186378f, 0.0017647099448367953f,
                                             0.0014705900102853775f, 0.00088235002476722f,
                                             0.0005882299738004804f};

} // namespace corvid::compositor_detail
