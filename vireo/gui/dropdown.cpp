#include "vireo/gui/dropdown.h"

#include "corvid/graphics/draw.h"
#include "corvid/gui/context.h"
#include "corvid/pbrwidgets/label.h"
#include "corvid/pbrwidgets/widgetdraw.h"

#include <algorithm>
#include <cmath>

namespace vireo {

using namespace corvid;

namespace {
constexpr double kAnimationStep = 0.001;
// Keeps the last row from appearing before the list is fully open.
constexpr float kUnfoldScale = 0.9999f;
} // namespace

VireoDropdown::VireoDropdown(UIContext& ctx, IntegerParameter* p, Font* f)
    : UIElement(ctx), parameter(p), font(f) {
    if (parameter != nullptr) parameter->addListener(this);
}

VireoDropdown::~VireoDropdown() {
    // Notifications run under the parameter's list lock: once removed, no callback
    // can still be running on this object.
    if (parameter != nullptr) parameter->removeListener(this);
}

void VireoDropdown::parameterChanged(Parameter*) {
    valueChanged.store(true);
}
void VireoDropdown::parameterEditBegun(Parameter*) {}
void VireoDropdown::parameterEditEnded(Parameter*) {}

std::int32_t VireoDropdown::choiceCount() const {
    if (parameter == nullptr) return 1;
    const std::int64_t n = std::int64_t(parameter->max()) - parameter->min() + 1;
    // A list longer than the element has pixel rows could not be drawn or hit.
    return std::int32_t(std::clamp<std::int64_t>(n, 1, 1 << 20));
}

float VireoDropdown::rowHeight() const {
    return float(position.height()) / float(choiceCount() + 1);
}

std::int32_t VireoDropdown::visibleRows() const {
    const std::int32_t n = choiceCount();
    const float open01 = clampUnit(openAmount);
    return std::min(n + 1, truncToPixel(open01 * float(n + 1) * kUnfoldScale) + 1);
}

std::int32_t VireoDropdown::rowTop(std::int32_t j) const {
    const std::int32_t h = position.height();
    if (j > choiceCount()) return h;
    return std::clamp(truncToPixel(float(j) * rowHeight()), 0, h);
}

std::string_view VireoDropdown::labelFor(std::int32_t value) const {
    if (parameter == nullptr) return {};
    return labelAt(std::int64_t(value) - parameter->min());
}

std::string_view VireoDropdown::labelAt(std::int64_t index) const {
    if (index < 0 || index >= std::int64_t(labels.size())) return {};
    return labels[std::size_t(index)];
}

std::int32_t VireoDropdown::rowAt(std::int32_t y) const {
    const float rh = rowHeight();
    if (!(rh > 0.0f)) return 0;
    return std::clamp(truncToPixel(float(y) / rh), 0, choiceCount());
}

bool VireoDropdown::onMouseClick(std::int32_t, std::int32_t y, MouseButton, bool isDoubleClick,
                                 MouseState) {
    const std::int32_t row = rowAt(y);
    if (isDoubleClick && row == 0 && parameter != nullptr)
        parameter->setFromEditor(parameter->defaultValue());
    if (open) {
        if (row >= 1 && parameter != nullptr) {
            const std::int32_t v = std::int32_t(
                std::min<std::int64_t>(std::int64_t(parameter->min()) + row - 1, parameter->max()));
            // The same choice again only folds the list: nothing to tell the host.
            if (v != parameter->value()) parameter->setFromEditor(v);
        }
        open = false;
        markDirty();
        return true;
    }
    if (float(y) < rowHeight()) {
        open = true;
        markDirty();
        return true;
    }
    return false;
}

void VireoDropdown::onMouseMove(std::int32_t, std::int32_t y, std::int32_t, std::int32_t,
                                MouseState) {
    hoverY = y;
    markDirty();
}

void VireoDropdown::onMouseExit() {
    markDirty();
}

void VireoDropdown::animateSelf(double dt, double) {
    bool expected = true;
    if (valueChanged.compare_exchange_strong(expected, false)) markDirty();
    const double target = open ? 1.0 : 0.0;
    const double a = std::exp(-kOpenSpeed * dt);
    const double p = double(openAmount) * a + target * (1.0 - a);
    if (std::isfinite(p) && std::fabs(p - double(openAmount)) > kAnimationStep) {
        openAmount = float(p);
        markDirty();
    }
}

void VireoDropdown::paintMaps(const ImageView<RGBA>& diffuseMap, const ImageView<L16>& depthMap,
                              const ImageView<RGBA>& materialMap,
                              const std::vector<IntRect>& dirtyRects) {
    const std::int32_t n = choiceCount();
    const std::int32_t rows = visibleRows();
    const std::int32_t value = parameter != nullptr ? parameter->value() : 0;
    const std::int64_t selected =
        parameter != nullptr ? std::int64_t(value) - parameter->min() + 1 : -1;
    const float rh = rowHeight();
    const std::int32_t hoverRow =
        mouseOver && rh > 0.0f ? std::clamp(truncToPixel(float(hoverY) / rh), 0, n) : -1;
    const std::int32_t ox = elementOriginInCrop(position.minX);
    const std::int32_t oy = elementOriginInCrop(position.minY);
    const std::int32_t w = position.width();
    const bool drawText = font != nullptr && drawableTextSize(textSize);

    for (const IntRect& box : dirtyRects) {
        // Only the rows that reach the box.
        for (std::int32_t j = 0; j < rows; ++j) {
            const IntRect row{ox, oy + rowTop(j), ox + w, oy + rowTop(j + 1)};
            const IntRect part = row.intersect(box);
            if (part.isEmpty()) continue;
            const bool isSelected = j == selected;
            RGBA diffuse =
                j == 0 ? headerDiffuse : (isSelected ? selectedItemDiffuse : itemDiffuse);
            if (j > 0 && j == hoverRow && !isSelected)
                diffuse.a = std::uint8_t(std::min(255, diffuse.a + kHoverGlow));
            fillRect(depthMap, L16(j == 0 ? kHeaderDepth : kListDepth), part);
            fillRect(diffuseMap, diffuse, part);
            fillRect(materialMap, listMaterial, part);
            if (!drawText) continue;
            const std::string_view text = j == 0 ? labelFor(value) : labelAt(std::int64_t(j) - 1);
            if (text.empty()) continue;
            const RGBA colour = (j == 0 || isSelected) ? selectedTextColor : textColor;
            // Text stays inside its own row, and inside the box being drawn.
            const ImageView<RGBA> view = diffuseMap.crop(part);
            corvid::drawText(view, *font, text, textSize, 0.0f, colour,
                             float(ox) + float(w) * 0.5f - float(part.minX),
                             float(oy) + (float(j) + 0.5f) * rh - float(part.minY), alignCentre,
                             alignCentre);
        }
    }
}

} // namespace vireo
