#include "spatium/gui/phasedisplay.h"

#include "corvid/gui/context.h"
#include "corvid/simd/sse2.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <new>

namespace spatium {

using corvid::IntRect;
using corvid::RGBA;

namespace {

// The loudest point of a frame lands this far from the centre (0.9 x 65 pixels),
// so the display shows the shape of the signal, not its level.
constexpr float kPeakFraction = 0.9f;
constexpr float kPeakRadius = 65.0f;
constexpr float kPeakFloor = 1.0e-10f;

constexpr std::int32_t kFade = 13;
constexpr std::int32_t kFadeDragged = 26;
constexpr int kSplatShift = 4;
constexpr int kSplatShiftDragged = 3;
constexpr std::int32_t kMaxGlow = 255;

// Positions along each segment where a point is splatted.
constexpr float kSegmentSteps[] = {0.0f, 0.2f, 0.4f, 0.6f, 0.8f};

// Sub-pixel splat positions are in 1/16 pixel.
constexpr float kSubPixels = 16.0f;

constexpr int kMaxRed = 210, kMaxGreen = 210, kMaxBlue = 255;

} // namespace

PhaseDisplay::PhaseDisplay(corvid::UIContext& context)
    : UIElement(context), points_(std::make_unique<StereoPair[]>(kMaxPoints)) {}

PhaseDisplay::~PhaseDisplay() = default;

void PhaseDisplay::reserveFeedFrames(std::int32_t frames) {
    if (frames <= interleavedCapacity_) return;
    interleaved_.reset(new (std::nothrow) StereoPair[static_cast<std::size_t>(frames)]);
    interleavedCapacity_ = interleaved_ ? frames : 0;
}

void PhaseDisplay::feed(const float* left, const float* right, std::int32_t frames,
                        float sampleRate) {
    if (frozen_.load(std::memory_order_relaxed)) return;
    if (frames <= 0 || left == nullptr || right == nullptr) return;
    // Only a sub-block larger than the editor sized the buffer for allocates here;
    // the product never sends one.
    if (frames > interleavedCapacity_) reserveFeedFrames(frames);
    if (frames > interleavedCapacity_) return;
    StereoPair* pairs = interleaved_.get();
    for (std::int32_t i = 0; i < frames; ++i) pairs[i] = {left[i], right[i]};
    queue_.push(pairs, frames, sampleRate);
}

bool PhaseDisplay::onMouseClick(std::int32_t, std::int32_t, corvid::MouseButton button, bool,
                                corvid::MouseState) {
    if (button == corvid::MouseButton::right)
        frozen_.store(!frozen_.load(std::memory_order_relaxed), std::memory_order_relaxed);
    return true;
}

void PhaseDisplay::animateSelf(double dt, double) {
    StereoPair* pts = points_.get();
    const std::int32_t n = queue_.read(pts, kMaxPoints, 0, dt);
    bool sound = false;
    std::int32_t kept = 0;
    for (std::int32_t i = 0; i < n; ++i) {
        const float l = pts[i].left, r = pts[i].right;
        if (l != 0.0f || r != 0.0f) sound = true;
        const float x = l - r, y = l + r;
        // A non-finite point, or one whose squared length overflows, has no place
        // on the scope and would spoil the frame's scale for the others.
        if (!std::isfinite(x * x + y * y)) continue;
        pts[kept++] = {x, y};
    }
    pointCount_ = kept;
    // A frame with sound is not one of the silent frames: the twenty fades that
    // clear its trace all come after it.
    if (sound) {
        silentFrames_ = 0;
    } else if (silentFrames_ < kSilentFramesToIdle) {
        ++silentFrames_;
    } else {
        return;
    }
    markDirty();
    framePending_ = true;
}

void PhaseDisplay::splat(float x, float y, float scale, int shift) {
    const float sx = (x * scale + kCentre) * kSubPixels;
    const float sy = (y * scale + kCentre) * kSubPixels;
    // Outside the glow image (which the frame's scale never produces, bar
    // rounding) nothing is written; the range test also keeps the conversion defined.
    if (!(sx >= 0.0f && sx < kSubPixels * kGlowWidth && sy >= 0.0f &&
          sy < kSubPixels * kGlowHeight))
        return;
    const auto px = static_cast<std::int32_t>(sx), py = static_cast<std::int32_t>(sy);
    const std::int32_t fx = px & 15, fy = py & 15;
    const std::int32_t cx = px >> 4, cy = py >> 4;
    std::int32_t* row = &glow_[static_cast<std::size_t>(cy * kGlowWidth + cx)];
    const bool hasRight = cx + 1 < kGlowWidth, hasBelow = cy + 1 < kGlowHeight;
    // Cells stay within 0..255, so twenty fades clear even a saturated trace; a cell
    // left above 255 would still glow faintly after the display stops redrawing.
    const auto add = [](std::int32_t& cell, std::int32_t w) {
        cell = std::min(kMaxGlow, cell + w);
    };
    add(row[0], ((15 - fx) * (15 - fy)) >> shift);
    if (hasRight) add(row[1], (fx * (15 - fy)) >> shift);
    if (hasBelow) add(row[kGlowWidth], ((15 - fx) * fy) >> shift);
    if (hasRight && hasBelow) add(row[kGlowWidth + 1], (fx * fy) >> shift);
}

void PhaseDisplay::renderFrame(bool dragged) {
    const StereoPair* pts = points_.get();
    float peak = kPeakFloor;
    for (std::int32_t i = 0; i < pointCount_; ++i) {
        const float x = pts[i].left, y = pts[i].right;
        peak = std::max(peak, x * x + y * y);
    }
    const float scale = kPeakFraction * kPeakRadius / std::sqrt(peak);

    const std::int32_t fade = dragged ? kFadeDragged : kFade;
    for (std::int32_t& cell : glow_) cell = std::clamp(cell - fade, 0, kMaxGlow);

    const int shift = dragged ? kSplatShiftDragged : kSplatShift;
    for (std::int32_t i = 0; i + 1 < pointCount_; ++i) {
        const StereoPair a = pts[i], b = pts[i + 1];
        for (const float e : kSegmentSteps) {
            const float qx = (1.0f - e) * a.left + e * b.left;
            const float qy = (1.0f - e) * a.right + e * b.right;
            splat(qx, qy, scale, shift);
        }
    }
}

namespace {

// Eight pixels a step, the same bytes as the plain loop below: the cells (0..255)
// narrowed to bytes, each spread over its pixel's colour bytes and added with
// saturation; holding the sum at 255 first changes nothing, as no cap is above 255.
std::int32_t compositeEights(RGBA* out, const std::int32_t* cells, std::int32_t x,
                             std::int32_t end) {
    using L = corvid::simd::Sse2Lanes;
    static_assert(sizeof(RGBA) == 4 && offsetof(RGBA, r) == 0 && offsetof(RGBA, a) == 3);
    const L::Words colourBytes = L::splat32(0x00FFFFFF);
    const L::Words caps = L::splat32(static_cast<std::int32_t>(
        0xFF000000u | std::uint32_t(kMaxBlue) << 16 | std::uint32_t(kMaxGreen) << 8 | kMaxRed));
    for (; x + 8 <= end; x += 8) {
        const L::Words glow =
            L::narrowBytes(L::narrow32(L::load(cells + x), L::load(cells + x + 4)));
        const L::Words pairs = L::interleaveLo8(glow, glow);
        const L::Words lo = L::interleaveLo16(pairs, pairs) & colourBytes;
        const L::Words hi = L::interleaveHi16(pairs, pairs) & colourBytes;
        RGBA* p = out + x;
        L::storeWords(p, L::min8(L::addSaturate8(L::loadWords(p), lo), caps));
        L::storeWords(p + 4, L::min8(L::addSaturate8(L::loadWords(p + 4), hi), caps));
    }
    return x;
}

} // namespace

void PhaseDisplay::composite(const corvid::ImageView<RGBA>& diffuse, const IntRect& box) const {
    const IntRect r =
        box.intersect(diffuse.drawableArea()).intersect({0, 0, kGlowWidth, kGlowHeight});
    for (std::int32_t y = r.minY; y < r.maxY; ++y) {
        RGBA* out = diffuse.row(y);
        const std::int32_t* cells = &glow_[static_cast<std::size_t>(y * kGlowWidth)];
        for (std::int32_t x = compositeEights(out, cells, r.minX, r.maxX); x < r.maxX; ++x) {
            const int v = std::min(cells[x], kMaxGlow);
            RGBA& p = out[x];
            p.r = static_cast<std::uint8_t>(std::min(kMaxRed, p.r + v));
            p.g = static_cast<std::uint8_t>(std::min(kMaxGreen, p.g + v));
            p.b = static_cast<std::uint8_t>(std::min(kMaxBlue, p.b + v));
        }
    }
}

void PhaseDisplay::paintMaps(const corvid::ImageView<RGBA>& diffuseMap,
                             const corvid::ImageView<corvid::L16>&, const corvid::ImageView<RGBA>&,
                             const std::vector<IntRect>& dirtyRects) {
    // Fading and splatting belong to the animation frame: a repaint that a
    // neighbour causes before the next frame shows the same glow again.
    if (framePending_) {
        renderFrame(context.dragged == this);
        framePending_ = false;
    }
    for (const IntRect& box : dirtyRects) composite(diffuseMap, box);
}

} // namespace spatium
