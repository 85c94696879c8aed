#include "corvid/aax/client.h"

#include "corvid/aax/describe.h"
#include "corvid/core/error.h"
#include "corvid/core/fpcontrol.h"
#include "corvid/host/hostparams.h"
#include "corvid/host/state.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace corvid::aax {

using host::clamp01;
using host::kMaxValueText;
using host::valueTextSize;

namespace {

// Room for "%d" of any int32 and its terminator.
struct ParamIDText {
    char text[16];
    explicit ParamIDText(std::int32_t index) { std::snprintf(text, sizeof text, "%d", index); }
};

void setText(AAX_IString* out, const char* buffer, std::size_t size) {
    out->Set(size == 0 ? "" : buffer);
}

} // namespace

// ---- host object wrappers

AAX_Result AAX_VAutomationDelegate::RegisterParameter(AAX_CParamID id) {
    return delegate_ ? delegate_->RegisterParameter(id) : AAX_ERROR_NULL_ARGUMENT;
}

AAX_Result AAX_VAutomationDelegate::PostSetValueRequest(AAX_CParamID id, double normalized) {
    return delegate_ ? delegate_->PostSetValueRequest(id, normalized) : AAX_ERROR_NULL_ARGUMENT;
}

AAX_Result AAX_VAutomationDelegate::PostTouchRequest(AAX_CParamID id) {
    return delegate_ ? delegate_->PostTouchRequest(id) : AAX_ERROR_NULL_ARGUMENT;
}

AAX_Result AAX_VAutomationDelegate::PostReleaseRequest(AAX_CParamID id) {
    return delegate_ ? delegate_->PostReleaseRequest(id) : AAX_ERROR_NULL_ARGUMENT;
}

AAX_Result AAX_VController::GetSampleRate(AAX_CSampleRate* rate) const {
    return controller_ ? controller_->GetSampleRate(rate) : AAX_ERROR_NULL_ARGUMENT;
}

AAX_Result AAX_VController::GetInputStemFormat(std::uint32_t* stem) const {
    return controller_ ? controller_->GetInputStemFormat(stem) : AAX_ERROR_NULL_ARGUMENT;
}

AAX_Result AAX_VController::GetOutputStemFormat(std::uint32_t* stem) const {
    return controller_ ? controller_->GetOutputStemFormat(stem) : AAX_ERROR_NULL_ARGUMENT;
}

AAX_Result AAX_VController::SetSignalLatency(std::int32_t samples) {
    return controller_ ? controller_->SetSignalLatency(samples) : AAX_ERROR_NULL_ARGUMENT;
}

AAX_IACFAutomationDelegate* AAX_VController::GetAutomationDelegate() const {
    return controller_ ? controller_->GetAutomationDelegate() : nullptr;
}

AAX_IACFEffectParameters* AAX_VController::GetEffectParameters() const {
    return controller_ ? controller_->GetEffectParameters() : nullptr;
}

TransportInfo AAX_VTransport::read() const {
    TransportInfo info;
    if (!transport_) return info;
    double tempo = 0.0;
    if (transport_->GetCurrentTempo(&tempo) == AAX_SUCCESS) info.tempo = tempo;
    std::int64_t location = 0;
    if (transport_->GetCurrentNativeSampleLocation(&location) == AAX_SUCCESS)
        info.samplePosition = location;
    bool playing = false;
    if (transport_->IsTransportPlaying(&playing) == AAX_SUCCESS) info.isPlaying = playing;
    return info;
}

const AAX_CMidiStream* AAX_VMIDINode::GetNodeBuffer() const {
    return node_ ? node_->GetNodeBuffer() : nullptr;
}

const AAX_ITransport* AAX_VMIDINode::GetTransport() const {
    return node_ ? node_->GetTransport() : nullptr;
}

// ---- default answers

AAX_Result AAX_CEffectParameters::Initialize(AAX_IACFController*) {
    return AAX_SUCCESS;
}
AAX_Result AAX_CEffectParameters::Uninitialize() {
    return AAX_SUCCESS;
}
AAX_Result AAX_CEffectParameters::GetNumberOfParameters(std::int32_t* count) const {
    if (count) *count = 0;
    return AAX_SUCCESS;
}
AAX_Result AAX_CEffectParameters::GetMasterBypassParameter(AAX_IString*) const {
    return AAX_ERROR_UNIMPLEMENTED;
}
AAX_Result AAX_CEffectParameters::GetParameterIsAutomatable(AAX_CParamID, AAX_CBoolean*) const {
    return AAX_ERROR_UNIMPLEMENTED;
}
AAX_Result AAX_CEffectParameters::GetParameterNumberOfSteps(AAX_CParamID, std::int32_t*) const {
    return AAX_ERROR_UNIMPLEMENTED;
}
AAX_Result AAX_CEffectParameters::GetParameterName(AAX_CParamID, AAX_IString*) const {
    return AAX_ERROR_UNIMPLEMENTED;
}
AAX_Result AAX_CEffectParameters::GetParameterNameOfLength(AAX_CParamID, AAX_IString*,
                                                           std::int32_t) const {
    return AAX_ERROR_UNIMPLEMENTED;
}
AAX_Result AAX_CEffectParameters::GetParameterDefaultNormalizedValue(AAX_CParamID, double*) const {
    return AAX_ERROR_UNIMPLEMENTED;
}
AAX_Result AAX_CEffectParameters::SetParameterDefaultNormalizedValue(AAX_CParamID, double) {
    return AAX_ERROR_UNIMPLEMENTED;
}
AAX_Result AAX_CEffectParameters::GetParameterType(AAX_CParamID, AAX_EParameterType*) const {
    return AAX_ERROR_UNIMPLEMENTED;
}
AAX_Result AAX_CEffectParameters::GetParameterValueFromString(AAX_CParamID, double*,
                                                              const AAX_IString&) const {
    return AAX_ERROR_UNIMPLEMENTED;
}
AAX_Result AAX_CEffectParameters::GetParameterStringFromValue(AAX_CParamID, double, AAX_IString*,
                                                              std::int32_t) const {
    return AAX_ERROR_UNIMPLEMENTED;
}
AAX_Result AAX_CEffectParameters::GetParameterValueString(AAX_CParamID, AAX_IString*,
                                                          std::int32_t) const {
    return AAX_ERROR_UNIMPLEMENTED;
}
AAX_Result AAX_CEffectParameters::GetParameterNormalizedValue(AAX_CParamID, double*) const {
    return AAX_ERROR_UNIMPLEMENTED;
}
AAX_Result AAX_CEffectParameters::SetParameterNormalizedValue(AAX_CParamID, double) {
    return AAX_ERROR_UNIMPLEMENTED;
}
AAX_Result AAX_CEffectParameters::SetParameterNormalizedRelative(AAX_CParamID, double) {
    return AAX_ERROR_UNIMPLEMENTED;
}
AAX_Result AAX_CEffectParameters::TouchParameter(AAX_CParamID) {
    return AAX_SUCCESS;
}
AAX_Result AAX_CEffectParameters::ReleaseParameter(AAX_CParamID) {
    return AAX_SUCCESS;
}
AAX_Result AAX_CEffectParameters::GetNumberOfChunks(std::int32_t* count) const {
    if (count) *count = 0;
    return AAX_SUCCESS;
}
AAX_Result AAX_CEffectParameters::GetChunkIDFromIndex(std::int32_t, AAX_CTypeID*) const {
    return AAX_ERROR_INVALID_CHUNK_INDEX;
}
AAX_Result AAX_CEffectParameters::GetChunkSize(AAX_CTypeID, std::uint32_t*) const {
    return AAX_ERROR_INVALID_CHUNK_ID;
}
AAX_Result AAX_CEffectParameters::GetChunk(AAX_CTypeID, AAX_SPlugInChunk*) const {
    return AAX_ERROR_INVALID_CHUNK_ID;
}
AAX_Result AAX_CEffectParameters::SetChunk(AAX_CTypeID, const AAX_SPlugInChunk*) {
    return AAX_ERROR_INVALID_CHUNK_ID;
}
AAX_Result AAX_CEffectParameters::CompareActiveChunk(const AAX_SPlugInChunk*, AAX_CBoolean*) const {
    return AAX_ERROR_INVALID_CHUNK_ID;
}
AAX_Result AAX_CEffectParameters::GetNumberOfChanges(std::int32_t* changes) const {
    if (changes) *changes = 0;
    return AAX_SUCCESS;
}
AAX_Result AAX_CEffectParameters::ResetFieldData(AAX_CFieldIndex, void* data, std::uint32_t size) {
    if (data && size > 0) std::memset(data, 0, size);
    return AAX_SUCCESS;
}

// ---- host command and listener

void AAXHostCommand::beginEdit(std::int32_t index) {
    if (delegate_.valid()) delegate_.PostTouchRequest(ParamIDText(index).text);
}

void AAXHostCommand::performEdit(std::int32_t index, double normalized) {
    if (delegate_.valid()) delegate_.PostSetValueRequest(ParamIDText(index).text, normalized);
}

void AAXHostCommand::endEdit(std::int32_t index) {
    if (delegate_.valid()) delegate_.PostReleaseRequest(ParamIDText(index).text);
}

// ---- the adapter

bool parseParameterID(AAX_CParamID id, std::int32_t parameterCount, std::int32_t& index) {
    if (!id || *id == '\0') return false;
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(id, &end, 10);
    if (errno == ERANGE || end == id || *end != '\0') return false;
    if (value < 0 || value >= parameterCount) return false;
    index = static_cast<std::int32_t>(value);
    return true;
}

AAXClient::AAXClient(std::unique_ptr<Client> client)
    : client_(std::move(client)), gestures_(client_->parameterCount(), nullptr, DawKind::protools),
      runner_(*client_, kMaxHostFrames) {
    gestures_.attach(&hostCommand_);
    client_->setHostCommand(&gestures_);
    for (std::int32_t i = 0; i < client_->parameterCount(); ++i)
        client_->parameter(i)->addListener(&listener_);
}

AAXClient::~AAXClient() {
    gestures_.endAll();
    client_->setHostCommand(nullptr);
    for (std::int32_t i = 0; i < client_->parameterCount(); ++i)
        client_->parameter(i)->removeListener(&listener_);
}

Parameter* AAXClient::findParameter(AAX_CParamID id) const {
    std::int32_t index = 0;
    if (!parseParameterID(id, client_->parameterCount(), index)) return nullptr;
    return client_->parameter(index);
}

AAX_Result AAXClient::Initialize(AAX_IACFController* controller) {
    controller_ = AAX_VController(controller);
    hostCommand_.setDelegate(AAX_VAutomationDelegate(controller_.GetAutomationDelegate()));
    AAX_VAutomationDelegate automation(controller_.GetAutomationDelegate());
    if (automation.valid())
        for (std::int32_t i = 0; i < client_->parameterCount(); ++i)
            automation.RegisterParameter(ParamIDText(i).text);
    AAX_CSampleRate rate = 0.0f;
    if (controller_.GetSampleRate(&rate) != AAX_SUCCESS) rate = 0.0f;
    runner_.restart(static_cast<double>(rate));
    controller_.SetSignalLatency(runner_.latency());
    return AAX_SUCCESS;
}

AAX_Result AAXClient::Uninitialize() {
    gestures_.endAll();
    hostCommand_.setDelegate(AAX_VAutomationDelegate());
    controller_ = AAX_VController();
    return AAX_SUCCESS;
}

AAX_Result AAXClient::GetNumberOfParameters(std::int32_t* count) const {
    if (!count) return AAX_ERROR_NULL_ARGUMENT;
    *count = client_->parameterCount();
    return AAX_SUCCESS;
}

AAX_Result AAXClient::GetParameterIsAutomatable(AAX_CParamID id, AAX_CBoolean* result) const {
    if (!findParameter(id)) return AAX_ERROR_INVALID_PARAMETER_ID;
    if (!result) return AAX_ERROR_NULL_ARGUMENT;
    *result = 1;
    return AAX_SUCCESS;
}

AAX_Result AAXClient::GetParameterNumberOfSteps(AAX_CParamID id, std::int32_t* steps) const {
    Parameter* p = findParameter(id);
    if (!p) return AAX_ERROR_INVALID_PARAMETER_ID;
    if (!steps) return AAX_ERROR_NULL_ARGUMENT;
    *steps = host::parameterSteps(*p);
    return AAX_SUCCESS;
}

AAX_Result AAXClient::GetParameterName(AAX_CParamID id, AAX_IString* name) const {
    Parameter* p = findParameter(id);
    if (!p) return AAX_ERROR_INVALID_PARAMETER_ID;
    if (!name) return AAX_ERROR_NULL_ARGUMENT;
    name->Set(std::string(p->name()).c_str());
    return AAX_SUCCESS;
}

AAX_Result AAXClient::GetParameterNameOfLength(AAX_CParamID id, AAX_IString* name,
                                               std::int32_t length) const {
    Parameter* p = findParameter(id);
    if (!p) return AAX_ERROR_INVALID_PARAMETER_ID;
    if (!name) return AAX_ERROR_NULL_ARGUMENT;
    name->Set(
        std::string(host::truncateUtf8(p->name(), static_cast<std::size_t>(std::max(length, 0))))
            .c_str());
    return AAX_SUCCESS;
}

AAX_Result AAXClient::GetParameterDefaultNormalizedValue(AAX_CParamID id, double* value) const {
    Parameter* p = findParameter(id);
    if (!p) return AAX_ERROR_INVALID_PARAMETER_ID;
    if (!value) return AAX_ERROR_NULL_ARGUMENT;
    *value = p->normalizedDefault();
    return AAX_SUCCESS;
}

AAX_Result AAXClient::GetParameterType(AAX_CParamID id, AAX_EParameterType* type) const {
    Parameter* p = findParameter(id);
    if (!p) return AAX_ERROR_INVALID_PARAMETER_ID;
    if (!type) return AAX_ERROR_NULL_ARGUMENT;
    *type = p->isDiscrete() ? AAX_eParameterType_Discrete : AAX_eParameterType_Continuous;
    return AAX_SUCCESS;
}

AAX_Result AAXClient::GetParameterValueFromString(AAX_CParamID id, double* value,
                                                  const AAX_IString& text) const {
    Parameter* p = findParameter(id);
    if (!p) return AAX_ERROR_INVALID_PARAMETER_ID;
    if (!value) return AAX_ERROR_NULL_ARGUMENT;
    const char* chars = text.Get();
    double normalized = 0.0;
    if (!chars || !p->parseNormalized(std::string_view(chars, text.Length()), normalized))
        return AAX_ERROR_INVALID_STRING_CONVERSION;
    *value = normalized;
    return AAX_SUCCESS;
}

AAX_Result AAXClient::GetParameterStringFromValue(AAX_CParamID id, double value, AAX_IString* text,
                                                  std::int32_t maxLength) const {
    Parameter* p = findParameter(id);
    if (!p) return AAX_ERROR_INVALID_PARAMETER_ID;
    if (!text) return AAX_ERROR_NULL_ARGUMENT;
    char buffer[kMaxValueText] = {};
    const std::size_t size = valueTextSize(maxLength);
    if (!host::textForHostValue(*p, value, buffer, size))
        return AAX_ERROR_INVALID_STRING_CONVERSION;
    setText(text, buffer, size);
    return AAX_SUCCESS;
}

AAX_Result AAXClient::GetParameterValueString(AAX_CParamID id, AAX_IString* text,
                                              std::int32_t maxLength) const {
    Parameter* p = findParameter(id);
    if (!p) return AAX_ERROR_INVALID_PARAMETER_ID;
    if (!text) return AAX_ERROR_NULL_ARGUMENT;
    char buffer[kMaxValueText] = {};
    const std::size_t size = valueTextSize(maxLength);
    if (size > 0) p->displayForHost(buffer, size);
    setText(text, buffer, size);
    return AAX_SUCCESS;
}

AAX_Result AAXClient::GetParameterNormalizedValue(AAX_CParamID id, double* value) const {
    Parameter* p = findParameter(id);
    if (!p) return AAX_ERROR_INVALID_PARAMETER_ID;
    if (!value) return AAX_ERROR_NULL_ARGUMENT;
    *value = p->normalizedValue();
    return AAX_SUCCESS;
}

AAX_Result AAXClient::SetParameterNormalizedValue(AAX_CParamID id, double value) {
    Parameter* p = findParameter(id);
    if (!p) return AAX_ERROR_INVALID_PARAMETER_ID;
    p->applyFromHost(value);
    return AAX_SUCCESS;
}

AAX_Result AAXClient::SetParameterNormalizedRelative(AAX_CParamID id, double delta) {
    Parameter* p = findParameter(id);
    if (!p) return AAX_ERROR_INVALID_PARAMETER_ID;
    p->applyFromHost(clamp01(p->normalizedValue() + delta));
    return AAX_SUCCESS;
}

AAX_Result AAXClient::TouchParameter(AAX_CParamID) {
    return AAX_SUCCESS;
}

AAX_Result AAXClient::ReleaseParameter(AAX_CParamID) {
    return AAX_SUCCESS;
}

AAX_Result AAXClient::GetNumberOfChunks(std::int32_t* count) const {
    if (!count) return AAX_ERROR_NULL_ARGUMENT;
    *count = 1;
    return AAX_SUCCESS;
}

AAX_Result AAXClient::GetChunkIDFromIndex(std::int32_t index, AAX_CTypeID* id) const {
    if (index != 0) return AAX_ERROR_INVALID_CHUNK_INDEX;
    if (!id) return AAX_ERROR_NULL_ARGUMENT;
    *id = kStateChunkID;
    return AAX_SUCCESS;
}

AAX_Result AAXClient::GetChunkSize(AAX_CTypeID id, std::uint32_t* size) const {
    if (id != kStateChunkID) return AAX_ERROR_INVALID_CHUNK_ID;
    if (!size) return AAX_ERROR_NULL_ARGUMENT;
    *size = static_cast<std::uint32_t>(host::saveState(*client_).size());
    return AAX_SUCCESS;
}

AAX_Result AAXClient::GetChunk(AAX_CTypeID id, AAX_SPlugInChunk* chunk) const {
    if (id != kStateChunkID) return AAX_ERROR_INVALID_CHUNK_ID;
    if (!chunk || !chunk->fData) return AAX_ERROR_NULL_ARGUMENT;
    const std::vector<std::uint8_t> bytes = host::saveState(*client_);
    // The state may have grown since the host asked for the size.
    if (chunk->fSize < 0 || static_cast<std::size_t>(chunk->fSize) < bytes.size())
        return AAX_ERROR_INCORRECT_CHUNK_SIZE;
    const PluginDescription& info = client_->info();
    chunk->fVersion = 0;
    chunk->fManufacturerID = fourCharCode(info.vendorCode);
    chunk->fProductID = fourCharCode(info.pluginCode);
    chunk->fPlugInID = client_->channelLayouts().empty()
                           ? 0
                           : nativePlugInID(info, client_->channelLayouts().front());
    chunk->fChunkID = kStateChunkID;
    std::memset(chunk->fName, 0, sizeof chunk->fName);
    std::memcpy(chunk->fName, info.pluginName.data(),
                std::min(info.pluginName.size(), sizeof chunk->fName - 1));
    std::memcpy(chunk->fData, bytes.data(), bytes.size());
    chunk->fSize = static_cast<std::int32_t>(bytes.size());
    return AAX_SUCCESS;
}

AAX_Result AAXClient::SetChunk(AAX_CTypeID id, const AAX_SPlugInChunk* chunk) {
    if (id != kStateChunkID) return AAX_ERROR_INVALID_CHUNK_ID;
    if (!chunk || chunk->fSize < 0 || (chunk->fSize > 0 && !chunk->fData))
        return AAX_ERROR_NULL_ARGUMENT;
    const std::string error =
        host::restoreState(*client_, chunk->fData, static_cast<std::size_t>(chunk->fSize));
    return error.empty() ? AAX_SUCCESS : AAX_ERROR_INVALID_CHUNK_ID;
}

AAX_Result AAXClient::CompareActiveChunk(const AAX_SPlugInChunk* chunk,
                                         AAX_CBoolean* isEqual) const {
    if (!chunk || !isEqual || chunk->fSize < 0 || (chunk->fSize > 0 && !chunk->fData))
        return AAX_ERROR_NULL_ARGUMENT;
    if (chunk->fChunkID != kStateChunkID) return AAX_ERROR_INVALID_CHUNK_ID;
    const std::vector<std::uint8_t> bytes = host::saveState(*client_);
    *isEqual = static_cast<std::size_t>(chunk->fSize) == bytes.size() &&
               (bytes.empty() || std::memcmp(chunk->fData, bytes.data(), bytes.size()) == 0);
    return AAX_SUCCESS;
}

AAX_Result AAXClient::GetNumberOfChanges(std::int32_t* changes) const {
    if (!changes) return AAX_ERROR_NULL_ARGUMENT;
    *changes = listener_.count();
    return AAX_SUCCESS;
}

AAX_Result AAXClient::ResetFieldData(AAX_CFieldIndex field, void* data, std::uint32_t size) {
    if (!data) return AAX_ERROR_NULL_ARGUMENT;
    std::memset(data, 0, size);
    if (field == AAX_eField_PrivateData) {
        AAXClient* self = this;
        if (size < sizeof self) return AAX_ERROR_INCORRECT_CHUNK_SIZE;
        std::memcpy(data, &self, sizeof self);
    }
    return AAX_SUCCESS;
}

void AAXClient::render(void* const instancesBegin[], const void* instancesEnd) {
    FpEnvironmentGuard fpGuard;
    for (void* const* instance = instancesBegin; instance != instancesEnd; ++instance) {
        auto* const* fields = static_cast<void* const*>(*instance);
        if (!fields || !fields[AAX_eField_PrivateData]) continue;
        AAXClient* self = nullptr;
        std::memcpy(&self, fields[AAX_eField_PrivateData], sizeof self);
        if (self) self->renderBlock(fields);
    }
}

void AAXClient::renderBlock(void* const* fields) {
    AAX_CSampleRate rate = 0.0f;
    std::uint32_t inputStem = 0;
    std::uint32_t outputStem = 0;
    if (controller_.GetSampleRate(&rate) != AAX_SUCCESS ||
        controller_.GetInputStemFormat(&inputStem) != AAX_SUCCESS ||
        controller_.GetOutputStemFormat(&outputStem) != AAX_SUCCESS)
        return;
    const std::int32_t inputs = AAX_StemFormatChannelCount(inputStem);
    const std::int32_t outputs = AAX_StemFormatChannelCount(outputStem);

    auto* const* hostIn = static_cast<float* const*>(fields[AAX_eField_AudioIn]);
    auto* const* hostOut = static_cast<float* const*>(fields[AAX_eField_AudioOut]);
    const auto* length = static_cast<const std::int32_t*>(fields[AAX_eField_BufferLength]);
    if (!length) return;
    const host::BlockRunner::Prepared prepared =
        runner_.prepare(static_cast<double>(rate), inputs, outputs, hostIn, hostOut);
    if (!prepared.ready) return;
    if (prepared.latencyChanged) controller_.SetSignalLatency(runner_.latency());

    if (client_->info().receivesMidi) {
        AAX_VMIDINode midi(static_cast<AAX_IMIDINode*>(fields[AAX_eField_MIDIInput]));
        if (const AAX_CMidiStream* stream = midi.GetNodeBuffer(); stream && stream->mBuffer)
            for (std::uint32_t i = 0; i < stream->mBufferSize; ++i) {
                const AAX_CMidiPacket& packet = stream->mBuffer[i];
                MidiMessage message;
                message.offset = static_cast<std::int32_t>(packet.mTimestamp);
                message.status = packet.mData[0];
                message.data1 = packet.mData[1];
                message.data2 = packet.mData[2];
                client_->hostEnqueueMidi(message);
            }
    }
    AAX_VMIDINode transportNode(static_cast<AAX_IMIDINode*>(fields[AAX_eField_Transport]));
    runner_.process(hostIn, hostOut, *length, AAX_VTransport(transportNode.GetTransport()).read());
}

} // namespace corvid::aax
