// Drives the built plug-in library through its entry points, loaded at run time
// as a host loads it, and compares what it does with the product client itself.

#include "corvid/core/fpcontrol.h"
#include "spatium/spatium.h"
#include "tools/aaxhost/host.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#endif

using namespace spatium::host;

namespace {

constexpr AAX_CTypeID kCorv = AAX_FourCC('C', 'o', 'r', 'v');

class PluginTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { plugin_ = std::make_unique<Plugin>(SPATIUM_PLUGIN_PATH); }
    static void TearDownTestSuite() { plugin_.reset(); }

    static Plugin& plugin() { return *plugin_; }
    static const ComponentDescription& component(int inputs) {
        return componentForInputs(plugin().effect(), inputs);
    }
    static std::unique_ptr<spatium::SpatiumClient> referenceClient() {
        return corvid::createClient<spatium::SpatiumClient>();
    }

private:
    static std::unique_ptr<Plugin> plugin_;
};

std::unique_ptr<Plugin> PluginTest::plugin_;

std::vector<float> testSignal(std::size_t frames, std::uint32_t seed) {
    std::vector<float> s(frames);
    for (std::size_t i = 0; i < frames; ++i) {
        seed = seed * 1664525u + 1013904223u;
        const double noise = static_cast<double>(seed >> 8) / 8388608.0 - 1.0;
        s[i] = static_cast<float>(0.4 * std::sin(0.03 * static_cast<double>(i)) + 0.2 * noise);
    }
    return s;
}

// Renders channels of input through an instance in the given block sizes (cycled).
std::vector<std::vector<float>> renderThrough(Instance& instance,
                                              const std::vector<std::vector<float>>& input,
                                              const std::vector<int>& blocks) {
    const std::size_t frames = input[0].size();
    std::vector<std::vector<float>> out(2, std::vector<float>(frames, 0.0f));
    std::size_t pos = 0;
    for (std::size_t b = 0; pos < frames; ++b) {
        const auto n = std::min<std::size_t>(static_cast<std::size_t>(blocks[b % blocks.size()]),
                                             frames - pos);
        std::vector<const float*> in;
        for (const auto& ch : input) in.push_back(ch.data() + pos);
        float* outs[2] = {out[0].data() + pos, out[1].data() + pos};
        instance.render(in.data(), outs, static_cast<std::int32_t>(n));
        pos += n;
    }
    return out;
}

// The same through the product client directly, in the same host blocks.
std::vector<std::vector<float>> renderDirect(corvid::Client& client, double rate,
                                             const std::vector<std::vector<float>>& input,
                                             const std::vector<int>& blocks) {
    corvid::FpEnvironmentGuard guard;
    const std::size_t frames = input[0].size();
    const auto channels = static_cast<std::int32_t>(input.size());
    std::vector<std::vector<float>> out(2, std::vector<float>(frames, 0.0f));
    client.hostReset(rate, 1024, channels, 2);
    std::size_t pos = 0;
    for (std::size_t b = 0; pos < frames; ++b) {
        const auto n = std::min<std::size_t>(static_cast<std::size_t>(blocks[b % blocks.size()]),
                                             frames - pos);
        std::vector<float*> in;
        for (const auto& ch : input) in.push_back(const_cast<float*>(ch.data()) + pos);
        float* outs[2] = {out[0].data() + pos, out[1].data() + pos};
        corvid::TransportInfo transport;
        client.hostProcess(in.data(), outs, static_cast<std::int32_t>(n), transport);
        pos += n;
    }
    return out;
}

std::uint32_t bigEndianWord(const std::vector<std::uint8_t>& b, std::size_t at) {
    return static_cast<std::uint32_t>(b[at]) << 24 | static_cast<std::uint32_t>(b[at + 1]) << 16 |
           static_cast<std::uint32_t>(b[at + 2]) << 8 | b[at + 3];
}

} // namespace

#if defined(_WIN32)
// The names in the export table of the loaded library, read from its image in
// memory as the loader reads them.
std::set<std::string> exportedNames() {
    std::set<std::string> names;
    const auto* base = reinterpret_cast<const std::uint8_t*>(GetModuleHandleW(L"Spatium.dll"));
    if (base == nullptr) return names;
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS64*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& entry =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    if (entry.VirtualAddress == 0) return names;
    const auto* directory =
        reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + entry.VirtualAddress);
    const auto* nameOffsets = reinterpret_cast<const DWORD*>(base + directory->AddressOfNames);
    for (DWORD i = 0; i < directory->NumberOfNames; ++i)
        names.insert(reinterpret_cast<const char*>(base + nameOffsets[i]));
    // Functions exported by number only would not show up by name.
    EXPECT_EQ(directory->NumberOfFunctions, directory->NumberOfNames);
    return names;
}
#else
std::set<std::string> exportedNames() {
    const std::string command = "nm -D --defined-only '" + std::string(SPATIUM_PLUGIN_PATH) + "'";
    std::set<std::string> symbols;
    FILE* pipe = popen(command.c_str(), "r");
    EXPECT_NE(pipe, nullptr);
    if (pipe == nullptr) return symbols;
    char line[512];
    while (std::fgets(line, sizeof line, pipe)) {
        char address[64], type[8], name[400];
        if (std::sscanf(line, "%63s %7s %399s", address, type, name) == 3) symbols.insert(name);
    }
    EXPECT_EQ(pclose(pipe), 0);
    return symbols;
}
#endif

TEST_F(PluginTest, ExportsExactlyTheEntryPoints) {
    const std::set<std::string> expected{
        "ACFStartup",         "ACFShutdown",          "ACFCanUnloadNow",   "ACFGetSDKVersion",
        "ACFGetClassFactory", "ACFRegisterComponent", "ACFRegisterPlugin", "CorvidEnumerateTFX"};
    EXPECT_EQ(exportedNames(), expected);
}

TEST_F(PluginTest, SimpleEntryPointsAnswerFixedValuesAndKeepTheCallersFloatingPointState) {
    const Exports& x = plugin().exports();
    // A host's own control words, deliberately unlike the framework's.
    const corvid::FpEnvironment hostEnv{0x1F80, 0x027F};
    const corvid::FpEnvironment saved = corvid::readFpEnvironment();
    corvid::writeFpEnvironment(hostEnv);

    std::uint64_t version = 0;
    const AAX_Result versionResult = x.getSDKVersion(&version);
    void* factory = reinterpret_cast<void*>(1);
    const AAX_Result factoryResult = x.getClassFactory(plugin().host(), nullptr, nullptr, &factory);
    void* definition = reinterpret_cast<void*>(1);
    const AAX_Result componentResult = x.registerComponent(plugin().host(), 0, &definition);
    const AAX_Result live = x.canUnloadNow(plugin().host());
    // The preset callback runs inside an entry point, under the framework's environment.
    std::uint32_t mxcsrInCallback = 0;
    x.enumerateTFX(
        [](const char*, const std::uint8_t*, std::int32_t, void* user) {
            *static_cast<std::uint32_t*>(user) = corvid::readFpEnvironment().mxcsr;
        },
        &mxcsrInCallback);
    const corvid::FpEnvironment after = corvid::readFpEnvironment();
    corvid::writeFpEnvironment(saved);

    EXPECT_EQ(versionResult, AAX_SUCCESS);
    EXPECT_EQ(version, 0x0000020300BF7318ull);
    EXPECT_EQ(factoryResult, -20009);
    EXPECT_EQ(factory, nullptr);
    EXPECT_EQ(componentResult, AAX_SUCCESS);
    EXPECT_EQ(definition, nullptr);
    EXPECT_EQ(live, 0);
#if defined(__x86_64__)
    EXPECT_EQ(mxcsrInCallback & 0xFFC0u, 0x9FC0u);
    EXPECT_EQ(after.mxcsr & 0xFFC0u, hostEnv.mxcsr & 0xFFC0u);
    EXPECT_EQ(after.x87, hostEnv.x87);
#endif
}

TEST_F(PluginTest, LiveObjectsKeepTheLibraryLoaded) {
    const Exports& x = plugin().exports();
    EXPECT_EQ(x.canUnloadNow(plugin().host()), 0);
    {
        Instance a(plugin(), component(1), 48000.0);
        Instance b(plugin(), component(2), 48000.0);
        EXPECT_EQ(x.canUnloadNow(plugin().host()), 2);
    }
    EXPECT_EQ(x.canUnloadNow(plugin().host()), 0);
    EXPECT_EQ(x.startup(nullptr), AAX_SUCCESS);
    EXPECT_EQ(x.startup(plugin().host()), AAX_SUCCESS);
}

TEST_F(PluginTest, DescriptionMatchesTheProduct) {
    const auto client = referenceClient();
    const PackageDescription& p = plugin().package();
    EXPECT_EQ(p.manufacturer, "Vireo Raroza");
    EXPECT_EQ(p.packageNames, std::vector<std::string>{"Spatium"});
    EXPECT_EQ(p.version, 1u);
    ASSERT_EQ(p.effects.size(), 1u);
    const EffectDescription& e = p.effects[0];
    EXPECT_EQ(e.effectID, client->info().aaxBundleId);
    EXPECT_FALSE(e.effectID.empty());
    EXPECT_EQ(e.names, std::vector<std::string>{"Spatium"});
    EXPECT_EQ(e.categories, std::vector<std::uint32_t>{0x200});
    EXPECT_NE(e.createParameters, nullptr);
    EXPECT_NE(e.createGUI, nullptr);
    ASSERT_EQ(e.components.size(), 2u);

    struct Expected {
        std::uint32_t native, audioSuite, inStem;
    };
    const Expected expected[2] = {
        {AAX_FourCC('@', 's', '1', '2'), AAX_FourCC('@', 't', '1', '2'), 0x1},
        {AAX_FourCC('@', 's', '2', '2'), AAX_FourCC('@', 't', '2', '2'), 0x10002},
    };
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(i);
        const ComponentDescription& c = e.components[static_cast<std::size_t>(i)];
        const std::vector<std::pair<std::uint32_t, AAX_CPropertyValue>> properties{
            {11, AAX_FourCC('V', 'r', 'e', 'o')},
            {12, AAX_FourCC('@', 's', '2', '1')},
            {13, expected[i].native},
            {14, expected[i].audioSuite},
            {118, 1},
            {51, expected[i].inStem},
            {52, 0x10002},
            {56, 3},
            {60, 0}};
        EXPECT_EQ(c.properties, properties);
        EXPECT_NE(c.render, nullptr);
        ASSERT_EQ(c.fields.size(), 5u);
        EXPECT_EQ(c.field(0)->kind, FieldKind::audioIn);
        EXPECT_EQ(c.field(1)->kind, FieldKind::audioOut);
        EXPECT_EQ(c.field(2)->kind, FieldKind::bufferLength);
        EXPECT_EQ(c.field(3), nullptr); // no MIDI input for an effect without MIDI
        EXPECT_EQ(c.field(4), nullptr);
        EXPECT_EQ(c.field(5)->kind, FieldKind::midiNode);
        EXPECT_EQ(c.field(5)->name, "Transport");
        EXPECT_EQ(c.field(6)->kind, FieldKind::privateData);
        EXPECT_EQ(c.field(6)->size, 8);
        EXPECT_EQ(c.field(7), nullptr);
    }
}

TEST_F(PluginTest, RejectsMalformedParameterIDs) {
    Instance instance(plugin(), component(1), 48000.0);
    AAX_IACFEffectParameters& p = instance.parameters();
    HostString name;
    double value = 0.0;
    const HostString text("1");
    for (const char* id : {"", "1x", "-1", "42", "99999999999999999999", " 1x", "0.5"}) {
        SCOPED_TRACE(id);
        EXPECT_EQ(p.GetParameterName(id, &name), -20001);
        EXPECT_EQ(p.GetParameterNormalizedValue(id, &value), -20001);
        EXPECT_EQ(p.SetParameterNormalizedValue(id, 0.5), -20001);
        EXPECT_EQ(p.GetParameterValueFromString(id, &value, text), -20001);
        EXPECT_EQ(p.GetParameterValueString(id, &name, 32), -20001);
    }
    EXPECT_EQ(p.GetParameterName(nullptr, &name), -20001);
    EXPECT_EQ(p.GetParameterName("0", &name), AAX_SUCCESS);
    EXPECT_EQ(name.str(), "Distance");
    EXPECT_EQ(p.GetParameterName("41", &name), AAX_SUCCESS);
    EXPECT_EQ(name.str(), "Reserved #20");
}

TEST_F(PluginTest, AnswersParameterQueries) {
    Instance instance(plugin(), component(1), 48000.0);
    AAX_IACFEffectParameters& p = instance.parameters();
    std::int32_t count = 0;
    ASSERT_EQ(p.GetNumberOfParameters(&count), AAX_SUCCESS);
    EXPECT_EQ(count, 42);

    // Registered with the automation delegate in index order.
    std::vector<std::string> registered;
    for (const auto& event : instance.automation())
        if (event.kind == AutomationEvent::registered) registered.push_back(event.id);
    ASSERT_EQ(registered.size(), 42u);
    for (int i = 0; i < 42; ++i)
        EXPECT_EQ(registered[static_cast<std::size_t>(i)], std::to_string(i));

    struct Steps {
        const char* id;
        std::int32_t steps;
        AAX_EParameterType type;
    };
    for (const Steps& s :
         {Steps{"0", 2048, AAX_eParameterType_Continuous},
          Steps{"9", 5, AAX_eParameterType_Discrete}, Steps{"10", 2, AAX_eParameterType_Discrete},
          Steps{"11", 12, AAX_eParameterType_Discrete},
          Steps{"18", 2048, AAX_eParameterType_Continuous},
          Steps{"21", 17, AAX_eParameterType_Discrete},
          Steps{"39", 12, AAX_eParameterType_Discrete}}) {
        SCOPED_TRACE(s.id);
        std::int32_t steps = 0;
        AAX_EParameterType type = AAX_eParameterType_Continuous;
        AAX_CBoolean automatable = 0;
        EXPECT_EQ(p.GetParameterNumberOfSteps(s.id, &steps), AAX_SUCCESS);
        EXPECT_EQ(steps, s.steps);
        EXPECT_EQ(p.GetParameterType(s.id, &type), AAX_SUCCESS);
        EXPECT_EQ(type, s.type);
        EXPECT_EQ(p.GetParameterIsAutomatable(s.id, &automatable), AAX_SUCCESS);
        EXPECT_EQ(automatable, 1);
    }

    HostString text;
    EXPECT_EQ(p.GetParameterNameOfLength("1", &text, 6), AAX_SUCCESS);
    EXPECT_EQ(text.str(), "Stereo");
    EXPECT_EQ(p.GetParameterNameOfLength("1", &text, 100), AAX_SUCCESS);
    EXPECT_EQ(text.str(), "Stereo Width");

    double value = -1.0;
    EXPECT_EQ(p.GetParameterDefaultNormalizedValue("18", &value), AAX_SUCCESS);
    EXPECT_NEAR(value, std::pow(10.0, -18.0 / 40.0), 1e-12);

    // Value texts go through a buffer of the asked length, never more than 32 bytes.
    EXPECT_EQ(p.GetParameterValueString("1", &text, 32), AAX_SUCCESS);
    EXPECT_EQ(text.str(), "100.00");
    EXPECT_EQ(p.GetParameterValueString("1", &text, 4), AAX_SUCCESS);
    EXPECT_EQ(text.str(), "100");
    EXPECT_EQ(p.GetParameterValueString("1", &text, 0), AAX_SUCCESS);
    EXPECT_EQ(text.str(), "");
    EXPECT_EQ(p.GetParameterStringFromValue("6", 0.25, &text, 32), AAX_SUCCESS);
    EXPECT_EQ(text.str(), "-45.00");
    EXPECT_EQ(p.GetParameterStringFromValue("9", 0.5, &text, 1000), AAX_SUCCESS);
    EXPECT_EQ(text.str(), "square");
    EXPECT_EQ(p.GetParameterStringFromValue("21", std::nan(""), &text, 32), -20002);

    EXPECT_EQ(instance.valueFromText("6", "-45", value), AAX_SUCCESS);
    EXPECT_DOUBLE_EQ(value, 0.25);
    EXPECT_EQ(instance.valueFromText("10", "no", value), AAX_SUCCESS);
    EXPECT_EQ(value, 0.0);
    for (const auto& [id, bad] : std::vector<std::pair<std::string, std::string>>{
             {"6", "left"}, {"10", "maybe"}, {"9", "Sine"}, {"6", std::string(64, '1')}}) {
        SCOPED_TRACE(bad);
        value = 0.123;
        EXPECT_EQ(instance.valueFromText(id, bad, value), -20002);
        EXPECT_EQ(value, 0.123);
    }

    EXPECT_EQ(p.SetParameterNormalizedValue("6", 0.9), AAX_SUCCESS);
    EXPECT_EQ(p.SetParameterNormalizedRelative("6", 0.3), AAX_SUCCESS);
    EXPECT_EQ(instance.normalizedValue("6"), 1.0);
    EXPECT_EQ(p.SetParameterNormalizedRelative("6", -0.25), AAX_SUCCESS);
    EXPECT_EQ(instance.normalizedValue("6"), 0.75);
    EXPECT_EQ(instance.valueText("6"), "45.00");

    EXPECT_EQ(p.GetMasterBypassParameter(&text), -20009);
    EXPECT_EQ(p.SetParameterDefaultNormalizedValue("6", 0.5), -20009);
    EXPECT_EQ(p.TouchParameter("6"), AAX_SUCCESS);
    EXPECT_EQ(p.ReleaseParameter("6"), AAX_SUCCESS);
}

TEST_F(PluginTest, StateChunkRoundTripsAndRefusesBadChunks) {
    Instance instance(plugin(), component(2), 48000.0);
    AAX_IACFEffectParameters& p = instance.parameters();
    std::int32_t chunks = 0;
    EXPECT_EQ(p.GetNumberOfChunks(&chunks), AAX_SUCCESS);
    EXPECT_EQ(chunks, 1);
    AAX_CTypeID id = 0;
    EXPECT_EQ(p.GetChunkIDFromIndex(0, &id), AAX_SUCCESS);
    EXPECT_EQ(id, kCorv);
    EXPECT_EQ(p.GetChunkIDFromIndex(1, &id), -20006);
    EXPECT_EQ(p.GetChunkIDFromIndex(-1, &id), -20006);
    std::uint32_t size = 0;
    EXPECT_EQ(p.GetChunkSize(AAX_FourCC('C', 'o', 'r', 'w'), &size), -20007);
    ASSERT_EQ(p.GetChunkSize(kCorv, &size), AAX_SUCCESS);
    EXPECT_EQ(size, 24u + 4u * 42u);

    instance.setNormalizedValue("6", 0.25);
    instance.setNormalizedValue("20", 1.0);
    const std::vector<std::uint8_t> saved = instance.stateChunk();
    ASSERT_EQ(saved.size(), size);
    EXPECT_EQ(std::vector<std::uint8_t>(saved.begin(), saved.begin() + 4),
              (std::vector<std::uint8_t>{0x0B, 0x20, 0xBA, 0x92}));
    EXPECT_EQ(std::vector<std::uint8_t>(saved.begin() + 12, saved.begin() + 16),
              (std::vector<std::uint8_t>{0x00, 0x03, 0x01, 0x00}));

    // A host buffer too small for the chunk is refused, not overrun.
    std::vector<std::uint8_t> small(10, 0xEE);
    AAX_SPlugInChunk tooSmall;
    tooSmall.fSize = 10;
    tooSmall.fData = small.data();
    EXPECT_NE(p.GetChunk(kCorv, &tooSmall), AAX_SUCCESS);
    EXPECT_EQ(small, std::vector<std::uint8_t>(10, 0xEE));

    std::vector<std::uint8_t> data = saved;
    AAX_SPlugInChunk chunk;
    chunk.fChunkID = kCorv;
    chunk.fSize = static_cast<std::int32_t>(data.size());
    chunk.fData = data.data();
    AAX_CBoolean equal = 0;
    EXPECT_EQ(p.CompareActiveChunk(&chunk, &equal), AAX_SUCCESS);
    EXPECT_EQ(equal, 1);
    instance.setNormalizedValue("6", 0.75);
    EXPECT_EQ(p.CompareActiveChunk(&chunk, &equal), AAX_SUCCESS);
    EXPECT_EQ(equal, 0);
    chunk.fSize -= 4;
    EXPECT_EQ(p.CompareActiveChunk(&chunk, &equal), AAX_SUCCESS);
    EXPECT_EQ(equal, 0);

    EXPECT_EQ(p.SetChunk(AAX_FourCC('X', 'X', 'X', 'X'), &chunk), -20007);
    EXPECT_EQ(instance.setStateChunk(saved), AAX_SUCCESS);
    EXPECT_EQ(instance.normalizedValue("6"), 0.25);
    EXPECT_EQ(instance.valueText("20"), "yes");

    // Refused chunks: too short, wrong magic, newer format, preset out of range.
    instance.setNormalizedValue("6", 0.75);
    std::vector<std::vector<std::uint8_t>> bad;
    bad.push_back({0x0B, 0x20, 0xBA});
    bad.push_back(saved);
    bad.back()[0] = 0x0C;
    bad.push_back(saved);
    bad.back()[4] = 1;
    bad.push_back(saved);
    bad.back()[16] = 32;
    bad.push_back(saved);
    bad.back()[19] = 0x80; // negative preset index
    for (std::size_t i = 0; i < bad.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(instance.setStateChunk(bad[i]), -20007);
        EXPECT_EQ(instance.normalizedValue("6"), 0.75);
    }
    // Truncated inside the values: not even the values before the cut are applied.
    std::vector<std::uint8_t> cut(saved.begin(), saved.begin() + 24 + 4 * 7 + 2);
    EXPECT_EQ(instance.setStateChunk(cut), -20007);
    EXPECT_EQ(instance.normalizedValue("6"), 0.75);
}

TEST_F(PluginTest, CountsEveryParameterChange) {
    Instance instance(plugin(), component(1), 48000.0);
    AAX_IACFEffectParameters& p = instance.parameters();
    std::int32_t before = -1;
    std::int32_t after = -1;
    ASSERT_EQ(p.GetNumberOfChanges(&before), AAX_SUCCESS);
    instance.setNormalizedValue("3", 0.1);
    instance.setNormalizedValue("3", 0.1); // unchanged value still counts: the host asked
    p.SetParameterNormalizedRelative("3", 0.1);
    ASSERT_EQ(p.GetNumberOfChanges(&after), AAX_SUCCESS);
    EXPECT_EQ(after - before, 3);
    const std::vector<std::uint8_t> chunk = instance.stateChunk();
    ASSERT_EQ(instance.setStateChunk(chunk), AAX_SUCCESS);
    std::int32_t restored = -1;
    p.GetNumberOfChanges(&restored);
    EXPECT_EQ(restored - after, 42);
}

TEST_F(PluginTest, PresetBlobsCarryTheirHeaderAndThePresetChunk) {
    const std::vector<PresetBlob> presets = plugin().presets();
    const auto client = referenceClient();
    ASSERT_EQ(presets.size(), 32u);
    EXPECT_EQ(presets[0].name, "Default");
    EXPECT_EQ(presets[3].name, "Right 25% ");
    EXPECT_EQ(presets[8].name, "Far-Center");
    EXPECT_EQ(presets[31].name, "Default");
    for (std::size_t i = 0; i < presets.size(); ++i) {
        SCOPED_TRACE(i);
        const std::vector<std::uint8_t>& blob = presets[i].blob;
        ASSERT_EQ(blob.size(), 56u + 24u + 4u * 42u);
        const PresetBlobHeader h = readPresetBlobHeader(blob);
        EXPECT_EQ(h.totalLength, blob.size());
        EXPECT_EQ(h.version, 0u);
        EXPECT_EQ(h.manufacturerID, AAX_FourCC('V', 'r', 'e', 'o'));
        EXPECT_EQ(h.productID, AAX_FourCC('@', 's', '2', '1'));
        EXPECT_EQ(h.plugInID, AAX_FourCC('@', 's', '1', '2'));
        EXPECT_EQ(h.chunkID, kCorv);
        EXPECT_EQ(std::vector<std::uint8_t>(blob.begin() + 24, blob.begin() + 56),
                  std::vector<std::uint8_t>(32, 0));
        const std::vector<std::uint8_t> expected =
            client->presetBank().writePresetChunk(static_cast<std::int32_t>(i));
        EXPECT_EQ(std::vector<std::uint8_t>(blob.begin() + 56, blob.end()), expected);
        EXPECT_EQ(bigEndianWord(blob, 56 + 16), static_cast<std::uint32_t>(i) << 24);
    }

    // Handing a preset's chunk to an instance loads that preset.
    Instance instance(plugin(), component(1), 48000.0);
    const std::vector<std::uint8_t> farCenter(presets[8].blob.begin() + 56, presets[8].blob.end());
    ASSERT_EQ(instance.setStateChunk(farCenter), AAX_SUCCESS);
    EXPECT_EQ(instance.valueText("0"), "-18.00");
    EXPECT_EQ(instance.valueText("6"), "0.00");
    EXPECT_EQ(instance.valueText("18"), "18.0");
    EXPECT_EQ(instance.valueText("7"), "100.00");
    EXPECT_EQ(instance.stateChunk()[16], 8);
}

TEST_F(PluginTest, RenderEqualsTheClientsOwnProcessing) {
    for (int inputs : {1, 2}) {
        SCOPED_TRACE(inputs);
        std::vector<std::vector<float>> input;
        for (int c = 0; c < inputs; ++c)
            input.push_back(testSignal(9000, 17u + static_cast<std::uint32_t>(c)));
        const std::vector<int> blocks{1024, 700, 1, 333, 1024, 64};

        Instance instance(plugin(), component(inputs), 48000.0);
        instance.setNormalizedValue("6", 0.3);
        instance.setNormalizedValue("0", 0.6);
        instance.setNormalizedValue("1", 0.8);
        const auto viaHost = renderThrough(instance, input, blocks);

        auto client = referenceClient();
        client->parameter(6)->applyFromHost(0.3);
        client->parameter(0)->applyFromHost(0.6);
        client->parameter(1)->applyFromHost(0.8);
        const auto direct = renderDirect(*client, 48000.0, input, blocks);
        EXPECT_EQ(viaHost, direct);
        double energy = 0.0;
        for (float s : viaHost[0]) energy += static_cast<double>(s) * s;
        EXPECT_GT(energy, 0.0);
    }
}

TEST_F(PluginTest, ResetsAndReportsLatencyWhenTheSampleRateChanges) {
    const std::vector<std::vector<float>> warmUp{testSignal(3000, 5)};
    const std::vector<std::vector<float>> signal{testSignal(5000, 9)};
    const std::vector<int> blocks{512};

    Instance instance(plugin(), component(1), 44100.0);
    EXPECT_EQ(instance.reportedLatency(), 3);
    const std::int32_t reports = instance.latencyReports();
    renderThrough(instance, warmUp, blocks);
    EXPECT_EQ(instance.latencyReports(), reports); // same rate: nothing new to report
    instance.setSampleRate(48000.0);
    const auto afterChange = renderThrough(instance, signal, blocks);
    EXPECT_EQ(instance.latencyReports(), reports + 1);
    EXPECT_EQ(instance.reportedLatency(), 3);

    // Reset: the memory of the 44.1 kHz run is gone.
    Instance fresh(plugin(), component(1), 48000.0);
    EXPECT_EQ(afterChange, renderThrough(fresh, signal, blocks));
}

TEST_F(PluginTest, RenderSurvivesHostsThatBreakTheBlockContract) {
    const std::vector<std::vector<float>> signal{testSignal(4000, 3), testSignal(4000, 4)};
    Instance reference(plugin(), component(2), 48000.0);
    const auto expected = renderThrough(reference, signal, {1024});

    // A block longer than the private buffers is taken in slices.
    Instance longBlocks(plugin(), component(2), 48000.0);
    EXPECT_EQ(renderThrough(longBlocks, signal, {4000}), expected);

    // Input and output in the same buffers.
    Instance inPlace(plugin(), component(2), 48000.0);
    std::vector<std::vector<float>> buffers = signal;
    for (std::size_t pos = 0; pos < 4000; pos += 1000) {
        const float* in[2] = {buffers[0].data() + pos, buffers[1].data() + pos};
        float* out[2] = {buffers[0].data() + pos, buffers[1].data() + pos};
        inPlace.render(in, out, 1000);
    }
    Instance sameBlocks(plugin(), component(2), 48000.0);
    EXPECT_EQ(buffers, renderThrough(sameBlocks, signal, {1000}));

    // A channel layout the plug-in never declared is skipped, not processed.
    Instance odd(plugin(), component(2), 48000.0);
    odd.setStemFormats(AAX_eStemFormat_5_1, AAX_eStemFormat_Stereo);
    std::vector<std::vector<float>> out(2, std::vector<float>(256, 7.0f));
    // A host reporting 5.1 hands over six input buffers.
    const float* in[6] = {signal[0].data(), signal[1].data(), signal[0].data(),
                          signal[1].data(), signal[0].data(), signal[1].data()};
    float* outs[2] = {out[0].data(), out[1].data()};
    odd.render(in, outs, 256);
    EXPECT_EQ(out, std::vector<std::vector<float>>(2, std::vector<float>(256, 7.0f)));
}
