#include "corvid/aax/describe.h"

namespace corvid::aax {

namespace {

constexpr std::int32_t kPrivateDataSize = 8; // room for the adapter's pointer
constexpr std::uint32_t kAllMidiChannels = 0xFFFF;
constexpr std::size_t kEffectNameShort = 31;
// The description comes before any sample rate is known; the product's latency is
// asked at the most common one.
constexpr double kDescriptionRate = 48000.0;
constexpr std::size_t kPackageNameShort = 16;

// Keeps the first failure of a sequence of host calls.
class FirstError {
public:
    void operator()(AAX_Result result) {
        if (result_ == AAX_SUCCESS) result_ = result;
    }
    AAX_Result result() const { return result_; }

private:
    AAX_Result result_ = AAX_SUCCESS;
};

} // namespace

AAX_Result AAX_VPropertyMap::AddProperty(std::uint32_t property, AAX_CPropertyValue value) {
    return map_ ? map_->AddProperty(property, value) : AAX_ERROR_NULL_ARGUMENT;
}

AAX_Result AAX_VComponentDescriptor::AddAudioIn(AAX_CFieldIndex field) {
    return component_ ? component_->AddAudioIn(field) : AAX_ERROR_NULL_ARGUMENT;
}

AAX_Result AAX_VComponentDescriptor::AddAudioOut(AAX_CFieldIndex field) {
    return component_ ? component_->AddAudioOut(field) : AAX_ERROR_NULL_ARGUMENT;
}

AAX_Result AAX_VComponentDescriptor::AddAudioBufferLength(AAX_CFieldIndex field) {
    return component_ ? component_->AddAudioBufferLength(field) : AAX_ERROR_NULL_ARGUMENT;
}

AAX_Result AAX_VComponentDescriptor::AddMIDINode(AAX_CFieldIndex field, AAX_EMIDINodeType type,
                                                 const char* name, std::uint32_t channelMask) {
    return component_ ? component_->AddMIDINode(field, type, name, channelMask)
                      : AAX_ERROR_NULL_ARGUMENT;
}

AAX_Result AAX_VComponentDescriptor::AddPrivateData(AAX_CFieldIndex field, std::int32_t size) {
    return component_ ? component_->AddPrivateData(field, size, 0) : AAX_ERROR_NULL_ARGUMENT;
}

AAX_VPropertyMap AAX_VComponentDescriptor::NewPropertyMap() {
    return AAX_VPropertyMap(component_ ? component_->NewPropertyMap() : nullptr);
}

AAX_Result AAX_VComponentDescriptor::AddProcessProc(AAX_CRenderProc proc,
                                                    const AAX_VPropertyMap& properties) {
    if (!component_ || !properties.get()) return AAX_ERROR_NULL_ARGUMENT;
    return component_->AddProcessProc(proc, properties.get());
}

AAX_VComponentDescriptor AAX_VEffectDescriptor::NewComponentDescriptor() {
    return AAX_VComponentDescriptor(effect_ ? effect_->NewComponentDescriptor() : nullptr);
}

AAX_Result AAX_VEffectDescriptor::AddComponent(const AAX_VComponentDescriptor& component) {
    if (!effect_ || !component.get()) return AAX_ERROR_NULL_ARGUMENT;
    return effect_->AddComponent(component.get());
}

AAX_Result AAX_VEffectDescriptor::AddName(const std::string& name) {
    return effect_ ? effect_->AddName(name.c_str()) : AAX_ERROR_NULL_ARGUMENT;
}

AAX_Result AAX_VEffectDescriptor::AddCategory(std::uint32_t category) {
    return effect_ ? effect_->AddCategory(category) : AAX_ERROR_NULL_ARGUMENT;
}

AAX_Result AAX_VEffectDescriptor::AddProcPtr(void* proc, AAX_EProcPtrID id) {
    return effect_ ? effect_->AddProcPtr(proc, id) : AAX_ERROR_NULL_ARGUMENT;
}

AAX_VEffectDescriptor AAX_VCollection::NewDescriptor() {
    return AAX_VEffectDescriptor(collection_ ? collection_->NewDescriptor() : nullptr);
}

AAX_Result AAX_VCollection::AddEffect(const std::string& effectID,
                                      const AAX_VEffectDescriptor& effect) {
    if (!collection_ || !effect.get()) return AAX_ERROR_NULL_ARGUMENT;
    return collection_->AddEffect(effectID.c_str(), effect.get());
}

AAX_Result AAX_VCollection::SetManufacturerName(const std::string& name) {
    return collection_ ? collection_->SetManufacturerName(name.c_str()) : AAX_ERROR_NULL_ARGUMENT;
}

AAX_Result AAX_VCollection::AddPackageName(const std::string& name) {
    return collection_ ? collection_->AddPackageName(name.c_str()) : AAX_ERROR_NULL_ARGUMENT;
}

AAX_Result AAX_VCollection::SetPackageVersion(std::uint32_t version) {
    return collection_ ? collection_->SetPackageVersion(version) : AAX_ERROR_NULL_ARGUMENT;
}

AAX_CTypeID fourCharCode(const std::string& code) {
    char c[4] = {0, 0, 0, 0};
    for (std::size_t i = 0; i < 4 && i < code.size(); ++i) c[i] = code[i];
    return AAX_FourCC(c[0], c[1], c[2], c[3]);
}

AAX_CTypeID nativePlugInID(const PluginDescription& info, const ChannelLayout& layout) {
    const AAX_CTypeID code = fourCharCode(info.pluginCode);
    const auto digit = [](std::int32_t n) { return static_cast<AAX_CTypeID>('0' + n) & 0xFFu; };
    return (code & 0xFFFF0000u) | digit(layout.numInputs) << 8 | digit(layout.numOutputs);
}

AAX_CTypeID audioSuitePlugInID(const PluginDescription& info, const ChannelLayout& layout) {
    const AAX_CTypeID native = nativePlugInID(info, layout);
    const AAX_CTypeID second = ((native >> 16) + 1) & 0xFFu;
    return (native & 0xFF00FFFFu) | second << 16;
}

AAX_EStemFormat stemFormatForChannels(std::int32_t channels) {
    switch (channels) {
    case 1:
        return AAX_eStemFormat_Mono;
    case 2:
        return AAX_eStemFormat_Stereo;
    case 3:
        return AAX_eStemFormat_LCR;
    case 4:
        return AAX_eStemFormat_Quad;
    case 5:
        return AAX_eStemFormat_5_0;
    case 6:
        return AAX_eStemFormat_5_1;
    case 7:
        return AAX_eStemFormat_6_1;
    case 8:
        return AAX_eStemFormat_7_1_DTS;
    default:
        return AAX_eStemFormat_None;
    }
}

std::uint32_t categoryBits(EffectCategory category) {
    switch (static_cast<std::int32_t>(category)) {
    case 1:
        return AAX_ePlugInCategory_Delay;
    case 2:
        return AAX_ePlugInCategory_Harmonic;
    case 3:
        return AAX_ePlugInCategory_Dynamics;
    case 4:
        return AAX_ePlugInCategory_EQ;
    case 5:
        return AAX_ePlugInCategory_SoundField;
    case 6:
        return AAX_ePlugInCategory_Modulation;
    case 7:
        return AAX_ePlugInCategory_PitchShift;
    case 8:
        return AAX_ePlugInCategory_Reverb;
    case 10:
    case 11:
    case 12:
    case 13:
        return AAX_ePlugInCategory_SWGenerators;
    default:
        return AAX_ePlugInCategory_Effect;
    }
}

AAX_Result describeEffect(Client& client, AAX_VCollection& collection,
                          const EffectFactories& factories) {
    const PluginDescription& info = client.info();
    FirstError status;

    AAX_VEffectDescriptor effect = collection.NewDescriptor();
    if (!effect.get()) return AAX_ERROR_NULL_ARGUMENT;
    // Hosts with narrow name fields pick the longest name that fits.
    status(effect.AddName(info.pluginName));
    if (info.pluginName.size() > kEffectNameShort)
        status(effect.AddName(info.pluginName.substr(0, kEffectNameShort)));
    status(effect.AddCategory(categoryBits(info.category)));

    for (const ChannelLayout& layout : client.channelLayouts()) {
        AAX_VComponentDescriptor component = effect.NewComponentDescriptor();
        if (!component.get()) return AAX_ERROR_NULL_ARGUMENT;
        status(component.AddAudioIn(AAX_eField_AudioIn));
        status(component.AddAudioOut(AAX_eField_AudioOut));
        status(component.AddAudioBufferLength(AAX_eField_BufferLength));
        if (info.receivesMidi)
            status(component.AddMIDINode(AAX_eField_MIDIInput, AAX_eMIDINodeType_LocalInput,
                                         "InputMIDI", kAllMidiChannels));
        status(component.AddMIDINode(AAX_eField_Transport, AAX_eMIDINodeType_Transport, "Transport",
                                     0));
        status(component.AddPrivateData(AAX_eField_PrivateData, kPrivateDataSize));

        AAX_VPropertyMap properties = component.NewPropertyMap();
        status(properties.AddProperty(AAX_eProperty_ManufacturerID, fourCharCode(info.vendorCode)));
        status(properties.AddProperty(AAX_eProperty_ProductID, fourCharCode(info.pluginCode)));
        status(properties.AddProperty(AAX_eProperty_PlugInID_Native, nativePlugInID(info, layout)));
        status(properties.AddProperty(AAX_eProperty_PlugInID_AudioSuite,
                                      audioSuitePlugInID(info, layout)));
        status(properties.AddProperty(AAX_eProperty_UsesClientGUI, 1));
        status(properties.AddProperty(AAX_eProperty_InputStemFormat,
                                      stemFormatForChannels(layout.numInputs)));
        status(properties.AddProperty(AAX_eProperty_OutputStemFormat,
                                      stemFormatForChannels(layout.numOutputs)));
        status(properties.AddProperty(AAX_eProperty_LatencyContribution,
                                      client.latencyInSamples(kDescriptionRate)));
        status(properties.AddProperty(AAX_eProperty_CanBypass, 0));
        status(component.AddProcessProc(factories.render, properties));
        status(effect.AddComponent(component));
    }

    status(effect.AddProcPtr(reinterpret_cast<void*>(factories.parameters),
                             AAX_eProcPtrID_Create_EffectParameters));
    if (info.hasEditor && factories.gui)
        status(effect.AddProcPtr(reinterpret_cast<void*>(factories.gui),
                                 AAX_eProcPtrID_Create_EffectGUI));
    status(collection.AddEffect(info.aaxBundleId, effect));

    status(collection.AddPackageName(info.pluginName));
    if (info.pluginName.size() > kPackageNameShort)
        status(collection.AddPackageName(info.pluginName.substr(0, kPackageNameShort)));
    status(collection.SetManufacturerName(info.vendorName));
    status(collection.SetPackageVersion(static_cast<std::uint32_t>(info.versionMajor)));
    return status.result();
}

} // namespace corvid::aax
