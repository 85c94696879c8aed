#include "tests/vst3/host.h"

#include <algorithm>
#include <cstring>
#include <filesystem>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace vst3host {

bool sameUid(const char* a, const Uid& b) {
    return a != nullptr && std::memcmp(a, b.bytes, 16) == 0;
}

namespace {

template <class T>
tresult answer(T* self, const char* iid, void** object, std::initializer_list<Uid> ids) {
    if (object == nullptr) return kInvalidArgument;
    for (const Uid& id : ids)
        if (sameUid(iid, id)) {
            self->addRef();
            *object = self;
            return kResultOk;
        }
    *object = nullptr;
    return kNoInterface;
}

std::string fixed(const char* text, std::size_t capacity) {
    return std::string(text, strnlen(text, capacity));
}

} // namespace

std::string utf8(const char16* text, std::size_t capacity) {
    std::string out;
    for (std::size_t i = 0; i < capacity && text[i] != 0; ++i) {
        std::uint32_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < capacity && text[i + 1] >= 0xDC00 &&
            text[i + 1] < 0xE000)
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00u);
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | c >> 6);
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | c >> 12);
            out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | c >> 18);
            out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
            out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::u16string utf16(const std::string& text) {
    std::u16string out;
    for (std::size_t i = 0; i < text.size();) {
        const auto b = static_cast<unsigned char>(text[i]);
        const int length = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
        std::uint32_t c = length == 1 ? b : length == 2 ? b & 0x1F : length == 3 ? b & 0x0F : b & 7;
        for (int k = 1; k < length && i + static_cast<std::size_t>(k) < text.size(); ++k)
            c = c << 6 | (static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]) & 0x3F);
        i += static_cast<std::size_t>(length);
        if (c >= 0x10000) {
            out += static_cast<char16>(0xD800 + ((c - 0x10000) >> 10));
            out += static_cast<char16>(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            out += static_cast<char16>(c);
        }
    }
    return out;
}

std::string resultText(tresult result) {
    switch (result) {
    case kResultOk:
        return "kResultOk";
    case kResultFalse:
        return "kResultFalse";
    case kNoInterface:
        return "kNoInterface";
    case kInvalidArgument:
        return "kInvalidArgument";
    case kNotImplemented:
        return "kNotImplemented";
    case kInternalError:
        return "kInternalError";
    case kNotInitialized:
        return "kNotInitialized";
    case kOutOfMemory:
        return "kOutOfMemory";
    default:
        return "result " + std::to_string(result);
    }
}

// ---- host objects

tresult HostApplication::queryInterface(const char* iid, void** object) {
    return answer(this, iid, object, {kFUnknownIid, kIHostApplicationIid});
}

tresult HostApplication::getName(String128 name) {
    const std::u16string text = u"vst3host";
    std::copy(text.begin(), text.end(), name);
    name[text.size()] = 0;
    return kResultOk;
}

tresult HostApplication::createInstance(char*, char*, void** object) {
    // No messages or attribute lists: the plug-in is one component.
    if (object) *object = nullptr;
    return kNoInterface;
}

tresult MemoryStream::queryInterface(const char* iid, void** object) {
    return answer(this, iid, object, {kFUnknownIid, kIBStreamIid});
}

tresult MemoryStream::read(void* buffer, std::int32_t bytes, std::int32_t* done) {
    if (bytes < 0 || (buffer == nullptr && bytes > 0)) return kInvalidArgument;
    const std::size_t n = std::min(static_cast<std::size_t>(bytes),
                                   bytes_.size() - std::min(position_, bytes_.size()));
    if (n) std::memcpy(buffer, bytes_.data() + position_, n);
    position_ += n;
    if (done) *done = static_cast<std::int32_t>(n);
    return kResultOk;
}

tresult MemoryStream::write(void* buffer, std::int32_t bytes, std::int32_t* done) {
    if (bytes < 0 || (buffer == nullptr && bytes > 0)) return kInvalidArgument;
    const auto* b = static_cast<const std::uint8_t*>(buffer);
    if (bytes_.size() < position_ + static_cast<std::size_t>(bytes))
        bytes_.resize(position_ + static_cast<std::size_t>(bytes));
    if (bytes) std::memcpy(bytes_.data() + position_, b, static_cast<std::size_t>(bytes));
    position_ += static_cast<std::size_t>(bytes);
    if (done) *done = bytes;
    return kResultOk;
}

tresult MemoryStream::seek(std::int64_t position, std::int32_t mode, std::int64_t* result) {
    std::int64_t base = 0;
    if (mode == kIBSeekCur)
        base = static_cast<std::int64_t>(position_);
    else if (mode == kIBSeekEnd)
        base = static_cast<std::int64_t>(bytes_.size());
    else if (mode != kIBSeekSet)
        return kInvalidArgument;
    if (base + position < 0) return kInvalidArgument;
    position_ = static_cast<std::size_t>(base + position);
    if (result) *result = static_cast<std::int64_t>(position_);
    return kResultOk;
}

tresult MemoryStream::tell(std::int64_t* position) {
    if (!position) return kInvalidArgument;
    *position = static_cast<std::int64_t>(position_);
    return kResultOk;
}

tresult ParamQueue::queryInterface(const char* iid, void** object) {
    return answer(this, iid, object, {kFUnknownIid, kIParamValueQueueIid});
}

std::int32_t ParamQueue::getPointCount() {
    return static_cast<std::int32_t>(points_.size());
}

tresult ParamQueue::getPoint(std::int32_t index, std::int32_t& offset, ParamValue& value) {
    if (index < 0 || index >= getPointCount()) return kInvalidArgument;
    offset = points_[static_cast<std::size_t>(index)].offset;
    value = points_[static_cast<std::size_t>(index)].value;
    return kResultOk;
}

tresult ParamQueue::addPoint(std::int32_t offset, ParamValue value, std::int32_t& index) {
    // Points stay in time order; a second point at one offset replaces the first.
    auto at = std::find_if(points_.begin(), points_.end(),
                           [offset](const Point& p) { return p.offset >= offset; });
    if (at != points_.end() && at->offset == offset)
        at->value = value;
    else
        at = points_.insert(at, Point{offset, value});
    index = static_cast<std::int32_t>(at - points_.begin());
    return kResultOk;
}

tresult ParameterChanges::queryInterface(const char* iid, void** object) {
    return answer(this, iid, object, {kFUnknownIid, kIParameterChangesIid});
}

std::int32_t ParameterChanges::getParameterCount() {
    return static_cast<std::int32_t>(queues_.size());
}

IParamValueQueue* ParameterChanges::getParameterData(std::int32_t index) {
    if (index < 0 || index >= getParameterCount()) return nullptr;
    return queues_[static_cast<std::size_t>(index)].get();
}

IParamValueQueue* ParameterChanges::addParameterData(const ParamID& id, std::int32_t& index) {
    for (std::size_t i = 0; i < queues_.size(); ++i)
        if (queues_[i]->getParameterId() == id) {
            index = static_cast<std::int32_t>(i);
            return queues_[i].get();
        }
    queues_.push_back(std::make_unique<ParamQueue>(id));
    index = static_cast<std::int32_t>(queues_.size() - 1);
    return queues_.back().get();
}

void ParameterChanges::add(ParamID id, std::int32_t offset, ParamValue value) {
    std::int32_t index = 0;
    addParameterData(id, index)->addPoint(offset, value, index);
}

tresult ComponentHandler::queryInterface(const char* iid, void** object) {
    return answer(this, iid, object, {kFUnknownIid, kIComponentHandlerIid});
}

tresult ComponentHandler::beginEdit(ParamID id) {
    edits.push_back({Edit::begin, id, 0.0});
    return kResultOk;
}

tresult ComponentHandler::performEdit(ParamID id, ParamValue value) {
    edits.push_back({Edit::perform, id, value});
    return kResultOk;
}

tresult ComponentHandler::endEdit(ParamID id) {
    edits.push_back({Edit::end, id, 0.0});
    return kResultOk;
}

tresult ComponentHandler::restartComponent(std::int32_t flags) {
    restarts.push_back(flags);
    return kResultOk;
}

// ---- the module

namespace {

using GetFactory = IPluginFactory*(VST3HOST_API*)();

#if defined(_WIN32)
void* openLibrary(const std::string& path, std::string& error) {
    const std::u16string wide = utf16(path);
    HMODULE module = LoadLibraryW(reinterpret_cast<const wchar_t*>(wide.c_str()));
    if (!module) error = "LoadLibraryW failed with error " + std::to_string(GetLastError());
    return reinterpret_cast<void*>(module);
}
void* symbol(void* library, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}
void closeLibrary(void* library) {
    FreeLibrary(static_cast<HMODULE>(library));
}
const char* const kBinaryFolder = "Contents/x86_64-win/";
const char* const kBinarySuffix = ".vst3";
#else
void* openLibrary(const std::string& path, std::string& error) {
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) error = dlerror();
    return library;
}
void* symbol(void* library, const char* name) {
    return dlsym(library, name);
}
void closeLibrary(void* library) {
    dlclose(library);
}
const char* const kBinaryFolder = "Contents/x86_64-linux/";
const char* const kBinarySuffix = ".so";
#endif

// Calls the module's exit function, if it has one, when dropped.
bool enterModule(void* library) {
#if defined(_WIN32)
    using Init = bool(VST3HOST_API*)();
    auto init = reinterpret_cast<Init>(symbol(library, "InitDll"));
    return !init || init();
#else
    using Entry = bool (*)(void*);
    auto entry = reinterpret_cast<Entry>(symbol(library, "ModuleEntry"));
    if (!entry) throw Error("the library exports no ModuleEntry");
    return entry(library);
#endif
}

void exitModule(void* library) {
#if defined(_WIN32)
    using Exit = bool(VST3HOST_API*)();
    if (auto exit = reinterpret_cast<Exit>(symbol(library, "ExitDll"))) exit();
#else
    using Exit = bool (*)();
    if (auto exit = reinterpret_cast<Exit>(symbol(library, "ModuleExit"))) exit();
#endif
}

// The library inside a bundle carries the bundle's name.
std::string binaryOf(const std::string& bundle) {
    const std::string stem = std::filesystem::path(bundle).stem().string();
    return bundle + "/" + kBinaryFolder + stem + kBinarySuffix;
}

} // namespace

std::string bundleIn(const std::string& buildDir) {
    const std::string bundle = buildDir + "/vst3/Spatium.vst3";
    std::error_code error;
    return std::filesystem::exists(binaryOf(bundle), error) ? bundle : std::string();
}

Module::Module(const std::string& bundle) {
    const std::string path = binaryOf(bundle);
    std::string error;
    library_ = openLibrary(path, error);
    if (!library_) throw Error("cannot load " + path + ": " + error);
    try {
        if (!enterModule(library_)) throw Error("the module's entry function failed");
        auto get = reinterpret_cast<GetFactory>(symbol(library_, "GetPluginFactory"));
        if (!get) throw Error("the library exports no GetPluginFactory");
        factory_ = get();
        if (!factory_) throw Error("GetPluginFactory returned nothing");
        void* f3 = nullptr;
        if (factory_->queryInterface(kIPluginFactory3Iid.bytes, &f3) == kResultOk)
            factory3_ = static_cast<IPluginFactory3*>(f3);
        if (factory3_ && factory3_->setHostContext(&host_) != kResultOk)
            throw Error("the factory refused the host context");
        if (factory_->getFactoryInfo(&info_) != kResultOk) throw Error("no factory info");
        IPluginFactory2* factory2 = nullptr;
        void* f2 = nullptr;
        if (factory_->queryInterface(kIPluginFactory2Iid.bytes, &f2) == kResultOk)
            factory2 = static_cast<IPluginFactory2*>(f2);
        const std::int32_t count = factory_->countClasses();
        for (std::int32_t i = 0; i < count; ++i) {
            ClassEntry c;
            PClassInfo one{};
            if (factory_->getClassInfo(i, &one) != kResultOk)
                throw Error("no class info for class " + std::to_string(i));
            std::memcpy(c.cid.bytes, one.cid, 16);
            c.cardinality = one.cardinality;
            c.category = fixed(one.category, sizeof one.category);
            c.name = fixed(one.name, sizeof one.name);
            PClassInfo2 two{};
            if (factory2 && factory2->getClassInfo2(i, &two) == kResultOk) {
                if (std::memcmp(two.cid, one.cid, 16) != 0)
                    throw Error("the two class infos of class " + std::to_string(i) +
                                " name different IDs");
                c.subCategories = fixed(two.subCategories, sizeof two.subCategories);
                c.vendor = fixed(two.vendor, sizeof two.vendor);
                c.version = fixed(two.version, sizeof two.version);
                c.sdkVersion = fixed(two.sdkVersion, sizeof two.sdkVersion);
            }
            PClassInfoW three{};
            if (factory3_ && factory3_->getClassInfoUnicode(i, &three) == kResultOk)
                c.wideName.assign(three.name, std::char_traits<char16>::length(three.name));
            classes_.push_back(std::move(c));
        }
        if (factory2) factory2->release();
    } catch (...) {
        if (factory3_) factory3_->release();
        if (factory_) factory_->release();
        exitModule(library_);
        closeLibrary(library_);
        throw;
    }
}

Module::~Module() {
    if (factory3_) factory3_->release();
    factory_->release();
    exitModule(library_);
    closeLibrary(library_);
}

const ClassEntry& Module::effect() const {
    const ClassEntry* found = nullptr;
    for (const ClassEntry& c : classes_)
        if (c.category == "Audio Module Class") {
            if (found) throw Error("the factory has more than one audio effect class");
            found = &c;
        }
    if (!found) throw Error("the factory has no audio effect class");
    return *found;
}

// ---- an instance

Plugin::Plugin(Module& module, std::int32_t inputChannels, double rate, std::int32_t maxBlock)
    : module_(module), inputs_(inputChannels), rate_(rate), maxBlock_(maxBlock) {
    const ClassEntry& effect = module.effect();
    void* object = nullptr;
    tresult r = module.factory().createInstance(effect.cid.bytes, kIComponentIid.bytes, &object);
    if (r != kResultOk || !object) throw Error("createInstance of the component: " + resultText(r));
    component_ = static_cast<IComponent*>(object);
    r = component_->initialize(&module.host());
    if (r != kResultOk) {
        component_->release();
        throw Error("the component failed to initialise: " + resultText(r));
    }
    if (component_->queryInterface(kIAudioProcessorIid.bytes, &object) != kResultOk)
        throw Error("the component has no IAudioProcessor");
    processor_ = static_cast<IAudioProcessor*>(object);

    // A separate controller class when the component names one, otherwise the
    // component is its own controller.
    char controllerId[16] = {};
    const Uid none{};
    if (component_->getControllerClassId(controllerId) == kResultOk &&
        std::memcmp(controllerId, none.bytes, 16) != 0) {
        single_ = false;
        r = module.factory().createInstance(controllerId, kIEditControllerIid.bytes, &object);
        if (r != kResultOk) throw Error("createInstance of the controller: " + resultText(r));
        controller_ = static_cast<IEditController*>(object);
        if (controller_->initialize(&module.host()) != kResultOk)
            throw Error("the controller failed to initialise");
        MemoryStream s;
        component_->getState(&s);
        s.seek(0, kIBSeekSet, nullptr);
        controller_->setComponentState(&s);
    } else {
        if (component_->queryInterface(kIEditControllerIid.bytes, &object) != kResultOk)
            throw Error("the component names no controller class and is not one itself");
        controller_ = static_cast<IEditController*>(object);
    }
    controller_->setComponentHandler(&handler_);

    SpeakerArrangement in = inputChannels == 1 ? kArrMono : kArrStereo, out = kArrStereo;
    r = processor_->setBusArrangements(&in, 1, &out, 1);
    if (r != kResultTrue)
        throw Error("the plug-in refused " + std::to_string(inputChannels) +
                    " channels in, 2 out: " + resultText(r));
}

Plugin::~Plugin() {
    if (started_) {
        processor_->setProcessing(0);
        component_->setActive(0);
    }
    controller_->setComponentHandler(nullptr);
    if (!single_) controller_->terminate();
    controller_->release();
    processor_->release();
    component_->terminate();
    component_->release();
}

std::vector<ParameterInfo> Plugin::parameters() {
    std::vector<ParameterInfo> list(static_cast<std::size_t>(controller_->getParameterCount()));
    for (std::size_t i = 0; i < list.size(); ++i)
        if (controller_->getParameterInfo(static_cast<std::int32_t>(i), list[i]) != kResultOk)
            throw Error("no info for parameter index " + std::to_string(i));
    return list;
}

ParamID Plugin::parameter(const std::string& name) {
    for (const ParameterInfo& p : parameters())
        if (utf8(p.title) == name) return p.id;
    throw Error("the plug-in has no parameter \"" + name + "\"");
}

std::string Plugin::text(ParamID id, ParamValue value) {
    String128 text{};
    const tresult r = controller_->getParamStringByValue(id, value, text);
    if (r != kResultOk) throw Error("no text for parameter " + std::to_string(id));
    return utf8(text);
}

ParamValue Plugin::valueOf(ParamID id, const std::string& text) {
    std::u16string wide = utf16(text);
    ParamValue value = -1.0;
    const tresult r = controller_->getParamValueByString(id, wide.data(), value);
    if (r != kResultOk)
        throw Error("parameter " + std::to_string(id) + " does not take \"" + text +
                    "\": " + resultText(r));
    return value;
}

void Plugin::set(const std::string& name, const std::string& text) {
    const ParamID id = parameter(name);
    const tresult r = controller_->setParamNormalized(id, valueOf(id, text));
    if (r != kResultOk) throw Error("setParamNormalized of " + name + ": " + resultText(r));
}

void Plugin::start() {
    ProcessSetup setup{kRealtime, kSample32, maxBlock_, rate_};
    tresult r = processor_->setupProcessing(setup);
    if (r != kResultOk) throw Error("setupProcessing: " + resultText(r));
    for (std::int32_t direction : {kInput, kOutput}) {
        r = component_->activateBus(kAudio, direction, 0, 1);
        if (r != kResultOk) throw Error("activateBus: " + resultText(r));
    }
    r = component_->setActive(1);
    if (r != kResultOk) throw Error("setActive: " + resultText(r));
    r = processor_->setProcessing(1);
    if (r != kResultOk && r != kNotImplemented) throw Error("setProcessing: " + resultText(r));
    started_ = true;
}

void Plugin::process(const float* const* in, float* const* out, std::int32_t frames,
                     IParameterChanges* changes) {
    if (!started_) start();
    // The plug-in reads the input pointers only; the interface has no const.
    float* inputs[2] = {const_cast<float*>(in[0]),
                        inputs_ > 1 ? const_cast<float*>(in[1]) : nullptr};
    float* outputs[2] = {out[0], out[1]};
    AudioBusBuffers inBus{};
    inBus.numChannels = inputs_;
    inBus.channelBuffers32 = inputs;
    AudioBusBuffers outBus{};
    outBus.numChannels = 2;
    outBus.channelBuffers32 = outputs;
    ParameterChanges none, written;
    ProcessContext context{};
    context.state = kContextPlaying | kContextTempoValid | kContextTimeSigValid;
    context.sampleRate = rate_;
    context.projectTimeSamples = position_;
    context.continousTimeSamples = position_;
    context.tempo = 120.0;
    context.timeSigNumerator = 4;
    context.timeSigDenominator = 4;
    ProcessData data{};
    data.processMode = kRealtime;
    data.symbolicSampleSize = kSample32;
    data.numSamples = frames;
    data.numInputs = 1;
    data.numOutputs = 1;
    data.inputs = &inBus;
    data.outputs = &outBus;
    data.inputParameterChanges = changes ? changes : &none;
    data.outputParameterChanges = &written;
    data.processContext = &context;
    const tresult r = processor_->process(data);
    if (r != kResultOk) throw Error("process: " + resultText(r));
    position_ += frames;
}

std::vector<std::uint8_t> Plugin::state() {
    MemoryStream s;
    const tresult r = component_->getState(&s);
    if (r != kResultOk) throw Error("getState: " + resultText(r));
    return s.bytes();
}

tresult Plugin::restore(const std::vector<std::uint8_t>& bytes) {
    MemoryStream s(bytes);
    const tresult r = component_->setState(&s);
    if (r == kResultOk && !single_) {
        MemoryStream again(bytes);
        controller_->setComponentState(&again);
    }
    return r;
}

} // namespace vst3host
