// The VST3 library's entry points. Everything else in it stays hidden from hosts.

#include "corvid/vst3/factory.h"
#include "spatium/gui/editor.h"
#include "spatium/spatium.h"

namespace {

std::unique_ptr<corvid::Client> createSpatium() {
    return corvid::createClient<spatium::SpatiumClient>(&spatium::createSpatiumEditor);
}

} // namespace

// The class ID that sessions store: fixed for good.
CORVID_VST3_ENTRY_POINTS(createSpatium, 0x26EAEA3E, 0xCC3DAA27, 0x604325C5, 0x7CE0C5F0)
