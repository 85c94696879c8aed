#pragma once
// The eight entry points of an AAX plug-in library. A product writes one line,
//     CORVID_AAX_ENTRY_POINTS(createMyClient)
// with a function that makes its client (editor included), and the macro exports
// the registration calls and the factory-preset export, each inside the
// framework's entry scope.

#include "corvid/aax/acf.h"
#include "corvid/client/client.h"
#include "corvid/host/entry.h"

#include <cstdint>
#include <memory>

namespace corvid::aax {

using ClientFactory = std::unique_ptr<Client> (*)();

AAX_Result startup(AAX_IACFHost* host);
AAX_Result shutdown();
AAX_Result canUnloadNow();
AAX_Result sdkVersion(std::uint64_t* version);
AAX_Result classFactory(void** factory);
AAX_Result registerComponent(void** definition);
// The objects a host makes for each instance; plain functions for the description.
AAX_IACFEffectParameters* createEffectParameters(ClientFactory create);
AAX_IACFEffectGUI* createEffectGUI();
AAX_Result registerPlugin(ClientFactory create, AAX_CEffectParametersFactory parameters,
                          AAX_IACFHost* host, AAX_IACFCollection** definition);
AAX_Result enumeratePresets(ClientFactory create, CorvidTFXCallback callback, void* userData);

template <ClientFactory Create>
AAX_IACFEffectParameters* effectParametersOf() {
    host::EntryScope scope;
    return createEffectParameters(Create);
}

} // namespace corvid::aax

#define CORVID_AAX_ENTRY_POINTS(create)                                                            \
    CORVID_EXPORT AAX_Result ACFStartup(AAX_IACFHost* host) {                                      \
        corvid::host::EntryScope scope;                                                            \
        return corvid::aax::startup(host);                                                         \
    }                                                                                              \
    CORVID_EXPORT AAX_Result ACFShutdown(AAX_IACFHost*) {                                          \
        corvid::host::EntryScope scope;                                                            \
        return corvid::aax::shutdown();                                                            \
    }                                                                                              \
    CORVID_EXPORT AAX_Result ACFCanUnloadNow(AAX_IACFHost*) {                                      \
        corvid::host::EntryScope scope;                                                            \
        return corvid::aax::canUnloadNow();                                                        \
    }                                                                                              \
    CORVID_EXPORT AAX_Result ACFGetSDKVersion(std::uint64_t* version) {                            \
        corvid::host::EntryScope scope;                                                            \
        return corvid::aax::sdkVersion(version);                                                   \
    }                                                                                              \
    CORVID_EXPORT AAX_Result ACFGetClassFactory(AAX_IACFHost*, const acfUID*, const acfUID*,       \
                                                void** factory) {                                  \
        corvid::host::EntryScope scope;                                                            \
        return corvid::aax::classFactory(factory);                                                 \
    }                                                                                              \
    CORVID_EXPORT AAX_Result ACFRegisterComponent(AAX_IACFHost*, std::uint32_t,                    \
                                                  void** definition) {                             \
        corvid::host::EntryScope scope;                                                            \
        return corvid::aax::registerComponent(definition);                                         \
    }                                                                                              \
    CORVID_EXPORT AAX_Result ACFRegisterPlugin(AAX_IACFHost* host,                                 \
                                               AAX_IACFCollection** definition) {                  \
        corvid::host::EntryScope scope;                                                            \
        return corvid::aax::registerPlugin(&create, &corvid::aax::effectParametersOf<&create>,     \
                                           host, definition);                                      \
    }                                                                                              \
    CORVID_EXPORT AAX_Result CorvidEnumerateTFX(CorvidTFXCallback callback, void* userData) {      \
        corvid::host::EntryScope scope;                                                            \
        return corvid::aax::enumeratePresets(&create, callback, userData);                         \
    }
