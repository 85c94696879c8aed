#pragma once
// Describing the effect to the host: the wrappers of the host's description
// objects and the translation of a client's declarations into them.

#include "corvid/aax/acf.h"
#include "corvid/client/client.h"

#include <cstdint>
#include <string>

namespace corvid::aax {

class AAX_VPropertyMap {
public:
    explicit AAX_VPropertyMap(AAX_IACFPropertyMap* map) : map_(map) {}
    AAX_Result AddProperty(std::uint32_t property, AAX_CPropertyValue value);
    AAX_IACFPropertyMap* get() const { return map_; }

private:
    AAX_IACFPropertyMap* map_;
};

class AAX_VComponentDescriptor {
public:
    explicit AAX_VComponentDescriptor(AAX_IACFComponentDescriptor* component)
        : component_(component) {}
    AAX_Result AddAudioIn(AAX_CFieldIndex field);
    AAX_Result AddAudioOut(AAX_CFieldIndex field);
    AAX_Result AddAudioBufferLength(AAX_CFieldIndex field);
    AAX_Result AddMIDINode(AAX_CFieldIndex field, AAX_EMIDINodeType type, const char* name,
                           std::uint32_t channelMask);
    AAX_Result AddPrivateData(AAX_CFieldIndex field, std::int32_t size);
    AAX_VPropertyMap NewPropertyMap();
    AAX_Result AddProcessProc(AAX_CRenderProc proc, const AAX_VPropertyMap& properties);
    AAX_IACFComponentDescriptor* get() const { return component_; }

private:
    AAX_IACFComponentDescriptor* component_;
};

class AAX_VEffectDescriptor {
public:
    explicit AAX_VEffectDescriptor(AAX_IACFEffectDescriptor* effect) : effect_(effect) {}
    AAX_VComponentDescriptor NewComponentDescriptor();
    AAX_Result AddComponent(const AAX_VComponentDescriptor& component);
    AAX_Result AddName(const std::string& name);
    AAX_Result AddCategory(std::uint32_t category);
    AAX_Result AddProcPtr(void* proc, AAX_EProcPtrID id);
    AAX_IACFEffectDescriptor* get() const { return effect_; }

private:
    AAX_IACFEffectDescriptor* effect_;
};

class AAX_VCollection {
public:
    explicit AAX_VCollection(AAX_IACFCollection* collection) : collection_(collection) {}
    AAX_VEffectDescriptor NewDescriptor();
    AAX_Result AddEffect(const std::string& effectID, const AAX_VEffectDescriptor& effect);
    AAX_Result SetManufacturerName(const std::string& name);
    AAX_Result AddPackageName(const std::string& name);
    AAX_Result SetPackageVersion(std::uint32_t version);
    AAX_IACFCollection* get() const { return collection_; }

private:
    AAX_IACFCollection* collection_;
};

// Four characters of a code, first in the top byte; missing characters count as 0.
AAX_CTypeID fourCharCode(const std::string& code);
// Native ID of a layout: the plug-in code's first two characters, then the input
// and output counts as digits. The AudioSuite ID bumps the second character.
AAX_CTypeID nativePlugInID(const PluginDescription& info, const ChannelLayout& layout);
AAX_CTypeID audioSuitePlugInID(const PluginDescription& info, const ChannelLayout& layout);
AAX_EStemFormat stemFormatForChannels(std::int32_t channels);
std::uint32_t categoryBits(EffectCategory category);

struct EffectFactories {
    AAX_CEffectParametersFactory parameters = nullptr;
    AAX_CEffectGUIFactory gui = nullptr;
    AAX_CRenderProc render = nullptr;
};

// Describes one effect with one component per channel layout of the client.
AAX_Result describeEffect(Client& client, AAX_VCollection& collection,
                          const EffectFactories& factories);

} // namespace corvid::aax
