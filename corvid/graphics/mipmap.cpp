#include "corvid/graphics/mipmap.h"

namespace corvid {

template <typename T>
int Mipmap<T>::levelCountFor(int maxLevel, int32_t width, int32_t height) {
    int n = 0;
    while (n <= maxLevel && n < 31 && (width >> n) > 0 && (height >> n) > 0) ++n;
    return n;
}

template <typename T>
Mipmap<T>::Mipmap(int maxLevel, int32_t width, int32_t height) {
    size(levelCountFor(maxLevel, width, height), width, height);
}

template <typename T>
void Mipmap<T>::size(int levelCount, int32_t width, int32_t height) {
    levels.clear();
    const int n = std::min(levelCount, levelCountFor(30, width, height));
    for (int k = 0; k < n; ++k)
        levels.push_back(std::make_unique<OwnedImage<T>>(width >> k, height >> k));
}

template class Mipmap<RGBA>;
template class Mipmap<L16>;

} // namespace corvid
