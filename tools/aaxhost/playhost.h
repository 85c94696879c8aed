#pragma once
// A host that misbehaves: plays a script of host calls, read from arbitrary bytes,
// against the plug-in library through its entry points, and checks after every call
// what any host may rely on. Used by the host fuzz target and, with generated
// scripts, by the test suite.

#include "tools/aaxhost/host.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace spatium::hostfuzz {

struct PlayOptions {
    // Called for every broken promise; the fuzz target aborts, the tests record it.
    std::function<void(const std::string&)> fail;
    // When set, hears each operation before it runs: what a failure report needs to
    // be replayed by hand.
    std::function<void(const std::string&)> trace;
    // Whether editor windows may be opened (a display is there).
    bool openWindows = false;
};

void playHostScript(host::Plugin& plugin, const std::uint8_t* data, std::size_t size,
                    const PlayOptions& options);

} // namespace spatium::hostfuzz
