#pragma once
// Whole blobs through a host's IBStream.

#include "corvid/vst3/abi.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace corvid::vst3 {

// A state is a few hundred bytes; a stream that goes on past this is not ours.
inline constexpr std::size_t kMaxStateBytes = 1 << 20;

// Reads from the stream's position to its end. False when the stream holds more
// than kMaxStateBytes.
bool readToEnd(IBStream* stream, std::vector<std::uint8_t>& bytes);
// False unless every byte was written.
bool writeAll(IBStream* stream, const std::vector<std::uint8_t>& bytes);

} // namespace corvid::vst3
