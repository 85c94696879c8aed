#pragma once
// Identification of the host application. Some hosts need workarounds, so the
// adapters report which one they run in.

#include <cstdint>
#include <string_view>

namespace corvid {

enum class DawKind : std::int32_t {
    unknown = 0,
    reaper = 1,
    protools = 2,
    cubase = 3,
    nuendo = 4,
    cakewalk = 5,
    fruity = 7,
    samplitude = 8,
    live = 9,
    melodyne = 12,
    vstmanlib = 13,
    aulab = 14,
    forte = 15,
    chainer = 16,
    audition = 17,
    orion = 18,
    sawstudio = 20,
    logic = 21,
    garageband = 22,
    digital = 23,
    standalone = 24,
    audiomulch = 25,
    presonus = 26,
    vst3plugintesthost = 27,
    ardour = 28,
};

// Searches the host's product string for known lower-case names in a fixed order;
// the first hit wins (so "cubase" is found before "live" in "Cubase Live").
DawKind identifyHost(std::string_view productString);

} // namespace corvid
