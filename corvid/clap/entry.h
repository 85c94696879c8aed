#pragma once
// The plug-in library's one factory and its exported clap_entry. A product
// writes one line,
//     CORVID_CLAP_ENTRY(createMyClient, "com.example.myplugin", "What it does")
// with a function that makes its client (editor included), the plug-in's ID,
// which names it in every saved session (once published it never changes), and
// the line a host's browser shows; name, vendor and version are the client's.

#include "corvid/clap/abi.h"
#include "corvid/client/client.h"
#include "corvid/host/entry.h"

#include <memory>

namespace corvid::clap {

using ClientFactory = std::unique_ptr<Client> (*)();

// Thread-safe: the library's factory for the one plug-in, made on first use.
const clap_plugin_factory* factory(ClientFactory create, const char* pluginId,
                                   const char* description);
// clap_entry's get_factory: the plug-in factory, or null for other factory IDs.
const void* factoryFor(const char* factoryId, ClientFactory create, const char* pluginId,
                       const char* description);

} // namespace corvid::clap

#define CORVID_CLAP_ENTRY(create, pluginId, description)                                           \
    namespace {                                                                                    \
    bool corvidClapInit(const char*) {                                                             \
        return true;                                                                               \
    }                                                                                              \
    void corvidClapDeinit() {}                                                                     \
    const void* corvidClapFactory(const char* id) {                                                \
        corvid::host::EntryScope scope;                                                            \
        return corvid::clap::factoryFor(id, &create, pluginId, description);                       \
    }                                                                                              \
    }                                                                                              \
    CORVID_EXPORT const corvid::clap::clap_plugin_entry clap_entry = {                             \
        corvid::clap::kClapVersion, &corvidClapInit, &corvidClapDeinit, &corvidClapFactory};
