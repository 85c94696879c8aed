#include "tools/aaxhost/linkedplugin.h"

extern "C" {
AAX_Result ACFStartup(AAX_IACFHost* host);
AAX_Result ACFShutdown(AAX_IACFHost* host);
AAX_Result ACFCanUnloadNow(AAX_IACFHost* host);
AAX_Result ACFGetSDKVersion(std::uint64_t* version);
AAX_Result ACFGetClassFactory(AAX_IACFHost* host, const acfUID* classID, const acfUID* interfaceID,
                              void** factory);
AAX_Result ACFRegisterComponent(AAX_IACFHost* host, std::uint32_t index, void** definition);
AAX_Result ACFRegisterPlugin(AAX_IACFHost* host, AAX_IACFCollection** definition);
AAX_Result CorvidEnumerateTFX(CorvidTFXCallback callback, void* userData);
}

namespace spatium::host {

Exports linkedPluginExports() {
    Exports e;
    e.startup = &ACFStartup;
    e.shutdown = &ACFShutdown;
    e.canUnloadNow = &ACFCanUnloadNow;
    e.getSDKVersion = &ACFGetSDKVersion;
    e.getClassFactory = &ACFGetClassFactory;
    e.registerComponent = &ACFRegisterComponent;
    e.registerPlugin = &ACFRegisterPlugin;
    e.enumerateTFX = &CorvidEnumerateTFX;
    return e;
}

} // namespace spatium::host
