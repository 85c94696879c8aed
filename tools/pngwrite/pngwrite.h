#pragma once
// PNG output for the tools that save what the GUI drew.

#include "corvid/graphics/image.h"

#include <string>

namespace tools {

// Writes 8-bit RGBA pixels (alpha ignored, stored opaque) as a PNG; false on failure.
bool writePng(const std::string& path, const corvid::OwnedImage<corvid::RGBA>& image);

} // namespace tools
