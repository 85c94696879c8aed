#pragma once
// The interface between an AAX host and the plug-in library: the host objects the
// plug-in is handed (collection, descriptors, property maps, controller, automation
// delegate, view container, transport, MIDI node, strings), the plug-in objects the
// host drives (effect parameters, effect GUI), the render context and the exported
// entry points.
//
// Everything here is declarations only, so a host can include this header without
// linking any plug-in code. Interfaces are abstract classes without data; the
// objects behind them are owned by the side that created them, except the
// reference-counted plug-in objects, which the host gives back with Release().

#include "corvid/aax/enums.h"

#include <atomic>
#include <cstdint>

using AAX_CTypeID = std::uint32_t;
using AAX_CBoolean = std::uint8_t;
using AAX_CFieldIndex = std::int32_t;
using AAX_CParamID = const char*;
using AAX_CPropertyValue = std::uint32_t;
using AAX_CSampleRate = float;

// Packs four characters first character in the top byte.
inline constexpr AAX_CTypeID AAX_FourCC(char a, char b, char c, char d) {
    return static_cast<AAX_CTypeID>(static_cast<unsigned char>(a)) << 24 |
           static_cast<AAX_CTypeID>(static_cast<unsigned char>(b)) << 16 |
           static_cast<AAX_CTypeID>(static_cast<unsigned char>(c)) << 8 |
           static_cast<AAX_CTypeID>(static_cast<unsigned char>(d));
}

struct AAX_Point {
    float vert = 0.0f;
    float horz = 0.0f;
};

// A chunk as exchanged with the host. On GetChunk, fSize holds the capacity of
// fData on entry and the written length on return; on SetChunk and compare it is
// the length of fData.
struct AAX_SPlugInChunk {
    std::int32_t fSize = 0;
    std::int32_t fVersion = 0;
    AAX_CTypeID fManufacturerID = 0;
    AAX_CTypeID fProductID = 0;
    AAX_CTypeID fPlugInID = 0;
    AAX_CTypeID fChunkID = 0;
    char fName[32] = {};
    std::uint8_t* fData = nullptr;
};

// Header of an exported preset blob: six big-endian 32-bit words (total length,
// version, manufacturer, product, plug-in and chunk IDs), then a 32-byte name
// field, then the chunk data.
inline constexpr std::int32_t AAX_kPresetBlobHeaderSize = 56;

struct AAX_CMidiPacket {
    std::uint32_t mTimestamp = 0; // frame offset within the block
    std::uint32_t mLength = 0;
    std::uint8_t mData[4] = {};
    AAX_CBoolean mIsImmediate = 0;
};

struct AAX_CMidiStream {
    std::uint32_t mBufferSize = 0; // number of packets
    const AAX_CMidiPacket* mBuffer = nullptr;
};

// ---- host objects

// A text owned by the host. Set copies the text.
class AAX_IString {
public:
    virtual std::uint32_t Length() const = 0;
    virtual const char* Get() const = 0;
    virtual void Set(const char* text) = 0;

protected:
    ~AAX_IString() = default;
};

class AAX_IACFPropertyMap {
public:
    virtual AAX_Result AddProperty(std::uint32_t property, AAX_CPropertyValue value) = 0;
    // False when the property is not in the map.
    virtual AAX_CBoolean GetProperty(std::uint32_t property, AAX_CPropertyValue* value) const = 0;

protected:
    ~AAX_IACFPropertyMap() = default;
};

// Render entry: called with an array of context pointers, one per instance, each
// pointing at AAX_eField_Count pointer-sized fields.
using AAX_CRenderProc = void (*)(void* const instancesBegin[], const void* instancesEnd);

class AAX_IACFComponentDescriptor {
public:
    virtual AAX_Result AddAudioIn(AAX_CFieldIndex field) = 0;
    virtual AAX_Result AddAudioOut(AAX_CFieldIndex field) = 0;
    virtual AAX_Result AddAudioBufferLength(AAX_CFieldIndex field) = 0;
    virtual AAX_Result AddMIDINode(AAX_CFieldIndex field, AAX_EMIDINodeType type, const char* name,
                                   std::uint32_t channelMask) = 0;
    // The host allocates size bytes per instance and hands them to the plug-in's
    // ResetFieldData before the first render.
    virtual AAX_Result AddPrivateData(AAX_CFieldIndex field, std::int32_t size,
                                      std::uint32_t options) = 0;
    virtual AAX_IACFPropertyMap* NewPropertyMap() = 0;
    virtual AAX_Result AddProcessProc(AAX_CRenderProc proc, AAX_IACFPropertyMap* properties) = 0;

protected:
    ~AAX_IACFComponentDescriptor() = default;
};

class AAX_IACFEffectDescriptor {
public:
    virtual AAX_IACFComponentDescriptor* NewComponentDescriptor() = 0;
    virtual AAX_Result AddComponent(AAX_IACFComponentDescriptor* component) = 0;
    virtual AAX_Result AddName(const char* name) = 0;
    virtual AAX_Result AddCategory(std::uint32_t category) = 0;
    virtual AAX_Result AddProcPtr(void* proc, AAX_EProcPtrID id) = 0;

protected:
    ~AAX_IACFEffectDescriptor() = default;
};

class AAX_IACFCollection {
public:
    virtual AAX_IACFEffectDescriptor* NewDescriptor() = 0;
    virtual AAX_Result AddEffect(const char* effectID, AAX_IACFEffectDescriptor* effect) = 0;
    virtual AAX_Result SetManufacturerName(const char* name) = 0;
    virtual AAX_Result AddPackageName(const char* name) = 0;
    virtual AAX_Result SetPackageVersion(std::uint32_t version) = 0;

protected:
    ~AAX_IACFCollection() = default;
};

class AAX_IACFHostServices {
public:
    virtual AAX_Result Trace(std::int32_t priority, const char* message) = 0;

protected:
    ~AAX_IACFHostServices() = default;
};

// The host object handed to the exported entry points.
class AAX_IACFHost {
public:
    virtual AAX_IACFHostServices* GetHostServices() = 0;
    virtual AAX_IACFCollection* NewCollection() = 0;

protected:
    ~AAX_IACFHost() = default;
};

class AAX_IACFAutomationDelegate {
public:
    virtual AAX_Result RegisterParameter(AAX_CParamID id) = 0;
    virtual AAX_Result UnregisterParameter(AAX_CParamID id) = 0;
    virtual AAX_Result PostSetValueRequest(AAX_CParamID id, double normalized) = 0;
    virtual AAX_Result PostTouchRequest(AAX_CParamID id) = 0;
    virtual AAX_Result PostReleaseRequest(AAX_CParamID id) = 0;

protected:
    ~AAX_IACFAutomationDelegate() = default;
};

class AAX_IACFEffectParameters;

// The host's view of one plug-in instance.
class AAX_IACFController {
public:
    virtual AAX_Result GetSampleRate(AAX_CSampleRate* rate) const = 0;
    virtual AAX_Result GetInputStemFormat(std::uint32_t* stem) const = 0;
    virtual AAX_Result GetOutputStemFormat(std::uint32_t* stem) const = 0;
    virtual AAX_Result SetSignalLatency(std::int32_t samples) = 0;
    // Null when the host offers no automation.
    virtual AAX_IACFAutomationDelegate* GetAutomationDelegate() = 0;
    virtual AAX_IACFEffectParameters* GetEffectParameters() = 0;

protected:
    ~AAX_IACFController() = default;
};

class AAX_IACFViewContainer {
public:
    virtual AAX_EViewContainer_Type GetType() const = 0;
    virtual void* GetPtr() const = 0;

protected:
    ~AAX_IACFViewContainer() = default;
};

class AAX_ITransport {
public:
    virtual AAX_Result GetCurrentTempo(double* bpm) const = 0;
    virtual AAX_Result GetCurrentNativeSampleLocation(std::int64_t* location) const = 0;
    virtual AAX_Result IsTransportPlaying(bool* playing) const = 0;

protected:
    ~AAX_ITransport() = default;
};

class AAX_IMIDINode {
public:
    virtual AAX_CMidiStream* GetNodeBuffer() = 0;
    virtual AAX_ITransport* GetTransport() = 0;

protected:
    ~AAX_IMIDINode() = default;
};

// ---- plug-in objects

class AAX_IACFUnknown {
public:
    virtual std::uint32_t AddRef() = 0;
    // Drops one reference; the object is gone when the count reaches zero.
    virtual std::uint32_t Release() = 0;

protected:
    ~AAX_IACFUnknown() = default;
};

class AAX_IACFEffectParameters : public AAX_IACFUnknown {
public:
    virtual AAX_Result Initialize(AAX_IACFController* controller) = 0;
    virtual AAX_Result Uninitialize() = 0;

    virtual AAX_Result GetNumberOfParameters(std::int32_t* count) const = 0;
    virtual AAX_Result GetMasterBypassParameter(AAX_IString* id) const = 0;
    virtual AAX_Result GetParameterIsAutomatable(AAX_CParamID id, AAX_CBoolean* result) const = 0;
    virtual AAX_Result GetParameterNumberOfSteps(AAX_CParamID id, std::int32_t* steps) const = 0;
    virtual AAX_Result GetParameterName(AAX_CParamID id, AAX_IString* name) const = 0;
    virtual AAX_Result GetParameterNameOfLength(AAX_CParamID id, AAX_IString* name,
                                                std::int32_t length) const = 0;
    virtual AAX_Result GetParameterDefaultNormalizedValue(AAX_CParamID id, double* value) const = 0;
    virtual AAX_Result SetParameterDefaultNormalizedValue(AAX_CParamID id, double value) = 0;
    virtual AAX_Result GetParameterType(AAX_CParamID id, AAX_EParameterType* type) const = 0;
    virtual AAX_Result GetParameterValueFromString(AAX_CParamID id, double* value,
                                                   const AAX_IString& text) const = 0;
    virtual AAX_Result GetParameterStringFromValue(AAX_CParamID id, double value, AAX_IString* text,
                                                   std::int32_t maxLength) const = 0;
    virtual AAX_Result GetParameterValueString(AAX_CParamID id, AAX_IString* text,
                                               std::int32_t maxLength) const = 0;
    virtual AAX_Result GetParameterNormalizedValue(AAX_CParamID id, double* value) const = 0;
    virtual AAX_Result SetParameterNormalizedValue(AAX_CParamID id, double value) = 0;
    virtual AAX_Result SetParameterNormalizedRelative(AAX_CParamID id, double delta) = 0;
    virtual AAX_Result TouchParameter(AAX_CParamID id) = 0;
    virtual AAX_Result ReleaseParameter(AAX_CParamID id) = 0;

    virtual AAX_Result GetNumberOfChunks(std::int32_t* count) const = 0;
    virtual AAX_Result GetChunkIDFromIndex(std::int32_t index, AAX_CTypeID* id) const = 0;
    virtual AAX_Result GetChunkSize(AAX_CTypeID id, std::uint32_t* size) const = 0;
    virtual AAX_Result GetChunk(AAX_CTypeID id, AAX_SPlugInChunk* chunk) const = 0;
    virtual AAX_Result SetChunk(AAX_CTypeID id, const AAX_SPlugInChunk* chunk) = 0;
    virtual AAX_Result CompareActiveChunk(const AAX_SPlugInChunk* chunk,
                                          AAX_CBoolean* isEqual) const = 0;
    virtual AAX_Result GetNumberOfChanges(std::int32_t* changes) const = 0;

    // Hands the plug-in the per-instance block of a private-data field.
    virtual AAX_Result ResetFieldData(AAX_CFieldIndex field, void* data, std::uint32_t size) = 0;

protected:
    ~AAX_IACFEffectParameters() = default;
};

class AAX_IACFEffectGUI : public AAX_IACFUnknown {
public:
    virtual AAX_Result Initialize(AAX_IACFController* controller) = 0;
    virtual AAX_Result Uninitialize() = 0;
    // Null clears the container: the editor window goes away.
    virtual AAX_Result SetViewContainer(AAX_IACFViewContainer* container) = 0;
    virtual AAX_Result GetViewSize(AAX_Point* size) const = 0;
    // Called by the host periodically on its main thread while the view is open.
    virtual AAX_Result TimerWakeup() = 0;

protected:
    ~AAX_IACFEffectGUI() = default;
};

using AAX_CEffectParametersFactory = AAX_IACFEffectParameters* (*)();
using AAX_CEffectGUIFactory = AAX_IACFEffectGUI* (*)();

// ---- exported entry points (C linkage)

struct acfUID {
    std::uint32_t data1 = 0;
    std::uint16_t data2 = 0;
    std::uint16_t data3 = 0;
    std::uint8_t data4[8] = {};
};

// Receives one factory preset: its name, the blob and the blob's length.
using CorvidTFXCallback = void (*)(const char* name, const std::uint8_t* blob, std::int32_t length,
                                   void* userData);

extern "C" {
using ACFStartupProc = AAX_Result (*)(AAX_IACFHost* host);
using ACFShutdownProc = AAX_Result (*)(AAX_IACFHost* host);
// Number of live plug-in objects; 0 means the library may be unloaded.
using ACFCanUnloadNowProc = AAX_Result (*)(AAX_IACFHost* host);
using ACFGetSDKVersionProc = AAX_Result (*)(std::uint64_t* version);
using ACFGetClassFactoryProc = AAX_Result (*)(AAX_IACFHost* host, const acfUID* classID,
                                              const acfUID* interfaceID, void** factory);
using ACFRegisterComponentProc = AAX_Result (*)(AAX_IACFHost* host, std::uint32_t index,
                                                void** definition);
// Describes the effect into a collection made by the host and hands it back.
using ACFRegisterPluginProc = AAX_Result (*)(AAX_IACFHost* host, AAX_IACFCollection** definition);
using CorvidEnumerateTFXProc = AAX_Result (*)(CorvidTFXCallback callback, void* userData);
}

// ---- plug-in side base of every reference-counted object handed to the host

// Counts its live instances so the library can tell the host whether it may be
// unloaded. The host holds the first reference; the last Release destroys the
// object, since the host cannot know how the plug-in allocated it.
template <class Interface>
class AAX_CACFUnknown : public Interface {
public:
    AAX_CACFUnknown();
    virtual ~AAX_CACFUnknown();
    AAX_CACFUnknown(const AAX_CACFUnknown&) = delete;
    AAX_CACFUnknown& operator=(const AAX_CACFUnknown&) = delete;

    std::uint32_t AddRef() override { return ++references_; }
    std::uint32_t Release() override {
        const std::uint32_t left = --references_;
        if (left == 0) delete this;
        return left;
    }

private:
    std::atomic<std::uint32_t> references_{1};
};

// Live plug-in objects of this library.
std::int32_t AAX_LiveObjectCount();
void AAX_AddLiveObject(std::int32_t delta);

template <class Interface>
AAX_CACFUnknown<Interface>::AAX_CACFUnknown() {
    AAX_AddLiveObject(1);
}

template <class Interface>
AAX_CACFUnknown<Interface>::~AAX_CACFUnknown() {
    AAX_AddLiveObject(-1);
}
