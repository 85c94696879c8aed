#pragma once
// The editor as an LV2 X11 UI.

#include "corvid/lv2/plugin.h"

#include <lv2/ui/ui.h>

namespace corvid::lv2 {

// Null past the last UI, and for a bundle whose plug-ins have no editor.
const LV2UI_Descriptor* uiDescriptor(const Descriptors& descriptors, std::uint32_t index);

} // namespace corvid::lv2
