#include "corvid/vst3/factory.h"

#include "corvid/vst3/component.h"
#include "corvid/vst3/text.h"

#include <cstdio>
#include <cstring>

namespace corvid::vst3 {

const char* subCategoriesFor(EffectCategory category) {
    switch (category) {
    case EffectCategory::delay:
        return "Fx|Delay";
    case EffectCategory::harmonic:
        return "Fx|Distortion";
    case EffectCategory::dynamics:
        return "Fx|Dynamics";
    case EffectCategory::eq:
        return "Fx|EQ";
    case EffectCategory::soundField:
        return "Fx|Spatial";
    case EffectCategory::modulation:
        return "Fx|Modulation";
    case EffectCategory::pitchShift:
        return "Fx|Pitch Shift";
    case EffectCategory::reverb:
        return "Fx|Reverb";
    case EffectCategory::analyzer:
        return "Fx|Analyzer";
    case EffectCategory::generator:
        return "Generator";
    case EffectCategory::synth:
        return "Instrument|Synth";
    case EffectCategory::sampler:
        return "Instrument|Sampler";
    case EffectCategory::drum:
        return "Instrument|Drum";
    case EffectCategory::effect:
        break;
    }
    return "Fx";
}

Factory::Factory(ClientFactory create, Uid classId) : create_(create), classId_(classId) {
    info_ = create_()->info();
}

tresult Factory::queryInterface(const TUID iid, void** obj) {
    if (!obj) return kInvalidArgument;
    *obj = nullptr;
    if (!iid) return kInvalidArgument;
    if (!FUnknown::iid.matches(iid) && !IPluginFactory::iid.matches(iid) &&
        !IPluginFactory2::iid.matches(iid))
        return kNoInterface;
    *obj = static_cast<IPluginFactory2*>(this);
    return kResultOk;
}

tresult Factory::getFactoryInfo(PFactoryInfo* info) {
    if (!info) return kInvalidArgument;
    std::memset(info, 0, sizeof *info);
    copyChars(info_.vendorName, info->vendor);
    info->flags = PFactoryInfo::kNoFlags;
    return kResultOk;
}

// The fields both class infos share, in the same places.
template <class Info>
void Factory::fillClassInfo(Info& info) const {
    std::memset(&info, 0, sizeof info);
    std::memcpy(info.cid, classId_.bytes, sizeof info.cid);
    info.cardinality = PClassInfo::kManyInstances;
    copyChars(kVstAudioEffectClass, info.category);
    copyChars(info_.pluginName, info.name);
}

tresult Factory::getClassInfo(int32 index, PClassInfo* info) {
    if (index != 0 || !info) return kInvalidArgument;
    fillClassInfo(*info);
    return kResultOk;
}

tresult Factory::getClassInfo2(int32 index, PClassInfo2* info) {
    if (index != 0 || !info) return kInvalidArgument;
    fillClassInfo(*info);
    copyChars(subCategoriesFor(info_.category), info->subCategories);
    copyChars(info_.vendorName, info->vendor);
    char version[64];
    std::snprintf(version, sizeof version, "%d.%d.%d", info_.versionMajor, info_.versionMinor,
                  info_.versionPatch);
    copyChars(version, info->version);
    copyChars("VST 3.7.14", info->sdkVersion);
    return kResultOk;
}

tresult Factory::createInstance(FIDString cid, FIDString iid, void** obj) {
    if (!obj) return kInvalidArgument;
    *obj = nullptr;
    if (!cid || !iid) return kInvalidArgument;
    if (!classId_.matches(cid)) return kNoInterface;
    auto* component = new Component(create_());
    const tresult result = component->queryInterface(iid, obj);
    component->release();
    return result;
}

IPluginFactory* factory(ClientFactory create, Uid classId) {
    static Factory instance(create, classId);
    return &instance;
}

} // namespace corvid::vst3
