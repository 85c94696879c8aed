#pragma once
// The host-neutral plug-in object. A product derives from Client and declares what
// it is (identity, channel layouts, parameters, presets) and does its work (reset,
// process, editor). A host adapter creates one client per plug-in instance and
// drives it through the host-side operations.
//
// Threads: main = the host's main thread, audio = the host's audio thread,
// editor = the thread that runs the editor's window messages.

#include "corvid/client/daw.h"
#include "corvid/client/graphics.h"
#include "corvid/client/midi.h"
#include "corvid/client/params.h"
#include "corvid/client/preset.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace corvid {

// Codes the adapters map to their own category schemes.
enum class EffectCategory : std::int32_t {
    effect = 0,
    delay = 1,
    harmonic = 2,
    dynamics = 3,
    eq = 4,
    soundField = 5,
    modulation = 6,
    pitchShift = 7,
    reverb = 8,
    analyzer = 9,
    generator = 10,
    synth = 11,
    sampler = 12,
    drum = 13,
};

struct PluginDescription {
    std::string vendorName;
    std::string vendorCode; // four characters
    std::string pluginName;
    std::string pluginCode; // four characters
    std::int32_t versionMajor = 0;
    std::int32_t versionMinor = 0;
    std::int32_t versionPatch = 0;
    bool hasEditor = false;
    bool isInstrument = false;
    bool receivesMidi = false;
    EffectCategory category = EffectCategory::effect;
    std::string vstBundleId;
    std::string auBundleId;
    std::string aaxBundleId;

    std::int32_t packedVersion() const {
        return versionMajor << 16 | versionMinor << 8 | versionPatch;
    }
};

struct ChannelLayout {
    std::int32_t numInputs = 0;
    std::int32_t numOutputs = 0;
};

struct TransportInfo {
    double tempo = 120.0;
    std::int64_t samplePosition = 0;
    bool isPlaying = false;
};

// Calls back into the host, implemented by each adapter.
class IHostCommand {
public:
    virtual ~IHostCommand() = default;
    virtual void beginParameterEdit(std::int32_t index) = 0;
    virtual void automateParameter(std::int32_t index, float normalized) = 0;
    virtual void endParameterEdit(std::int32_t index) = 0;
    virtual bool requestEditorResize(std::int32_t width, std::int32_t height) = 0;
    virtual DawKind hostKind() = 0;
};

inline constexpr std::int32_t kMidiQueueCapacity = 511;

class Client {
public:
    Client() = default;
    virtual ~Client();
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;

    // Runs the declarations in their fixed order. Called once, right after the most
    // derived constructor (use createClient), before an adapter touches the client.
    void initialize();

    // ---- overridable, in slot order
    // main: index already validated by the adapter.
    virtual void hostSetParameter(std::int32_t index, float normalized);
    // editor: builds the editor object; called at most once per client.
    virtual std::unique_ptr<IGraphics> createEditor() = 0;
    // audio: clear state, size buffers for sub-blocks of up to maxFrames.
    virtual void resetState(double sampleRate, std::int32_t maxFrames, std::int32_t numInputs,
                            std::int32_t numOutputs) = 0;
    virtual std::int32_t latencyInSamples(double sampleRate);
    virtual float tailLengthSeconds();
    // 0 means host blocks are passed whole.
    virtual std::int32_t maxSubBlockFrames();
    // audio: the product's work; frames never exceeds the last reset's maxFrames.
    virtual void processSubBlock(const float* const* inputs, float* const* outputs,
                                 std::int32_t frames, TransportInfo transport) = 0;
    // audio: queue a message that arrived with the coming host block.
    virtual void hostEnqueueMidi(MidiMessage message);
    // audio: cut a host block into sub-blocks; advances the caller's channel pointers.
    virtual void hostProcess(float** inputs, float** outputs, std::int32_t frames,
                             TransportInfo transport);
    // audio: sample rate or channel counts changed, or before the first block.
    virtual void hostReset(double sampleRate, std::int32_t maxFrames, std::int32_t numInputs,
                           std::int32_t numOutputs);
    virtual std::vector<std::unique_ptr<Parameter>> declareParameters() = 0;
    virtual std::vector<std::unique_ptr<Preset>> declarePresets() = 0;
    virtual PluginDescription declarePluginInfo() = 0;
    virtual std::vector<ChannelLayout> declareChannelLayouts() = 0;

    // ---- plain access
    const PluginDescription& info() const { return info_; }
    std::int32_t parameterCount() const { return static_cast<std::int32_t>(parameters_.size()); }
    Parameter* parameter(std::int32_t index) const {
        return parameters_[static_cast<std::size_t>(index)].get();
    }
    PresetBank& presetBank() { return *presetBank_; }
    const PresetBank& presetBank() const { return *presetBank_; }
    const std::vector<ChannelLayout>& channelLayouts() const { return channelLayouts_; }
    std::int32_t maxInputs() const { return maxInputs_; }
    std::int32_t maxOutputs() const { return maxOutputs_; }
    std::int32_t maxSubBlock() const { return maxSubBlock_; }
    IHostCommand* hostCommand() const { return hostCommand_; }
    void setHostCommand(IHostCommand* command) { hostCommand_ = command; }

    // Every parameter at its normalised default, named "Default".
    std::unique_ptr<Preset> defaultPreset();

    // ---- editor ownership
    // editor: creates the editor on first use (when the plug-in has one) and
    // returns it; later calls return the same object. Null when there is none.
    IGraphics* ensureEditor();
    // Any thread but the editor's: takes the editor token with one compare-and-swap.
    // Returns null (never waits) when there is no editor or someone else holds it.
    IGraphics* tryTakeEditor();
    // Gives back a token taken with tryTakeEditor.
    void releaseEditor();
    bool hasEditorObject() const { return editor_ != nullptr; }

    // ---- MIDI queue (audio thread)
    std::int32_t queuedMidiCount() const { return midiCount_; }
    // Heap slot i (1-based), for inspection.
    const MidiMessage& midiSlot(std::int32_t i) const {
        return midiHeap_[static_cast<std::size_t>(i)];
    }
    // Messages due in the sub-block being processed, offsets from its first frame.
    const std::vector<MidiMessage>& midiForSubBlock() const { return midiOut_; }

private:
    void drainMidi(std::int32_t frames);
    MidiMessage popMidi();

    std::unique_ptr<IGraphics> editor_;
    std::atomic<bool> editorAvailable_{false};
    IHostCommand* hostCommand_ = nullptr;
    PluginDescription info_;
    std::vector<std::unique_ptr<Parameter>> parameters_;
    std::unique_ptr<PresetBank> presetBank_;
    std::vector<ChannelLayout> channelLayouts_;
    std::int32_t maxInputs_ = 0;
    std::int32_t maxOutputs_ = 0;
    std::int32_t maxSubBlock_ = 0;
    // Channel counts of the last reset: how many pointers hostProcess advances.
    std::int32_t currentInputs_ = 0;
    std::int32_t currentOutputs_ = 0;
    std::int32_t framesElapsed_ = 0;
    std::array<MidiMessage, kMidiQueueCapacity + 1> midiHeap_{}; // slot 0 unused
    std::int32_t midiCount_ = 0;
    std::vector<MidiMessage> midiOut_;
};

// Constructs a product client and runs its declarations.
template <class T, class... Args>
std::unique_ptr<T> createClient(Args&&... args) {
    auto client = std::make_unique<T>(std::forward<Args>(args)...);
    client->initialize();
    return client;
}

} // namespace corvid
