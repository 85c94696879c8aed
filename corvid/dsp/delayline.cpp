#include "corvid/dsp/delayline.h"

#include "corvid/core/isa.h"
#include "corvid/dsp/delayline_kernel.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace corvid {

namespace {

delay_detail::Ring ringOf(const Delayline& line) {
    return {line.buffer.get(), line.mask, line.newest, line.capacity};
}

} // namespace

float Delayline::readInterpolated(float delay) const {
    return delay_detail::readOne(ringOf(*this), delay);
}

void Delayline::readBlockUsing(Isa isa, const float* delays, float* out, int n) const {
    IsaBodies<delay_detail::ReadBody>{&delay_detail::readSse2, &delay_detail::readAvx2,
                                      &delay_detail::readAvx512}[isa](ringOf(*this), delays, out,
                                                                      n);
}

void Delayline::readBlockPairUsing(Isa isa, const Delayline& a, const float* delaysA, float* outA,
                                   const Delayline& b, const float* delaysB, float* outB, int n) {
    namespace dd = delay_detail;
    IsaBodies<dd::PairBody>{&dd::readPairSse2, &dd::readPairAvx2, &dd::readPairAvx512}[isa](
        ringOf(a), delaysA, outA, ringOf(b), delaysB, outB, n);
}

void Delayline::resize(int size) {
    readIsa = bestIsa();
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
