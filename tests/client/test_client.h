#pragma once
// A small product client for exercising the framework without the real product.

#include "corvid/client/client.h"

#include <string>
#include <vector>

namespace testing_support {

struct SubBlockCall {
    const float* in0;
    float* out0;
    std::int32_t frames;
    std::int64_t samplePosition;
};

class TestClient : public corvid::Client {
public:
    explicit TestClient(std::int32_t subBlock = 512, int parameterCount = 8, int presetCount = 3)
        : subBlock_(subBlock), parameterCount_(parameterCount), presetCount_(presetCount) {}

    std::unique_ptr<corvid::IGraphics> createEditor() override { return nullptr; }
    void resetState(double rate, std::int32_t maxFrames, std::int32_t ins,
                    std::int32_t outs) override {
        resets.push_back({rate, maxFrames, ins, outs});
    }
    std::int32_t maxSubBlockFrames() override { return subBlock_; }
    void processSubBlock(const float* const* inputs, float* const* outputs, std::int32_t frames,
                         corvid::TransportInfo transport) override {
        calls.push_back({inputs[0], outputs[0], frames, transport.samplePosition});
    }
    std::vector<std::unique_ptr<corvid::Parameter>> declareParameters() override {
        order += "parameters ";
        std::vector<std::unique_ptr<corvid::Parameter>> p;
        for (int i = 0; i < parameterCount_; ++i) {
            p.push_back(std::make_unique<corvid::LinearFloatParameter>(
                i, "P" + std::to_string(i), "", 0.0, 10.0, static_cast<double>(i)));
        }
        return p;
    }
    std::vector<std::unique_ptr<corvid::Preset>> declarePresets() override {
        order += "presets ";
        std::vector<std::unique_ptr<corvid::Preset>> presets;
        for (int i = 0; i < presetCount_; ++i) {
            auto preset = defaultPreset();
            for (float& v : preset->normalizedValues) v = 0.1f * static_cast<float>(i);
            presets.push_back(std::move(preset));
        }
        return presets;
    }
    corvid::PluginDescription declarePluginInfo() override {
        order += "info ";
        corvid::PluginDescription d;
        d.pluginName = "Test";
        d.versionMajor = 1;
        d.versionMinor = 3;
        return d;
    }
    std::vector<corvid::ChannelLayout> declareChannelLayouts() override {
        order += "layouts ";
        return {{1, 2}, {2, 2}};
    }

    struct Reset {
        double rate;
        std::int32_t maxFrames, ins, outs;
    };
    std::vector<Reset> resets;
    std::vector<SubBlockCall> calls;
    std::string order;

private:
    std::int32_t subBlock_;
    int parameterCount_;
    int presetCount_;
};

class RecordingHost : public corvid::IHostCommand {
public:
    void beginParameterEdit(std::int32_t index) override {
        log.push_back("begin " + std::to_string(index));
    }
    void automateParameter(std::int32_t index, float normalized) override {
        log.push_back("automate " + std::to_string(index));
        lastValue = normalized;
    }
    void endParameterEdit(std::int32_t index) override {
        log.push_back("end " + std::to_string(index));
    }
    bool requestEditorResize(std::int32_t, std::int32_t) override { return false; }
    corvid::DawKind hostKind() override { return corvid::DawKind::protools; }

    std::vector<std::string> log;
    float lastValue = -1.0f;
};

} // namespace testing_support
