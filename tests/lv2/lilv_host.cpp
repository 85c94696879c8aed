#include "tests/lv2/lilv_host.h"

#include <lv2/buf-size/buf-size.h>
#include <lv2/parameters/parameters.h>
#include <lv2/resize-port/resize-port.h>

#include <algorithm>
#include <cmath>

namespace lv2test {

World::World(const std::string& bundle) : world_(lilv_world_new()) {
    if (bundle.empty()) {
        lilv_world_load_all(world_);
    } else {
        lilv_world_load_specifications(world_);
        loadBundle(bundle);
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

void World::loadBundle(const std::string& bundle) {
    std::string uri = "file://" + bundle;
    if (uri.back() != '/') uri += '/';
    LilvNode* node = lilv_new_uri(world_, uri.c_str());
    lilv_world_load_bundle(world_, node);
    lilv_node_free(node);
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
    : world_(world), plugin_(world.plugin(uri)),
      maxFrames_(maxFrames), blockBounds_{1, static_cast<std::int32_t>(maxFrames)},
      rate_(static_cast<float>(rate)) {
    if (!plugin_) throw std::runtime_error("no plug-in " + uri);
    // Plug-ins that size their work buffers once (DPF's among them) read the block
    // bounds at instantiation; render() never exceeds them.
    const LV2_URID intType = world.mapUri(LV2_ATOM__Int);
    auto option = [&](const char* key, std::uint32_t size, LV2_URID type, const void* value) {
        options_.push_back({LV2_OPTIONS_INSTANCE, 0, world.mapUri(key), size, type, value});
    };
    option(LV2_BUF_SIZE__minBlockLength, sizeof(std::int32_t), intType, &blockBounds_[0]);
    option(LV2_BUF_SIZE__maxBlockLength, sizeof(std::int32_t), intType, &blockBounds_[1]);
    option(LV2_BUF_SIZE__nominalBlockLength, sizeof(std::int32_t), intType, &blockBounds_[1]);
    option(LV2_PARAMETERS__sampleRate, sizeof(float), world.mapUri(LV2_ATOM__Float), &rate_);
    options_.push_back({LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr});
    optionsFeature_ = {LV2_OPTIONS__options, options_.data()};
    boundedFeature_ = {LV2_BUF_SIZE__boundedBlockLength, nullptr};
    for (const LV2_Feature* const* f = world.features(); *f; ++f) features_.push_back(*f);
    features_.push_back(&optionsFeature_);
    features_.push_back(&boundedFeature_);
    features_.push_back(nullptr);
    sequenceType_ = world.mapUri(LV2_ATOM__Sequence);
    chunkType_ = world.mapUri(LV2_ATOM__Chunk);

    instance_ = lilv_plugin_instantiate(plugin_, rate, features_.data());
    if (!instance_) throw std::runtime_error("cannot instantiate " + uri);
    connectPorts();
    lilv_instance_activate(instance_);
}

void Plugin::connectPorts() {
    LilvWorld* w = world_.get();
    LilvNode* audio = lilv_new_uri(w, LV2_CORE__AudioPort);
    LilvNode* control = lilv_new_uri(w, LV2_CORE__ControlPort);
    LilvNode* atom = lilv_new_uri(w, LV2_ATOM__AtomPort);
    LilvNode* input = lilv_new_uri(w, LV2_CORE__InputPort);
    LilvNode* minimumSize = lilv_new_uri(w, LV2_RESIZE_PORT__minimumSize);
    const std::uint32_t count = lilv_plugin_get_num_ports(plugin_);
    values_.assign(count, 0.0f);
    std::vector<float> defaults(count, 0.0f);
    lilv_plugin_get_port_ranges_float(plugin_, nullptr, nullptr, defaults.data());
    // Connected buffers must not move: reserve before taking their addresses.
    audioIn_.reserve(count);
    audioOut_.reserve(count);
    atoms_.reserve(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        const LilvPort* port = lilv_plugin_get_port_by_index(plugin_, i);
        const bool isInput = lilv_port_is_a(plugin_, port, input);
        if (lilv_port_is_a(plugin_, port, audio)) {
            auto& list = isInput ? audioIn_ : audioOut_;
            list.push_back({i, std::vector<float>(maxFrames_, 0.0f)});
            lilv_instance_connect_port(instance_, i, list.back().buffer.data());
        } else if (lilv_port_is_a(plugin_, port, control)) {
            if (isInput && !std::isnan(defaults[i])) values_[i] = defaults[i];
            lilv_instance_connect_port(instance_, i, &values_[i]);
        } else if (lilv_port_is_a(plugin_, port, atom)) {
            // Room for a block's worth of events, or what the port asks for.
            std::size_t bytes = 8192;
            if (LilvNode* size = lilv_port_get(plugin_, port, minimumSize)) {
                if (lilv_node_is_int(size))
                    bytes = std::max(bytes,
                                     static_cast<std::size_t>(std::max(0, lilv_node_as_int(size))));
                lilv_node_free(size);
            }
            atoms_.push_back({isInput, std::vector<std::uint64_t>((bytes + 7) / 8, 0)});
            lilv_instance_connect_port(instance_, i, atoms_.back().buffer.data());
        } else {
            lilv_instance_connect_port(instance_, i, nullptr);
        }
    }
    resetAtoms();
    lilv_node_free(audio);
    lilv_node_free(control);
    lilv_node_free(atom);
    lilv_node_free(input);
    lilv_node_free(minimumSize);
}

// Before every run: inputs hold an empty sequence, outputs offer their whole
// capacity, as the atom extension asks of hosts.
void Plugin::resetAtoms() {
    for (Atoms& a : atoms_) {
        LV2_Atom* atom = a.atom();
        if (a.input) {
            auto* seq = reinterpret_cast<LV2_Atom_Sequence*>(atom);
            seq->atom.size = sizeof(LV2_Atom_Sequence_Body);
            seq->atom.type = sequenceType_;
            seq->body.unit = 0;
            seq->body.pad = 0;
        } else {
            atom->size = static_cast<std::uint32_t>(a.buffer.size() * 8 - sizeof(LV2_Atom));
            atom->type = chunkType_;
        }
    }
}

void Plugin::run(std::uint32_t frames) {
    resetAtoms();
    lilv_instance_run(instance_, frames);
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
