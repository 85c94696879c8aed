#pragma once
// The last result of a function of a few floats, kept with the arguments it came from:
// asked again with the same bits, it is handed back without the work. An audio stage
// designs its filters from its controls every block, and while the controls rest that
// design is the same every time.

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>

namespace corvid {

template <class Result, std::size_t N>
class LastResult {
public:
    // The kept result if every argument has the bits of the last call's, else make()'s.
    // Bits, not values: -0 and +0, or two NaNs, may lead a function different ways.
    template <class Make>
    const Result& get(const std::array<float, N>& arguments, Make&& make) {
        std::array<std::uint32_t, N> key;
        for (std::size_t i = 0; i < N; ++i) key[i] = std::bit_cast<std::uint32_t>(arguments[i]);
        if (!kept_ || key != key_) {
            result_ = make();
            key_ = key;
            kept_ = true;
        }
        return result_;
    }

    void forget() { kept_ = false; }

private:
    Result result_{};
    std::array<std::uint32_t, N> key_{};
    bool kept_ = false;
};

} // namespace corvid
