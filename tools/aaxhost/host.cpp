#include "tools/aaxhost/host.h"
#include "tools/aaxhost/paths.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#include <unistd.h>
#endif

#ifndef SPATIUM_RELATIVE_LIBDIR
#define SPATIUM_RELATIVE_LIBDIR "../lib"
#endif

namespace spatium::host {

namespace {

#if defined(_WIN32)
constexpr const char* kLibraryName = "Spatium.dll";
#elif defined(__APPLE__)
constexpr const char* kLibraryName = "libSpatium.dylib";
#else
constexpr const char* kLibraryName = "libSpatium.so";
#endif

std::string resultText(AAX_Result result) {
    return "error " + std::to_string(result);
}

// ---- description objects

class HostPropertyMap final : public AAX_IACFPropertyMap {
public:
    AAX_Result AddProperty(std::uint32_t property, AAX_CPropertyValue value) override {
        for (auto& entry : entries)
            if (entry.first == property) {
                entry.second = value;
                return AAX_SUCCESS;
            }
        entries.emplace_back(property, value);
        return AAX_SUCCESS;
    }
    AAX_CBoolean GetProperty(std::uint32_t property, AAX_CPropertyValue* value) const override {
        for (const auto& entry : entries)
            if (entry.first == property) {
                if (value) *value = entry.second;
                return 1;
            }
        return 0;
    }
    std::vector<std::pair<std::uint32_t, AAX_CPropertyValue>> entries;
};

class HostComponent final : public AAX_IACFComponentDescriptor {
public:
    AAX_Result AddAudioIn(AAX_CFieldIndex field) override {
        return add({field, FieldKind::audioIn, {}, {}, 0, 0});
    }
    AAX_Result AddAudioOut(AAX_CFieldIndex field) override {
        return add({field, FieldKind::audioOut, {}, {}, 0, 0});
    }
    AAX_Result AddAudioBufferLength(AAX_CFieldIndex field) override {
        return add({field, FieldKind::bufferLength, {}, {}, 0, 0});
    }
    AAX_Result AddMIDINode(AAX_CFieldIndex field, AAX_EMIDINodeType type, const char* name,
                           std::uint32_t mask) override {
        return add({field, FieldKind::midiNode, type, name ? name : "", mask, 0});
    }
    AAX_Result AddPrivateData(AAX_CFieldIndex field, std::int32_t size, std::uint32_t) override {
        if (size < 0 || size > 1 << 20) return AAX_ERROR_INCORRECT_CHUNK_SIZE;
        return add({field, FieldKind::privateData, {}, {}, 0, size});
    }
    AAX_IACFPropertyMap* NewPropertyMap() override {
        maps.push_back(std::make_unique<HostPropertyMap>());
        return maps.back().get();
    }
    AAX_Result AddProcessProc(AAX_CRenderProc proc, AAX_IACFPropertyMap* properties) override {
        if (!proc || !properties) return AAX_ERROR_NULL_ARGUMENT;
        for (const auto& map : maps)
            if (map.get() == properties) {
                description.render = proc;
                description.properties = map->entries;
                return AAX_SUCCESS;
            }
        return AAX_ERROR_NULL_ARGUMENT;
    }

    ComponentDescription description;
    std::vector<std::unique_ptr<HostPropertyMap>> maps;

private:
    AAX_Result add(FieldDescription field) {
        if (field.index < 0 || field.index >= AAX_eField_Count) return AAX_ERROR_NULL_ARGUMENT;
        if (description.field(field.index)) return AAX_ERROR_NULL_ARGUMENT;
        description.fields.push_back(std::move(field));
        return AAX_SUCCESS;
    }
};

class HostEffect final : public AAX_IACFEffectDescriptor {
public:
    AAX_IACFComponentDescriptor* NewComponentDescriptor() override {
        created.push_back(std::make_unique<HostComponent>());
        return created.back().get();
    }
    AAX_Result AddComponent(AAX_IACFComponentDescriptor* component) override {
        for (const auto& c : created)
            if (c.get() == component) {
                description.components.push_back(c->description);
                return AAX_SUCCESS;
            }
        return AAX_ERROR_NULL_ARGUMENT;
    }
    AAX_Result AddName(const char* name) override {
        description.names.emplace_back(name ? name : "");
        return AAX_SUCCESS;
    }
    AAX_Result AddCategory(std::uint32_t category) override {
        description.categories.push_back(category);
        return AAX_SUCCESS;
    }
    AAX_Result AddProcPtr(void* proc, AAX_EProcPtrID id) override {
        if (id == AAX_eProcPtrID_Create_EffectParameters)
            description.createParameters = reinterpret_cast<AAX_CEffectParametersFactory>(proc);
        else if (id == AAX_eProcPtrID_Create_EffectGUI)
            description.createGUI = reinterpret_cast<AAX_CEffectGUIFactory>(proc);
        else
            return AAX_ERROR_UNIMPLEMENTED;
        return AAX_SUCCESS;
    }

    EffectDescription description;
    std::vector<std::unique_ptr<HostComponent>> created;
};

class HostCollection final : public AAX_IACFCollection {
public:
    AAX_IACFEffectDescriptor* NewDescriptor() override {
        created.push_back(std::make_unique<HostEffect>());
        return created.back().get();
    }
    AAX_Result AddEffect(const char* effectID, AAX_IACFEffectDescriptor* effect) override {
        for (const auto& e : created)
            if (e.get() == effect) {
                EffectDescription d = e->description;
                d.effectID = effectID ? effectID : "";
                description.effects.push_back(std::move(d));
                return AAX_SUCCESS;
            }
        return AAX_ERROR_NULL_ARGUMENT;
    }
    AAX_Result SetManufacturerName(const char* name) override {
        description.manufacturer = name ? name : "";
        return AAX_SUCCESS;
    }
    AAX_Result AddPackageName(const char* name) override {
        description.packageNames.emplace_back(name ? name : "");
        return AAX_SUCCESS;
    }
    AAX_Result SetPackageVersion(std::uint32_t version) override {
        description.version = version;
        return AAX_SUCCESS;
    }

    PackageDescription description;
    std::vector<std::unique_ptr<HostEffect>> created;
};

class HostServices final : public AAX_IACFHostServices {
public:
    AAX_Result Trace(std::int32_t, const char*) override { return AAX_SUCCESS; }
};

} // namespace

class HostObject final : public AAX_IACFHost {
public:
    AAX_IACFHostServices* GetHostServices() override { return &services_; }
    AAX_IACFCollection* NewCollection() override {
        collections_.push_back(std::make_unique<HostCollection>());
        return collections_.back().get();
    }
    const PackageDescription* described(AAX_IACFCollection* collection) const {
        for (const auto& c : collections_)
            if (c.get() == collection) return &c->description;
        return nullptr;
    }

private:
    HostServices services_;
    std::vector<std::unique_ptr<HostCollection>> collections_;
};

// ---- small helpers

std::string fourCCText(std::uint32_t code) {
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const auto c = static_cast<unsigned char>(code >> shift);
        if (c >= 0x20 && c < 0x7F && c != '\\') {
            text += static_cast<char>(c);
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
            text += escaped;
        }
    }
    return text;
}

std::string hexText(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", value);
    return text;
}

bool ComponentDescription::property(std::uint32_t id, AAX_CPropertyValue& value) const {
    for (const auto& entry : properties)
        if (entry.first == id) {
            value = entry.second;
            return true;
        }
    return false;
}

const FieldDescription* ComponentDescription::field(AAX_CFieldIndex index) const {
    for (const auto& f : fields)
        if (f.index == index) return &f;
    return nullptr;
}

std::int32_t ComponentDescription::inputChannels() const {
    AAX_CPropertyValue stem = 0;
    return property(AAX_eProperty_InputStemFormat, stem) ? AAX_StemFormatChannelCount(stem) : 0;
}

std::int32_t ComponentDescription::outputChannels() const {
    AAX_CPropertyValue stem = 0;
    return property(AAX_eProperty_OutputStemFormat, stem) ? AAX_StemFormatChannelCount(stem) : 0;
}

PresetBlobHeader readPresetBlobHeader(const std::vector<std::uint8_t>& blob) {
    if (blob.size() < static_cast<std::size_t>(AAX_kPresetBlobHeaderSize))
        throw HostError("preset blob of " + std::to_string(blob.size()) +
                        " bytes is shorter than its " + std::to_string(AAX_kPresetBlobHeaderSize) +
                        "-byte header");
    auto word = [&blob](std::size_t i) {
        return static_cast<std::uint32_t>(blob[4 * i]) << 24 |
               static_cast<std::uint32_t>(blob[4 * i + 1]) << 16 |
               static_cast<std::uint32_t>(blob[4 * i + 2]) << 8 |
               static_cast<std::uint32_t>(blob[4 * i + 3]);
    };
    return {word(0), word(1), word(2), word(3), word(4), word(5)};
}

// ---- library

namespace {

void* openLibrary(const std::string& path, std::string& error) {
#if defined(_WIN32)
    HMODULE module = LoadLibraryW(pathFromUtf8(path).c_str());
    if (!module) error = "Windows error " + std::to_string(GetLastError());
    return reinterpret_cast<void*>(module);
#else
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* message = dlerror();
        error = message ? message : "unknown error";
    }
    return handle;
#endif
}

void* findSymbol(void* handle, const char* name) {
#if defined(_WIN32)
    return reinterpret_cast<void*>(GetProcAddress(reinterpret_cast<HMODULE>(handle), name));
#else
    return dlsym(handle, name);
#endif
}

void closeLibrary(void* handle) {
#if defined(_WIN32)
    FreeLibrary(reinterpret_cast<HMODULE>(handle));
#else
    dlclose(handle);
#endif
}

template <class Proc>
void resolve(void* handle, const char* name, Proc& proc, const std::string& path) {
    void* symbol = findSymbol(handle, name);
    if (!symbol) throw HostError(path + " is not an AAX plug-in: it has no entry point " + name);
    proc = reinterpret_cast<Proc>(symbol);
}

std::filesystem::path executableDirectory() {
#if defined(_WIN32)
    std::wstring buffer(32768, L'\0');
    const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    buffer.resize(n);
    return std::filesystem::path(buffer).parent_path();
#else
    std::error_code error;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::current_path() : self.parent_path();
#endif
}

} // namespace

std::vector<std::string> defaultPluginCandidates() {
    const std::filesystem::path dir = executableDirectory();
    return {utf8FromPath(dir / kLibraryName),
            utf8FromPath((dir / SPATIUM_RELATIVE_LIBDIR / kLibraryName).lexically_normal())};
}

Plugin::Plugin(const std::string& path) : path_(path), host_(std::make_unique<HostObject>()) {
    std::string error;
    handle_ = openLibrary(path, error);
    if (!handle_) throw HostError("cannot load the plug-in " + path + ": " + error);
    try {
        resolve(handle_, "ACFStartup", exports_.startup, path);
        resolve(handle_, "ACFShutdown", exports_.shutdown, path);
        resolve(handle_, "ACFCanUnloadNow", exports_.canUnloadNow, path);
        resolve(handle_, "ACFGetSDKVersion", exports_.getSDKVersion, path);
        resolve(handle_, "ACFGetClassFactory", exports_.getClassFactory, path);
        resolve(handle_, "ACFRegisterComponent", exports_.registerComponent, path);
        resolve(handle_, "ACFRegisterPlugin", exports_.registerPlugin, path);
        resolve(handle_, "CorvidEnumerateTFX", exports_.enumerateTFX, path);
        start();
    } catch (...) {
        closeLibrary(handle_);
        throw;
    }
}

Plugin::Plugin(const std::string& name, const Exports& linked)
    : path_(name), exports_(linked), host_(std::make_unique<HostObject>()) {
    start();
}

void Plugin::start() {
    AAX_Result result = exports_.startup(host_.get());
    if (result != AAX_SUCCESS) throw HostError("ACFStartup failed with " + resultText(result));
    AAX_IACFCollection* collection = nullptr;
    result = exports_.registerPlugin(host_.get(), &collection);
    if (result != AAX_SUCCESS)
        throw HostError("ACFRegisterPlugin failed with " + resultText(result));
    const PackageDescription* described = host_->described(collection);
    if (!described) throw HostError("ACFRegisterPlugin handed back no collection of ours");
    package_ = *described;
}

Plugin::~Plugin() {
    exports_.shutdown(host_.get());
    // A library with live objects must stay mapped; the process ends soon anyway.
    if (handle_ && exports_.canUnloadNow(host_.get()) == 0) closeLibrary(handle_);
}

AAX_IACFHost* Plugin::host() {
    return host_.get();
}

const EffectDescription& Plugin::effect() const {
    if (package_.effects.empty()) throw HostError(path_ + " describes no effect");
    return package_.effects.front();
}

std::vector<PresetBlob> Plugin::presets() const {
    std::vector<PresetBlob> out;
    const auto collect = [](const char* name, const std::uint8_t* blob, std::int32_t length,
                            void* user) {
        auto& list = *static_cast<std::vector<PresetBlob>*>(user);
        PresetBlob p;
        p.name = name ? name : "";
        if (blob && length > 0) p.blob.assign(blob, blob + length);
        list.push_back(std::move(p));
    };
    const AAX_Result result = exports_.enumerateTFX(collect, &out);
    if (result != AAX_SUCCESS)
        throw HostError("CorvidEnumerateTFX failed with " + resultText(result));
    return out;
}

const ComponentDescription& componentForInputs(const EffectDescription& effect,
                                               std::int32_t inputs) {
    for (const auto& c : effect.components)
        if (c.inputChannels() == inputs && c.outputChannels() == 2) return c;
    throw HostError("the plug-in has no component for " + std::to_string(inputs) +
                    " input channel" + (inputs == 1 ? "" : "s") + " and stereo output");
}

// ---- instance

class Transport final : public AAX_ITransport, public AAX_IMIDINode {
public:
    AAX_Result GetCurrentTempo(double* bpm) const override {
        if (!bpm) return AAX_ERROR_NULL_ARGUMENT;
        *bpm = tempo;
        return AAX_SUCCESS;
    }
    AAX_Result GetCurrentNativeSampleLocation(std::int64_t* location) const override {
        if (!location) return AAX_ERROR_NULL_ARGUMENT;
        *location = position;
        return AAX_SUCCESS;
    }
    AAX_Result IsTransportPlaying(bool* isPlaying) const override {
        if (!isPlaying) return AAX_ERROR_NULL_ARGUMENT;
        *isPlaying = playing;
        return AAX_SUCCESS;
    }
    AAX_CMidiStream* GetNodeBuffer() override { return &stream; }
    AAX_ITransport* GetTransport() override { return this; }

    double tempo = 120.0;
    std::int64_t position = 0;
    bool playing = true;
    AAX_CMidiStream stream; // no MIDI from this host
};

class Controller final : public AAX_IACFController, public AAX_IACFAutomationDelegate {
public:
    AAX_Result GetSampleRate(AAX_CSampleRate* rate) const override {
        if (!rate) return AAX_ERROR_NULL_ARGUMENT;
        *rate = sampleRate;
        return AAX_SUCCESS;
    }
    AAX_Result GetInputStemFormat(std::uint32_t* stem) const override {
        if (!stem) return AAX_ERROR_NULL_ARGUMENT;
        *stem = inputStem;
        return AAX_SUCCESS;
    }
    AAX_Result GetOutputStemFormat(std::uint32_t* stem) const override {
        if (!stem) return AAX_ERROR_NULL_ARGUMENT;
        *stem = outputStem;
        return AAX_SUCCESS;
    }
    AAX_Result SetSignalLatency(std::int32_t samples) override {
        latency = samples;
        ++latencyReports;
        return AAX_SUCCESS;
    }
    AAX_IACFAutomationDelegate* GetAutomationDelegate() override { return this; }
    AAX_IACFEffectParameters* GetEffectParameters() override { return effect; }

    AAX_Result RegisterParameter(AAX_CParamID id) override {
        return record(AutomationEvent::registered, id, 0.0);
    }
    AAX_Result UnregisterParameter(AAX_CParamID) override { return AAX_SUCCESS; }
    AAX_Result PostSetValueRequest(AAX_CParamID id, double value) override {
        return record(AutomationEvent::setValue, id, value);
    }
    AAX_Result PostTouchRequest(AAX_CParamID id) override {
        return record(AutomationEvent::touch, id, 0.0);
    }
    AAX_Result PostReleaseRequest(AAX_CParamID id) override {
        return record(AutomationEvent::release, id, 0.0);
    }

    AAX_CSampleRate sampleRate = 48000.0f;
    std::uint32_t inputStem = AAX_eStemFormat_Mono;
    std::uint32_t outputStem = AAX_eStemFormat_Stereo;
    std::int32_t latency = 0;
    std::int32_t latencyReports = 0;
    AAX_IACFEffectParameters* effect = nullptr;
    std::vector<AutomationEvent> events;

private:
    AAX_Result record(AutomationEvent::Kind kind, AAX_CParamID id, double value) {
        events.push_back({kind, id ? id : "", value});
        return AAX_SUCCESS;
    }
};

Instance::Instance(Plugin& plugin, const ComponentDescription& component, double sampleRate)
    : plugin_(plugin), component_(component), controller_(std::make_unique<Controller>()),
      transport_(std::make_unique<Transport>()) {
    const EffectDescription& effect = plugin_.effect();
    if (!effect.createParameters) throw HostError("the plug-in offers no parameters object");
    if (!component_.render) throw HostError("the component has no render callback");
    AAX_CPropertyValue stem = 0;
    if (component_.property(AAX_eProperty_InputStemFormat, stem)) controller_->inputStem = stem;
    if (component_.property(AAX_eProperty_OutputStemFormat, stem)) controller_->outputStem = stem;
    controller_->sampleRate = static_cast<AAX_CSampleRate>(sampleRate);

    parameters_ = effect.createParameters();
    if (!parameters_) throw HostError("the plug-in could not create an instance");
    controller_->effect = parameters_;
    AAX_Result result = parameters_->Initialize(controller_.get());
    if (result != AAX_SUCCESS) {
        parameters_->Release();
        throw HostError("the plug-in failed to initialise: " + resultText(result));
    }
    inputPointers_.assign(static_cast<std::size_t>(std::max(inputChannels(), 0)), nullptr);
    outputPointers_.assign(static_cast<std::size_t>(std::max(outputChannels(), 0)), nullptr);
    for (const FieldDescription& f : component_.fields) {
        switch (f.kind) {
        case FieldKind::audioIn:
            fields_[f.index] = inputPointers_.data();
            break;
        case FieldKind::audioOut:
            fields_[f.index] = outputPointers_.data();
            break;
        case FieldKind::bufferLength:
            fields_[f.index] = &bufferLength_;
            break;
        case FieldKind::midiNode:
            fields_[f.index] = static_cast<AAX_IMIDINode*>(transport_.get());
            break;
        case FieldKind::privateData:
            privateData_.assign(static_cast<std::size_t>(f.size), 0);
            fields_[f.index] = privateData_.data();
            result = parameters_->ResetFieldData(f.index, privateData_.data(),
                                                 static_cast<std::uint32_t>(f.size));
            if (result != AAX_SUCCESS) {
                parameters_->Uninitialize();
                parameters_->Release();
                throw HostError("the plug-in refused its private data: " + resultText(result));
            }
            break;
        }
    }
}

Instance::~Instance() {
    parameters_->Uninitialize();
    parameters_->Release();
}

AAX_IACFController& Instance::controller() {
    return *controller_;
}

void Instance::setSampleRate(double rate) {
    controller_->sampleRate = static_cast<AAX_CSampleRate>(rate);
}

void Instance::setStemFormats(std::uint32_t input, std::uint32_t output) {
    controller_->inputStem = input;
    controller_->outputStem = output;
    // A host hands the render callback one buffer per channel of the stems it reports.
    inputPointers_.assign(static_cast<std::size_t>(std::max(AAX_StemFormatChannelCount(input), 0)),
                          nullptr);
    outputPointers_.assign(
        static_cast<std::size_t>(std::max(AAX_StemFormatChannelCount(output), 0)), nullptr);
    for (const FieldDescription& f : component_.fields) {
        if (f.kind == FieldKind::audioIn) fields_[f.index] = inputPointers_.data();
        if (f.kind == FieldKind::audioOut) fields_[f.index] = outputPointers_.data();
    }
}

std::int32_t Instance::reportedLatency() const {
    return controller_->latency;
}
std::int32_t Instance::latencyReports() const {
    return controller_->latencyReports;
}
const std::vector<AutomationEvent>& Instance::automation() const {
    return controller_->events;
}

void Instance::setTransport(double tempo, std::int64_t samplePosition, bool playing) {
    transport_->tempo = tempo;
    transport_->position = samplePosition;
    transport_->playing = playing;
}

void Instance::render(const float* const* inputs, float* const* outputs, std::int32_t frames) {
    for (std::size_t c = 0; c < inputPointers_.size(); ++c) inputPointers_[c] = inputs[c];
    for (std::size_t c = 0; c < outputPointers_.size(); ++c) outputPointers_[c] = outputs[c];
    bufferLength_ = frames;
    void* const instances[1] = {fields_};
    component_.render(instances, instances + 1);
    transport_->position += frames;
}

std::int32_t Instance::parameterCount() {
    std::int32_t count = 0;
    const AAX_Result result = parameters_->GetNumberOfParameters(&count);
    if (result != AAX_SUCCESS) throw HostError("parameter count: " + resultText(result));
    return count;
}

std::string Instance::parameterName(const std::string& id) {
    HostString name;
    const AAX_Result result = parameters_->GetParameterName(id.c_str(), &name);
    if (result != AAX_SUCCESS)
        throw HostError("name of parameter " + id + ": " + resultText(result));
    return name.str();
}

double Instance::normalizedValue(const std::string& id) {
    double value = 0.0;
    const AAX_Result result = parameters_->GetParameterNormalizedValue(id.c_str(), &value);
    if (result != AAX_SUCCESS)
        throw HostError("value of parameter " + id + ": " + resultText(result));
    return value;
}

void Instance::setNormalizedValue(const std::string& id, double value) {
    const AAX_Result result = parameters_->SetParameterNormalizedValue(id.c_str(), value);
    if (result != AAX_SUCCESS)
        throw HostError("setting parameter " + id + ": " + resultText(result));
}

std::string Instance::valueText(const std::string& id, std::int32_t maxLength) {
    HostString text;
    const AAX_Result result = parameters_->GetParameterValueString(id.c_str(), &text, maxLength);
    if (result != AAX_SUCCESS)
        throw HostError("text of parameter " + id + ": " + resultText(result));
    return text.str();
}

std::string Instance::textForValue(const std::string& id, double value, std::int32_t maxLength) {
    HostString text;
    const AAX_Result result =
        parameters_->GetParameterStringFromValue(id.c_str(), value, &text, maxLength);
    if (result != AAX_SUCCESS)
        throw HostError("text of parameter " + id + ": " + resultText(result));
    return text.str();
}

AAX_Result Instance::valueFromText(const std::string& id, const std::string& text, double& value) {
    const HostString input(text);
    return parameters_->GetParameterValueFromString(id.c_str(), &value, input);
}

std::vector<std::uint8_t> Instance::stateChunk() {
    const AAX_CTypeID id = AAX_FourCC('C', 'o', 'r', 'v');
    std::uint32_t size = 0;
    AAX_Result result = parameters_->GetChunkSize(id, &size);
    if (result != AAX_SUCCESS) throw HostError("state chunk size: " + resultText(result));
    std::vector<std::uint8_t> bytes(size);
    AAX_SPlugInChunk chunk;
    chunk.fSize = static_cast<std::int32_t>(size);
    chunk.fData = bytes.data();
    result = parameters_->GetChunk(id, &chunk);
    if (result != AAX_SUCCESS) throw HostError("state chunk: " + resultText(result));
    bytes.resize(static_cast<std::size_t>(chunk.fSize));
    return bytes;
}

AAX_Result Instance::setStateChunk(const std::vector<std::uint8_t>& bytes) {
    std::vector<std::uint8_t> copy = bytes; // the chunk interface wants writable data
    AAX_SPlugInChunk chunk;
    chunk.fChunkID = AAX_FourCC('C', 'o', 'r', 'v');
    chunk.fSize = static_cast<std::int32_t>(copy.size());
    chunk.fData = copy.data();
    return parameters_->SetChunk(chunk.fChunkID, &chunk);
}

// ---- editor

class EditorView::Container final : public AAX_IACFViewContainer {
public:
    AAX_EViewContainer_Type GetType() const override {
#if defined(_WIN32)
        return AAX_eViewContainer_Type_HWND;
#else
        // AAX names no X11 container; the plug-in takes the pointer as a Window id.
        return AAX_eViewContainer_Type_NULL;
#endif
    }
    void* GetPtr() const override {
        return parent;
    }

    void* parent = nullptr;
};

EditorView::EditorView(Instance& instance) : container_(std::make_unique<Container>()) {
    const AAX_CEffectGUIFactory create = instance.plugin().effect().createGUI;
    if (!create) throw HostError("the plug-in offers no editor");
    gui_ = create();
    if (!gui_) throw HostError("the plug-in could not create its editor object");
    const AAX_Result result = gui_->Initialize(&instance.controller());
    if (result != AAX_SUCCESS) {
        gui_->Release();
        throw HostError("the plug-in's editor failed to initialise: " + resultText(result));
    }
}

EditorView::~EditorView() {
    close();
    gui_->Uninitialize();
    gui_->Release();
}

void EditorView::open(void* parent) {
    container_->parent = parent;
    const AAX_Result result = gui_->SetViewContainer(container_.get());
    if (result != AAX_SUCCESS)
        throw HostError("the plug-in could not open its editor: " + resultText(result));
    open_ = true;
}

void EditorView::close() {
    if (!open_) return;
    gui_->SetViewContainer(nullptr);
    open_ = false;
}

void EditorView::idle() {
    if (open_) gui_->TimerWakeup();
}

void EditorView::size(std::int32_t& width, std::int32_t& height) const {
    AAX_Point point;
    gui_->GetViewSize(&point);
    width = static_cast<std::int32_t>(point.horz);
    height = static_cast<std::int32_t>(point.vert);
}

} // namespace spatium::host
