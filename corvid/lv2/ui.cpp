#include "corvid/lv2/ui.h"

namespace corvid::lv2 {

const LV2UI_Descriptor* uiDescriptor(const Descriptors&, std::uint32_t) {
    return nullptr;
}

} // namespace corvid::lv2
