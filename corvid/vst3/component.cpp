#include "corvid/vst3/component.h"

#include "corvid/client/preset.h"
#include "corvid/core/fpcontrol.h"
#include "corvid/host/entry.h"
#include "corvid/host/state.h"
#include "corvid/vst3/stream.h"
#include "corvid/vst3/text.h"
#include "corvid/vst3/view.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace corvid::vst3 {

namespace {

std::int32_t channelsOf(SpeakerArrangement arrangement) {
    if (arrangement == speaker::kMono) return 1;
    if (arrangement == speaker::kStereo) return 2;
    return 0;
}

bool isSilent(const float* samples, std::int32_t frames) {
    for (std::int32_t i = 0; i < frames; ++i)
        if (samples[i] != 0.0f) return false;
    return true;
}

} // namespace

// The host's changes of one block in frame order, queue by queue. Bypass is
// taken whole at the block's start, since the fade smooths it anyway; a program
// change is the main thread's (it reads a preset chunk).
class Component::BlockEvents final : public host::IBlockEvents {
public:
    BlockEvents(Component& owner, IParameterChanges* changes) : owner_(owner), changes_(changes) {
        const int32 queues = changes ? changes->getParameterCount() : 0;
        followed_ = std::min(static_cast<std::size_t>(std::max(queues, 0)), kMaxQueues);
        std::fill_n(owner_.cursors_.begin(), followed_, 0);
        for (int32 q = 0; q < queues; ++q) {
            IParamValueQueue* queue = changes->getParameterData(q);
            if (!queue) continue;
            const ParamID id = queue->getParameterId();
            const bool bypass = id == kBypassId;
            if (!bypass && static_cast<std::size_t>(q) < followed_) continue;
            // The bypass, and queues past those followed, take their last point now.
            int32 offset = 0;
            ParamValue value = 0.0;
            const int32 points = queue->getPointCount();
            if (points > 0 && queue->getPoint(points - 1, offset, value) == kResultOk)
                apply(id, value);
            if (static_cast<std::size_t>(q) < followed_)
                owner_.cursors_[static_cast<std::size_t>(q)] = points;
        }
    }

    std::int32_t applyUntil(std::int32_t frame) override {
        std::int32_t next = std::numeric_limits<std::int32_t>::max();
        for (std::size_t q = 0; q < followed_; ++q) {
            IParamValueQueue* queue = changes_->getParameterData(static_cast<int32>(q));
            if (!queue) continue;
            const ParamID id = queue->getParameterId();
            const int32 points = queue->getPointCount();
            int32& cursor = owner_.cursors_[q];
            for (; cursor < points; ++cursor) {
                int32 offset = 0;
                ParamValue value = 0.0;
                if (queue->getPoint(cursor, offset, value) != kResultOk) continue;
                if (offset > frame) {
                    next = std::min(next, offset);
                    break;
                }
                apply(id, value);
            }
        }
        return next;
    }

private:
    void apply(ParamID id, ParamValue value) {
        if (owner_.parameters_.find(id))
            owner_.values_.takeNormalized(static_cast<std::int32_t>(id), value);
        else if (id == kBypassId && !std::isnan(value))
            owner_.bypassed_.store(value >= 0.5, std::memory_order_relaxed);
    }

    Component& owner_;
    IParameterChanges* changes_;
    std::size_t followed_ = 0;
};

Component::Component(std::unique_ptr<Client> client)
    : client_(std::move(client)), values_(*client_), gestures_(client_->parameterCount(), &values_),
      parameters_(*client_, values_), runner_(*client_, kMaxHostFrames), cursors_(kMaxQueues, 0) {
    gestures_.attach(this);
    client_->setHostCommand(&gestures_);
    inputChannels_ = std::max(client_->maxInputs(), 1);
    bypass_.prepare(kMaxHostFrames, std::max(client_->maxOutputs(), inputChannels_),
                    client_->latencyInSamples(sampleRate_),
                    static_cast<std::int32_t>(kBypassFadeSeconds * sampleRate_));
}

Component::~Component() {
    gestures_.endAll();
    client_->setHostCommand(nullptr);
    if (handler_) handler_->release();
}

// ---- FUnknown

tresult Component::queryInterface(const TUID iid, void** obj) {
    if (!obj) return kInvalidArgument;
    *obj = nullptr;
    if (!iid) return kInvalidArgument;
    if (FUnknown::iid.matches(iid) || IPluginBase::iid.matches(iid) || IComponent::iid.matches(iid))
        *obj = static_cast<IComponent*>(this);
    else if (IAudioProcessor::iid.matches(iid))
        *obj = static_cast<IAudioProcessor*>(this);
    else if (IEditController::iid.matches(iid))
        *obj = static_cast<IEditController*>(this);
    else if (IUnitInfo::iid.matches(iid))
        *obj = static_cast<IUnitInfo*>(this);
    else if (IProcessContextRequirements::iid.matches(iid))
        *obj = static_cast<IProcessContextRequirements*>(this);
    else
        return kNoInterface;
    addRef();
    return kResultOk;
}

uint32 Component::addRef() {
    return references_.fetch_add(1) + 1;
}

uint32 Component::release() {
    const uint32 left = references_.fetch_sub(1) - 1;
    if (left == 0) {
        host::EntryScope scope;
        delete this;
    }
    return left;
}

// ---- IPluginBase

tresult Component::initialize(FUnknown*) {
    return kResultOk;
}

tresult Component::terminate() {
    gestures_.endAll();
    setComponentHandler(nullptr);
    return kResultOk;
}

// ---- IComponent

tresult Component::getControllerClassId(TUID) {
    // The controller is this object: hosts query it here.
    return kResultFalse;
}

tresult Component::setIoMode(IoMode) {
    return kResultOk;
}

int32 Component::getBusCount(MediaType type, BusDirection dir) {
    if (type != kAudio || (dir != kInput && dir != kOutput)) return 0;
    return 1;
}

bool Component::known(BusDirection dir, MediaType type, int32 index) const {
    return type == kAudio && (dir == kInput || dir == kOutput) && index == 0;
}

tresult Component::getBusInfo(MediaType type, BusDirection dir, int32 index, BusInfo& bus) {
    if (!known(dir, type, index)) return kInvalidArgument;
    bus = BusInfo{};
    bus.mediaType = kAudio;
    bus.direction = dir;
    bus.channelCount = dir == kInput ? inputChannels_ : 2;
    toUtf16(dir == kInput ? "Input" : "Output", bus.name);
    bus.busType = kMain;
    bus.flags = BusInfo::kDefaultActive;
    return kResultOk;
}

tresult Component::getRoutingInfo(RoutingInfo&, RoutingInfo&) {
    return kNotImplemented;
}

tresult Component::activateBus(MediaType type, BusDirection dir, int32 index, TBool) {
    return known(dir, type, index) ? kResultOk : kInvalidArgument;
}

tresult Component::setActive(TBool state) {
    host::EntryScope scope;
    active_ = state != 0;
    if (active_) {
        runner_.restart(sampleRate_);
        bypass_.reset();
    }
    return kResultOk;
}

tresult Component::setState(IBStream* state) {
    host::EntryScope scope;
    std::vector<std::uint8_t> bytes;
    if (!readToEnd(state, bytes)) return kResultFalse;
    const DecodedChunk chunk =
        decodeChunk(bytes.data(), bytes.size(), client_->presetBank().presetCount());
    if (!chunk.error.empty()) return kResultFalse;
    if (!host::restoreState(*client_, bytes.data(), bytes.size()).empty()) return kResultFalse;
    bool bypassed = false;
    const std::size_t at = chunk.size();
    if (bytes.size() >= at + 8 && std::memcmp(bytes.data() + at, kBypassTag, 4) == 0) {
        float value = 0.0f;
        std::memcpy(&value, bytes.data() + at + 4, sizeof value);
        bypassed = value >= 0.5f;
    }
    bypassed_.store(bypassed);
    return kResultOk;
}

tresult Component::getState(IBStream* state) {
    host::EntryScope scope;
    std::vector<std::uint8_t> bytes = host::saveState(*client_);
    bytes.insert(bytes.end(), std::begin(kBypassTag), std::end(kBypassTag));
    const float bypass = bypassed_.load() ? 1.0f : 0.0f;
    std::uint8_t raw[4];
    std::memcpy(raw, &bypass, sizeof raw);
    bytes.insert(bytes.end(), raw, raw + 4);
    return writeAll(state, bytes) ? kResultOk : kResultFalse;
}

// ---- IAudioProcessor

tresult Component::setBusArrangements(SpeakerArrangement* inputs, int32 numIns,
                                      SpeakerArrangement* outputs, int32 numOuts) {
    if (active_ || numIns != 1 || numOuts != 1 || !inputs || !outputs) return kResultFalse;
    const std::int32_t in = channelsOf(inputs[0]);
    const std::int32_t out = channelsOf(outputs[0]);
    const auto& layouts = client_->channelLayouts();
    const bool declared = std::any_of(layouts.begin(), layouts.end(), [&](const ChannelLayout& l) {
        return in > 0 && l.numInputs == in && l.numOutputs == out;
    });
    if (!declared) return kResultFalse;
    inputChannels_ = in;
    return kResultTrue;
}

tresult Component::getBusArrangement(BusDirection dir, int32 index, SpeakerArrangement& arr) {
    if (index != 0 || (dir != kInput && dir != kOutput)) return kInvalidArgument;
    arr = dir == kOutput || inputChannels_ == 2 ? speaker::kStereo : speaker::kMono;
    return kResultOk;
}

tresult Component::canProcessSampleSize(int32 symbolicSampleSize) {
    return symbolicSampleSize == kSample32 ? kResultTrue : kResultFalse;
}

uint32 Component::getLatencySamples() {
    return static_cast<uint32>(std::max(client_->latencyInSamples(sampleRate_), 0));
}

uint32 Component::getTailSamples() {
    return static_cast<uint32>(std::ceil(client_->tailLengthSeconds() * sampleRate_));
}

uint32 Component::getProcessContextRequirements() {
    // Only the tempo, position and play state reach the client, and it does not
    // depend on them: nothing is required.
    return 0;
}

tresult Component::setupProcessing(ProcessSetup& setup) {
    host::EntryScope scope;
    if (active_ || !(setup.sampleRate > 0.0) || setup.symbolicSampleSize != kSample32)
        return kResultFalse;
    sampleRate_ = setup.sampleRate;
    maxBlock_ = std::max(setup.maxSamplesPerBlock, 1);
    bypass_.prepare(std::max(maxBlock_, kMaxHostFrames),
                    std::max(client_->maxOutputs(), client_->maxInputs()),
                    client_->latencyInSamples(sampleRate_),
                    static_cast<std::int32_t>(std::lround(kBypassFadeSeconds * sampleRate_)));
    runner_.restart(sampleRate_);
    return kResultOk;
}

tresult Component::setProcessing(TBool state) {
    processing_.store(state != 0);
    return kResultOk;
}

void Component::clearOutputs(ProcessData& data) {
    for (int32 b = 0; b < data.numOutputs; ++b) {
        AudioBusBuffers& bus = data.outputs[b];
        if (!bus.channelBuffers32) continue;
        for (int32 c = 0; c < bus.numChannels; ++c)
            if (bus.channelBuffers32[c])
                std::memset(bus.channelBuffers32[c], 0,
                            static_cast<std::size_t>(data.numSamples) * sizeof(float));
        bus.silenceFlags = bus.numChannels >= 64 ? ~0ull : (1ull << bus.numChannels) - 1;
    }
}

void Component::flagSilence(ProcessData& data) const {
    AudioBusBuffers& out = data.outputs[0];
    out.silenceFlags = 0;
    // Only a silent input can make a silent output; then each channel whose
    // samples are all zero (the tail has passed) is flagged.
    const AudioBusBuffers& in = data.inputs[0];
    const uint64 all = (1ull << in.numChannels) - 1;
    if ((in.silenceFlags & all) != all) return;
    for (int32 c = 0; c < out.numChannels && c < 64; ++c)
        if (isSilent(out.channelBuffers32[c], data.numSamples)) out.silenceFlags |= 1ull << c;
}

tresult Component::process(ProcessData& data) {
    FpEnvironmentGuard fpGuard;
    BlockEvents events(*this, data.inputParameterChanges);
    // A block without audio only carries parameter changes (a flush).
    if (data.numSamples <= 0 || data.numOutputs < 1 || !data.outputs) {
        events.applyUntil(std::numeric_limits<std::int32_t>::max());
        return kResultOk;
    }
    if (data.symbolicSampleSize != kSample32) return kResultFalse;
    processAudio(data, events);
    return kResultOk;
}

void Component::processAudio(ProcessData& data, BlockEvents& events) {
    AudioBusBuffers& out = data.outputs[0];
    const bool hasInput = data.numInputs >= 1 && data.inputs;
    const float* const* in = hasInput ? data.inputs[0].channelBuffers32 : nullptr;
    const std::int32_t inputs = hasInput ? data.inputs[0].numChannels : 0;
    // Values at the block's first frame hold from its start: a reset this block
    // starts from them, as from values set before processing began.
    events.applyUntil(0);
    const host::BlockRunner::Prepared prepared =
        runner_.prepare(sampleRate_, inputs, out.numChannels, in, out.channelBuffers32);
    if (!prepared.ready) {
        events.applyUntil(std::numeric_limits<std::int32_t>::max());
        clearOutputs(data);
        return;
    }
    TransportInfo transport;
    if (const ProcessContext* context = data.processContext) {
        if (context->state & ProcessContext::kTempoValid) transport.tempo = context->tempo;
        transport.samplePosition = context->projectTimeSamples;
        transport.isPlaying = (context->state & ProcessContext::kPlaying) != 0;
    }
    const std::int32_t frames = data.numSamples;
    // A host that breaks its promised block size is processed, but not bypassed.
    const bool withBypass = frames <= bypass_.maxFrames();
    bypass_.setBypassed(bypassed_.load(std::memory_order_relaxed));
    if (withBypass) bypass_.capture(in, inputs, frames);
    runner_.process(in, out.channelBuffers32, frames, transport, events);
    if (withBypass) bypass_.apply(out.channelBuffers32, out.numChannels, frames);
    flagSilence(data);
}

// ---- IEditController

tresult Component::setComponentState(IBStream*) {
    // The component's state is this object's own: there is nothing to mirror.
    return kResultOk;
}

int32 Component::getParameterCount() {
    return parameters_.count();
}

tresult Component::getParameterInfo(int32 paramIndex, ParameterInfo& info) {
    return parameters_.info(paramIndex, info);
}

tresult Component::getParamStringByValue(ParamID id, ParamValue valueNormalized, String128 string) {
    if (!string) return kInvalidArgument;
    return parameters_.text(id, valueNormalized, string);
}

tresult Component::getParamValueByString(ParamID id, TChar* string, ParamValue& valueNormalized) {
    return parameters_.parse(id, string, valueNormalized);
}

ParamValue Component::normalizedParamToPlain(ParamID id, ParamValue valueNormalized) {
    return parameters_.toPlain(id, valueNormalized);
}

ParamValue Component::plainParamToNormalized(ParamID id, ParamValue plainValue) {
    return parameters_.toNormalized(id, plainValue);
}

ParamValue Component::getParamNormalized(ParamID id) {
    if (Parameter* p = parameters_.find(id)) return p->normalizedValue();
    if (id == kBypassId) return bypassed_.load() ? 1.0 : 0.0;
    if (id == kProgramId) return parameters_.programValue(client_->presetBank().currentPreset());
    return 0.0;
}

tresult Component::setParamNormalized(ParamID id, ParamValue value) {
    if (!parameters_.known(id) || std::isnan(value)) return kInvalidArgument;
    host::EntryScope scope;
    if (id == kProgramId) {
        const std::int32_t preset = parameters_.presetFor(value);
        if (preset != client_->presetBank().currentPreset()) applyProgram(preset);
        return kResultOk;
    }
    // The same rules as values at frames: the editor's hand wins, an echo changes
    // nothing. Values the audio thread took are told to the editor on the way.
    values_.deliver();
    if (parameters_.find(id))
        values_.applyNormalizedNow(static_cast<std::int32_t>(id), value);
    else
        bypassed_.store(value >= 0.5);
    return kResultOk;
}

void Component::applyProgram(std::int32_t preset) {
    std::vector<double> before(static_cast<std::size_t>(client_->parameterCount()));
    for (std::int32_t i = 0; i < client_->parameterCount(); ++i)
        before[static_cast<std::size_t>(i)] = client_->parameter(i)->normalizedValue();
    const std::vector<std::uint8_t> chunk = client_->presetBank().writePresetChunk(preset);
    host::restoreState(*client_, chunk.data(), chunk.size());
    // The host learns the preset's values as edits of each parameter that moved.
    // Not restartComponent: hosts call this holding their processing lock, and some
    // (Ardour 7) take the same lock again for a restart, which never returns.
    if (!handler_) return;
    for (std::int32_t i = 0; i < client_->parameterCount(); ++i) {
        const double now = client_->parameter(i)->normalizedValue();
        if (now == before[static_cast<std::size_t>(i)]) continue;
        const auto id = static_cast<ParamID>(i);
        handler_->beginEdit(id);
        handler_->performEdit(id, now);
        handler_->endEdit(id);
    }
}

tresult Component::setComponentHandler(IComponentHandler* handler) {
    if (handler == handler_) return kResultOk;
    gestures_.endAll();
    if (handler_) handler_->release();
    handler_ = handler;
    if (handler_) handler_->addRef();
    return kResultOk;
}

IPlugView* Component::createView(FIDString name) {
    if (!name || std::strcmp(name, kEditorViewName) != 0 || !client_->info().hasEditor)
        return nullptr;
    host::EntryScope scope;
    return new View(*this);
}

// ---- IUnitInfo

int32 Component::getUnitCount() {
    return 1;
}

tresult Component::getUnitInfo(int32 unitIndex, UnitInfo& info) {
    if (unitIndex != 0) return kInvalidArgument;
    info = UnitInfo{};
    info.id = kRootUnitId;
    info.parentUnitId = kNoParentUnitId;
    toUtf16("Root", info.name);
    info.programListId = getProgramListCount() > 0 ? kFactoryProgramList : kNoProgramListId;
    return kResultOk;
}

int32 Component::getProgramListCount() {
    return client_->presetBank().presetCount() > 0 ? 1 : 0;
}

tresult Component::getProgramListInfo(int32 listIndex, ProgramListInfo& info) {
    if (listIndex != 0 || getProgramListCount() == 0) return kInvalidArgument;
    info = ProgramListInfo{};
    info.id = kFactoryProgramList;
    toUtf16("Factory Presets", info.name);
    info.programCount = client_->presetBank().presetCount();
    return kResultOk;
}

tresult Component::getProgramName(ProgramListID listId, int32 programIndex, String128 name) {
    const PresetBank& bank = client_->presetBank();
    if (listId != kFactoryProgramList || programIndex < 0 || programIndex >= bank.presetCount() ||
        !name)
        return kInvalidArgument;
    toUtf16(bank.presets()[static_cast<std::size_t>(programIndex)]->name, name, 128);
    return kResultOk;
}

tresult Component::getProgramInfo(ProgramListID, int32, const char*, String128) {
    return kResultFalse;
}

tresult Component::hasProgramPitchNames(ProgramListID, int32) {
    return kResultFalse;
}

tresult Component::getProgramPitchName(ProgramListID, int32, int16, String128) {
    return kResultFalse;
}

UnitID Component::getSelectedUnit() {
    return kRootUnitId;
}

tresult Component::selectUnit(UnitID unitId) {
    return unitId == kRootUnitId ? kResultOk : kInvalidArgument;
}

tresult Component::getUnitByBus(MediaType type, BusDirection dir, int32 busIndex, int32,
                                UnitID& unitId) {
    if (!known(dir, type, busIndex)) return kInvalidArgument;
    unitId = kRootUnitId;
    return kResultOk;
}

tresult Component::setUnitProgramData(int32, int32, IBStream*) {
    return kNotImplemented;
}

// ---- the editor's gestures

void Component::beginEdit(std::int32_t index) {
    if (handler_) handler_->beginEdit(static_cast<ParamID>(index));
}

void Component::performEdit(std::int32_t index, double normalized) {
    if (handler_) handler_->performEdit(static_cast<ParamID>(index), normalized);
}

void Component::endEdit(std::int32_t index) {
    if (handler_) handler_->endEdit(static_cast<ParamID>(index));
}

} // namespace corvid::vst3
