#pragma once
// The client's state as every format saves and restores it: the state chunk,
// whole. A restore is all or nothing, so a host that hands back a damaged chunk
// finds the instance exactly as it was.

#include "corvid/client/client.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace corvid::host {

// Main thread.
std::vector<std::uint8_t> saveState(Client& client);
// Main thread. Empty on success; otherwise the chunk reader's message, and no
// value, not even the current preset, has changed.
std::string restoreState(Client& client, const std::uint8_t* bytes, std::size_t size);

// The longest prefix of a UTF-8 text that fits in maxBytes without cutting a
// character in two (names in a host's fixed-size fields).
std::string_view truncateUtf8(std::string_view text, std::size_t maxBytes);

} // namespace corvid::host
