#include "corvid/clap/plugin.h"

#include "corvid/clap/gui.h"
#include "corvid/core/fpcontrol.h"
#include "corvid/host/entry.h"
#include "corvid/host/hostparams.h"
#include "corvid/host/state.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

namespace corvid::clap {

namespace {

void copyName(std::string_view text, char* out, std::size_t capacity) {
    const std::string_view kept = host::truncateUtf8(text, capacity - 1);
    std::memcpy(out, kept.data(), kept.size());
    out[kept.size()] = '\0';
}

// A stream no host would hand over for this plug-in's few hundred bytes.
constexpr std::size_t kMaxStateBytes = 1u << 24;

// ---- the C entry points, each forwarding to the instance

bool pluginInit(const clap_plugin* p) {
    return Plugin::of(p).init();
}
void pluginDestroy(const clap_plugin* p) {
    host::EntryScope scope;
    delete &Plugin::of(p);
}
bool pluginActivate(const clap_plugin* p, double rate, std::uint32_t, std::uint32_t maxFrames) {
    return Plugin::of(p).activate(rate, maxFrames);
}
void pluginDeactivate(const clap_plugin* p) {
    Plugin::of(p).deactivate();
}
bool pluginStartProcessing(const clap_plugin* p) {
    return Plugin::of(p).startProcessing();
}
void pluginStopProcessing(const clap_plugin* p) {
    Plugin::of(p).stopProcessing();
}
void pluginReset(const clap_plugin* p) {
    Plugin::of(p).reset();
}
clap_process_status pluginProcess(const clap_plugin* p, const clap_process* process) {
    return process ? Plugin::of(p).process(*process) : kProcessError;
}
const void* pluginExtension(const clap_plugin* p, const char* id) {
    return id ? Plugin::of(p).extension(id) : nullptr;
}
void pluginOnMainThread(const clap_plugin*) {}

std::uint32_t portsCount(const clap_plugin* p, bool) {
    return Plugin::of(p).audioPortCount();
}
bool portsGet(const clap_plugin* p, std::uint32_t index, bool isInput, clap_audio_port_info* info) {
    return info && Plugin::of(p).audioPort(index, isInput, *info);
}
const clap_plugin_audio_ports kAudioPorts = {&portsCount, &portsGet};

std::uint32_t configCount(const clap_plugin* p) {
    return Plugin::of(p).configCount();
}
bool configGet(const clap_plugin* p, std::uint32_t index, clap_audio_ports_config* config) {
    return config && Plugin::of(p).config(index, *config);
}
bool configSelect(const clap_plugin* p, clap_id id) {
    return Plugin::of(p).selectConfig(id);
}
const clap_plugin_audio_ports_config kAudioPortsConfig = {&configCount, &configGet, &configSelect};

std::uint32_t paramsCount(const clap_plugin* p) {
    return Plugin::of(p).parameterCount();
}
bool paramsInfo(const clap_plugin* p, std::uint32_t index, clap_param_info* info) {
    return info && Plugin::of(p).parameterInfo(index, *info);
}
bool paramsValue(const clap_plugin* p, clap_id id, double* value) {
    return value && Plugin::of(p).parameterValue(id, *value);
}
bool paramsValueToText(const clap_plugin* p, clap_id id, double value, char* buffer,
                       std::uint32_t capacity) {
    return buffer && capacity > 0 && Plugin::of(p).valueToText(id, value, buffer, capacity);
}
bool paramsTextToValue(const clap_plugin* p, clap_id id, const char* text, double* value) {
    return text && value && Plugin::of(p).textToValue(id, text, *value);
}
void paramsFlush(const clap_plugin* p, const clap_input_events* in, const clap_output_events* out) {
    Plugin::of(p).flush(in, out);
}
const clap_plugin_params kParams = {&paramsCount,       &paramsInfo,        &paramsValue,
                                    &paramsValueToText, &paramsTextToValue, &paramsFlush};

bool stateSave(const clap_plugin* p, const clap_ostream* stream) {
    return stream && stream->write && Plugin::of(p).saveState(*stream);
}
bool stateLoad(const clap_plugin* p, const clap_istream* stream) {
    return stream && stream->read && Plugin::of(p).loadState(*stream);
}
const clap_plugin_state kState = {&stateSave, &stateLoad};

std::uint32_t latencyGet(const clap_plugin* p) {
    return Plugin::of(p).latency();
}
const clap_plugin_latency kLatency = {&latencyGet};

std::uint32_t tailGet(const clap_plugin* p) {
    return Plugin::of(p).tail();
}
const clap_plugin_tail kTail = {&tailGet};

bool renderHardRealtime(const clap_plugin*) {
    return false;
}
// Offline rendering runs the same code faster than real time: both are welcome.
bool renderSet(const clap_plugin*, std::int32_t mode) {
    return mode == kRenderRealtime || mode == kRenderOffline;
}
const clap_plugin_render kRender = {&renderHardRealtime, &renderSet};

} // namespace

// The host's events of one block in time order, applied as the block runner
// reaches their frames. Only parameter values concern this plug-in.
class Plugin::InputEvents final : public host::IBlockEvents {
public:
    InputEvents(Plugin& owner, const clap_input_events* in)
        : owner_(owner), in_(in), count_(in && in->size && in->get ? in->size(in) : 0) {}

    std::int32_t applyUntil(std::int32_t frame) override {
        for (; next_ < count_; ++next_) {
            const clap_event_header* event = in_->get(in_, next_);
            if (!event) continue;
            if (event->time > static_cast<std::uint32_t>(frame))
                return static_cast<std::int32_t>(
                    std::min<std::uint32_t>(event->time, std::numeric_limits<std::int32_t>::max()));
            owner_.applyEvent(*event);
        }
        return std::numeric_limits<std::int32_t>::max();
    }

private:
    Plugin& owner_;
    const clap_input_events* in_;
    std::uint32_t count_;
    std::uint32_t next_ = 0;
};

Plugin::Plugin(std::unique_ptr<Client> client, const clap_host* host,
               const clap_plugin_descriptor* descriptor)
    : host_(host), client_(std::move(client)), values_(*client_),
      gestures_(client_->parameterCount(), &values_), edits_(client_->parameterCount()),
      runner_(*client_, kMaxHostFrames) {
    plugin_.desc = descriptor;
    plugin_.plugin_data = this;
    plugin_.init = &pluginInit;
    plugin_.destroy = &pluginDestroy;
    plugin_.activate = &pluginActivate;
    plugin_.deactivate = &pluginDeactivate;
    plugin_.start_processing = &pluginStartProcessing;
    plugin_.stop_processing = &pluginStopProcessing;
    plugin_.reset = &pluginReset;
    plugin_.process = &pluginProcess;
    plugin_.get_extension = &pluginExtension;
    plugin_.on_main_thread = &pluginOnMainThread;
    inputChannels_ = std::max(client_->maxInputs(), 1);
    gestures_.attach(this);
    client_->setHostCommand(&gestures_);
}

Plugin::~Plugin() {
    // The gestures the closing editor ends are dropped with the instance: the host
    // is not asked for a flush from inside destroy.
    hostParams_ = nullptr;
    gui_.reset();
    gestures_.endAll();
    gestures_.attach(nullptr);
    client_->setHostCommand(nullptr);
}

bool Plugin::onMainThread() const {
    return !threadCheck_ || !threadCheck_->is_main_thread || threadCheck_->is_main_thread(host_);
}

bool Plugin::init() {
    // Hosts answer for their extensions from init on, not while creating the plug-in.
    hostParams_ = hostExtension<clap_host_params>(kExtParams);
    threadCheck_ = hostExtension<clap_host_thread_check>(kExtThreadCheck);
    if (client_->info().hasEditor) gui_ = std::make_unique<Gui>(*this);
    return true;
}

bool Plugin::activate(double rate, std::uint32_t) {
    if (!(rate > 0.0) || !onMainThread()) return false;
    host::EntryScope scope;
    sampleRate_ = rate;
    runner_.restart(rate);
    active_ = true;
    return true;
}

void Plugin::deactivate() {
    active_ = false;
}

bool Plugin::startProcessing() {
    processing_.store(true);
    return true;
}

void Plugin::stopProcessing() {
    processing_.store(false);
}

void Plugin::reset() {
    runner_.restart(sampleRate_);
}

const void* Plugin::extension(const char* id) {
    if (std::strcmp(id, kExtAudioPorts) == 0) return &kAudioPorts;
    if (std::strcmp(id, kExtAudioPortsConfig) == 0) return &kAudioPortsConfig;
    if (std::strcmp(id, kExtParams) == 0) return &kParams;
    if (std::strcmp(id, kExtState) == 0) return &kState;
    if (std::strcmp(id, kExtLatency) == 0) return &kLatency;
    if (std::strcmp(id, kExtTail) == 0) return &kTail;
    if (std::strcmp(id, kExtRender) == 0) return &kRender;
    if (gui_) return Gui::extension(id);
    return nullptr;
}

// ---- audio

void Plugin::applyEvent(const clap_event_header& event) {
    if (event.space_id != kCoreEventSpace || event.type != kEventParamValue ||
        event.size < sizeof(clap_event_param_value))
        return;
    const auto& value = reinterpret_cast<const clap_event_param_value&>(event);
    if (value.param_id < static_cast<clap_id>(client_->parameterCount()))
        values_.takePlain(static_cast<std::int32_t>(value.param_id), value.value);
}

void Plugin::sendEdits(const clap_output_events* out) {
    if (!out || !out->try_push) return;
    while (const host::Edit* edit = edits_.front()) {
        bool taken = false;
        if (edit->kind == host::Edit::Kind::value) {
            clap_event_param_value event{};
            event.header = {sizeof event, 0, kCoreEventSpace, kEventParamValue, 0};
            event.param_id = static_cast<clap_id>(edit->index);
            event.note_id = -1;
            event.port_index = event.channel = event.key = -1;
            event.value = values_.plain(edit->index).plainFor(edit->normalized);
            taken = out->try_push(out, &event.header);
        } else {
            clap_event_param_gesture event{};
            const std::uint16_t type = edit->kind == host::Edit::Kind::begin
                                           ? kEventParamGestureBegin
                                           : kEventParamGestureEnd;
            event.header = {sizeof event, 0, kCoreEventSpace, type, 0};
            event.param_id = static_cast<clap_id>(edit->index);
            taken = out->try_push(out, &event.header);
        }
        // A full list takes the rest next time.
        if (!taken) return;
        edits_.pop();
    }
}

void Plugin::clearOutputs(const clap_process& process) {
    for (std::uint32_t b = 0; b < process.audio_outputs_count; ++b) {
        clap_audio_buffer& bus = process.audio_outputs[b];
        if (!bus.data32) continue;
        for (std::uint32_t c = 0; c < bus.channel_count; ++c)
            if (bus.data32[c]) std::memset(bus.data32[c], 0, process.frames_count * sizeof(float));
        bus.constant_mask = bus.channel_count >= 64 ? ~0ull : (1ull << bus.channel_count) - 1;
    }
}

clap_process_status Plugin::process(const clap_process& process) {
    FpEnvironmentGuard fpGuard;
    sendEdits(process.out_events);
    InputEvents events(*this, process.in_events);
    const bool hasOutput = process.audio_outputs_count >= 1 && process.audio_outputs;
    const bool hasInput = process.audio_inputs_count >= 1 && process.audio_inputs;
    float* const* out = hasOutput ? process.audio_outputs[0].data32 : nullptr;
    const float* const* in = hasInput ? process.audio_inputs[0].data32 : nullptr;
    const auto outputs =
        hasOutput ? static_cast<std::int32_t>(process.audio_outputs[0].channel_count) : 0;
    const auto inputs =
        hasInput ? static_cast<std::int32_t>(process.audio_inputs[0].channel_count) : 0;
    // Values at the block's first frame hold from its start: a reset this block
    // starts from them, as from values set before processing began.
    events.applyUntil(0);
    if (!runner_.prepare(sampleRate_, inputs, outputs, in, out).ready) {
        events.applyUntil(std::numeric_limits<std::int32_t>::max());
        clearOutputs(process);
        return kProcessContinue;
    }
    TransportInfo transport;
    if (const clap_event_transport* t = process.transport) {
        if (t->flags & kTransportHasTempo) transport.tempo = t->tempo;
        if (t->flags & kTransportHasSecondsTimeline)
            transport.samplePosition = static_cast<std::int64_t>(std::llround(
                static_cast<double>(t->song_pos_seconds) / kSecTimeFactor * sampleRate_));
        transport.isPlaying = (t->flags & kTransportIsPlaying) != 0;
    }
    runner_.process(in, out, static_cast<std::int32_t>(process.frames_count), transport, events);
    process.audio_outputs[0].constant_mask = 0;
    return kProcessContinue;
}

void Plugin::flush(const clap_input_events* in, const clap_output_events* out) {
    FpEnvironmentGuard fpGuard;
    InputEvents events(*this, in);
    events.applyUntil(std::numeric_limits<std::int32_t>::max());
    sendEdits(out);
    // Inactive, the host flushes on its main thread: the widgets may hear at once.
    if (!active_) values_.deliver();
}

// ---- the editor's gestures

void Plugin::beginEdit(std::int32_t index) {
    edits_.beginEdit(index);
    if (!processing_.load() && hostParams_ && hostParams_->request_flush)
        hostParams_->request_flush(host_);
}

void Plugin::performEdit(std::int32_t index, double normalized) {
    edits_.performEdit(index, normalized);
    if (!processing_.load() && hostParams_ && hostParams_->request_flush)
        hostParams_->request_flush(host_);
}

void Plugin::endEdit(std::int32_t index) {
    edits_.endEdit(index);
    if (!processing_.load() && hostParams_ && hostParams_->request_flush)
        hostParams_->request_flush(host_);
}

// ---- audio ports

bool Plugin::audioPort(std::uint32_t index, bool isInput, clap_audio_port_info& info) const {
    if (index != 0) return false;
    info = clap_audio_port_info{};
    info.id = 0;
    copyName(isInput ? "Input" : "Output", info.name, sizeof info.name);
    info.flags = kAudioPortIsMain;
    info.channel_count = isInput ? static_cast<std::uint32_t>(inputChannels_) : 2;
    info.port_type = info.channel_count == 1 ? kPortMono : kPortStereo;
    // The block runner writes into buffers of its own, so the host may process in
    // place where the channel counts let it.
    info.in_place_pair = inputChannels_ == 2 ? 0 : kInvalidId;
    return true;
}

std::uint32_t Plugin::configCount() const {
    return static_cast<std::uint32_t>(client_->channelLayouts().size());
}

bool Plugin::config(std::uint32_t index, clap_audio_ports_config& config) const {
    if (index >= configCount()) return false;
    const ChannelLayout& layout = client_->channelLayouts()[index];
    config = clap_audio_ports_config{};
    config.id = index;
    copyName(layout.numInputs == 1 ? "Mono in, stereo out" : "Stereo", config.name,
             sizeof config.name);
    config.input_port_count = 1;
    config.output_port_count = 1;
    config.has_main_input = true;
    config.main_input_channel_count = static_cast<std::uint32_t>(layout.numInputs);
    config.main_input_port_type = layout.numInputs == 1 ? kPortMono : kPortStereo;
    config.has_main_output = true;
    config.main_output_channel_count = static_cast<std::uint32_t>(layout.numOutputs);
    config.main_output_port_type = layout.numOutputs == 1 ? kPortMono : kPortStereo;
    return true;
}

bool Plugin::selectConfig(clap_id id) {
    if (active_ || id >= configCount() || !onMainThread()) return false;
    inputChannels_ = client_->channelLayouts()[id].numInputs;
    return true;
}

// ---- parameters

std::uint32_t Plugin::parameterCount() const {
    return static_cast<std::uint32_t>(client_->parameterCount());
}

bool Plugin::parameterInfo(std::uint32_t index, clap_param_info& info) const {
    if (index >= parameterCount()) return false;
    const auto i = static_cast<std::int32_t>(index);
    const host::PlainValue& plain = values_.plain(i);
    const Parameter& p = plain.parameter();
    info = clap_param_info{};
    info.id = index;
    copyName(p.name(), info.name, sizeof info.name);
    info.min_value = plain.minimum();
    info.max_value = plain.maximum();
    info.default_value = plain.defaultValue();
    if (host::isReserved(p)) {
        info.flags = kParamIsHidden;
        return true;
    }
    info.flags = kParamIsAutomatable;
    switch (plain.kind()) {
    case host::PlainKind::enumeration:
        info.flags |= kParamIsStepped | kParamIsEnum;
        break;
    case host::PlainKind::integer:
    case host::PlainKind::toggle:
        info.flags |= kParamIsStepped;
        break;
    case host::PlainKind::linear:
    case host::PlainKind::logarithmic:
        break;
    }
    return true;
}

bool Plugin::parameterValue(clap_id id, double& value) const {
    if (id >= parameterCount()) return false;
    value = values_.plain(static_cast<std::int32_t>(id)).current();
    return true;
}

bool Plugin::valueToText(clap_id id, double value, char* buffer, std::uint32_t capacity) const {
    if (id >= parameterCount() || std::isnan(value)) return false;
    const host::PlainValue& plain = values_.plain(static_cast<std::int32_t>(id));
    char text[host::kMaxValueText] = {};
    host::EntryScope scope;
    if (!host::textForHostValue(plain.parameter(), plain.normalizedFor(value), text, sizeof text))
        return false;
    copyName(text, buffer, capacity);
    return true;
}

bool Plugin::textToValue(clap_id id, const char* text, double& value) const {
    if (id >= parameterCount()) return false;
    const host::PlainValue& plain = values_.plain(static_cast<std::int32_t>(id));
    double normalized = 0.0;
    host::EntryScope scope;
    if (!plain.parameter().parseNormalized(text, normalized)) return false;
    value = plain.plainFor(normalized);
    return true;
}

// ---- state

bool Plugin::saveState(const clap_ostream& stream) {
    if (!onMainThread()) return false;
    host::EntryScope scope;
    const std::vector<std::uint8_t> bytes = host::saveState(*client_);
    for (std::size_t done = 0; done < bytes.size();) {
        const std::int64_t n = stream.write(&stream, bytes.data() + done, bytes.size() - done);
        if (n <= 0 || static_cast<std::uint64_t>(n) > bytes.size() - done) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool Plugin::loadState(const clap_istream& stream) {
    if (!onMainThread()) return false;
    host::EntryScope scope;
    std::vector<std::uint8_t> bytes;
    std::uint8_t buffer[4096];
    for (;;) {
        const std::int64_t n = stream.read(&stream, buffer, sizeof buffer);
        if (n == 0) break;
        if (n < 0 || static_cast<std::uint64_t>(n) > sizeof buffer) return false;
        bytes.insert(bytes.end(), buffer, buffer + n);
        if (bytes.size() > kMaxStateBytes) return false;
    }
    if (!host::restoreState(*client_, bytes.data(), bytes.size()).empty()) return false;
    if (hostParams_ && hostParams_->rescan) hostParams_->rescan(host_, kParamRescanValues);
    return true;
}

// ---- latency and tail

std::uint32_t Plugin::latency() const {
    return static_cast<std::uint32_t>(std::max(client_->latencyInSamples(sampleRate_), 0));
}

std::uint32_t Plugin::tail() const {
    // The tail is given in float seconds: 0.1 s must not become one frame more.
    return static_cast<std::uint32_t>(std::lround(client_->tailLengthSeconds() * sampleRate_));
}

} // namespace corvid::clap
