#include "corvid/host/state.h"

#include "corvid/core/error.h"

namespace corvid::host {

std::vector<std::uint8_t> saveState(Client& client) {
    return client.presetBank().writeStateChunk();
}

std::string restoreState(Client& client, const std::uint8_t* bytes, std::size_t size) {
    try {
        client.presetBank().readStateChunk(bytes, size);
    } catch (const CorvidError& e) {
        return e.what();
    }
    return {};
}

std::string_view truncateUtf8(std::string_view text, std::size_t maxBytes) {
    if (text.size() <= maxBytes) return text;
    std::size_t end = maxBytes;
    // Step back over continuation bytes (10xxxxxx) to the start of the cut character.
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    return text.substr(0, end);
}

} // namespace corvid::host
