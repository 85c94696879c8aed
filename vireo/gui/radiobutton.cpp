#include "vireo/gui/radiobutton.h"

#include "corvid/graphics/drawex.h"
#include "corvid/gui/context.h"
#include "corvid/pbrwidgets/widgetdraw.h"

#include <algorithm>
#include <cmath>

namespace vireo {

using namespace corvid;

namespace {
constexpr double kGlowStep = 0.001;
// More options than this could not get a pixel row each in any editor.
constexpr std::int64_t kMaxOptions = 4096;

constexpr float kButtonX = 0.85f;
constexpr L16 kButtonDepth{40000};
constexpr float kButtonDepthStrength = 0.5f;
constexpr float kButtonOuter = 5.0f;
constexpr float kButtonFull = 4.0f;
constexpr float kDotOuter = 3.5f;
constexpr float kDotFull = 2.5f;
constexpr float kDotGlow = 225.0f;
constexpr float kDotBase = 20.0f;
constexpr RGBA kButtonMaterial{0, 40, 40, 255};
} // namespace

std::unique_ptr<VireoRadioButtonSet> VireoRadioButtonSet::create(IntegerParameter* parameter,
                                                                 UIContext& context) {
    std::unique_ptr<VireoRadioButtonSet> set(new VireoRadioButtonSet(parameter, context));
    if (parameter != nullptr) {
        const std::int64_t n = std::int64_t(parameter->max()) - parameter->min() + 1;
        set->optionGlow.assign(std::size_t(std::clamp<std::int64_t>(n, 0, kMaxOptions)), 0.0f);
        parameter->addListener(set.get());
    }
    return set;
}

VireoRadioButtonSet::VireoRadioButtonSet(IntegerParameter* p, UIContext& ctx)
    : UIElement(ctx), parameter(p) {}

VireoRadioButtonSet::~VireoRadioButtonSet() {
    // Notifications run under the parameter's list lock: once removed, no callback
    // can still be running on this object.
    if (parameter != nullptr) parameter->removeListener(this);
}

void VireoRadioButtonSet::parameterChanged(Parameter*) {
    valueChanged.store(true);
}
void VireoRadioButtonSet::parameterEditBegun(Parameter*) {}
void VireoRadioButtonSet::parameterEditEnded(Parameter*) {}

std::int32_t VireoRadioButtonSet::buttonHeight() const {
    const std::int32_t n = optionCount();
    return n > 0 ? position.height() / n : 0;
}

std::int32_t VireoRadioButtonSet::selectedOption() const {
    if (parameter == nullptr) return -1;
    const std::int64_t i = std::int64_t(parameter->value()) - parameter->min();
    return i >= 0 && i < optionCount() ? std::int32_t(i) : -1;
}

bool VireoRadioButtonSet::onMouseClick(std::int32_t, std::int32_t y, MouseButton, bool,
                                       MouseState) {
    const std::int32_t n = optionCount(), bh = buttonHeight();
    // Rows left over below the last button (and a set too small for any) take no
    // clicks, so whatever lies there stays reachable.
    if (bh <= 0 || y >= n * bh || parameter == nullptr) return false;
    const std::int32_t option = std::min(n, std::max(0, y / bh));
    parameter->beginEdit();
    parameter->setFromEditor(std::int32_t(
        std::min<std::int64_t>(std::int64_t(parameter->min()) + option, parameter->max())));
    parameter->endEdit();
    return true;
}

void VireoRadioButtonSet::onMouseMove(std::int32_t, std::int32_t y, std::int32_t, std::int32_t,
                                      MouseState) {
    hoverY = y;
    markDirty();
}

void VireoRadioButtonSet::onMouseExit() {
    markDirty();
}

void VireoRadioButtonSet::animateSelf(double dt, double) {
    bool dirty = false;
    bool expected = true;
    if (valueChanged.compare_exchange_strong(expected, false)) dirty = true;
    const std::int32_t selected = selectedOption();
    const double a = std::exp(-kGlowSpeed * dt);
    if (std::isfinite(a)) {
        for (std::int32_t i = 0; i < optionCount(); ++i) {
            float& glow = optionGlow[std::size_t(i)];
            const double target = i == selected ? 1.0 : 0.0;
            const double next = double(glow) * a + target * (1.0 - a);
            if (std::fabs(next - double(glow)) > kGlowStep) dirty = true;
            glow = float(next);
        }
    }
    if (dirty) markDirty();
}

void VireoRadioButtonSet::paintMaps(const ImageView<RGBA>& diffuseMap,
                                    const ImageView<L16>& depthMap,
                                    const ImageView<RGBA>& materialMap,
                                    const std::vector<IntRect>& dirtyRects) {
    const std::int32_t n = optionCount(), bh = buttonHeight();
    if (bh <= 0) return;
    const std::int32_t selected = selectedOption();
    const std::int32_t hoverRow = mouseOver ? hoverY / bh : -1;
    const std::int32_t ox = elementOriginInCrop(position.minX);
    const std::int32_t oy = elementOriginInCrop(position.minY);
    const std::int32_t w = position.width();
    const float cxBase = kButtonX * float(bh) * 0.5f;
    const float half = float(bh) * 0.5f;

    // The buttons are drawn in the maps' own coordinates with drawing clipped to each
    // box, so their centres are the same floats whatever the box, and a set drawn box
    // by box has exactly the pixels of one drawn whole.
    const float bx = float(ox), by = float(oy);
    for (const IntRect& box : dirtyRects) {
        const ImageView<RGBA> diffuse = diffuseMap.withClip(box);
        const ImageView<L16> depth = depthMap.withClip(box);
        const ImageView<RGBA> material = materialMap.withClip(box);
        // A button reaches at most its outer radius, plus the one-pixel walk, past
        // its row: only rows that can touch the box are visited.
        const std::int32_t reach = std::int32_t(kButtonOuter) + 2;
        const std::int32_t first = std::clamp((box.minY - oy - reach) / bh - 1, 0, n);
        const std::int32_t end = std::clamp((box.maxY - oy + reach) / bh + 1, 0, n);
        for (std::int32_t j = first; j < end; ++j) {
            const IntRect row = IntRect{ox, oy + j * bh, ox + w, oy + (j + 1) * bh}.intersect(box);
            const std::uint8_t alpha = (j == hoverRow && j != selected) ? kHoverAlpha : 0;
            for (std::int32_t y = row.minY; y < row.maxY; ++y) {
                RGBA* p = diffuseMap.row(y);
                for (std::int32_t x = row.minX; x < row.maxX; ++x) p[x].a = alpha;
            }
            const float cx = bx + cxBase;
            const float cy = by + float(j * bh) + half;
            const float glow = clampUnit(optionGlow[std::size_t(j)]);
            const RGBA dot{onDiffuse.r, onDiffuse.g, onDiffuse.b,
                           std::uint8_t(truncToPixel(glow * kDotGlow + kDotBase))};
            aaDisc(depth, cx, cy, 0.0f, kButtonOuter, kButtonDepth, kButtonDepthStrength);
            aaDisc(diffuse, cx, cy, kButtonFull, kButtonOuter, offDiffuse, 1.0f);
            aaDisc(diffuse, cx - 1.0f, cy, kDotFull, kDotOuter, dot, 1.0f);
            aaDisc(material, cx, cy, kButtonFull, kButtonOuter, kButtonMaterial, 1.0f);
        }
    }
}

} // namespace vireo
