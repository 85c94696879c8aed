#pragma once
// A line of text drawn into the diffuse map, centred on the element. A clickable
// label also glows while the pointer is over it or while it is pressed, and a
// click opens its web address.

#include "corvid/graphics/text/font.h"
#include "corvid/gui/element.h"

#include <string>

namespace corvid {

class UILabel : public UIElement {
public:
    // Extra emissive while hovered, and while pressed with the pointer elsewhere.
    static constexpr int kHoverGlow = 40;
    static constexpr int kPressGlow = 80;

    explicit UILabel(UIContext& context);

    virtual Font* getFont() const;
    virtual void setFont(Font* newFont);
    virtual const std::string& getText() const;
    virtual void setText(std::string newText);
    virtual float getTextSize() const;
    virtual void setTextSize(float size);
    virtual float getLetterSpacing() const;
    virtual void setLetterSpacing(float spacing);
    virtual RGBA getTextColor() const;
    virtual void setTextColor(RGBA color);
    // The box the text covers, in element coordinates; empty without a font.
    virtual IntRect layoutText();

    bool onMouseClick(std::int32_t x, std::int32_t y, MouseButton button, bool isDoubleClick,
                      MouseState state) override;
    void onDragEnd() override;
    void onMouseEnter() override;
    void onMouseExit() override;
    void paintMaps(const ImageView<RGBA>& diffuseMap, const ImageView<L16>& depthMap,
                   const ImageView<RGBA>& materialMap,
                   const std::vector<IntRect>& dirtyRects) override;

    // The colour the text is drawn in now, hover and press glow included.
    RGBA effectiveTextColor() const;

    bool clickable = false;
    std::string url;
    Font* font = nullptr;
    std::string text;
    float textSize = 12.0f;
    float letterSpacing = 0.0f;
    RGBA textColor{0, 0, 0, 0};
};

// Font sizes beyond this draw nothing: a glyph that large covers no editor and
// its rasterisation would only cost time.
inline constexpr float kMaxTextSize = 1000.0f;

// Whether a text size is one that can be drawn at all.
inline bool drawableTextSize(float size) {
    return size > 0.0f && size <= kMaxTextSize;
}

} // namespace corvid
