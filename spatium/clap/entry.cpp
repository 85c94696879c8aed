// The CLAP library's entry point. Everything else in it stays hidden from hosts.

#include "corvid/clap/entry.h"
#include "spatium/gui/editor.h"
#include "spatium/spatium.h"

namespace {

std::unique_ptr<corvid::Client> createSpatium() {
    return corvid::createClient<spatium::SpatiumClient>(&spatium::createSpatiumEditor);
}

} // namespace

// The ID that sessions store: fixed for good.
CORVID_CLAP_ENTRY(createSpatium, "com.vireoraroza.spatium",
                  "Places a source in the stereo field: pan, distance, width and movement")
