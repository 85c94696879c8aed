#pragma once
// A knob whose body is a pre-rendered picture turned with the value instead of the
// procedural body: the picture holds four square layers stacked top to bottom,
// coverage mask (red), colour, depth (grey) and material.

#include "corvid/graphics/mipmap.h"
#include "corvid/pbrwidgets/knob.h"
#include "corvid/pbrwidgets/shapes.h"

namespace vireo {

class UIImageKnob : public corvid::UIKnob {
public:
    // image: w wide and 4w high, not owned; it must outlive the knob.
    UIImageKnob(corvid::UIContext& context, corvid::FloatParameter* parameter,
                const corvid::Mipmap<corvid::RGBA>* image);

    void drawBodyAndLeds(const corvid::ImageView<corvid::RGBA>& diffuseMap,
                         const corvid::ImageView<corvid::L16>& depthMap,
                         const corvid::ImageView<corvid::RGBA>& materialMap,
                         const std::vector<corvid::IntRect>& boxes) override;

    const corvid::Mipmap<corvid::RGBA>* knobImage;
};

// The body as the knob draws it with a given instruction set (which the processor
// must run); the knob itself takes the widest.
void drawImageKnobBody(UIImageKnob& knob, corvid::Isa isa,
                       const corvid::ImageView<corvid::RGBA>& diffuseMap,
                       const corvid::ImageView<corvid::L16>& depthMap,
                       const corvid::ImageView<corvid::RGBA>& materialMap,
                       const std::vector<corvid::IntRect>& boxes);

} // namespace vireo
