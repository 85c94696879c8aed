#pragma once
// The editor's central pan dial: a knob with a dark marker dot on its trail ring at
// the current value, so the position reads like a pointer on a dial.

#include "corvid/pbrwidgets/knob.h"

namespace spatium {

class PanKnob : public corvid::UIKnob {
public:
    using corvid::UIKnob::UIKnob;

    void paintMaps(const corvid::ImageView<corvid::RGBA>& diffuseMap,
                   const corvid::ImageView<corvid::L16>& depthMap,
                   const corvid::ImageView<corvid::RGBA>& materialMap,
                   const std::vector<corvid::IntRect>& dirtyRects) override;
};

} // namespace spatium
