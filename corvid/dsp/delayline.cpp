#include "corvid/dsp/delayline.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace corvid {

void Delayline::resize(int size) {
    std::uint32_t m = static_cast<std::uint32_t>(std::max(size, 0));
    m |= m >> 1;
    m |= m >> 2;
    m |= m >> 4;
    m |= m >> 8;
    m |= m >> 16;
    const std::uint64_t slots = static_cast<std::uint64_t>(m) + 1;
    buffer.reset();
    buffer.reset(new (std::nothrow) float[slots]);
    if (!buffer) {
        capacity = 0;
        mask = 0;
        newest = 0;
        requested = size;
        return;
    }
    std::fill_n(buffer.get(), slots, 0.0f);
    capacity = slots;
    mask = static_cast<int>(m);
    newest = mask;
    requested = size;
}

void Delayline::feed(const float* samples, int frames) {
    if (frames <= 0) return;
    const int start = (newest + 1) & mask;
    const int first = std::min(frames, static_cast<int>(capacity) - start);
    std::memcpy(buffer.get() + start, samples, sizeof(float) * static_cast<std::size_t>(first));
    if (frames > first)
        std::memcpy(buffer.get(), samples + first,
                    sizeof(float) * static_cast<std::size_t>(frames - first));
    newest = (newest + frames) & mask;
}

} // namespace corvid
