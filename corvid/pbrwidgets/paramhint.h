#pragma once
// A small plate that rises while its parameter is being edited and shows the value
// with its unit, then fades away once the value has stopped changing.

#include "corvid/client/params.h"
#include "corvid/graphics/text/font.h"
#include "corvid/gui/bufferedelement.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <limits>
#include <string_view>

namespace corvid {

class UIParamHint : public UIBufferedElement, public IParameterListener {
public:
    static constexpr std::size_t kTextCapacity = 256;
    static constexpr std::size_t kDisplayCapacity = 128;

    // Registers with the parameter; both parameter and font are not owned and
    // must outlive the hint.
    UIParamHint(UIContext& context, Parameter* parameter, Font* font);
    ~UIParamHint() override;

    // Any thread: only atomic flags.
    void parameterChanged(Parameter* p) override;
    void parameterEditBegun(Parameter* p) override;
    void parameterEditEnded(Parameter* p) override;

    void animateSelf(double dt, double time) override;
    void paintLayers(const ImageView<RGBA>& diffuse, const ImageView<L16>& depth,
                     const ImageView<RGBA>& material, const ImageView<L8>& diffuseOpacity,
                     const ImageView<L8>& depthOpacity,
                     const ImageView<L8>& materialOpacity) override;

    std::string_view currentText() const { return {textBuffer.data(), textLength}; }
    // Rebuilds the text from the parameter's display text and unit label.
    void rebuildText();

    double fadeInTime = 0.15;
    double fadeOutTime = 0.3;
    double lingerTime = 0.85;
    float textSize = 9.5f;
    RGBA plateDiffuse{90, 90, 90, 0};
    RGBA textColorLow{90, 90, 90, 0};
    RGBA textColorHigh{42, 42, 42, 0};
    RGBA faceDiffuseLow{90, 90, 90, 0};
    RGBA faceDiffuseHigh{245, 245, 245, 30};
    RGBA faceMaterial{0, 255, 192, 255};
    RGBA baseMaterial{155, 240, 69, 255};
    float baseAlpha = 0.05f;
    std::uint16_t faceDepthLow = 0;
    std::uint16_t faceDepthHigh = 50000;
    Parameter* parameter;
    std::atomic<bool> editing{false};
    std::atomic<bool> changed{false};
    float visibility = 0.0f;
    double sinceEdit = std::numeric_limits<double>::infinity();
    Font* font;

private:
    std::array<char, kTextCapacity> textBuffer{};
    std::size_t textLength = 0;
};

// The longest prefix of text of at most maxBytes bytes that does not end inside a
// UTF-8 sequence.
std::string_view cutUtf8(std::string_view text, std::size_t maxBytes);

// The face's inset from each edge for a face size s (fraction of the element) of
// an element side of `side` pixels.
std::int32_t hintFaceInset(std::int32_t side, float s);

} // namespace corvid
