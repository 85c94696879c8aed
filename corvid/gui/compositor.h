#pragma once
// Software lighting of the editor. Every element paints a diffuse, a depth and a
// material map; the compositor turns them into the window image: normals from the
// depth map, ambient light darkened in cavities, a shadowed key light, a wrapped
// diffuse light, a Phong highlight, skybox reflections on metal and a glow around
// emissive pixels, then per-channel output curves and the window's byte order.

#include "corvid/core/isa.h"
#include "corvid/graphics/color.h"
#include "corvid/graphics/mipmap.h"
#include "corvid/graphics/rect.h"
#include "corvid/graphics/view.h"
#include "corvid/gui/compositor_kernel.h"
#include "corvid/window/window.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <span>

namespace corvid {

class ICompositor {
public:
    virtual ~ICompositor() = default;

    // Lights area of the window image from the maps and writes it in the given byte
    // order. Writes nothing outside the area; may be called for disjoint areas from
    // several threads at once.
    virtual void lightTile(const WindowImageView& output, PixelFormat pixelFormat,
                           const IntRect& area, const Mipmap<RGBA>& diffuseMap,
                           const Mipmap<RGBA>& materialMap, const Mipmap<L16>& depthMap,
                           const Mipmap<RGBA>& skybox) = 0;
};

// The twelve numbers that shape the three output curves.
struct OutputCurveSettings {
    float redBlack = 0.0f, redGamma = 1.0f, redGain = 1.0f, redSmooth = 0.0f;
    float greenBlack = 0.0f, greenGamma = 1.0f, greenGain = 1.0f, greenSmooth = 0.0f;
    float blueBlack = 0.0f, blueGamma = 1.0f, blueGain = 1.0f, blueSmooth = 0.0f;
};

class PBRCompositor : public ICompositor {
public:
    PBRCompositor();
    ~PBRCompositor() override;

    PBRCompositor(const PBRCompositor&) = delete;
    PBRCompositor& operator=(const PBRCompositor&) = delete;

    // Lighting settings; the editor sets them on the GUI thread between redraws.
    // Colours are linear multipliers; directions are unit vectors, y up the screen.
    std::array<float, 3> light1Color{0.325f, 0.325f, 0.325f};
    std::array<float, 3> light2Dir{};
    std::array<float, 3> light2Color{0.481f, 0.481f, 0.481f};
    std::array<float, 3> light3Dir{};
    std::array<float, 3> light3Color{0.26f, 0.26f, 0.26f};
    float ambientLight = 0.08125f;
    float skyboxAmount = 0.52f;

    // One curve for all three channels.
    virtual void setOutputCurves(float black, float gamma, float gain, float smooth);
    // Per channel, without smoothstep blending.
    virtual void setOutputCurves(float redBlack, float redGamma, float redGain, float greenBlack,
                                 float greenGamma, float greenGain, float blueBlack,
                                 float blueGamma, float blueGain);
    virtual void setOutputCurves(float redBlack, float redGamma, float redGain, float redSmooth,
                                 float greenBlack, float greenGamma, float greenGain,
                                 float greenSmooth, float blueBlack, float blueGamma,
                                 float blueGain, float blueSmooth);
    virtual void setOutputCurves(const OutputCurveSettings& settings);

    void lightTile(const WindowImageView& output, PixelFormat pixelFormat, const IntRect& area,
                   const Mipmap<RGBA>& diffuseMap, const Mipmap<RGBA>& materialMap,
                   const Mipmap<L16>& depthMap, const Mipmap<RGBA>& skybox) override;

    std::span<const uint8_t, 256> redCurve() const { return curve(0); }
    std::span<const uint8_t, 256> greenCurve() const { return curve(1); }
    std::span<const uint8_t, 256> blueCurve() const { return curve(2); }
    // Phong exponent per roughness byte.
    const std::array<float, 256>& exponentTable() const { return exponentTable_; }

    // Chooses the kernel's instruction set (the widest this processor runs until
    // told otherwise); returns false (and keeps the current one) when the processor
    // lacks it. Lets tests compare every path.
    bool useKernel(Isa isa);
    Isa activeKernel() const { return activeKernel_; }

    // How many threads can light at once without the compositor allocating: one
    // staging area each, made at construction and reused by every call.
    int scratchAreaCount() const { return scratchCount_; }

private:
    // A staging area and whether a call is using it. Each on its own cache line, so
    // threads claiming neighbouring slots do not slow each other down.
    struct alignas(64) ScratchSlot {
        std::atomic<bool> busy{false};
        std::unique_ptr<compositor_detail::KernelScratch> area;
    };
    class ScratchClaim;

    void placeCurves();
    std::span<const uint8_t, 256> curve(int channel) const {
        return std::span<const uint8_t, 256>(curveStorage_.get() + 256 * channel, 256);
    }

    std::unique_ptr<uint8_t[]> curveStorage_; // red, green, blue curves back to back
    // The curves placed in the bytes of an output pixel, per pixel format and channel.
    std::array<std::array<std::array<int32_t, 256>, 3>, 3> curvePixels_{};
    std::array<float, 256> exponentTable_{};
    std::unique_ptr<ScratchSlot[]> scratch_;
    int scratchCount_ = 0;
    compositor_detail::BlockKernel kernel_ = nullptr;
    Isa activeKernel_ = Isa::sse2;
};

} // namespace corvid
