#pragma once
// A small VST3 host: loads a bundle as hosts do, walks its factory, and creates,
// sets up and runs instances through the interfaces in abi.h only.

#include "tests/vst3/abi.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace vst3host {

class Error : public std::runtime_error {
public:
    explicit Error(const std::string& message) : std::runtime_error(message) {}
};

std::string utf8(const char16* text, std::size_t capacity = 128);
std::u16string utf16(const std::string& utf8Text);
std::string resultText(tresult result);

// Host-side objects live as long as the host says; the plug-in's references are
// counted so a test can see that every one it took was given back.
template <class... Interfaces>
class HostObject : public Interfaces... {
public:
    std::uint32_t VST3HOST_API addRef() override { return ++references_; }
    std::uint32_t VST3HOST_API release() override { return --references_; }
    // References the plug-in holds beyond the host's own.
    std::int32_t heldByPlugin() const { return static_cast<std::int32_t>(references_) - 1; }

private:
    std::atomic<std::uint32_t> references_{1};
};

class HostApplication final : public HostObject<IHostApplication> {
public:
    tresult VST3HOST_API queryInterface(const char* iid, void** object) override;
    tresult VST3HOST_API getName(String128 name) override;
    tresult VST3HOST_API createInstance(char* cid, char* iid, void** object) override;
};

// A stream over bytes in memory, as hosts hand to getState and setState.
class MemoryStream final : public HostObject<IBStream> {
public:
    MemoryStream() = default;
    explicit MemoryStream(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}
    tresult VST3HOST_API queryInterface(const char* iid, void** object) override;
    tresult VST3HOST_API read(void* buffer, std::int32_t bytes, std::int32_t* done) override;
    tresult VST3HOST_API write(void* buffer, std::int32_t bytes, std::int32_t* done) override;
    tresult VST3HOST_API seek(std::int64_t position, std::int32_t mode,
                              std::int64_t* result) override;
    tresult VST3HOST_API tell(std::int64_t* position) override;
    const std::vector<std::uint8_t>& bytes() const { return bytes_; }

private:
    std::vector<std::uint8_t> bytes_;
    std::size_t position_ = 0;
};

class ParamQueue final : public HostObject<IParamValueQueue> {
public:
    explicit ParamQueue(ParamID id) : id_(id) {}
    tresult VST3HOST_API queryInterface(const char* iid, void** object) override;
    ParamID VST3HOST_API getParameterId() override { return id_; }
    std::int32_t VST3HOST_API getPointCount() override;
    tresult VST3HOST_API getPoint(std::int32_t index, std::int32_t& offset,
                                  ParamValue& value) override;
    tresult VST3HOST_API addPoint(std::int32_t offset, ParamValue value,
                                  std::int32_t& index) override;

private:
    struct Point {
        std::int32_t offset;
        ParamValue value;
    };
    ParamID id_;
    std::vector<Point> points_;
};

// One block's parameter changes; the plug-in may also write its own into it.
class ParameterChanges final : public HostObject<IParameterChanges> {
public:
    tresult VST3HOST_API queryInterface(const char* iid, void** object) override;
    std::int32_t VST3HOST_API getParameterCount() override;
    IParamValueQueue* VST3HOST_API getParameterData(std::int32_t index) override;
    IParamValueQueue* VST3HOST_API addParameterData(const ParamID& id,
                                                    std::int32_t& index) override;
    void add(ParamID id, std::int32_t offset, ParamValue value);
    void clear() { queues_.clear(); }
    bool empty() const { return queues_.empty(); }

private:
    std::vector<std::unique_ptr<ParamQueue>> queues_;
};

struct Edit {
    enum Kind { begin, perform, end } kind;
    ParamID id;
    ParamValue value;
};

class ComponentHandler final : public HostObject<IComponentHandler> {
public:
    tresult VST3HOST_API queryInterface(const char* iid, void** object) override;
    tresult VST3HOST_API beginEdit(ParamID id) override;
    tresult VST3HOST_API performEdit(ParamID id, ParamValue value) override;
    tresult VST3HOST_API endEdit(ParamID id) override;
    tresult VST3HOST_API restartComponent(std::int32_t flags) override;

    std::vector<Edit> edits;
    std::vector<std::int32_t> restarts;
};

struct ClassEntry {
    Uid cid{};
    std::int32_t cardinality = 0;
    std::string category;
    std::string name;
    std::string subCategories; // from the second factory interface on
    std::string vendor;
    std::string version;
    std::string sdkVersion;
    std::u16string wideName; // from the third
};

// A loaded bundle: its module entry called, its factory held and described.
class Module {
public:
    // bundle is the Spatium.vst3 folder. Throws Error.
    explicit Module(const std::string& bundle);
    ~Module();
    Module(const Module&) = delete;
    Module& operator=(const Module&) = delete;

    IPluginFactory& factory() { return *factory_; }
    // Null when the factory does not offer it.
    IPluginFactory3* factory3() { return factory3_; }
    const PFactoryInfo& info() const { return info_; }
    const std::vector<ClassEntry>& classes() const { return classes_; }
    // The one audio effect class; throws when there is not exactly one.
    const ClassEntry& effect() const;
    HostApplication& host() { return host_; }

private:
    void* library_ = nullptr;
    IPluginFactory* factory_ = nullptr;
    IPluginFactory3* factory3_ = nullptr;
    PFactoryInfo info_{};
    std::vector<ClassEntry> classes_;
    HostApplication host_;
};

// The bundle path inside a build tree, or empty when it has not been built.
std::string bundleIn(const std::string& buildDir);

// One instance set up as a host does before processing: initialised with the host
// context, the controller found, buses arranged for the given input.
class Plugin {
public:
    Plugin(Module& module, std::int32_t inputChannels, double rate, std::int32_t maxBlock);
    ~Plugin();
    Plugin(const Plugin&) = delete;
    Plugin& operator=(const Plugin&) = delete;

    IComponent& component() { return *component_; }
    IAudioProcessor& processor() { return *processor_; }
    IEditController& controller() { return *controller_; }
    ComponentHandler& handler() { return handler_; }
    bool singleComponent() const { return single_; }
    std::int32_t inputChannels() const { return inputs_; }
    double rate() const { return rate_; }

    std::vector<ParameterInfo> parameters();
    // The parameter titled name; throws Error naming it when there is none.
    ParamID parameter(const std::string& name);
    std::string text(ParamID id, ParamValue value);
    // The normalized value the plug-in reads from text; throws when it refuses.
    ParamValue valueOf(ParamID id, const std::string& text);
    // As a user typing into a host's field: the text read by the parameter and the
    // value set on the controller.
    void set(const std::string& name, const std::string& text);

    // setupProcessing, buses on, active and processing.
    void start();
    bool started() const { return started_; }
    // One block; in and out are planar, inputChannels() and two channels.
    void process(const float* const* in, float* const* out, std::int32_t frames,
                 IParameterChanges* changes = nullptr);

    std::vector<std::uint8_t> state();
    tresult restore(const std::vector<std::uint8_t>& bytes);

private:
    Module& module_;
    ComponentHandler handler_;
    IComponent* component_ = nullptr;
    IAudioProcessor* processor_ = nullptr;
    IEditController* controller_ = nullptr;
    bool single_ = true;
    bool started_ = false;
    std::int32_t inputs_;
    double rate_;
    std::int32_t maxBlock_;
    std::int64_t position_ = 0;
};

} // namespace vst3host
