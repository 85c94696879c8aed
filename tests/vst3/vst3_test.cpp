// The built Spatium.vst3 bundle through our own VST3 host, held to the
// command-line host driving the AAX library: the same audio bit for bit, the same
// state bytes, the same parameters.

#include "tests/vst3/checks.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

using namespace vst3host;

namespace {

const std::string kDir = SPATIUM_BINARY_DIR_PATH "/vst3-tests";

std::string join(const Failures& failures) {
    std::string text;
    for (const std::string& f : failures) text += "\n  " + f;
    return text;
}

std::string quoted(const std::string& text) {
    std::string q = "'";
    for (char c : text) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

int run(const std::string& command) {
    const int status = std::system((command + " >" + kDir + "/last.log 2>&1").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string lastLog() {
    std::ifstream in(kDir + "/last.log");
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string setArgs(const Settings& settings) {
    std::string args;
    for (const auto& [name, text] : settings) args += " --set " + quoted(name + "=" + text);
    return args;
}

std::vector<std::uint8_t> fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

// A second and a half of the test signal, written once.
std::string testInput(std::int32_t channels, std::int32_t rate) {
    const std::string path =
        kDir + "/input-" + std::to_string(channels) + "-" + std::to_string(rate) + ".wav";
    if (!std::filesystem::exists(path)) writeAudio(path, testSignal(channels, rate, 1.5));
    return path;
}

class Vst3Test : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        std::filesystem::create_directories(kDir);
        const std::string bundle = bundleIn(SPATIUM_BINARY_DIR_PATH);
        if (!bundle.empty()) module_ = std::make_unique<Module>(bundle);
    }
    static void TearDownTestSuite() { module_.reset(); }

    void SetUp() override {
        if (!module_)
            GTEST_SKIP() << "the VST3 bundle is not built in " SPATIUM_BINARY_DIR_PATH
                            "/vst3 (build the spatium_vst3 target)";
    }

    Module& module() {
        return *module_;
    }

    // spatium render --no-compensate of the same input and values.
    Audio reference(const std::string& input, std::int32_t block, const std::string& extra) {
        const std::string out = kDir + "/reference.wav";
        const int status =
            run(std::string(SPATIUM_EXE) + " render " + quoted(input) + " -o " + quoted(out) +
                " --no-compensate --block " + std::to_string(block) + extra);
        if (status != 0) throw Error("spatium render failed: " + lastLog());
        return readAudio(out);
    }

    static std::unique_ptr<Module> module_;
};

std::unique_ptr<Module> Vst3Test::module_;

const Settings kSettings = {{"Pan", "-37.5"},        {"Distance", "-4"},  {"Stereo Width", "140"},
                            {"Head size", "120"},    {"Dry / Wet", "85"}, {"Output Level", "-3"},
                            {"M-to-S Amount.", "30"}};

TEST_F(Vst3Test, FactoryDescribesOneSpatialEffect) {
    const ClassEntry& effect = module().effect();
    EXPECT_EQ(effect.name, "Spatium");
    EXPECT_EQ(effect.subCategories, "Fx|Spatial");
    EXPECT_EQ(effect.cardinality, kManyInstances);
    EXPECT_FALSE(effect.vendor.empty());
    EXPECT_FALSE(effect.version.empty());
    // The third factory interface is optional; where offered its names agree.
    if (module().factory3()) {
        EXPECT_EQ(effect.wideName, u"Spatium");
    }
    EXPECT_FALSE(std::string(module().info().vendor).empty());

    Plugin plugin(module(), 2, 48000.0, 512);
    EXPECT_TRUE(plugin.singleComponent());
    plugin.start();
    EXPECT_EQ(plugin.processor().getLatencySamples(), 3u);
    // 0.1 s; one sample more where the tail is rounded up from a float.
    EXPECT_GE(plugin.processor().getTailSamples(), 4800u);
    EXPECT_LE(plugin.processor().getTailSamples(), 4801u);
    EXPECT_EQ(plugin.processor().canProcessSampleSize(kSample32), kResultTrue);
}

TEST_F(Vst3Test, BusesTakeMonoOrStereoInAndStereoOutOnly) {
    Plugin plugin(module(), 1, 48000.0, 512);
    IComponent& c = plugin.component();
    IAudioProcessor& p = plugin.processor();
    EXPECT_EQ(c.getBusCount(kAudio, kInput), 1);
    EXPECT_EQ(c.getBusCount(kAudio, kOutput), 1);
    EXPECT_EQ(c.getBusCount(kEvent, kInput), 0);
    EXPECT_EQ(c.getBusCount(kEvent, kOutput), 0);
    BusInfo bus{};
    ASSERT_EQ(c.getBusInfo(kAudio, kInput, 0, bus), kResultOk);
    EXPECT_EQ(bus.channelCount, 1);
    EXPECT_EQ(bus.busType, kMain);
    EXPECT_EQ(bus.direction, kInput);
    ASSERT_EQ(c.getBusInfo(kAudio, kOutput, 0, bus), kResultOk);
    EXPECT_EQ(bus.channelCount, 2);
    EXPECT_EQ(bus.mediaType, kAudio);
    EXPECT_NE(bus.flags & kBusDefaultActive, 0u);
    EXPECT_NE(c.getBusInfo(kAudio, kOutput, 1, bus), kResultOk);

    const SpeakerArrangement surround = 0x3F;
    struct Refused {
        std::vector<SpeakerArrangement> in, out;
    };
    for (const Refused& r :
         {Refused{{kArrStereo}, {kArrMono}}, Refused{{kArrMono}, {kArrMono}},
          Refused{{surround}, {kArrStereo}}, Refused{{kArrStereo}, {surround}},
          Refused{{kArrStereo, kArrStereo}, {kArrStereo}}, Refused{{}, {kArrStereo}}}) {
        std::vector<SpeakerArrangement> in = r.in, out = r.out;
        EXPECT_NE(p.setBusArrangements(in.data(), static_cast<std::int32_t>(in.size()), out.data(),
                                       static_cast<std::int32_t>(out.size())),
                  kResultTrue)
            << in.size() << " inputs, first " << (in.empty() ? 0 : in[0]) << ", output " << out[0];
        SpeakerArrangement now = 0;
        ASSERT_EQ(p.getBusArrangement(kInput, 0, now), kResultOk);
        EXPECT_TRUE(now == kArrMono || now == kArrStereo) << now;
        ASSERT_EQ(p.getBusArrangement(kOutput, 0, now), kResultOk);
        EXPECT_EQ(now, kArrStereo);
    }
    SpeakerArrangement stereo = kArrStereo, out = kArrStereo;
    EXPECT_EQ(p.setBusArrangements(&stereo, 1, &out, 1), kResultTrue);
    ASSERT_EQ(c.getBusInfo(kAudio, kInput, 0, bus), kResultOk);
    EXPECT_EQ(bus.channelCount, 2);
}

struct RenderCase {
    std::int32_t channels, rate, block;
    Settings settings;
};

TEST_F(Vst3Test, RendersLikeTheCommandLineHostBitForBit) {
    for (const RenderCase& c :
         {RenderCase{1, 48000, 317, kSettings}, RenderCase{2, 48000, 1024, kSettings},
          RenderCase{2, 44100, 64, {{"Pan", "70"}, {"Test Mono", "yes"}, {"Tilt", "3"}}},
          RenderCase{1, 96000, 1000, {}}}) {
        SCOPED_TRACE(std::to_string(c.channels) + " channels, " + std::to_string(c.rate) +
                     " Hz, blocks of " + std::to_string(c.block));
        const std::string input = testInput(c.channels, c.rate);
        Plugin plugin(module(), c.channels, c.rate, c.block);
        apply(plugin, c.settings);
        const Audio ours = render(plugin, readAudio(input), c.block);
        const Audio expected = reference(input, c.block, setArgs(c.settings));
        EXPECT_EQ(firstDifference(ours, expected), -1);
    }
}

TEST_F(Vst3Test, ChangesInsideBlocksActAtTheirOffsets) {
    for (const auto& [channels, block] : {std::pair{1, 256}, std::pair{2, 1000}}) {
        SCOPED_TRACE(std::to_string(channels) + " channels, blocks of " + std::to_string(block));
        const Failures f = checkAutomation(module(), readAudio(testInput(channels, 48000)), block);
        EXPECT_TRUE(f.empty()) << join(f);
    }
}

TEST_F(Vst3Test, StateMovesToAFreshInstance) {
    const Failures f =
        checkStateRoundTrip(module(), readAudio(testInput(2, 48000)), 480, kSettings);
    EXPECT_TRUE(f.empty()) << join(f);
}

TEST_F(Vst3Test, DamagedStateIsRefusedAndChangesNothing) {
    const Failures f = checkDamagedStates(module(), kSettings);
    EXPECT_TRUE(f.empty()) << join(f);
}

TEST_F(Vst3Test, EveryParameterTextReadsBack) {
    const Failures f = checkParameterTexts(module());
    EXPECT_TRUE(f.empty()) << join(f);
}

// The parameters the command-line host lists, by the same IDs, names and defaults;
// one bypass parameter and at most one program selector besides them.
TEST_F(Vst3Test, ParametersAreTheClientsOwn) {
    ASSERT_EQ(run(std::string(SPATIUM_EXE) + " params --json"), 0);
    std::vector<std::string> names;
    std::vector<double> defaults;
    std::istringstream json(lastLog());
    for (std::string line; std::getline(json, line);) {
        const auto field = [&line](const char* key) {
            const std::string k = std::string("\"") + key + "\": ";
            const std::size_t at = line.find(k);
            return at == std::string::npos ? std::string() : line.substr(at + k.size());
        };
        if (const std::string n = field("name"); !n.empty())
            names.push_back(n.substr(1, n.rfind('"') - 1));
        if (const std::string d = field("default"); !d.empty())
            defaults.push_back(std::strtod(d.c_str(), nullptr));
    }
    ASSERT_EQ(names.size(), 42u);
    Plugin plugin(module(), 2, 48000.0, 512);
    const std::vector<ParameterInfo> list = plugin.parameters();
    int bypasses = 0, programs = 0;
    for (const ParameterInfo& p : list) {
        if (p.flags & kParamIsBypass) {
            ++bypasses;
            EXPECT_EQ(p.stepCount, 1);
            EXPECT_NE(p.flags & kParamCanAutomate, 0);
            continue;
        }
        if (p.flags & kParamIsProgramChange) {
            ++programs;
            EXPECT_EQ(p.stepCount, 31);
            continue;
        }
        ASSERT_LT(p.id, names.size());
        EXPECT_EQ(utf8(p.title), names[p.id]) << "ID " << p.id;
        EXPECT_EQ(p.defaultNormalizedValue, defaults[p.id]) << names[p.id];
        // The reserved parameters stay out of automation lists.
        const bool reserved = names[p.id].rfind("Reserved", 0) == 0;
        EXPECT_EQ((p.flags & kParamIsHidden) != 0, reserved) << names[p.id];
    }
    EXPECT_EQ(bypasses, 1);
    EXPECT_LE(programs, 1);
    EXPECT_EQ(list.size(), names.size() + 1 + static_cast<std::size_t>(programs));
}

// The factory presets as the one program list, named as the command-line host
// lists them.
TEST_F(Vst3Test, FactoryPresetsAreAProgramList) {
    ASSERT_EQ(run(std::string(SPATIUM_EXE) + " presets --json"), 0);
    std::vector<std::string> names;
    std::istringstream json(lastLog());
    for (std::string line; std::getline(json, line);)
        if (const std::size_t at = line.find("\"name\": \""); at != std::string::npos)
            names.push_back(line.substr(at + 9, line.rfind('"') - at - 9));
    ASSERT_EQ(names.size(), 32u);
    Plugin plugin(module(), 2, 48000.0, 512);
    void* object = nullptr;
    ASSERT_EQ(plugin.controller().queryInterface(kIUnitInfoIid.bytes, &object), kResultOk);
    auto* units = static_cast<IUnitInfo*>(object);
    ASSERT_EQ(units->getProgramListCount(), 1);
    ProgramListInfo list{};
    ASSERT_EQ(units->getProgramListInfo(0, list), kResultOk);
    EXPECT_EQ(list.programCount, 32);
    for (std::int32_t i = 0; i < list.programCount; ++i) {
        String128 name{};
        ASSERT_EQ(units->getProgramName(list.id, i, name), kResultOk);
        EXPECT_EQ(utf8(name), names[static_cast<std::size_t>(i)]) << "program " << i;
    }
    String128 name{};
    EXPECT_NE(units->getProgramName(list.id, 32, name), kResultOk);
    ASSERT_GE(units->getUnitCount(), 1);
    UnitInfo root{};
    ASSERT_EQ(units->getUnitInfo(0, root), kResultOk);
    EXPECT_EQ(root.programListId, list.id);
    units->release();
}

// State written by the command-line host through the AAX library loads through
// setState, gives the same audio as the AAX build restoring it, and getState
// begins with the same bytes; the chunk part of a VST3 state goes back the other
// way. (A chunk holds values as floats: both sides render from restored state.)
TEST_F(Vst3Test, StateMovesBetweenTheAaxAndVst3Builds) {
    const std::string input = testInput(2, 48000);
    const std::string saved = kDir + "/aax.state";
    reference(input, 512,
              " --preset 8" + setArgs({{"Pan", "12"}, {"Dry / Wet", "90"}}) + " --save-state " +
                  quoted(saved));
    const std::vector<std::uint8_t> aax = fileBytes(saved);
    ASSERT_GT(aax.size(), 24u);
    const Audio expected = reference(input, 512, " --state " + quoted(saved));

    Plugin plugin(module(), 2, 48000.0, 512);
    ASSERT_EQ(plugin.restore(aax), kResultOk);
    const std::vector<std::uint8_t> state = plugin.state();
    ASSERT_EQ(chunkLength(state), aax.size());
    EXPECT_TRUE(std::equal(aax.begin(), aax.end(), state.begin()));
    EXPECT_EQ(firstDifference(render(plugin, readAudio(input), 512), expected), -1);

    // The chunk part of a VST3 state with other values, and the whole state with
    // what follows the chunk: the AAX build restores both, renders as a restored
    // VST3 instance does and saves the chunk's bytes again.
    std::vector<std::uint8_t> whole;
    {
        Plugin source(module(), 2, 48000.0, 512);
        apply(source, kSettings);
        whole = source.state();
    }
    Plugin restored(module(), 2, 48000.0, 512);
    ASSERT_EQ(restored.restore(whole), kResultOk);
    const Audio ours = render(restored, readAudio(input), 512);
    const std::vector<std::uint8_t> chunk(whole.begin(), whole.begin() + chunkLength(whole));
    const std::string chunkFile = kDir + "/vst3.chunk", wholeFile = kDir + "/vst3.state";
    writeBytes(chunkFile, chunk);
    writeBytes(wholeFile, whole);
    for (const std::string& file : {chunkFile, wholeFile}) {
        EXPECT_EQ(run(std::string(SPATIUM_EXE) + " state check " + quoted(file)), 0) << lastLog();
        const std::string resaved = kDir + "/resaved.state";
        const Audio theirs =
            reference(input, 512, " --state " + quoted(file) + " --save-state " + quoted(resaved));
        EXPECT_EQ(firstDifference(theirs, ours), -1) << file;
        EXPECT_EQ(fileBytes(resaved), chunk) << file;
    }
}

// The program the Windows run uses renders as the library does here.
TEST_F(Vst3Test, ProgramRendersAndAutomatesLikeTheLibrary) {
    const std::string input = testInput(1, 48000);
    const std::string common = std::string(VST3HOST_EXE) + " render " + quoted(input) +
                               " --block 300 --set Pan=20 --at 450 Pan=-40 --at 451 Distance=-9";
    ASSERT_EQ(run(common + " -o " + quoted(kDir + "/at.wav")), 0) << lastLog();
    ASSERT_EQ(run(common + " --cut -o " + quoted(kDir + "/cut.wav")), 0) << lastLog();
    const Audio at = readAudio(kDir + "/at.wav");
    EXPECT_EQ(firstDifference(at, readAudio(kDir + "/cut.wav")), -1);
    Plugin plugin(module(), 1, 48000.0, 300);
    plugin.set("Pan", "20");
    const ParamID pan = plugin.parameter("Pan"), distance = plugin.parameter("Distance");
    const Audio ours = render(
        plugin, readAudio(input), 300,
        {{450, pan, plugin.valueOf(pan, "-40")}, {451, distance, plugin.valueOf(distance, "-9")}});
    EXPECT_EQ(firstDifference(at, ours), -1);
}

// Every reference the plug-in took on the host's objects is given back.
TEST_F(Vst3Test, InstancesGiveBackTheHostsReferences) {
    // The factory may keep the context it was given for as long as it lives.
    const std::int32_t factoryHeld = module().host().heldByPlugin();
    {
        Plugin plugin(module(), 2, 48000.0, 128);
        const float silence[128] = {};
        float out[2][128];
        const float* in[2] = {silence, silence};
        float* outs[2] = {out[0], out[1]};
        plugin.process(in, outs, 128);
        EXPECT_EQ(plugin.restore(plugin.state()), kResultOk);
        ParamValue value = 0.0;
        std::u16string text = u"10";
        plugin.controller().getParamValueByString(plugin.parameter("Pan"), text.data(), value);
        plugin.controller().setComponentHandler(nullptr);
        EXPECT_EQ(plugin.handler().heldByPlugin(), 0);
        plugin.controller().setComponentHandler(&plugin.handler());
    }
    EXPECT_EQ(module().host().heldByPlugin(), factoryHeld);
}

} // namespace
