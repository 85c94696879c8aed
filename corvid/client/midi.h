#pragma once

#include <cstdint>

namespace corvid {

// One short MIDI message; offset is in frames from the start of the host block it
// arrived with.
struct MidiMessage {
    std::int32_t offset = 0;
    std::uint8_t status = 0;
    std::uint8_t data1 = 0;
    std::uint8_t data2 = 0;
};
static_assert(sizeof(MidiMessage) == 8, "hosts and queues rely on 8-byte messages");

} // namespace corvid
