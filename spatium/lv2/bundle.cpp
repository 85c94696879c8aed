#include "spatium/lv2/bundle.h"

#include "spatium/gui/editor.h"
#include "spatium/params.h"
#include "spatium/spatium.h"

namespace spatium {

namespace {

std::unique_ptr<corvid::Client> createSpatium() {
    return corvid::createClient<SpatiumClient>(&createSpatiumEditor);
}

// The reserved block stays automatable and saved, but has nothing to show.
bool isReserved(const corvid::Parameter& parameter) {
    return parameter.index() >= kReserved0;
}

} // namespace

corvid::lv2::BundleDescription lv2Bundle() {
    corvid::lv2::BundleDescription bundle;
    bundle.create = &createSpatium;
    bundle.baseUri = "https://spatium.example/plugins/spatium";
    bundle.binary = "spatium.so";
    bundle.variants = {{"mono", "mono in", {1, 2}}, {"stereo", "stereo in", {2, 2}}};
    bundle.hidden = &isReserved;
    bundle.offerUi = true;
    return bundle;
}

} // namespace spatium
