#pragma once
// DEFLATE and zlib decompression for the embedded pictures. Errors are returned, never
// thrown or fatal, so that callers decide how to fail and fuzzers can run the decoder.

#include "corvid/core/isa.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace corvid {

// Running Adler-32: start with 1, feed the data in any number of pieces. Every
// instruction set (which the processor must run) gives the same sum.
std::uint32_t adler32(std::uint32_t adler, const std::uint8_t* data, std::size_t size,
                      Isa isa = bestIsa());

struct InflateLimits {
    // Decoding fails rather than produce more bytes than this.
    std::size_t maxOutput = std::size_t(1) << 30;
    // First allocation of the output; a caller that knows the exact size avoids regrowth.
    std::size_t sizeHint = 0;
};

// Raw DEFLATE data. On success out holds exactly the decompressed bytes and consumed (if
// given) the input bytes used, the last partial byte counted as used.
bool inflateRaw(const std::uint8_t* data, std::size_t size, const InflateLimits& limits,
                std::vector<std::uint8_t>& out, std::string& error,
                std::size_t* consumed = nullptr);

// zlib stream: header, DEFLATE data, big-endian Adler-32 of the output (checked). Bytes
// after the checksum are ignored, as PNG readers traditionally do.
bool inflateZlib(const std::uint8_t* data, std::size_t size, const InflateLimits& limits,
                 std::vector<std::uint8_t>& out, std::string& error);

} // namespace corvid
