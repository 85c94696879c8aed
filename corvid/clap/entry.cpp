#include "corvid/clap/entry.h"

#include "corvid/clap/plugin.h"

#include <cstring>
#include <string>

namespace corvid::clap {

namespace {

// The descriptor's texts, kept as long as the library.
class Factory {
public:
    Factory(ClientFactory create, const char* pluginId, const char* description)
        : create_(create), id_(pluginId), description_(description) {
        const PluginDescription info = create_()->info();
        name_ = info.pluginName;
        vendor_ = info.vendorName;
        version_ = std::to_string(info.versionMajor) + "." + std::to_string(info.versionMinor) +
                   "." + std::to_string(info.versionPatch);
        descriptor_ = {
            kClapVersion, id_.c_str(), name_.c_str(),    vendor_.c_str(),      "",
            "",           "",          version_.c_str(), description_.c_str(), kFeatures};
        table_ = {&count, &descriptor, &createPlugin};
        instance = this;
    }

    const clap_plugin_factory* table() const { return &table_; }

    static inline const Factory* instance = nullptr;

private:
    // The library has one factory, so its table leads back to it.
    static const Factory& of(const clap_plugin_factory*) { return *instance; }
    static std::uint32_t count(const clap_plugin_factory*) { return 1; }
    static const clap_plugin_descriptor* descriptor(const clap_plugin_factory* f,
                                                    std::uint32_t index) {
        return index == 0 ? &of(f).descriptor_ : nullptr;
    }
    static const clap_plugin* createPlugin(const clap_plugin_factory* f, const clap_host* host,
                                           const char* id) {
        const Factory& self = of(f);
        if (!host || !id || self.id_ != id) return nullptr;
        host::EntryScope scope;
        auto* plugin = new Plugin(self.create_(), host, &self.descriptor_);
        return plugin->clapPlugin();
    }

    static constexpr const char* kFeatures[] = {kFeatureAudioEffect, kFeatureStereo, nullptr};

    ClientFactory create_;
    std::string id_;
    std::string description_;
    std::string name_;
    std::string vendor_;
    std::string version_;
    clap_plugin_descriptor descriptor_{};
    clap_plugin_factory table_{};
};

} // namespace

const clap_plugin_factory* factory(ClientFactory create, const char* pluginId,
                                   const char* description) {
    static const Factory made(create, pluginId, description);
    return made.table();
}

const void* factoryFor(const char* factoryId, ClientFactory create, const char* pluginId,
                       const char* description) {
    if (!factoryId || std::strcmp(factoryId, kPluginFactoryId) != 0) return nullptr;
    return factory(create, pluginId, description);
}

} // namespace corvid::clap
