// The host-conformance fuzz target: the plug-in's entry points are linked in, and
// every input is a script of host calls.

#include "fuzz/host/playhost.h"

#include <cstdio>
#include <cstdlib>

extern "C" {
AAX_Result ACFStartup(AAX_IACFHost*);
AAX_Result ACFShutdown(AAX_IACFHost*);
AAX_Result ACFCanUnloadNow(AAX_IACFHost*);
AAX_Result ACFGetSDKVersion(std::uint64_t*);
AAX_Result ACFGetClassFactory(AAX_IACFHost*, const acfUID*, const acfUID*, void**);
AAX_Result ACFRegisterComponent(AAX_IACFHost*, std::uint32_t, void**);
AAX_Result ACFRegisterPlugin(AAX_IACFHost*, AAX_IACFCollection**);
AAX_Result CorvidEnumerateTFX(CorvidTFXCallback, void*);
}

namespace {

spatium::host::Plugin& linkedPlugin() {
    static spatium::host::Exports exports{
        &ACFStartup,         &ACFShutdown,          &ACFCanUnloadNow,   &ACFGetSDKVersion,
        &ACFGetClassFactory, &ACFRegisterComponent, &ACFRegisterPlugin, &CorvidEnumerateTFX};
    static spatium::host::Plugin plugin("linked plug-in", exports);
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
