#pragma once
// What a widget needs to draw into the maps paintMaps hands it: where its own
// origin lies in those maps, and each dirty box as a view of its own.

#include "corvid/graphics/rect.h"
#include "corvid/graphics/view.h"

#include <algorithm>

namespace corvid {

// The maps are cropped to the part of the element inside the window; an element
// reaching past the window's left or top edge has its origin left of or above the
// crop's corner.
inline IntRect elementInCrop(const IntRect& position) {
    const std::int32_t ox = std::min(position.minX, 0);
    const std::int32_t oy = std::min(position.minY, 0);
    return {ox, oy, ox + position.width(), oy + position.height()};
}

// The map with drawing clipped to the dirty box cut to the element. Coordinates
// stay those of the map: a shape drawn box by box lands on exactly the pixels, with
// exactly the values, it has when drawn whole.
template <typename T>
ImageView<T> boxView(const ImageView<T>& map, const IntRect& box, const IntRect& element) {
    return map.withClip(box.intersect(element));
}

} // namespace corvid
