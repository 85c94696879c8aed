#include "corvid/pbrwidgets/label.h"

#include "corvid/gui/context.h"
#include "corvid/pbrwidgets/urlopener.h"
#include "corvid/pbrwidgets/widgetdraw.h"

#include <algorithm>
#include <utility>

namespace corvid {

UILabel::UILabel(UIContext& ctx) : UIElement(ctx) {}

Font* UILabel::getFont() const {
    return font;
}
void UILabel::setFont(Font* newFont) {
    font = newFont;
    markDirty();
}
const std::string& UILabel::getText() const {
    return text;
}
void UILabel::setText(std::string newText) {
    text = std::move(newText);
    markDirty();
}
float UILabel::getTextSize() const {
    return textSize;
}
void UILabel::setTextSize(float size) {
    textSize = size;
    markDirty();
}
float UILabel::getLetterSpacing() const {
    return letterSpacing;
}
void UILabel::setLetterSpacing(float spacing) {
    letterSpacing = spacing;
    markDirty();
}
RGBA UILabel::getTextColor() const {
    return textColor;
}
void UILabel::setTextColor(RGBA color) {
    textColor = color;
    markDirty();
}

IntRect UILabel::layoutText() {
    if (font == nullptr || !drawableTextSize(textSize)) return {};
    const IntRect b = font->textBounds(text, textSize, letterSpacing);
    if (b.isEmpty()) return {};
    // The same anchoring drawText uses for centred text.
    const std::int32_t ax = truncToPixel(std::floor(position.width() * 0.5f));
    const std::int32_t ay = truncToPixel(std::floor(position.height() * 0.5f));
    return b.translated(ax - (b.minX + b.maxX) / 2, ay - (b.minY + b.maxY) / 2);
}

RGBA UILabel::effectiveTextColor() const {
    RGBA c = textColor;
    if (clickable) {
        int glow = 0;
        if (mouseOver) {
            glow = kHoverGlow;
        } else if (context.dragged == this) {
            glow = kPressGlow;
        }
        c.a = static_cast<std::uint8_t>(std::min(255, c.a + glow));
    }
    return c;
}

bool UILabel::onMouseClick(std::int32_t, std::int32_t, MouseButton, bool, MouseState) {
    if (!clickable) return false;
    markDirty();
    openUrl(url);
    return true;
}

void UILabel::onDragEnd() {
    if (clickable) markDirty();
}
void UILabel::onMouseEnter() {
    if (clickable) markDirty();
}
void UILabel::onMouseExit() {
    if (clickable) markDirty();
}

void UILabel::paintMaps(const ImageView<RGBA>& diffuseMap, const ImageView<L16>&,
                        const ImageView<RGBA>&, const std::vector<IntRect>& dirtyRects) {
    if (font == nullptr || text.empty() || !drawableTextSize(textSize) ||
        !(letterSpacing > -kMaxTextSize && letterSpacing < kMaxTextSize))
        return;
    const RGBA color = effectiveTextColor();
    const float cx = float(elementOriginInCrop(position.minX)) + position.width() * 0.5f;
    const float cy = float(elementOriginInCrop(position.minY)) + position.height() * 0.5f;
    for (const IntRect& box : dirtyRects) {
        const ImageView<RGBA> part = diffuseMap.crop(box);
        if (part.isEmpty()) continue;
        drawText(part, *font, text, textSize, letterSpacing, color, cx - float(box.minX),
                 cy - float(box.minY), alignCentre, alignCentre);
    }
}

} // namespace corvid
