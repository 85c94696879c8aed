#include "corvid/lv2/plugin.h"

#include "corvid/core/error.h"
#include "corvid/core/fpcontrol.h"
#include "corvid/host/entry.h"
#include "corvid/host/state.h"
#include "corvid/lv2/features.h"

#include <lv2/atom/atom.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <type_traits>

namespace corvid::lv2 {

namespace {

Instance* self(LV2_Handle handle) {
    return static_cast<Instance*>(handle);
}

} // namespace

// ---- the instance

Instance::Instance(const BundleDescription& bundle, const Variant& variant, double sampleRate,
                   const LV2_Feature* const* features)
    : bundle_(bundle), client_(bundle.create()), ports_(*client_, variant.layout),
      sampleRate_(sampleRate), runner_(*client_, kMaxHostFrames), values_(*client_),
      gestures_(client_->parameterCount(), &values_) {
    client_->setHostCommand(&gestures_);
    if (auto* map = static_cast<const LV2_URID_Map*>(findFeature(features, LV2_URID__map))) {
        chunkType_ = map->map(map->handle, LV2_ATOM__Chunk);
        stateKey_ = map->map(map->handle, bundle.stateKeyUri().c_str());
    }
    controls_.assign(ports_.controls, nullptr);
    // NaN never equals a port value, so the first run takes every control.
    lastSeen_.assign(ports_.controls, std::numeric_limits<float>::quiet_NaN());
    inputs_.assign(ports_.inputs, nullptr);
    outputs_.assign(ports_.outputs, nullptr);
    runner_.restart(sampleRate_);
}

Instance::~Instance() {
    gestures_.endAll();
    client_->setHostCommand(nullptr);
}

void Instance::connect(std::uint32_t port, void* data) {
    auto* f = static_cast<float*>(data);
    if (port < ports_.controls)
        controls_[port] = f;
    else if (port < ports_.firstOutput())
        inputs_[port - ports_.firstInput()] = f;
    else if (port < ports_.latencyPort())
        outputs_[port - ports_.firstOutput()] = f;
    else if (port == ports_.latencyPort())
        latencyOut_ = f;
}

void Instance::activate() {
    runner_.restart(sampleRate_);
}

void Instance::readControls() {
    for (std::uint32_t i = 0; i < ports_.controls; ++i) {
        const float* port = controls_[i];
        if (!port) continue;
        const float v = *port;
        if (v == lastSeen_[i]) continue;
        lastSeen_[i] = v;
        values_.takePlain(static_cast<std::int32_t>(i), static_cast<double>(v));
    }
}

void Instance::run(std::uint32_t frames) {
    FpEnvironmentGuard fpGuard;
    readControls();
    const host::BlockRunner::Prepared prepared =
        runner_.prepare(sampleRate_, static_cast<std::int32_t>(ports_.inputs),
                        static_cast<std::int32_t>(ports_.outputs), inputs_.data(), outputs_.data());
    if (latencyOut_) *latencyOut_ = static_cast<float>(runner_.latency());
    if (!prepared.ready) {
        for (float* out : outputs_)
            if (out) std::memset(out, 0, frames * sizeof(float));
        return;
    }
    runner_.process(inputs_.data(), outputs_.data(), static_cast<std::int32_t>(frames),
                    TransportInfo{});
}

LV2_State_Status Instance::save(LV2_State_Store_Function store, LV2_State_Handle handle) {
    if (!chunkType_ || !stateKey_) return LV2_STATE_ERR_NO_FEATURE;
    const std::vector<std::uint8_t> chunk = host::saveState(*client_);
    return store(handle, stateKey_, chunk.data(), chunk.size(), chunkType_,
                 LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE);
}

LV2_State_Status Instance::restore(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle) {
    if (!chunkType_ || !stateKey_) return LV2_STATE_ERR_NO_FEATURE;
    std::size_t size = 0;
    std::uint32_t type = 0;
    std::uint32_t flags = 0;
    const void* data = retrieve(handle, stateKey_, &size, &type, &flags);
    if (!data) return LV2_STATE_ERR_NO_PROPERTY;
    if (type != chunkType_) return LV2_STATE_ERR_BAD_TYPE;
    if (!host::restoreState(*client_, static_cast<const std::uint8_t*>(data), size).empty())
        return LV2_STATE_ERR_UNKNOWN;
    // Ports the host leaves as they were must not undo the restored values.
    for (std::uint32_t i = 0; i < ports_.controls; ++i)
        if (controls_[i]) lastSeen_[i] = *controls_[i];
    return LV2_STATE_SUCCESS;
}

// ---- descriptors

namespace {

const Descriptors::Entry& entryOf(const LV2_Descriptor* descriptor) {
    return *reinterpret_cast<const Descriptors::Entry*>(descriptor);
}

LV2_Handle instantiate(const LV2_Descriptor* descriptor, double rate, const char*,
                       const LV2_Feature* const* features) {
    host::EntryScope scope;
    const Descriptors::Entry& entry = entryOf(descriptor);
    const BundleDescription& bundle = entry.owner->bundle();
    if (!(rate > 0.0)) return nullptr;
    return new Instance(bundle, bundle.variants[entry.variant], rate, features);
}

void connectPort(LV2_Handle instance, std::uint32_t port, void* data) {
    self(instance)->connect(port, data);
}

void activate(LV2_Handle instance) {
    host::EntryScope scope;
    self(instance)->activate();
}

void run(LV2_Handle instance, std::uint32_t frames) {
    self(instance)->run(frames);
}

void deactivate(LV2_Handle) {}

void cleanup(LV2_Handle instance) {
    host::EntryScope scope;
    delete self(instance);
}

LV2_State_Status stateSave(LV2_Handle instance, LV2_State_Store_Function store,
                           LV2_State_Handle handle, std::uint32_t, const LV2_Feature* const*) {
    host::EntryScope scope;
    return self(instance)->save(store, handle);
}

LV2_State_Status stateRestore(LV2_Handle instance, LV2_State_Retrieve_Function retrieve,
                              LV2_State_Handle handle, std::uint32_t, const LV2_Feature* const*) {
    host::EntryScope scope;
    return self(instance)->restore(retrieve, handle);
}

const LV2_State_Interface kStateInterface = {&stateSave, &stateRestore};

const void* extensionData(const char* uri) {
    if (uri && std::strcmp(uri, LV2_STATE__interface) == 0) return &kStateInterface;
    return nullptr;
}

} // namespace

Descriptors::Descriptors(BundleDescription bundle) : bundle_(std::move(bundle)) {
    static_assert(std::is_standard_layout_v<Entry>);
    uris_.reserve(bundle_.variants.size());
    for (std::size_t v = 0; v < bundle_.variants.size(); ++v)
        uris_.push_back(bundle_.pluginUri(bundle_.variants[v]));
    for (std::size_t v = 0; v < bundle_.variants.size(); ++v) {
        auto entry = std::make_unique<Entry>();
        entry->descriptor =
            LV2_Descriptor{uris_[v].c_str(), &instantiate, &connectPort,  &activate, &run,
                           &deactivate,      &cleanup,     &extensionData};
        entry->owner = this;
        entry->variant = v;
        entries_.push_back(std::move(entry));
    }
}

const LV2_Descriptor* Descriptors::descriptor(std::uint32_t index) const {
    return index < entries_.size() ? &entries_[index]->descriptor : nullptr;
}

} // namespace corvid::lv2
