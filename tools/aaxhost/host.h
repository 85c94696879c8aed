#pragma once
// A minimal AAX host: loads the plug-in library at run time, collects what it
// describes, and creates and runs instances through the host interfaces. It uses
// only the interface declarations, never the plug-in's own code.

#include "corvid/aax/acf.h"

#include <cstdint>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace spatium::host {

// Every failure the host reports to its user.
class HostError : public std::runtime_error {
public:
    explicit HostError(const std::string& message) : std::runtime_error(message) {}
};

// "abcd" for printable codes, otherwise the escaped bytes.
std::string fourCCText(std::uint32_t code);
std::string hexText(std::uint32_t value);

enum class FieldKind { audioIn, audioOut, bufferLength, midiNode, privateData };

struct FieldDescription {
    AAX_CFieldIndex index = 0;
    FieldKind kind = FieldKind::audioIn;
    AAX_EMIDINodeType midiType = AAX_eMIDINodeType_LocalInput;
    std::string name;              // MIDI nodes
    std::uint32_t channelMask = 0; // MIDI nodes
    std::int32_t size = 0;         // private data
};

struct ComponentDescription {
    std::vector<FieldDescription> fields;
    std::vector<std::pair<std::uint32_t, AAX_CPropertyValue>> properties; // in the order added
    AAX_CRenderProc render = nullptr;

    bool property(std::uint32_t id, AAX_CPropertyValue& value) const;
    const FieldDescription* field(AAX_CFieldIndex index) const;
    std::int32_t inputChannels() const;
    std::int32_t outputChannels() const;
};

struct EffectDescription {
    std::string effectID;
    std::vector<std::string> names;
    std::vector<std::uint32_t> categories;
    AAX_CEffectParametersFactory createParameters = nullptr;
    AAX_CEffectGUIFactory createGUI = nullptr;
    std::vector<ComponentDescription> components;
};

struct PackageDescription {
    std::string manufacturer;
    std::vector<std::string> packageNames;
    std::uint32_t version = 0;
    std::vector<EffectDescription> effects;
};

// One exported factory preset.
struct PresetBlob {
    std::string name;
    std::vector<std::uint8_t> blob;
};

// Header words of a preset blob, read big-endian.
struct PresetBlobHeader {
    std::uint32_t totalLength = 0;
    std::uint32_t version = 0;
    std::uint32_t manufacturerID = 0;
    std::uint32_t productID = 0;
    std::uint32_t plugInID = 0;
    std::uint32_t chunkID = 0;
};
// Throws HostError when the blob is shorter than its header.
PresetBlobHeader readPresetBlobHeader(const std::vector<std::uint8_t>& blob);

struct Exports {
    ACFStartupProc startup = nullptr;
    ACFShutdownProc shutdown = nullptr;
    ACFCanUnloadNowProc canUnloadNow = nullptr;
    ACFGetSDKVersionProc getSDKVersion = nullptr;
    ACFGetClassFactoryProc getClassFactory = nullptr;
    ACFRegisterComponentProc registerComponent = nullptr;
    ACFRegisterPluginProc registerPlugin = nullptr;
    CorvidEnumerateTFXProc enumerateTFX = nullptr;
};

class HostObject;

// A loaded plug-in library, started up and described.
class Plugin {
public:
    // Throws HostError when the library cannot be loaded, lacks an entry point or
    // fails to describe itself.
    explicit Plugin(const std::string& path);
    // A plug-in linked into the host's own program (the fuzz targets): the same
    // entry points, found by the linker instead of the loader.
    Plugin(const std::string& name, const Exports& linked);
    ~Plugin();
    Plugin(const Plugin&) = delete;
    Plugin& operator=(const Plugin&) = delete;

    const std::string& path() const { return path_; }
    const Exports& exports() const { return exports_; }
    AAX_IACFHost* host();
    const PackageDescription& package() const { return package_; }
    // The first effect; throws when the library describes none.
    const EffectDescription& effect() const;
    std::vector<PresetBlob> presets() const;

private:
    void start();

    std::string path_;
    void* handle_ = nullptr;
    Exports exports_;
    std::unique_ptr<HostObject> host_;
    PackageDescription package_;
};

// The library the command-line host uses unless told otherwise: beside the
// executable, then in the install prefix's library folder.
std::vector<std::string> defaultPluginCandidates();

// Host text object.
class HostString : public AAX_IString {
public:
    HostString() = default;
    explicit HostString(std::string text) : text_(std::move(text)) {}
    std::uint32_t Length() const override { return static_cast<std::uint32_t>(text_.size()); }
    const char* Get() const override { return text_.c_str(); }
    void Set(const char* text) override { text_ = text ? text : ""; }
    const std::string& str() const { return text_; }

private:
    std::string text_;
};

struct AutomationEvent {
    enum Kind { registered, touch, setValue, release } kind;
    std::string id;
    double value = 0.0;
};

class Controller;
class Transport;

// One plug-in instance running one component, as a host runs it.
class Instance {
public:
    Instance(Plugin& plugin, const ComponentDescription& component, double sampleRate);
    ~Instance();
    Instance(const Instance&) = delete;
    Instance& operator=(const Instance&) = delete;

    AAX_IACFEffectParameters& parameters() { return *parameters_; }
    Plugin& plugin() { return plugin_; }
    // What the instance's editor object is initialised with.
    AAX_IACFController& controller();
    const ComponentDescription& component() const { return component_; }
    std::int32_t inputChannels() const { return component_.inputChannels(); }
    std::int32_t outputChannels() const { return component_.outputChannels(); }

    // Host settings seen by the plug-in through the controller. After a stem change
    // render takes as many input and output buffers as the stems have channels.
    void setSampleRate(double rate);
    void setStemFormats(std::uint32_t input, std::uint32_t output);
    std::int32_t reportedLatency() const;
    std::int32_t latencyReports() const;
    const std::vector<AutomationEvent>& automation() const;

    // One host block, at most 1024 frames; the transport advances by frames.
    void render(const float* const* inputs, float* const* outputs, std::int32_t frames);
    void setTransport(double tempo, std::int64_t samplePosition, bool playing);

    // Parameter helpers; each throws HostError with the plug-in's result code.
    std::int32_t parameterCount();
    std::string parameterID(std::int32_t index) const { return std::to_string(index); }
    std::string parameterName(const std::string& id);
    double normalizedValue(const std::string& id);
    void setNormalizedValue(const std::string& id, double value);
    std::string valueText(const std::string& id, std::int32_t maxLength = 32);
    std::string textForValue(const std::string& id, double value, std::int32_t maxLength = 32);
    // Returns the plug-in's result; value is set on success.
    AAX_Result valueFromText(const std::string& id, const std::string& text, double& value);

    std::vector<std::uint8_t> stateChunk();
    // Returns the plug-in's result code.
    AAX_Result setStateChunk(const std::vector<std::uint8_t>& bytes);

private:
    Plugin& plugin_;
    ComponentDescription component_;
    std::unique_ptr<Controller> controller_;
    std::unique_ptr<Transport> transport_;
    AAX_IACFEffectParameters* parameters_ = nullptr;
    std::vector<std::uint8_t> privateData_;
    void* fields_[AAX_eField_Count] = {};
    std::vector<const float*> inputPointers_;
    std::vector<float*> outputPointers_;
    std::int32_t bufferLength_ = 0;
};

// The plug-in's editor object of one instance, as a host holds it: the view is
// opened inside a native parent window, idled periodically and closed again.
class EditorView {
public:
    // Throws HostError when the plug-in offers no editor or refuses to start it.
    explicit EditorView(Instance& instance);
    ~EditorView();
    EditorView(const EditorView&) = delete;
    EditorView& operator=(const EditorView&) = delete;

    // parent is the native window (an X11 Window id or an HWND) as a pointer.
    void open(void* parent);
    void close();
    bool isOpen() const { return open_; }
    // The host's periodic wake-up; the plug-in handles its window's events.
    void idle();
    // The editor's size in pixels; 0 x 0 before the first open.
    void size(std::int32_t& width, std::int32_t& height) const;

private:
    class Container;

    AAX_IACFEffectGUI* gui_ = nullptr;
    std::unique_ptr<Container> container_;
    bool open_ = false;
};

// Picks the component with the given input count and stereo output.
const ComponentDescription& componentForInputs(const EffectDescription& effect,
                                               std::int32_t inputs);

} // namespace spatium::host
