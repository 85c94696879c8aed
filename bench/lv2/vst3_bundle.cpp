#include "bench/lv2/vst3_bundle.h"

#include <dlfcn.h>

#include <stdexcept>

namespace vst3bench {

namespace {

template <class Interface>
Interface* query(FUnknown* object) {
    void* found = nullptr;
    if (object->queryInterface(Interface::iid.bytes, &found) != kResultOk || !found)
        throw std::runtime_error("the VST3 component lacks an interface");
    return static_cast<Interface*>(found);
}

} // namespace

Bundle::Bundle(const std::string& path, double rate, int32 maxBlock, int32 inputs)
    : inputs_(inputs) {
    const std::string so = path + "/Contents/x86_64-linux/Spatium.so";
    library_ = dlopen(so.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library_) throw std::runtime_error("cannot load " + so);
    using GetFactory = IPluginFactory* (*)();
    using Entry = bool (*)(void*);
    if (auto entry = reinterpret_cast<Entry>(dlsym(library_, "ModuleEntry"))) entry(library_);
    auto getFactory = reinterpret_cast<GetFactory>(dlsym(library_, "GetPluginFactory"));
    if (!getFactory) throw std::runtime_error("no GetPluginFactory in " + so);
    IPluginFactory* factory = getFactory();
    PClassInfo info{};
    if (!factory || factory->getClassInfo(0, &info) != kResultOk)
        throw std::runtime_error("the factory lists no class");
    void* made = nullptr;
    if (factory->createInstance(info.cid, IComponent::iid.bytes, &made) != kResultOk)
        throw std::runtime_error("the factory made no component");
    component_ = static_cast<IComponent*>(made);
    component_->initialize(nullptr);
    processor_ = query<IAudioProcessor>(component_);
    controller_ = query<IEditController>(component_);
    SpeakerArrangement in = inputs == 1 ? speaker::kMono : speaker::kStereo;
    SpeakerArrangement out = speaker::kStereo;
    processor_->setBusArrangements(&in, 1, &out, 1);
    ProcessSetup setup{kRealtime, kSample32, maxBlock, rate};
    processor_->setupProcessing(setup);
    component_->setActive(1);
    processor_->setProcessing(1);
}

Bundle::~Bundle() {
    processor_->setProcessing(0);
    component_->setActive(0);
    component_->terminate();
    controller_->release();
    processor_->release();
    component_->release();
    using Exit = bool (*)();
    if (auto exit = reinterpret_cast<Exit>(dlsym(library_, "ModuleExit"))) exit();
    dlclose(library_);
}

double Bundle::normalizedFor(ParamID id, double plain) {
    return controller_->plainParamToNormalized(id, plain);
}

void Bundle::setPlain(ParamID id, double plain) {
    controller_->setParamNormalized(id, normalizedFor(id, plain));
}

void Bundle::process(const float* const* in, float* const* out, int32 frames,
                     IParameterChanges* changes) {
    vst3test::Block block(const_cast<float* const*>(in), inputs_, out, frames, changes);
    processor_->process(block.data);
}

} // namespace vst3bench
