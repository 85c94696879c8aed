#include "corvid/aax/acf.h"

namespace {
std::atomic<std::int32_t> liveObjects{0};
} // namespace

std::int32_t AAX_LiveObjectCount() {
    return liveObjects.load();
}

void AAX_AddLiveObject(std::int32_t delta) {
    liveObjects.fetch_add(delta);
}
