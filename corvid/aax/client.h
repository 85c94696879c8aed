#pragma once
// The AAX adapter of one plug-in instance: owns the product client, answers the
// host's parameter and chunk queries, reports edits back through the automation
// delegate, and runs the client from the render callback.

#include "corvid/aax/acf.h"
#include "corvid/client/client.h"
#include "corvid/host/blockrunner.h"
#include "corvid/host/changecounter.h"
#include "corvid/host/gestures.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

namespace corvid::aax {

// Wrappers of host objects. A null host object makes every call a harmless no-op
// with an error answer, so a host that offers less than everything still works.
class AAX_VAutomationDelegate {
public:
    explicit AAX_VAutomationDelegate(AAX_IACFAutomationDelegate* delegate = nullptr)
        : delegate_(delegate) {}
    bool valid() const { return delegate_ != nullptr; }
    AAX_Result RegisterParameter(AAX_CParamID id);
    AAX_Result PostSetValueRequest(AAX_CParamID id, double normalized);
    AAX_Result PostTouchRequest(AAX_CParamID id);
    AAX_Result PostReleaseRequest(AAX_CParamID id);

private:
    AAX_IACFAutomationDelegate* delegate_;
};

class AAX_VController {
public:
    explicit AAX_VController(AAX_IACFController* controller = nullptr) : controller_(controller) {}
    bool valid() const { return controller_ != nullptr; }
    AAX_Result GetSampleRate(AAX_CSampleRate* rate) const;
    AAX_Result GetInputStemFormat(std::uint32_t* stem) const;
    AAX_Result GetOutputStemFormat(std::uint32_t* stem) const;
    AAX_Result SetSignalLatency(std::int32_t samples);
    AAX_IACFAutomationDelegate* GetAutomationDelegate() const;
    AAX_IACFEffectParameters* GetEffectParameters() const;

private:
    AAX_IACFController* controller_;
};

class AAX_VTransport {
public:
    explicit AAX_VTransport(const AAX_ITransport* transport) : transport_(transport) {}
    // Host timeline of the coming block, with the neutral answers where the host
    // gives none.
    TransportInfo read() const;

private:
    const AAX_ITransport* transport_;
};

class AAX_VMIDINode {
public:
    explicit AAX_VMIDINode(AAX_IMIDINode* node) : node_(node) {}
    const AAX_CMidiStream* GetNodeBuffer() const;
    const AAX_ITransport* GetTransport() const;

private:
    AAX_IMIDINode* node_;
};

// Everything an AAX host may ask of a plug-in's parameters, answered "not
// implemented" until a subclass does better.
class AAX_CEffectParameters : public AAX_CACFUnknown<AAX_IACFEffectParameters> {
public:
    AAX_Result Initialize(AAX_IACFController* controller) override;
    AAX_Result Uninitialize() override;
    AAX_Result GetNumberOfParameters(std::int32_t* count) const override;
    AAX_Result GetMasterBypassParameter(AAX_IString* id) const override;
    AAX_Result GetParameterIsAutomatable(AAX_CParamID id, AAX_CBoolean* result) const override;
    AAX_Result GetParameterNumberOfSteps(AAX_CParamID id, std::int32_t* steps) const override;
    AAX_Result GetParameterName(AAX_CParamID id, AAX_IString* name) const override;
    AAX_Result GetParameterNameOfLength(AAX_CParamID id, AAX_IString* name,
                                        std::int32_t length) const override;
    AAX_Result GetParameterDefaultNormalizedValue(AAX_CParamID id, double* value) const override;
    AAX_Result SetParameterDefaultNormalizedValue(AAX_CParamID id, double value) override;
    AAX_Result GetParameterType(AAX_CParamID id, AAX_EParameterType* type) const override;
    AAX_Result GetParameterValueFromString(AAX_CParamID id, double* value,
                                           const AAX_IString& text) const override;
    AAX_Result GetParameterStringFromValue(AAX_CParamID id, double value, AAX_IString* text,
                                           std::int32_t maxLength) const override;
    AAX_Result GetParameterValueString(AAX_CParamID id, AAX_IString* text,
                                       std::int32_t maxLength) const override;
    AAX_Result GetParameterNormalizedValue(AAX_CParamID id, double* value) const override;
    AAX_Result SetParameterNormalizedValue(AAX_CParamID id, double value) override;
    AAX_Result SetParameterNormalizedRelative(AAX_CParamID id, double delta) override;
    AAX_Result TouchParameter(AAX_CParamID id) override;
    AAX_Result ReleaseParameter(AAX_CParamID id) override;
    AAX_Result GetNumberOfChunks(std::int32_t* count) const override;
    AAX_Result GetChunkIDFromIndex(std::int32_t index, AAX_CTypeID* id) const override;
    AAX_Result GetChunkSize(AAX_CTypeID id, std::uint32_t* size) const override;
    AAX_Result GetChunk(AAX_CTypeID id, AAX_SPlugInChunk* chunk) const override;
    AAX_Result SetChunk(AAX_CTypeID id, const AAX_SPlugInChunk* chunk) override;
    AAX_Result CompareActiveChunk(const AAX_SPlugInChunk* chunk,
                                  AAX_CBoolean* isEqual) const override;
    AAX_Result GetNumberOfChanges(std::int32_t* changes) const override;
    AAX_Result ResetFieldData(AAX_CFieldIndex field, void* data, std::uint32_t size) override;
};

// Reports user gestures in the editor to the host's automation as touch,
// set-value and release requests (nothing without a delegate).
class AAXHostCommand : public host::IEditSink {
public:
    void setDelegate(AAX_VAutomationDelegate delegate) { delegate_ = delegate; }
    void beginEdit(std::int32_t index) override;
    void performEdit(std::int32_t index, double normalized) override;
    void endEdit(std::int32_t index) override;

private:
    AAX_VAutomationDelegate delegate_;
};

// The one state chunk's ID.
inline constexpr AAX_CTypeID kStateChunkID = AAX_FourCC('C', 'o', 'r', 'v');
// Largest host block; the size of the private output buffers.
inline constexpr std::int32_t kMaxHostFrames = 1024;

// "%d" host IDs; anything else is not a parameter of this plug-in.
bool parseParameterID(AAX_CParamID id, std::int32_t parameterCount, std::int32_t& index);

class AAXClient : public AAX_CEffectParameters {
public:
    explicit AAXClient(std::unique_ptr<Client> client);
    ~AAXClient() override;

    Client& client() { return *client_; }
    host::Gestures& gestures() { return gestures_; }
    const AAX_VController& controller() const { return controller_; }

    // The render entry handed to the host in the description.
    static void render(void* const instancesBegin[], const void* instancesEnd);

    AAX_Result Initialize(AAX_IACFController* controller) override;
    AAX_Result Uninitialize() override;
    AAX_Result GetNumberOfParameters(std::int32_t* count) const override;
    AAX_Result GetParameterIsAutomatable(AAX_CParamID id, AAX_CBoolean* result) const override;
    AAX_Result GetParameterNumberOfSteps(AAX_CParamID id, std::int32_t* steps) const override;
    AAX_Result GetParameterName(AAX_CParamID id, AAX_IString* name) const override;
    AAX_Result GetParameterNameOfLength(AAX_CParamID id, AAX_IString* name,
                                        std::int32_t length) const override;
    AAX_Result GetParameterDefaultNormalizedValue(AAX_CParamID id, double* value) const override;
    AAX_Result GetParameterType(AAX_CParamID id, AAX_EParameterType* type) const override;
    AAX_Result GetParameterValueFromString(AAX_CParamID id, double* value,
                                           const AAX_IString& text) const override;
    AAX_Result GetParameterStringFromValue(AAX_CParamID id, double value, AAX_IString* text,
                                           std::int32_t maxLength) const override;
    AAX_Result GetParameterValueString(AAX_CParamID id, AAX_IString* text,
                                       std::int32_t maxLength) const override;
    AAX_Result GetParameterNormalizedValue(AAX_CParamID id, double* value) const override;
    AAX_Result SetParameterNormalizedValue(AAX_CParamID id, double value) override;
    AAX_Result SetParameterNormalizedRelative(AAX_CParamID id, double delta) override;
    AAX_Result TouchParameter(AAX_CParamID id) override;
    AAX_Result ReleaseParameter(AAX_CParamID id) override;
    AAX_Result GetNumberOfChunks(std::int32_t* count) const override;
    AAX_Result GetChunkIDFromIndex(std::int32_t index, AAX_CTypeID* id) const override;
    AAX_Result GetChunkSize(AAX_CTypeID id, std::uint32_t* size) const override;
    AAX_Result GetChunk(AAX_CTypeID id, AAX_SPlugInChunk* chunk) const override;
    AAX_Result SetChunk(AAX_CTypeID id, const AAX_SPlugInChunk* chunk) override;
    AAX_Result CompareActiveChunk(const AAX_SPlugInChunk* chunk,
                                  AAX_CBoolean* isEqual) const override;
    AAX_Result GetNumberOfChanges(std::int32_t* changes) const override;
    AAX_Result ResetFieldData(AAX_CFieldIndex field, void* data, std::uint32_t size) override;

private:
    Parameter* findParameter(AAX_CParamID id) const;
    void renderBlock(void* const* fields);

    // Declared before the client: the client's parameters hold pointers to both.
    AAXHostCommand hostCommand_;
    host::ChangeCounter listener_;
    std::unique_ptr<Client> client_;
    host::Gestures gestures_;
    host::BlockRunner runner_;
    AAX_VController controller_;
};

} // namespace corvid::aax

namespace corvid::aax {

// The host's services object, kept between start-up and shut-down.
class AAX_VHostServices {
public:
    explicit AAX_VHostServices(AAX_IACFHostServices* services) : services_(services) {}
    AAX_Result Trace(std::int32_t priority, const char* message) {
        return services_ ? services_->Trace(priority, message) : AAX_ERROR_NULL_ARGUMENT;
    }

private:
    AAX_IACFHostServices* services_;
};

} // namespace corvid::aax
