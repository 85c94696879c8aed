// The library's entry points: the AAX registration calls and the factory-preset
// export. Everything else in the library stays hidden from the host.

#include "corvid/aax/exports.h"
#include "spatium/gui/editor.h"
#include "spatium/spatium.h"

namespace {

std::unique_ptr<corvid::Client> createSpatium() {
    return corvid::createClient<spatium::SpatiumClient>(&spatium::createSpatiumEditor);
}

} // namespace

CORVID_AAX_ENTRY_POINTS(createSpatium)
