#pragma once

#include "corvid/graphics/image.h"

#include <string>

namespace guidemo {

// Writes 8-bit RGBA pixels (alpha ignored, stored opaque) as a PNG; false on failure.
bool writePng(const std::string& path, const corvid::OwnedImage<corvid::RGBA>& image);

} // namespace guidemo
