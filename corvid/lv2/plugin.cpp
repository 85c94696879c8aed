#include "corvid/lv2/plugin.h"

#include "corvid/core/error.h"
#include "corvid/core/fpcontrol.h"
#include "corvid/host/entry.h"
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

// ---- gestures

void GestureSink::beginParameterEdit(std::int32_t index) {
    if (target_) target_->beginParameterEdit(index);
}
void GestureSink::automateParameter(std::int32_t index, float normalized) {
    if (target_) target_->automateParameter(index, normalized);
}
void GestureSink::endParameterEdit(std::int32_t index) {
    if (target_) target_->endParameterEdit(index);
}
bool GestureSink::requestEditorResize(std::int32_t, std::int32_t) {
    return false; // the editor declares a fixed size
}
DawKind GestureSink::hostKind() {
    return DawKind::unknown;
}

// ---- the instance

Instance::Instance(const BundleDescription& bundle, const Variant& variant, double sampleRate,
                   const LV2_Feature* const* features)
    : bundle_(bundle), client_(bundle.create()), ports_(*client_, variant.layout),
      sampleRate_(sampleRate), runner_(*client_, kMaxHostFrames) {
    client_->setHostCommand(&gestures_);
    plain_.reserve(ports_.controls);
    for (std::int32_t i = 0; i < client_->parameterCount(); ++i)
        plain_.emplace_back(*client_->parameter(i));
    if (auto* map = static_cast<const LV2_URID_Map*>(findFeature(features, LV2_URID__map))) {
        chunkType_ = map->map(map->handle, LV2_ATOM__Chunk);
        stateKey_ = map->map(map->handle, bundle.stateKeyUri().c_str());
    }
    controls_.assign(ports_.controls, nullptr);
    // NaN never equals a port value, so the first run takes every control.
    lastSeen_.assign(ports_.controls, std::numeric_limits<float>::quiet_NaN());
    inputs_.assign(ports_.inputs, nullptr);
    outputs_.assign(ports_.outputs, nullptr);
    changed_ = std::make_unique<std::atomic<bool>[]>(ports_.controls);
    held_ = std::make_unique<std::atomic<bool>[]>(ports_.controls);
    runner_.restart(sampleRate_);
}

Instance::~Instance() {
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
        // While the editor holds a control, the port can only carry values the
        // editor wrote before its latest one: taking them would pull the knob back.
        if (held_[i].load(std::memory_order_acquire)) continue;
        const host::PlainValue& plain = plain_[i];
        // The editor's own writes come back through the port; the parameter has
        // them already, at full precision.
        if (v == static_cast<float>(plain.current())) continue;
        plain.parameter().storeNormalizedFromAudio(plain.normalizedFor(static_cast<double>(v)));
        changed_[i].store(true, std::memory_order_release);
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

void Instance::holdControl(std::uint32_t port, bool held) {
    if (port < ports_.controls) held_[port].store(held, std::memory_order_release);
}

void Instance::deliverChanges() {
    for (std::uint32_t i = 0; i < ports_.controls; ++i)
        if (changed_[i].exchange(false, std::memory_order_acq_rel))
            client_->parameter(static_cast<std::int32_t>(i))->notifyListeners();
}

LV2_State_Status Instance::save(LV2_State_Store_Function store, LV2_State_Handle handle) {
    if (!chunkType_ || !stateKey_) return LV2_STATE_ERR_NO_FEATURE;
    const std::vector<std::uint8_t> chunk = client_->presetBank().writeStateChunk();
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
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    // A chunk that fails half way leaves the values read before the fault applied,
    // so it is read into a scratch client first: the instance only ever sees a
    // chunk that loads completely.
    try {
        bundle_.create()->presetBank().readStateChunk(bytes, size);
    } catch (const CorvidError&) {
        return LV2_STATE_ERR_UNKNOWN;
    }
    client_->presetBank().readStateChunk(bytes, size);
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
