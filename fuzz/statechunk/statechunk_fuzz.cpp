// Feeds arbitrary bytes to the state chunk reader of the real product client. Every
// input must either load or fail with the framework's exception, and leave every
// parameter with a normalised value inside [0, 1].

#include "corvid/core/error.h"
#include "spatium/spatium.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static auto client = corvid::createClient<spatium::SpatiumClient>();
    try {
        client->presetBank().readStateChunk(data, size);
    } catch (const corvid::CorvidError&) {
    }
    for (std::int32_t i = 0; i < client->parameterCount(); ++i) {
        const double n = client->parameter(i)->normalizedValue();
        if (!(n >= 0.0 && n <= 1.0)) std::abort();
    }
    const auto chunk = client->presetBank().writeStateChunk();
    if (chunk.size() != 24 + 4 * static_cast<std::size_t>(client->parameterCount())) std::abort();
    return 0;
}
