#include "spatium/spatium.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

using spatium::SpatiumClient;

namespace {

std::unique_ptr<SpatiumClient> makeClient() {
    return corvid::createClient<SpatiumClient>();
}

std::string display(corvid::Parameter* p) {
    char buffer[64];
    p->formatValue(buffer, sizeof buffer);
    return buffer;
}

std::string number(double v) {
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.17g", v);
    return buffer;
}

// Normalised values reach the host as 32-bit floats; their last double bits come
// from libm and may differ between platforms.
std::string hostNumber(double v) {
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.9g", static_cast<double>(static_cast<float>(v)));
    return buffer;
}

// One line per parameter with everything a host sees of it: index, kind, name,
// label, range, default, steps, mapping shape, display format, the default's
// normalised value as the host receives it and its display text (enumerations list their names).
std::string hostFacingTable(SpatiumClient& c) {
    std::ostringstream table;
    for (int i = 0; i < c.parameterCount(); ++i) {
        corvid::Parameter* p = c.parameter(i);
        table << p->index() << " | ";
        if (auto* e = dynamic_cast<corvid::EnumParameter*>(p)) {
            table << "enum | " << p->name() << " | " << p->label() << " | " << e->min() << " | "
                  << e->max() << " | " << e->defaultValue() << " | steps " << e->max() - e->min()
                  << " |";
            for (std::string_view v : e->possibleValues()) table << " [" << v << "]";
        } else if (auto* n = dynamic_cast<corvid::IntegerParameter*>(p)) {
            table << "integer | " << p->name() << " | " << p->label() << " | " << n->min() << " | "
                  << n->max() << " | " << n->defaultValue() << " | steps " << n->max() - n->min()
                  << " |";
        } else if (auto* b = dynamic_cast<corvid::BoolParameter*>(p)) {
            table << "bool | " << p->name() << " | " << p->label() << " | 0 | 1 | "
                  << b->defaultValue() << " | steps 1 |";
        } else if (auto* f = dynamic_cast<corvid::FloatParameter*>(p)) {
            std::string kind = "float";
            double shape = 1.0;
            if (auto* g = dynamic_cast<corvid::GainParameter*>(p))
                kind = "gain", shape = g->shape();
            else if (auto* w = dynamic_cast<corvid::PowFloatParameter*>(p))
                kind = "pow", shape = w->shape();
            else if (dynamic_cast<corvid::LogFloatParameter*>(p))
                kind = "log";
            else if (dynamic_cast<corvid::LinearFloatParameter*>(p))
                kind = "linear";
            table << kind << " | " << p->name() << " | " << p->label() << " | " << number(f->min())
                  << " | " << number(f->max()) << " | " << number(f->defaultValue())
                  << " | continuous | shape " << number(shape) << " | " << f->formatString();
        } else {
            table << "unknown | " << p->name();
        }
        char shown[64];
        p->formatValue(shown, sizeof shown);
        table << " | " << hostNumber(p->normalizedDefault()) << " | " << shown << "\n";
    }
    return table.str();
}

// The whole table against a copy committed beside this test: a changed name,
// label, range, default or step count changes what hosts and saved sessions see.
// To record a deliberate change, run with SPATIUM_WRITE_GOLDEN=1.
void expectTableEqualsGoldenCopy(SpatiumClient& c) {
    const char* root = std::getenv("SPATIUM_SOURCE_DIR");
    ASSERT_NE(root, nullptr);
    const std::string path = std::string(root) + "/tests/spatium/parameter_table.txt";
    const std::string table = hostFacingTable(c);
    if (std::getenv("SPATIUM_WRITE_GOLDEN")) std::ofstream(path, std::ios::binary) << table;
    std::ifstream in(path, std::ios::binary);
    ASSERT_TRUE(in) << path;
    std::stringstream golden;
    golden << in.rdbuf();
    std::istringstream expectedLines(golden.str()), actualLines(table);
    std::string expected, actual;
    int line = 0;
    while (std::getline(expectedLines, expected)) {
        ASSERT_TRUE(std::getline(actualLines, actual)) << "missing line " << line;
        EXPECT_EQ(actual, expected) << "line " << line;
        ++line;
    }
    EXPECT_FALSE(std::getline(actualLines, actual)) << "extra line: " << actual;
    EXPECT_EQ(line, 42);
}

TEST(ParameterSet, NamesLabelsAndKinds) {
    auto c = makeClient();
    ASSERT_EQ(c->parameterCount(), 42);
    expectTableEqualsGoldenCopy(*c);
    for (int i = 0; i < 42; ++i) EXPECT_EQ(c->parameter(i)->index(), i);
    EXPECT_EQ(c->parameter(2)->name(), "M-to-S Amount.");
    EXPECT_EQ(c->parameter(6)->label(), "\xC2\xB0");
    EXPECT_EQ(c->parameter(12)->label(), "\xC2\xB0");
    EXPECT_EQ(c->parameter(19)->name(), "Dry / Wet");
    EXPECT_EQ(c->parameter(39)->name(), "Reserved #18");
    EXPECT_TRUE(c->parameter(39)->label().empty());
    EXPECT_EQ(c->parameter(41)->name(), "Reserved #20");
    EXPECT_EQ(display(c->parameter(11)), "8/4");
    EXPECT_EQ(display(c->parameter(10)), "yes");
    EXPECT_EQ(display(c->parameter(31)), "yes");
    EXPECT_EQ(display(c->parameter(18)), "0.0");
    EXPECT_EQ(display(c->parameter(0)), "0.00");
    EXPECT_TRUE(c->parameter(9)->isDiscrete());
    EXPECT_FALSE(c->parameter(18)->isDiscrete());
}

TEST(ParameterSet, SinglePrecisionLimitsWidened) {
    auto c = makeClient();
    auto* lowpass = c->floatParameter(4);
    EXPECT_EQ(lowpass->min(), 0.20000000298023224);
    EXPECT_EQ(lowpass->defaultValue(), 2.0999999046325684);
    EXPECT_EQ(c->floatParameter(13)->min(), 0.05000000074505806);
    EXPECT_EQ(c->floatParameter(34)->min(), 0.05000000074505806);
    EXPECT_NEAR(c->parameter(18)->normalizedDefault(), std::pow(10.0, -18.0 / 40.0), 1e-15);
}

TEST(FactoryPresets, ThirtyTwoWithExactNames) {
    auto c = makeClient();
    const auto& presets = c->presetBank().presets();
    ASSERT_EQ(presets.size(), 32u);
    const char* names[] = {"Default",    "Left 75%",       "Left 25%",          "Right 25% ",
                           "Right 75% ", "Delay Pan Only", "Spectral Pan Only", "Far-Left",
                           "Far-Center", "Far-Right",      "Left Brain",        "Right Brain"};
    for (int i = 0; i < 12; ++i) EXPECT_EQ(presets[static_cast<std::size_t>(i)]->name, names[i]);
    auto defaults = c->defaultPreset();
    for (std::size_t i = 12; i < 32; ++i) {
        EXPECT_EQ(presets[i]->name, "Default");
        EXPECT_EQ(presets[i]->normalizedValues, defaults->normalizedValues);
    }
    for (const auto& p : presets) {
        ASSERT_EQ(p->normalizedValues.size(), 42u);
        EXPECT_EQ(p->normalizedValues[19], 1.0f);
        EXPECT_EQ(p->normalizedValues[20], 0.0f);
        EXPECT_EQ(p->normalizedValues[21], 0.0f);
    }
    EXPECT_EQ(presets[5]->normalizedValues[6], 0.0f);
    EXPECT_EQ(presets[5]->normalizedValues[7], 0.75f);
    EXPECT_EQ(presets[5]->normalizedValues[8], 0.0f);
    EXPECT_EQ(presets[10]->normalizedValues[0], 0.93f);
    EXPECT_EQ(presets[10]->normalizedValues[18], 0.32f);
}

TEST(FactoryPresets, LoadingFarCenter) {
    auto c = makeClient();
    c->parameter(7)->applyFromHost(0.1);
    const auto chunk = c->presetBank().writePresetChunk(8);
    c->presetBank().readStateChunk(chunk.data(), chunk.size());
    EXPECT_EQ(c->presetBank().currentPreset(), 8);
    EXPECT_NEAR(c->floatParameter(0)->value(), -18.0, 1e-5);
    EXPECT_EQ(c->floatParameter(6)->value(), 0.0);
    EXPECT_NEAR(c->floatParameter(18)->value(), 18.0, 1e-12);
    EXPECT_EQ(c->floatParameter(7)->value(), 100.0);
    EXPECT_EQ(c->floatParameter(8)->value(), 100.0);
}

TEST(StateChunk, ProductVersionBytesAndRoundTrip) {
    auto c = makeClient();
    c->parameter(6)->applyFromHost(0.3);
    c->parameter(11)->applyFromHost(1.0);
    const auto chunk = c->presetBank().writeStateChunk();
    ASSERT_EQ(chunk.size(), 24u + 4u * 42u);
    EXPECT_EQ(chunk[12], 0x00);
    EXPECT_EQ(chunk[13], 0x03);
    EXPECT_EQ(chunk[14], 0x01);
    EXPECT_EQ(chunk[15], 0x00);
    auto other = makeClient();
    other->presetBank().readStateChunk(chunk.data(), chunk.size());
    for (int i = 0; i < 42; ++i) {
        EXPECT_EQ(static_cast<float>(other->parameter(i)->normalizedValue()),
                  static_cast<float>(c->parameter(i)->normalizedValue()))
            << i;
    }
}

TEST(Description, IdentityLayoutsAndConstants) {
    auto c = makeClient();
    const auto& d = c->info();
    EXPECT_EQ(d.vendorName, "Vireo Raroza");
    EXPECT_EQ(d.vendorCode, "Vreo");
    EXPECT_EQ(d.pluginCode, "@s21");
    EXPECT_EQ(d.packedVersion(), 0x010300);
    EXPECT_TRUE(d.hasEditor);
    EXPECT_FALSE(d.receivesMidi);
    EXPECT_EQ(d.category, corvid::EffectCategory::soundField);
    ASSERT_EQ(c->channelLayouts().size(), 2u);
    EXPECT_EQ(c->channelLayouts()[0].numInputs, 1);
    EXPECT_EQ(c->channelLayouts()[1].numInputs, 2);
    EXPECT_EQ(c->latencyInSamples(44100), 3);
    EXPECT_EQ(c->latencyInSamples(192000), 3);
    EXPECT_EQ(c->tailLengthSeconds(), 0.1f);
    EXPECT_EQ(c->maxSubBlock(), 512);
}

TEST(ResetState, SilenceThresholdAndScratch) {
    auto c = makeClient();
    c->hostReset(44100, 1024, 2, 2);
    EXPECT_EQ(c->silenceThreshold(), 4410);
    EXPECT_EQ(c->scratchFrames(), 512u);
    EXPECT_EQ(c->editorSampleRate(), 44100.0f);
    c->hostReset(48000, 256, 1, 2);
    EXPECT_EQ(c->silenceThreshold(), 4800);
    EXPECT_EQ(c->scratchFrames(), 256u);
    c->hostReset(96000, 512, 2, 2);
    EXPECT_EQ(c->silenceThreshold(), 9600);
    c->hostReset(22050.5, 512, 2, 2);
    EXPECT_EQ(c->silenceThreshold(), 2205); // 2205.05 + 0.5, truncated
    EXPECT_EQ(c->silentFrames(), 0);
}

} // namespace
