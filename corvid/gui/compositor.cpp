#include "corvid/gui/compositor.h"

#include "corvid/core/isa.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <thread>

namespace corvid {

using namespace compositor_detail;

namespace {

std::array<float, 3> normalised(float x, float y, float z) {
    const float length = std::sqrt(x * x + y * y + z * z);
    return {x / length, y / length, z / length};
}

// NaN counts as 0 so that nonsense settings still give valid table entries.
float clamp01(float v) {
    if (!(v > 0.0f)) return 0.0f;
    return v > 1.0f ? 1.0f : v;
}

void buildCurve(uint8_t* curve, float black, float gamma, float gain, float smooth) {
    const double exponent = 1.0 / static_cast<double>(gamma);
    for (int i = 0; i < 256; ++i) {
        const float t = static_cast<float>(i) / 255.0f;
        float v = clamp01((black * (1.0f - t) + t) * gain);
        v = clamp01(static_cast<float>(std::pow(static_cast<double>(v), exponent)));
        const float s = v * v * (3.0f - 2.0f * v);
        const float entry = (v * (1.0f - smooth) + s * smooth) * 255.0f + 0.5f;
        // A smoothing amount outside 0..1 can overshoot the byte range.
        curve[i] = entry >= 255.0f ? 255 : (entry > 0.0f ? static_cast<uint8_t>(entry) : 0);
    }
}

template <typename T>
Level levelOf(const Mipmap<T>& map, int requested) {
    const int actual = std::min(requested, map.levelCount() - 1);
    const OwnedImage<T>& image = map.level(actual);
    Level level;
    level.plane.pixels = reinterpret_cast<const std::byte*>(image.data());
    level.plane.width = image.width();
    level.plane.height = image.height();
    level.plane.pitch = image.pitch();
    level.scale = 1.0f / static_cast<float>(1u << actual);
    return level;
}

} // namespace

// Takes a free staging area for the length of one lightTile call, without a lock.
// Should more threads light at once than there are areas (the redraw pipeline never
// does: its pool has one worker per processor), the call stages in an area of its
// own rather than wait.
class PBRCompositor::ScratchClaim {
public:
    explicit ScratchClaim(PBRCompositor& owner) {
        for (int i = 0; i < owner.scratchCount_; ++i) {
            ScratchSlot& candidate = owner.scratch_[static_cast<size_t>(i)];
            if (!candidate.busy.load(std::memory_order_relaxed) &&
                !candidate.busy.exchange(true, std::memory_order_acquire)) {
                slot_ = &candidate;
                area_ = candidate.area.get();
                return;
            }
        }
        extra_.reset(new KernelScratch);
        area_ = extra_.get();
    }
    ~ScratchClaim() {
        if (slot_) slot_->busy.store(false, std::memory_order_release);
    }
    ScratchClaim(const ScratchClaim&) = delete;
    ScratchClaim& operator=(const ScratchClaim&) = delete;

    KernelScratch& area() const { return *area_; }

private:
    ScratchSlot* slot_ = nullptr;
    KernelScratch* area_ = nullptr;
    std::unique_ptr<KernelScratch> extra_;
};

PBRCompositor::PBRCompositor() : curveStorage_(std::make_unique<uint8_t[]>(768)) {
    // The pool's workers plus the thread that hands out the tiles and lights some
    // itself. The areas are left uninitialised: each stage writes what the next
    // reads, and untouched pages of an idle area cost no memory.
    scratchCount_ = static_cast<int>(std::max(1u, std::thread::hardware_concurrency())) + 1;
    scratch_ = std::make_unique<ScratchSlot[]>(static_cast<size_t>(scratchCount_));
    for (int i = 0; i < scratchCount_; ++i)
        scratch_[static_cast<size_t>(i)].area.reset(new KernelScratch);
    light2Dir = normalised(0.0f, 1.0f, 0.1f);
    light3Dir = normalised(0.0f, 1.0f, 0.1f);
    for (int c = 0; c < 3; ++c)
        for (int i = 0; i < 256; ++i) curveStorage_[static_cast<size_t>(c * 256 + i)] = uint8_t(i);
    for (int i = 0; i < 256; ++i)
        exponentTable_[static_cast<size_t>(i)] =
            0.8f * std::exp(5.5f * (1.0f - static_cast<float>(i) / 255.0f));
    placeCurves();
    useKernel(bestIsa());
}

namespace {
// Byte positions of red, green, blue and alpha in a little-endian 32-bit pixel.
constexpr int kChannelShift[3][4] = {
    {16, 8, 0, 24}, // BGRA8
    {8, 16, 24, 0}, // ARGB8
    {0, 8, 16, 24}, // RGBA8
};
} // namespace

void PBRCompositor::placeCurves() {
    for (size_t f = 0; f < 3; ++f)
        for (size_t c = 0; c < 3; ++c)
            for (size_t i = 0; i < 256; ++i)
                curvePixels_[f][c][i] = static_cast<int32_t>(
                    static_cast<uint32_t>(curveStorage_[c * 256 + i]) << kChannelShift[f][c]);
}

PBRCompositor::~PBRCompositor() = default;

void PBRCompositor::setOutputCurves(float black, float gamma, float gain, float smooth) {
    setOutputCurves(black, gamma, gain, smooth, black, gamma, gain, smooth, black, gamma, gain,
                    smooth);
}

void PBRCompositor::setOutputCurves(float redBlack, float redGamma, float redGain, float greenBlack,
                                    float greenGamma, float greenGain, float blueBlack,
                                    float blueGamma, float blueGain) {
    setOutputCurves(redBlack, redGamma, redGain, 0.0f, greenBlack, greenGamma, greenGain, 0.0f,
                    blueBlack, blueGamma, blueGain, 0.0f);
}

void PBRCompositor::setOutputCurves(float redBlack, float redGamma, float redGain, float redSmooth,
                                    float greenBlack, float greenGamma, float greenGain,
                                    float greenSmooth, float blueBlack, float blueGamma,
                                    float blueGain, float blueSmooth) {
    buildCurve(curveStorage_.get(), redBlack, redGamma, redGain, redSmooth);
    buildCurve(curveStorage_.get() + 256, greenBlack, greenGamma, greenGain, greenSmooth);
    buildCurve(curveStorage_.get() + 512, blueBlack, blueGamma, blueGain, blueSmooth);
    placeCurves();
}

void PBRCompositor::setOutputCurves(const OutputCurveSettings& s) {
    setOutputCurves(s.redBlack, s.redGamma, s.redGain, s.redSmooth, s.greenBlack, s.greenGamma,
                    s.greenGain, s.greenSmooth, s.blueBlack, s.blueGamma, s.blueGain, s.blueSmooth);
}

bool PBRCompositor::useKernel(Isa isa) {
    if (!isaSupported(isa)) return false;
    kernel_ = IsaBodies<BlockKernel>{&lightBlockSse2, &lightBlockAvx2, &lightBlockAvx512}[isa];
    activeKernel_ = isa;
    return true;
}

void PBRCompositor::lightTile(const WindowImageView& output, PixelFormat pixelFormat,
                              const IntRect& area, const Mipmap<RGBA>& diffuseMap,
                              const Mipmap<RGBA>& materialMap, const Mipmap<L16>& depthMap,
                              const Mipmap<RGBA>& skybox) {
    if (output.isEmpty() || diffuseMap.levelCount() == 0 || materialMap.levelCount() == 0 ||
        depthMap.levelCount() == 0)
        return;
    // Maps of different sizes (a resize caught half-way) are read only where all
    // three exist, and nothing outside the window image is written.
    const int32_t width = std::min(
        {diffuseMap.level(0).width(), materialMap.level(0).width(), depthMap.level(0).width()});
    const int32_t height = std::min(
        {diffuseMap.level(0).height(), materialMap.level(0).height(), depthMap.level(0).height()});
    const IntRect lit =
        area.normalized().intersect(IntRect{0, 0, width, height}).intersect(output.bounds());
    if (lit.isEmpty()) return;

    KernelInput in;
    for (int l = 0; l <= kCavityLevels; ++l) in.depth[l] = levelOf(depthMap, l);
    for (int l = 0; l <= kGlowLevels; ++l) in.glow[l] = levelOf(diffuseMap, l);
    in.material = levelOf(materialMap, 0).plane;
    // The kernels address skybox pixels with 32-bit offsets; a level too big for that
    // (over 2 GB) and everything above it is left out rather than read wrongly.
    in.skyLevels = 0;
    for (int l = 0; l < std::min(skybox.levelCount(), kMaxSkyLevels); ++l) {
        const Level level = levelOf(skybox, l);
        if (static_cast<int64_t>(level.plane.pitch) * level.plane.height > INT32_MAX) break;
        in.sky[l] = level;
        in.skyLevels = l + 1;
    }
    in.width = width;
    in.height = height;
    for (int c = 0; c < 3; ++c) {
        in.light1Color[c] = light1Color[static_cast<size_t>(c)];
        in.light2Dir[c] = light2Dir[static_cast<size_t>(c)];
        in.light2Color[c] = light2Color[static_cast<size_t>(c)];
        in.light3Dir[c] = light3Dir[static_cast<size_t>(c)];
        in.light3Color[c] = light3Color[static_cast<size_t>(c)];
    }
    in.ambientLight = ambientLight;
    in.skyboxAmount = skyboxAmount;
    in.exponentTable = exponentTable_.data();
    // Formats beyond the three known ones are written as RGBA8.
    const int format = static_cast<int>(pixelFormat);
    const size_t f = format >= 0 && format < 3 ? static_cast<size_t>(format) : 2;
    for (size_t c = 0; c < 3; ++c) {
        in.curvePixels[c] = curvePixels_[f][c].data();
        in.curveBytes[c] = curveStorage_.get() + 256 * c;
        in.curveShift[c] = kChannelShift[f][c];
    }
    in.opaqueAlpha = static_cast<int32_t>(255u << kChannelShift[f][3]);
    in.output = reinterpret_cast<std::byte*>(output.pixels());
    in.outputPitch = output.pitch();

    const ScratchClaim scratch(*this);
    for (int32_t y = lit.minY; y < lit.maxY; y += kBlockHeight)
        for (int32_t x = lit.minX; x < lit.maxX; x += kBlockWidth)
            kernel_(in, scratch.area(), x, y, std::min(x + kBlockWidth, lit.maxX),
                    std::min(y + kBlockHeight, lit.maxY));
}

} // namespace corvid
