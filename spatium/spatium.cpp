#include "spatium/spatium.h"

#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>

namespace spatium {

using corvid::BoolParameter;
using corvid::EnumParameter;
using corvid::GainParameter;
using corvid::IntegerParameter;
using corvid::LinearFloatParameter;
using corvid::LogFloatParameter;
using corvid::Parameter;

namespace {

constexpr const char* kDegree = "\xC2\xB0";

const std::vector<std::string_view> kLfoWaves{"sine", "tri", "square", "saw", "random"};
const std::vector<std::string_view> kLfoTempos{"128/4", "64/4", "32/4", "16/4", "12/4", "8/4",
                                               "4/4",   "3/4",  "2/4",  "1/4",  "3/16", "2/16"};

// These limits were chosen in single precision; the widened values are what the
// stored normalised values of existing sessions were computed against.
constexpr double f2d(float f) {
    return static_cast<double>(f);
}

// Exponent bits all ones: NaN or infinity, the builder's "keep the default".
bool keepsDefault(float v) {
    return (std::bit_cast<std::uint32_t>(v) & 0x7F800000u) == 0x7F800000u;
}

} // namespace

std::vector<std::unique_ptr<Parameter>> SpatiumClient::declareParameters() {
    std::vector<std::unique_ptr<Parameter>> p;
    p.reserve(kParameterCount);
    auto linear = [&p](const char* name, const char* label, double min, double max, double def) {
        const auto index = static_cast<std::int32_t>(p.size());
        p.push_back(std::make_unique<LinearFloatParameter>(index, name, label, min, max, def));
    };
    auto logarithmic = [&p](const char* name, const char* label, double min, double max,
                            double def) {
        const auto index = static_cast<std::int32_t>(p.size());
        p.push_back(std::make_unique<LogFloatParameter>(index, name, label, min, max, def));
    };
    auto integer = [&p](const char* name, std::int32_t min, std::int32_t max, std::int32_t def) {
        const auto index = static_cast<std::int32_t>(p.size());
        p.push_back(std::make_unique<IntegerParameter>(index, name, "", min, max, def));
    };
    auto boolean = [&p](const char* name, bool def) {
        const auto index = static_cast<std::int32_t>(p.size());
        p.push_back(std::make_unique<BoolParameter>(index, name, def));
    };
    auto enumeration = [&p](const char* name, const std::vector<std::string_view>& values,
                            std::int32_t def) {
        const auto index = static_cast<std::int32_t>(p.size());
        p.push_back(std::make_unique<EnumParameter>(index, name, values, def));
    };

    // The M-to-S and LFO parameters and the reserved slots are stored and automated
    // but never act on the audio; Tilt reaches only the editor's panorama.
    linear("Distance", "", -24, 6, 0);
    linear("Stereo Width", "%", 0, 200, 100);
    linear("M-to-S Amount.", "%", 0, 100, 0);
    logarithmic("M-to-S Delay", "ms", 3, 12, 6);
    logarithmic("M-to-S Lowpass", "kHz", f2d(0.2f), 22, f2d(2.1f));
    linear("Tilt", "dB", -6, 6, 0);
    linear("Pan", kDegree, -90, 90, 0);
    linear("Head size", "%", 0, 200, 100);
    linear("Spectral Pan", "%", 0, 200, 100);
    enumeration("LFO Wave", kLfoWaves, 0);
    boolean("LFO Synced", true);
    enumeration("LFO Tempo", kLfoTempos, 5);
    linear("LFO Phase", kDegree, -180, 180, 0);
    logarithmic("LFO Freq", "Hz", f2d(0.05f), 10, 1);
    linear("LFO > Pan", "%", -100, 100, 0);
    linear("LFO > Distance", "%", -100, 100, 0);
    linear("LFO > Gain", "%", -100, 100, 0);
    linear("LFO > Tilt", "%", -100, 100, 0);
    p.push_back(std::make_unique<GainParameter>(kOutputLevel, "Output Level", 18, 0));
    linear("Dry / Wet", "%", 0, 100, 100);
    boolean("Test Mono", false);
    integer("Reserved #0", 0, 16, 0);
    linear("Reserved #1", "%", 0, 200, 100);
    linear("Reserved #2", "%", 0, 200, 100);
    linear("Reserved #3", "%", 0, 200, 100);
    linear("Reserved #4", "%", 0, 1, 0);
    linear("Reserved #5", "%", 0, 1, 0.5);
    linear("Reserved #6", "%", 0, 1, 0.5);
    linear("Reserved #7", "%", 0, 1, 0.5);
    boolean("Reserved #8", false);
    linear("Reserved #9", "", 0, 1, 0);
    boolean("Reserved #10", true);
    integer("Reserved #11", 0, 11, 5);
    linear("Reserved #12", "", -180, 180, 0);
    logarithmic("Reserved #13", "", f2d(0.05f), 10, 1);
    linear("Reserved #14", "", -100, 100, 0);
    linear("Reserved #15", "", -100, 100, 0);
    linear("Reserved #16", "", -100, 100, 0);
    linear("Reserved #17", "", -100, 100, 0);
    integer("Reserved #18", 1, 12, 6);
    linear("Reserved #19", "", -180, 180, 0);
    linear("Reserved #20", "", 0, 1, 0);
    return p;
}

std::unique_ptr<corvid::Preset> SpatiumClient::makePreset(const float (&values)[20], bool testMono,
                                                          const std::string& name) {
    std::unique_ptr<corvid::Preset> preset = defaultPreset();
    preset->name = name;
    for (std::size_t i = 0; i < 20; ++i) {
        if (!keepsDefault(values[i])) preset->normalizedValues[i] = values[i];
    }
    preset->normalizedValues[kTestMono] = testMono ? 1.0f : 0.0f;
    preset->normalizedValues[kReserved0] = 0.0f;
    return preset;
}

std::vector<std::unique_ptr<corvid::Preset>> SpatiumClient::declarePresets() {
    struct Row {
        const char* name;
        float distance, pan, headSize, spectralPan, outputLevel;
    };
    constexpr float k = std::numeric_limits<float>::quiet_NaN();
    static const Row kRows[] = {
        {"Default", k, k, k, k, k},
        {"Left 75%", k, 0.125f, k, k, k},
        {"Left 25%", k, 0.375f, k, k, k},
        {"Right 25% ", k, 0.625f, k, k, k},
        {"Right 75% ", k, 0.875f, k, k, k},
        {"Delay Pan Only", k, 0.0f, 0.75f, 0.0f, k},
        {"Spectral Pan Only", k, 1.0f, 0.0f, 1.0f, k},
        {"Far-Left", 0.2f, 0.0f, k, k, 1.0f},
        {"Far-Center", 0.2f, 0.5f, k, k, 1.0f},
        {"Far-Right", 0.2f, 1.0f, k, k, 1.0f},
        {"Left Brain", 0.93f, 0.0f, k, k, 0.32f},
        {"Right Brain", 0.93f, 1.0f, k, k, 0.32f},
    };
    std::vector<std::unique_ptr<corvid::Preset>> presets;
    presets.reserve(kFactoryPresetCount);
    auto add = [&](const Row& row) {
        float values[20];
        for (float& v : values) v = k;
        values[kDistance] = row.distance;
        values[kPan] = row.pan;
        values[kHeadSize] = row.headSize;
        values[kSpectralPan] = row.spectralPan;
        values[kOutputLevel] = row.outputLevel;
        values[kDryWet] = 1.0f;
        presets.push_back(makePreset(values, false, row.name));
    };
    for (const Row& row : kRows) add(row);
    while (presets.size() < static_cast<std::size_t>(kFactoryPresetCount)) add(kRows[0]);
    return presets;
}

corvid::PluginDescription SpatiumClient::declarePluginInfo() {
    corvid::PluginDescription d;
    d.vendorName = "Vireo Raroza";
    d.vendorCode = "Vreo";
    d.pluginName = "Spatium";
    d.pluginCode = "@s21";
    d.versionMajor = 1;
    d.versionMinor = 3;
    d.versionPatch = 0;
    d.hasEditor = true;
    d.isInstrument = false;
    d.receivesMidi = false;
    d.category = corvid::EffectCategory::soundField;
    d.vstBundleId = "com.vireoraroza.vst.spatium";
    d.auBundleId = "com.vireoraroza.audiounit.spatium";
    d.aaxBundleId = "com.vireoraroza.aax.spatium";
    return d;
}

std::vector<corvid::ChannelLayout> SpatiumClient::declareChannelLayouts() {
    return {{1, 2}, {2, 2}};
}

std::int32_t SpatiumClient::latencyInSamples(double) {
    return 3;
}
float SpatiumClient::tailLengthSeconds() {
    return 0.1f;
}
std::int32_t SpatiumClient::maxSubBlockFrames() {
    return 512;
}

std::unique_ptr<corvid::IGraphics> SpatiumClient::createEditor() {
    return editorFactory_ ? editorFactory_(*this) : nullptr;
}

void SpatiumClient::resetState(double sampleRate, std::int32_t maxFrames, std::int32_t numInputs,
                               std::int32_t) {
    inputChannels_ = numInputs;
    const float rate = static_cast<float>(sampleRate);
    const std::size_t frames = maxFrames > 0 ? static_cast<std::size_t>(maxFrames) : 0;
    panner_.reset(rate, maxFrames > 0 ? maxFrames : 0);
    distance_.reset(rate);
    try {
        for (std::vector<float>* b : {&midBuffer_, &sideBuffer_, &inputCopyL_, &inputCopyR_}) {
            b->assign(frames, 0.0f);
            if (frames == 0) b->shrink_to_fit();
        }
    } catch (const std::bad_alloc&) {
        // Processing checks the scratch length and outputs silence rather than
        // writing past a buffer that could not be had.
        for (std::vector<float>* b : {&midBuffer_, &sideBuffer_, &inputCopyL_, &inputCopyR_})
            *b = {};
    }
    editorSampleRate_ = rate;
    widthSmoother_.initialise(1.0f, 0.04f, rate);
    silentFrames_ = 0;
    silenceThreshold_ = static_cast<std::int64_t>(sampleRate * 0.1 + 0.5);
}

corvid::FloatParameter* SpatiumClient::floatParameter(std::int32_t index) const {
    return static_cast<corvid::FloatParameter*>(parameter(index));
}

corvid::IntegerParameter* SpatiumClient::integerParameter(std::int32_t index) const {
    return static_cast<corvid::IntegerParameter*>(parameter(index));
}

corvid::BoolParameter* SpatiumClient::boolParameter(std::int32_t index) const {
    return static_cast<corvid::BoolParameter*>(parameter(index));
}

} // namespace spatium
