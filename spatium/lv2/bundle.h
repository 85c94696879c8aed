#pragma once
// Spatium as the LV2 bundle publishes it: shared by the plug-in library and the
// program that writes the bundle's Turtle files.

#include "corvid/lv2/bundle.h"

namespace spatium {

corvid::lv2::BundleDescription lv2Bundle();

} // namespace spatium
