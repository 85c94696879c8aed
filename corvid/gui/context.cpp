#include "corvid/gui/context.h"

#include "corvid/gui/boxlist.h"

#include <utility>

namespace corvid {

namespace {
constexpr int kDefaultSkyboxSize = 1024;
constexpr int kDefaultSkyboxMaxLevel = 10;
constexpr int kEnvironmentMaxLevel = 12;
// The editor normally installs its own environment before the first paint; until
// then reflections see a neutral grey rather than whatever the allocator left.
constexpr RGBA kNeutralSky{128, 128, 128, 255};
} // namespace

UIContext::UIContext()
    : skybox(std::make_unique<Mipmap<RGBA>>(kDefaultSkyboxMaxLevel, kDefaultSkyboxSize,
                                            kDefaultSkyboxSize)) {
    for (auto& level : skybox->levels) level->fill(kNeutralSky);
}

UIContext::~UIContext() = default;

void UIContext::setEnvironmentMap(std::unique_ptr<OwnedImage<RGBA>> image) {
    // Without a picture the old environment is the better one to keep showing.
    if (!image || image->width() <= 0 || image->height() <= 0) return;
    skybox.reset();
    skybox = std::make_unique<Mipmap<RGBA>>(std::move(image), kEnvironmentMaxLevel);
}

void UIContext::addDirtyRect(const IntRect& rect) {
    if (rect.isEmpty()) return;
    std::lock_guard<std::recursive_mutex> lock(dirtyListMutex);
    addDisjointRect(dirtyList, rect);
}

void UIContext::takeDirtyRects(std::vector<IntRect>& out) {
    std::lock_guard<std::recursive_mutex> lock(dirtyListMutex);
    out.insert(out.end(), dirtyList.begin(), dirtyList.end());
    dirtyList.clear();
}

} // namespace corvid
