// The LV2 library's entry points. Everything else in it stays hidden from hosts.

#include "corvid/host/entry.h"
#include "corvid/lv2/plugin.h"
#include "corvid/lv2/ui.h"
#include "spatium/lv2/bundle.h"

namespace {

const corvid::lv2::Descriptors& descriptors() {
    static const corvid::lv2::Descriptors table(spatium::lv2Bundle());
    return table;
}

} // namespace

CORVID_EXPORT const LV2_Descriptor* lv2_descriptor(std::uint32_t index) {
    corvid::host::EntryScope scope;
    return descriptors().descriptor(index);
}

CORVID_EXPORT const LV2UI_Descriptor* lv2ui_descriptor(std::uint32_t index) {
    corvid::host::EntryScope scope;
    return corvid::lv2::uiDescriptor(descriptors(), index);
}
