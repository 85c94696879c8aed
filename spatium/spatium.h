#pragma once
// Spatium's plug-in object: identity, parameter set, factory presets and the state
// the audio chain keeps between sub-blocks.

#include "corvid/client/client.h"
#include "corvid/dsp/smooth.h"
#include "spatium/distance.h"
#include "spatium/panner.h"
#include "spatium/params.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace spatium {

class SpatiumClient : public corvid::Client {
public:
    // Builds the editor for a client. The plug-in library passes the real editor;
    // the DSP alone (tests, fuzzing) links without any GUI and has no editor.
    using EditorFactory = std::unique_ptr<corvid::IGraphics> (*)(SpatiumClient& client);

    explicit SpatiumClient(EditorFactory editorFactory = nullptr) : editorFactory_(editorFactory) {}
    ~SpatiumClient() override = default;

    std::unique_ptr<corvid::IGraphics> createEditor() override;
    void resetState(double sampleRate, std::int32_t maxFrames, std::int32_t numInputs,
                    std::int32_t numOutputs) override;
    std::int32_t latencyInSamples(double sampleRate) override;
    float tailLengthSeconds() override;
    std::int32_t maxSubBlockFrames() override;
    void processSubBlock(const float* const* inputs, float* const* outputs, std::int32_t frames,
                         corvid::TransportInfo transport) override;
    std::vector<std::unique_ptr<corvid::Parameter>> declareParameters() override;
    std::vector<std::unique_ptr<corvid::Preset>> declarePresets() override;
    corvid::PluginDescription declarePluginInfo() override;
    std::vector<corvid::ChannelLayout> declareChannelLayouts() override;

    // Typed access for the audio path and the editor.
    corvid::FloatParameter* floatParameter(std::int32_t index) const;
    corvid::IntegerParameter* integerParameter(std::int32_t index) const;
    corvid::BoolParameter* boolParameter(std::int32_t index) const;

    float editorSampleRate() const { return editorSampleRate_; }
    std::int64_t silentFrames() const { return silentFrames_; }
    std::int64_t silenceThreshold() const { return silenceThreshold_; }
    std::size_t scratchFrames() const { return midBuffer_.size(); }
    const BinauralPanner& panner() const { return panner_; }
    const DistanceStage& distanceStage() const { return distance_; }
    const corvid::ExpSmoother& widthSmoother() const { return widthSmoother_; }

private:
    // Builds one factory preset: a NaN or infinity among the twenty leading values
    // keeps that parameter's default.
    std::unique_ptr<corvid::Preset> makePreset(const float (&values)[20], bool testMono,
                                               const std::string& name);

    // Audio path helpers (process.cpp).
    bool scratchHolds(std::int32_t frames) const;
    void feedEditor(const float* outL, const float* outR, std::int32_t frames, float panAmount,
                    float distanceAmount, float tiltAmount);

    EditorFactory editorFactory_ = nullptr;
    BinauralPanner panner_;
    DistanceStage distance_;
    std::vector<float> midBuffer_;
    std::vector<float> sideBuffer_;
    // Copies of inputs that share storage with an output written before they are read.
    std::vector<float> inputCopyL_;
    std::vector<float> inputCopyR_;
    corvid::ExpSmoother widthSmoother_;
    float editorSampleRate_ = 0.0f;
    std::int64_t silentFrames_ = 0;
    std::int64_t silenceThreshold_ = 0;
    std::int32_t inputChannels_ = 0;
};

} // namespace spatium
