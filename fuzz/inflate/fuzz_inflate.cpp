// Feeds arbitrary bytes to the zlib and raw DEFLATE decoders. A mutated stream almost
// never keeps a valid Adler-32, so a second copy gets the right checksum patched in
// and the code after the check is reached too.

#include "corvid/graphics/codecs/inflate.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    corvid::InflateLimits limits;
    limits.maxOutput = std::size_t(1) << 22;
    std::vector<std::uint8_t> out;
    std::string error;
    std::size_t consumed = 0;
    corvid::inflateZlib(data, size, limits, out, error);
    if (size < 2 || !corvid::inflateRaw(data + 2, size - 2, limits, out, error, &consumed))
        return 0;
    if (size - 2 - consumed < 4) return 0;
    std::vector<std::uint8_t> patched(data, data + size);
    const std::uint32_t adler = corvid::adler32(1, out.data(), out.size());
    std::uint8_t* at = patched.data() + 2 + consumed;
    for (int i = 0; i < 4; ++i) at[i] = std::uint8_t(adler >> (24 - 8 * i));
    if (corvid::inflateZlib(patched.data(), patched.size(), limits, out, error) &&
        corvid::adler32(1, out.data(), out.size()) != adler)
        __builtin_trap();
    return 0;
}
