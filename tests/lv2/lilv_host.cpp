#include "tests/lv2/lilv_host.h"

#include <algorithm>
#include <cmath>

namespace lv2test {

World::World(const std::string& bundle) : world_(lilv_world_new()) {
    if (bundle.empty()) {
        lilv_world_load_all(world_);
    } else {
        std::string uri = "file://" + bundle;
        if (uri.back() != '/') uri += '/';
        LilvNode* node = lilv_new_uri(world_, uri.c_str());
        lilv_world_load_specifications(world_);
        lilv_world_load_bundle(world_, node);
        lilv_node_free(node);
    }
    map_.handle = this;
    map_.map = [](LV2_URID_Map_Handle h, const char* uri) {
        return static_cast<World*>(h)->mapUri(uri);
    };
    unmap_.handle = this;
    unmap_.unmap = [](LV2_URID_Unmap_Handle h, LV2_URID urid) {
        return static_cast<World*>(h)->unmapUrid(urid);
    };
    mapFeature_ = {LV2_URID__map, &map_};
    unmapFeature_ = {LV2_URID__unmap, &unmap_};
    features_ = {&mapFeature_, &unmapFeature_, nullptr};
}

World::~World() {
    lilv_world_free(world_);
}

LV2_URID World::mapUri(const char* uri) {
    std::lock_guard guard(lock_);
    auto [it, added] = ids_.emplace(uri, static_cast<LV2_URID>(names_.size() + 1));
    if (added) names_.push_back(uri);
    return it->second;
}

const char* World::unmapUrid(LV2_URID urid) {
    std::lock_guard guard(lock_);
    return urid >= 1 && urid <= names_.size() ? names_[urid - 1].c_str() : nullptr;
}

const LilvPlugin* World::plugin(const std::string& uri) const {
    LilvNode* node = lilv_new_uri(world_, uri.c_str());
    const LilvPlugin* p = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world_), node);
    lilv_node_free(node);
    return p;
}

Plugin::Plugin(World& world, const std::string& uri, double rate, std::uint32_t maxFrames)
    : world_(world), plugin_(world.plugin(uri)), maxFrames_(maxFrames) {
    if (!plugin_) throw std::runtime_error("no plug-in " + uri);
    instance_ = lilv_plugin_instantiate(plugin_, rate, world.features());
    if (!instance_) throw std::runtime_error("cannot instantiate " + uri);
    LilvWorld* w = world.get();
    LilvNode* audio = lilv_new_uri(w, LV2_CORE__AudioPort);
    LilvNode* control = lilv_new_uri(w, LV2_CORE__ControlPort);
    LilvNode* input = lilv_new_uri(w, LV2_CORE__InputPort);
    const std::uint32_t count = lilv_plugin_get_num_ports(plugin_);
    values_.assign(count, 0.0f);
    std::vector<float> defaults(count, 0.0f);
    lilv_plugin_get_port_ranges_float(plugin_, nullptr, nullptr, defaults.data());
    audioIn_.reserve(count);
    audioOut_.reserve(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        const LilvPort* port = lilv_plugin_get_port_by_index(plugin_, i);
        const bool isInput = lilv_port_is_a(plugin_, port, input);
        if (lilv_port_is_a(plugin_, port, audio)) {
            auto& list = isInput ? audioIn_ : audioOut_;
            list.push_back({i, std::vector<float>(maxFrames, 0.0f)});
            lilv_instance_connect_port(instance_, i, list.back().buffer.data());
        } else if (lilv_port_is_a(plugin_, port, control)) {
            if (isInput && !std::isnan(defaults[i])) values_[i] = defaults[i];
            lilv_instance_connect_port(instance_, i, &values_[i]);
        } else {
            lilv_instance_connect_port(instance_, i, nullptr);
        }
    }
    lilv_node_free(audio);
    lilv_node_free(control);
    lilv_node_free(input);
    lilv_instance_activate(instance_);
}

Plugin::~Plugin() {
    if (instance_) {
        lilv_instance_deactivate(instance_);
        lilv_instance_free(instance_);
    }
}

std::uint32_t Plugin::port(const std::string& symbol) const {
    LilvNode* node = lilv_new_string(world_.get(), symbol.c_str());
    const LilvPort* p = lilv_plugin_get_port_by_symbol(plugin_, node);
    lilv_node_free(node);
    if (!p) throw std::runtime_error("no port " + symbol);
    return lilv_port_get_index(plugin_, p);
}

std::vector<float> noiseAndTone(std::size_t frames, std::uint32_t seed, double toneStep) {
    std::vector<float> s(frames);
    for (std::size_t i = 0; i < frames; ++i) {
        seed = seed * 1664525u + 1013904223u;
        const double noise = static_cast<double>(seed >> 8) / 8388608.0 - 1.0;
        s[i] = static_cast<float>(0.3 * std::sin(toneStep * static_cast<double>(i)) + 0.25 * noise);
    }
    return s;
}

} // namespace lv2test
