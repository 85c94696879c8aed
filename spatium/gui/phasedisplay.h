#pragma once
// The editor's stereo phase scope (a goniometer). The output is plotted as points
// (left - right, left + right): mono draws a vertical line, out-of-phase content
// spreads sideways. Points leave light in a glow image that fades every frame and
// is added to the panel's diffuse colour. A right click freezes the input; holding
// the left button makes the trace brighter and shorter-lived.

#include "spatium/gui/feedqueue.h"

#include "corvid/graphics/color.h"
#include "corvid/graphics/view.h"
#include "corvid/gui/element.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

namespace spatium {

struct StereoPair {
    float left, right;
};

class PhaseDisplay : public corvid::UIElement {
public:
    // The glow image has the size of the display's box in the editor.
    static constexpr std::int32_t kGlowWidth = 139;
    static constexpr std::int32_t kGlowHeight = 134;
    // The scope's centre cell.
    static constexpr float kCentre = 69.0f;
    // Queue: 2^14 pairs with one in four kept covers about 1.5 s at 44.1 kHz.
    static constexpr std::int64_t kQueueCapacity = 16384;
    static constexpr std::int32_t kDecimationMask = 3;
    static constexpr float kRateScale = 0.25f;
    static constexpr std::int32_t kMaxPoints = 256;
    // Frames without sound after which the display stops asking to be redrawn; by
    // then the glow has faded (20 x 13 > 255).
    static constexpr std::int32_t kSilentFramesToIdle = 20;

    explicit PhaseDisplay(corvid::UIContext& context);
    ~PhaseDisplay() override;

    // Sizes the feed's interleaving buffer for sub-blocks of up to `frames`, so the
    // audio thread never allocates. Call before the audio thread can feed.
    void reserveFeedFrames(std::int32_t frames);

    // Audio thread; never waits. The block is lost when frozen or when the editor
    // holds the queue.
    void feed(const float* left, const float* right, std::int32_t frames, float sampleRate);

    bool isFrozen() const { return frozen_.load(std::memory_order_relaxed); }
    std::int32_t feedCapacity() const { return interleavedCapacity_; }
    std::int32_t silentFrames() const { return silentFrames_; }
    std::int32_t pointCount() const { return pointCount_; }
    // The points of the current frame, (l - r, l + r), non-finite ones left out.
    const StereoPair* points() const { return points_.get(); }
    // Row-major, kGlowWidth cells per row.
    const std::array<std::int32_t, kGlowWidth * kGlowHeight>& glow() const { return glow_; }
    TimedFeedQueue<StereoPair>& feedQueue() { return queue_; }

    bool onMouseClick(std::int32_t x, std::int32_t y, corvid::MouseButton button,
                      bool isDoubleClick, corvid::MouseState state) override;
    void animateSelf(double dt, double time) override;
    void paintMaps(const corvid::ImageView<corvid::RGBA>& diffuseMap,
                   const corvid::ImageView<corvid::L16>& depthMap,
                   const corvid::ImageView<corvid::RGBA>& materialMap,
                   const std::vector<corvid::IntRect>& dirtyRects) override;

private:
    // Fades the glow and splats the frame's points into it.
    void renderFrame(bool dragged);
    void splat(float x, float y, float scale, int shift);
    void composite(const corvid::ImageView<corvid::RGBA>& diffuse,
                   const corvid::IntRect& box) const;

    std::atomic<bool> frozen_{false};
    TimedFeedQueue<StereoPair> queue_{kQueueCapacity, kDecimationMask, kRateScale};
    std::int32_t pointCount_ = 0;
    std::unique_ptr<StereoPair[]> points_;
    // Audio thread only (and reserveFeedFrames before it starts).
    std::unique_ptr<StereoPair[]> interleaved_;
    std::int32_t interleavedCapacity_ = 0;
    std::int32_t silentFrames_ = 0;
    // Set by the animation when it has a new frame; the next paint fades and splats
    // once, later paints before the next frame only composite.
    bool framePending_ = false;
    std::array<std::int32_t, kGlowWidth * kGlowHeight> glow_{};
};

} // namespace spatium
