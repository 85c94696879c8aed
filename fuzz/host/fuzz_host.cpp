// The host-conformance fuzz target: the plug-in's entry points are linked in, and
// every input is a script of host calls.

#include "tools/aaxhost/linkedplugin.h"
#include "tools/aaxhost/playhost.h"

#include <cstdio>
#include <cstdlib>

namespace {

spatium::host::Plugin& linkedPlugin() {
    static spatium::host::Plugin plugin("linked plug-in", spatium::host::linkedPluginExports());
    return plugin;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    spatium::hostfuzz::PlayOptions options;
    // Under an X server (xvfb-run) the editors' windows open and close as well.
    static const bool haveDisplay = std::getenv("DISPLAY") != nullptr;
    options.openWindows = haveDisplay;
    options.fail = [](const std::string& what) {
        std::fprintf(stderr, "host conformance: %s\n", what.c_str());
        std::abort();
    };
    spatium::hostfuzz::playHostScript(linkedPlugin(), data, size, options);
    return 0;
}
