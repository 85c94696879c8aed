// Loads the built bundle the way LV2 hosts do (lilv) and compares what it does
// with the AAX library driven through its entry points.

#include "tests/lv2/lilv_host.h"

#include "corvid/host/hostparams.h"
#include "corvid/lv2/turtle.h"
#include "spatium/lv2/bundle.h"
#include "spatium/params.h"
#include "spatium/spatium.h"
#include "tools/aaxhost/host.h"

#include <lv2/atom/atom.h>
#include <lv2/presets/presets.h>
#include <lv2/state/state.h>

#include <gtest/gtest.h>

#include <sndfile.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

const std::string kBase = "https://spatium.example/plugins/spatium";
const std::string kMono = kBase + "/mono";
const std::string kStereo = kBase + "/stereo";

lv2test::World& world() {
    static lv2test::World w(SPATIUM_LV2_BUNDLE);
    return w;
}

std::unique_ptr<corvid::Client> referenceClient() {
    return corvid::createClient<spatium::SpatiumClient>();
}

// ---- the plug-in's state through its own interface

struct Saved {
    std::vector<std::uint8_t> bytes;
    std::uint32_t type = 0;
};

LV2_State_Status storeInto(LV2_State_Handle handle, std::uint32_t, const void* value,
                           std::size_t size, std::uint32_t type, std::uint32_t) {
    auto* saved = static_cast<Saved*>(handle);
    const auto* b = static_cast<const std::uint8_t*>(value);
    saved->bytes.assign(b, b + size);
    saved->type = type;
    return LV2_STATE_SUCCESS;
}

const LV2_State_Interface& stateInterface(lv2test::Plugin& p) {
    const void* data = lilv_instance_get_extension_data(p.instance(), LV2_STATE__interface);
    if (!data) throw std::runtime_error("no state interface");
    return *static_cast<const LV2_State_Interface*>(data);
}

Saved saveState(lv2test::Plugin& p) {
    Saved saved;
    const LV2_State_Status status =
        stateInterface(p).save(lilv_instance_get_handle(p.instance()), &storeInto, &saved,
                               LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE, world().features());
    EXPECT_EQ(status, LV2_STATE_SUCCESS);
    return saved;
}

LV2_State_Status restoreState(lv2test::Plugin& p, Saved& blob) {
    auto retrieve = [](LV2_State_Handle h, std::uint32_t, std::size_t* size, std::uint32_t* type,
                       std::uint32_t* flags) -> const void* {
        auto* s = static_cast<Saved*>(h);
        *size = s->bytes.size();
        *type = s->type;
        *flags = LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE;
        return s->bytes.data();
    };
    return stateInterface(p).restore(lilv_instance_get_handle(p.instance()), retrieve, &blob, 0,
                                     world().features());
}

struct ChunkValues {
    std::int32_t preset = -1;
    std::vector<float> values;
};

ChunkValues readChunk(const std::vector<std::uint8_t>& c) {
    ChunkValues out;
    auto word = [&](std::size_t at) {
        std::int32_t v;
        std::memcpy(&v, c.data() + at, 4);
        return v;
    };
    if (c.size() < 24) return out;
    out.preset = word(16);
    const std::int32_t count = word(20);
    for (std::int32_t i = 0; i < count && 24 + 4 * static_cast<std::size_t>(i) + 4 <= c.size();
         ++i) {
        float f;
        std::memcpy(&f, c.data() + 24 + 4 * static_cast<std::size_t>(i), 4);
        out.values.push_back(f);
    }
    return out;
}

// ---- automation shared by both hosts

struct Move {
    std::int32_t parameter;
    float plain;
};

// Values that change from block to block, over every kind of parameter the audio uses.
std::vector<Move> movesForBlock(std::size_t b) {
    const auto k = static_cast<float>(b);
    return {
        {spatium::kPan, -90.0f + std::fmod(37.0f * k, 181.0f)},
        {spatium::kDistance, -24.0f + std::fmod(7.0f * k, 31.0f)},
        {spatium::kStereoWidth, std::fmod(53.0f * k, 201.0f)},
        {spatium::kHeadSize, 50.0f + std::fmod(11.0f * k, 150.0f)},
        {spatium::kSpectralPan, std::fmod(29.0f * k, 200.0f)},
        {spatium::kOutputLevel, b % 5 == 4 ? -120.0f : -12.0f + std::fmod(3.0f * k, 24.0f)},
        {spatium::kDryWet, std::fmod(17.0f * k, 100.0f)},
        {spatium::kTestMono, b % 7 == 6 ? 1.0f : 0.0f},
        {spatium::kLfoWave, static_cast<float>(b % 5)},
    };
}

std::vector<std::vector<float>> inputFor(std::uint32_t channels, std::size_t frames) {
    std::vector<std::vector<float>> in;
    for (std::uint32_t c = 0; c < channels; ++c)
        in.push_back(lv2test::noiseAndTone(frames, 17u + 31u * c, 0.02 + 0.013 * c));
    return in;
}

const std::vector<std::uint32_t> kBlocks = {512, 1024, 300, 2000, 64, 1, 777};

std::vector<std::vector<float>> renderLv2(const std::string& uri, double rate,
                                          const std::vector<std::vector<float>>& in,
                                          bool automate) {
    lv2test::Plugin p(world(), uri, rate);
    return p.render(in, kBlocks, [&](std::size_t b) {
        if (automate)
            for (const Move& m : movesForBlock(b))
                p.control(static_cast<std::uint32_t>(m.parameter)) = m.plain;
    });
}

std::vector<std::vector<float>> renderAax(std::int32_t inputs, double rate,
                                          const std::vector<std::vector<float>>& in,
                                          bool automate) {
    static spatium::host::Plugin aax(SPATIUM_PLUGIN_PATH);
    spatium::host::Instance instance(aax, spatium::host::componentForInputs(aax.effect(), inputs),
                                     rate);
    auto reference = referenceClient();
    const std::size_t frames = in[0].size();
    std::vector<std::vector<float>> out(2, std::vector<float>(frames));
    std::size_t pos = 0;
    for (std::size_t b = 0; pos < frames; ++b) {
        const std::size_t n = std::min<std::size_t>(kBlocks[b % kBlocks.size()], frames - pos);
        if (automate)
            for (const Move& m : movesForBlock(b)) {
                const corvid::host::PlainValue plain(*reference->parameter(m.parameter));
                instance.setNormalizedValue(std::to_string(m.parameter),
                                            plain.normalizedFor(static_cast<double>(m.plain)));
            }
        // The AAX host's blocks are at most 1024 frames; the LV2 adapter slices
        // longer ones at the same places.
        for (std::size_t done = 0; done < n;) {
            const std::size_t m = std::min<std::size_t>(1024, n - done);
            std::vector<const float*> ip;
            for (const auto& ch : in) ip.push_back(ch.data() + pos + done);
            float* op[2] = {out[0].data() + pos + done, out[1].data() + pos + done};
            instance.render(ip.data(), op, static_cast<std::int32_t>(m));
            done += m;
        }
        pos += n;
    }
    return out;
}

} // namespace

TEST(Lv2Bundle, LibraryExportsOnlyTheTwoEntryPoints) {
    const std::string command =
        std::string("nm -D --defined-only ") + SPATIUM_LV2_BUNDLE + "/spatium.so";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::set<std::string> symbols;
    char line[512];
    while (std::fgets(line, sizeof line, pipe)) {
        char address[64], kind[8], name[400];
        if (std::sscanf(line, "%63s %7s %399s", address, kind, name) == 3 &&
            std::strchr("TDBRVW", kind[0]) && kind[0] != 'V' && kind[0] != 'W')
            symbols.insert(name);
    }
    ASSERT_EQ(pclose(pipe), 0);
    EXPECT_EQ(symbols, (std::set<std::string>{"lv2_descriptor", "lv2ui_descriptor"}));
}

TEST(Lv2Bundle, PortsDescribeEveryParameterInTheClientsOrder) {
    auto client = referenceClient();
    LilvWorld* w = world().get();
    LilvNode* notOnGui = lilv_new_uri(w, "http://lv2plug.in/ns/ext/port-props#notOnGUI");
    LilvNode* toggled = lilv_new_uri(w, LV2_CORE__toggled);
    LilvNode* integer = lilv_new_uri(w, LV2_CORE__integer);
    LilvNode* logarithmic = lilv_new_uri(w, "http://lv2plug.in/ns/ext/port-props#logarithmic");
    LilvNode* latency = lilv_new_uri(w, LV2_CORE__reportsLatency);
    for (const std::string& uri : {kMono, kStereo}) {
        const LilvPlugin* plugin = world().plugin(uri);
        ASSERT_NE(plugin, nullptr) << uri;
        const std::uint32_t count = lilv_plugin_get_num_ports(plugin);
        const std::uint32_t audio = uri == kMono ? 3 : 4;
        ASSERT_EQ(count, static_cast<std::uint32_t>(client->parameterCount()) + audio + 1);
        std::vector<float> mins(count), maxs(count), defs(count);
        lilv_plugin_get_port_ranges_float(plugin, mins.data(), maxs.data(), defs.data());
        std::set<std::string> symbols;
        for (std::int32_t i = 0; i < client->parameterCount(); ++i) {
            corvid::Parameter& param = *client->parameter(i);
            const corvid::host::PlainValue plain(param);
            const LilvPort* port =
                lilv_plugin_get_port_by_index(plugin, static_cast<std::uint32_t>(i));
            LilvNode* name = lilv_port_get_name(plugin, port);
            EXPECT_EQ(std::string(lilv_node_as_string(name)), std::string(param.name()));
            lilv_node_free(name);
            symbols.insert(lilv_node_as_string(lilv_port_get_symbol(plugin, port)));
            EXPECT_EQ(mins[static_cast<std::size_t>(i)], static_cast<float>(plain.minimum())) << i;
            EXPECT_EQ(maxs[static_cast<std::size_t>(i)], static_cast<float>(plain.maximum())) << i;
            EXPECT_EQ(defs[static_cast<std::size_t>(i)], static_cast<float>(plain.defaultValue()))
                << i;
            EXPECT_EQ(lilv_port_has_property(plugin, port, notOnGui), i >= spatium::kReserved0)
                << i;
            EXPECT_EQ(lilv_port_has_property(plugin, port, toggled),
                      plain.kind() == corvid::host::PlainKind::toggle)
                << i;
            EXPECT_EQ(lilv_port_has_property(plugin, port, integer),
                      plain.kind() == corvid::host::PlainKind::integer ||
                          plain.kind() == corvid::host::PlainKind::enumeration)
                << i;
            EXPECT_EQ(lilv_port_has_property(plugin, port, logarithmic),
                      plain.kind() == corvid::host::PlainKind::logarithmic)
                << i;
            LilvScalePoints* points = lilv_port_get_scale_points(plugin, port);
            if (auto* e = dynamic_cast<corvid::EnumParameter*>(&param)) {
                ASSERT_NE(points, nullptr);
                EXPECT_EQ(lilv_scale_points_size(points), e->possibleValues().size());
                LILV_FOREACH(scale_points, it, points) {
                    const LilvScalePoint* sp = lilv_scale_points_get(points, it);
                    const auto v = static_cast<std::size_t>(
                        lilv_node_as_float(lilv_scale_point_get_value(sp)));
                    EXPECT_EQ(std::string(lilv_node_as_string(lilv_scale_point_get_label(sp))),
                              std::string(e->possibleValues().at(v)));
                }
            } else {
                EXPECT_EQ(points, nullptr) << i;
            }
            lilv_scale_points_free(points);
        }
        // Symbols are what sessions store: one per port, all different.
        EXPECT_EQ(symbols.size(), static_cast<std::size_t>(client->parameterCount()));
        EXPECT_TRUE(symbols.count("pan") && symbols.count("m_to_s_amount") &&
                    symbols.count("lfo_pan") && symbols.count("reserved_20"));
        EXPECT_EQ(lilv_plugin_get_latency_port_index(plugin), count - 1);
        EXPECT_TRUE(lilv_port_has_property(plugin, lilv_plugin_get_port_by_index(plugin, count - 1),
                                           latency));
    }
    for (LilvNode* n : {notOnGui, toggled, integer, logarithmic, latency}) lilv_node_free(n);
}

TEST(Lv2Render, EqualsTheAaxPathBitForBitWithAutomation) {
    for (double rate : {44100.0, 48000.0, 96000.0}) {
        for (std::uint32_t inputs : {1u, 2u}) {
            const auto in = inputFor(inputs, 20000);
            for (bool automate : {false, true}) {
                const auto lv2 = renderLv2(inputs == 1 ? kMono : kStereo, rate, in, automate);
                const auto aax = renderAax(static_cast<std::int32_t>(inputs), rate, in, automate);
                ASSERT_EQ(lv2.size(), 2u);
                for (int c = 0; c < 2; ++c)
                    EXPECT_EQ(
                        0, std::memcmp(lv2[c].data(), aax[c].data(), lv2[c].size() * sizeof(float)))
                        << "rate " << rate << " inputs " << inputs << " automate " << automate
                        << " channel " << c;
                // The automation moves the image: the two channels differ.
                if (automate) {
                    EXPECT_NE(lv2[0], lv2[1]);
                }
            }
        }
    }
}

TEST(Lv2Render, ReportsTheClientsLatencyAndTakesInPlaceBuffers) {
    lv2test::Plugin p(world(), kStereo, 48000.0);
    const std::uint32_t latencyPort = p.portCount() - 1;
    p.control(latencyPort) = -1.0f;
    p.control(spatium::kPan) = 40.0f;
    const auto in = inputFor(2, 1500);
    const auto separate = p.render(in, {700}, [](std::size_t) {});
    EXPECT_EQ(p.control(latencyPort),
              static_cast<float>(referenceClient()->latencyInSamples(48000.0)));
    EXPECT_EQ(p.control(latencyPort), 3.0f);

    // A host may hand the same buffer for an input and an output.
    lv2test::Plugin q(world(), kStereo, 48000.0);
    q.control(spatium::kPan) = 40.0f;
    std::vector<std::vector<float>> buffers = in;
    for (std::size_t pos = 0; pos < 1500; pos += 700) {
        const auto n = static_cast<std::uint32_t>(std::min<std::size_t>(700, 1500 - pos));
        lilv_instance_connect_port(q.instance(), spatium::kParameterCount, buffers[0].data() + pos);
        lilv_instance_connect_port(q.instance(), spatium::kParameterCount + 1,
                                   buffers[1].data() + pos);
        lilv_instance_connect_port(q.instance(), spatium::kParameterCount + 2,
                                   buffers[0].data() + pos);
        lilv_instance_connect_port(q.instance(), spatium::kParameterCount + 3,
                                   buffers[1].data() + pos);
        q.run(n);
    }
    EXPECT_EQ(buffers[0], separate[0]);
    EXPECT_EQ(buffers[1], separate[1]);
}

namespace {

// lilv hands numbers from Turtle files as the atom type of their literal.
void setPortBySymbol(const char* symbol, void* user, const void* value, std::uint32_t size,
                     std::uint32_t type) {
    auto* p = static_cast<lv2test::Plugin*>(user);
    const char* name = world().unmapUrid(type);
    ASSERT_NE(name, nullptr);
    const std::string t = name;
    float v = 0.0f;
    if (t == LV2_ATOM__Float && size == 4) {
        std::memcpy(&v, value, 4);
    } else if (t == LV2_ATOM__Double && size == 8) {
        double d;
        std::memcpy(&d, value, 8);
        v = static_cast<float>(d);
    } else if (t == LV2_ATOM__Int && size == 4) {
        std::int32_t i;
        std::memcpy(&i, value, 4);
        v = static_cast<float>(i);
    } else if (t == LV2_ATOM__Long && size == 8) {
        std::int64_t i;
        std::memcpy(&i, value, 8);
        v = static_cast<float>(i);
    } else {
        FAIL() << "port value of type " << t;
    }
    p->control(p->port(symbol)) = v;
}

const void* getPortValue(const char* symbol, void* user, std::uint32_t* size, std::uint32_t* type) {
    auto* p = static_cast<lv2test::Plugin*>(user);
    *size = sizeof(float);
    *type = world().mapUri("http://lv2plug.in/ns/ext/atom#Float");
    return &p->control(p->port(symbol));
}

} // namespace

TEST(Lv2State, SavedThroughLilvRestoresIntoANewInstanceWithIdenticalOutput) {
    const auto in = inputFor(1, 6000);
    lv2test::Plugin a(world(), kMono, 48000.0);
    for (const Move& m : movesForBlock(5))
        a.control(static_cast<std::uint32_t>(m.parameter)) = m.plain;
    a.run(64); // the ports reach the parameters at the next run
    LilvState* state = lilv_state_new_from_instance(
        a.plugin(), a.instance(), world().map(), nullptr, nullptr, nullptr, nullptr, &getPortValue,
        &a, LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE, world().features());
    ASSERT_NE(state, nullptr);
    const Saved before = saveState(a);

    lv2test::Plugin b(world(), kMono, 48000.0);
    lilv_state_restore(state, b.instance(), &setPortBySymbol, &b, 0, world().features());
    lilv_state_free(state);
    EXPECT_EQ(saveState(b).bytes, before.bytes);

    lv2test::Plugin c(world(), kMono, 48000.0);
    for (const Move& m : movesForBlock(5))
        c.control(static_cast<std::uint32_t>(m.parameter)) = m.plain;
    EXPECT_EQ(b.render(in, {512}, [](std::size_t) {}), c.render(in, {512}, [](std::size_t) {}));
    EXPECT_EQ(saveState(b).bytes, before.bytes);
}

TEST(Lv2State, RestoredChunkSurvivesPortsTheHostLeavesAlone) {
    // Hosts that restore only the plug-in's state keep their old port values; the
    // next run must not take those for changes.
    auto reference = referenceClient();
    lv2test::Plugin p(world(), kStereo, 44100.0);
    p.run(16);
    Saved preset{reference->presetBank().writePresetChunk(1), world().mapUri(LV2_ATOM__Chunk)};
    ASSERT_EQ(restoreState(p, preset), LV2_STATE_SUCCESS);
    p.run(16);
    const ChunkValues got = readChunk(saveState(p).bytes);
    const ChunkValues want = readChunk(preset.bytes);
    EXPECT_EQ(got.preset, 1);
    ASSERT_EQ(got.values.size(), want.values.size());
    for (std::size_t i = 0; i < got.values.size(); ++i)
        EXPECT_NEAR(got.values[i], want.values[i], 1e-6) << i;
}

TEST(Lv2State, TruncatedOrCorruptBlobFailsAndKeepsEveryValue) {
    lv2test::Plugin p(world(), kStereo, 48000.0);
    for (const Move& m : movesForBlock(3))
        p.control(static_cast<std::uint32_t>(m.parameter)) = m.plain;
    p.run(32);
    const Saved good = saveState(p);
    ASSERT_GT(good.bytes.size(), 24u);
    std::vector<Saved> bad;
    // Cut inside the values: the values before the cut would load on their own.
    for (std::size_t keep : {std::size_t{0}, std::size_t{3}, std::size_t{23},
                             std::size_t{24 + 4 * 20 + 2}, good.bytes.size() - 1})
        bad.push_back({std::vector<std::uint8_t>(good.bytes.begin(),
                                                 good.bytes.begin() + static_cast<long>(keep)),
                       good.type});
    Saved wrongMagic = good;
    wrongMagic.bytes[0] ^= 0xFF;
    bad.push_back(wrongMagic);
    Saved wrongPreset = good;
    wrongPreset.bytes[16] = 99;
    bad.push_back(wrongPreset);
    Saved wrongType = good;
    wrongType.type = world().mapUri("http://lv2plug.in/ns/ext/atom#String");
    bad.push_back(wrongType);
    // A complete preset chunk, cut at the end.
    Saved other{referenceClient()->presetBank().writePresetChunk(7), good.type};
    other.bytes.resize(other.bytes.size() - 2);
    bad.push_back(other);
    for (std::size_t i = 0; i < bad.size(); ++i) {
        EXPECT_NE(restoreState(p, bad[i]), LV2_STATE_SUCCESS) << i;
        p.run(32);
        EXPECT_EQ(saveState(p).bytes, good.bytes) << i;
    }
}

TEST(Lv2Presets, EveryFactoryPresetAppliesThroughLilvWithItsName) {
    auto reference = referenceClient();
    const corvid::PresetBank& bank = reference->presetBank();
    ASSERT_EQ(bank.presetCount(), spatium::kFactoryPresetCount);
    LilvWorld* w = world().get();
    LilvNode* presetClass = lilv_new_uri(w, LV2_PRESETS__Preset);
    LilvNode* label = lilv_new_uri(w, "http://www.w3.org/2000/01/rdf-schema#label");
    for (const std::string& uri : {kMono, kStereo}) {
        lv2test::Plugin p(world(), uri, 48000.0);
        LilvNodes* presets = lilv_plugin_get_related(p.plugin(), presetClass);
        ASSERT_EQ(lilv_nodes_size(presets), static_cast<unsigned>(bank.presetCount()));
        for (std::int32_t i = 0; i < bank.presetCount(); ++i) {
            const std::string presetUri = kBase + "/preset/" + std::to_string(i);
            LilvNode* node = lilv_new_uri(w, presetUri.c_str());
            ASSERT_TRUE(lilv_nodes_contains(presets, node)) << presetUri;
            lilv_world_load_resource(w, node);
            LilvNodes* labels = lilv_world_find_nodes(w, node, label, nullptr);
            ASSERT_NE(labels, nullptr);
            EXPECT_EQ(std::string(lilv_node_as_string(lilv_nodes_get_first(labels))),
                      bank.presets()[static_cast<std::size_t>(i)]->name);
            lilv_nodes_free(labels);
            LilvState* state = lilv_state_new_from_world(w, world().map(), node);
            ASSERT_NE(state, nullptr) << presetUri;
            lilv_state_restore(state, p.instance(), &setPortBySymbol, &p, 0, world().features());
            lilv_state_free(state);
            lilv_node_free(node);
            p.run(16);
            const ChunkValues got = readChunk(saveState(p).bytes);
            const ChunkValues want = readChunk(bank.writePresetChunk(i));
            EXPECT_EQ(got.preset, i);
            ASSERT_EQ(got.values.size(), want.values.size());
            for (std::size_t v = 0; v < got.values.size(); ++v)
                EXPECT_NEAR(got.values[v], want.values[v], 1e-6) << presetUri << " value " << v;
        }
        lilv_nodes_free(presets);
    }
    lilv_node_free(presetClass);
    lilv_node_free(label);
}

// ---- a real host's offline tool against the command-line host

namespace {

std::vector<std::vector<float>> readWav(const std::string& path) {
    SF_INFO info{};
    SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
    if (!f) throw std::runtime_error("cannot read " + path);
    std::vector<float> interleaved(static_cast<std::size_t>(info.frames * info.channels));
    sf_readf_float(f, interleaved.data(), info.frames);
    sf_close(f);
    std::vector<std::vector<float>> out(static_cast<std::size_t>(info.channels),
                                        std::vector<float>(static_cast<std::size_t>(info.frames)));
    for (std::size_t i = 0; i < out[0].size(); ++i)
        for (std::size_t c = 0; c < out.size(); ++c) out[c][i] = interleaved[i * out.size() + c];
    return out;
}

void writeWav(const std::string& path, const std::vector<std::vector<float>>& channels, int rate) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = static_cast<int>(channels.size());
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!f) throw std::runtime_error("cannot write " + path);
    std::vector<float> interleaved;
    for (std::size_t i = 0; i < channels[0].size(); ++i)
        for (const auto& ch : channels) interleaved.push_back(ch[i]);
    sf_writef_float(f, interleaved.data(), static_cast<sf_count_t>(channels[0].size()));
    sf_close(f);
}

} // namespace

TEST(Lv2Apply, OutputEqualsTheCommandLineHostWithoutCompensation) {
#if defined(SPATIUM_SANITIZED_BUILD)
    GTEST_SKIP() << "lv2apply cannot load a sanitizer build's bundle";
#endif
    if (std::system("command -v lv2apply >/dev/null 2>&1") != 0) GTEST_SKIP() << "no lv2apply";
    const std::string dir = std::string(SPATIUM_BINARY_DIR_PATH) + "/lv2test";
    std::system(("mkdir -p " + dir).c_str());
    for (int inputs : {1, 2}) {
        const std::string in = dir + "/in" + std::to_string(inputs) + ".wav";
        writeWav(in, inputFor(static_cast<std::uint32_t>(inputs), 30000), 48000);
        const std::string viaLv2 = dir + "/lv2apply" + std::to_string(inputs) + ".wav";
        const std::string viaCli = dir + "/cli" + std::to_string(inputs) + ".wav";
        const std::string lv2Command =
            std::string("LV2_PATH=") + SPATIUM_LV2_BUNDLE + "/.. lv2apply -i " + in + " -o " +
            viaLv2 + " -c pan -45 -c distance -6 -c stereo_width 150 -c head_size 80 " +
            (inputs == 1 ? kMono : kStereo) + " >/dev/null 2>&1";
        ASSERT_EQ(std::system(lv2Command.c_str()), 0) << lv2Command;
        // lv2apply runs the plug-in one frame per run; the command-line host does the same.
        const std::string cliCommand =
            std::string(SPATIUM_EXE) + " --plugin " + SPATIUM_PLUGIN_PATH + " render " + in +
            " -o " + viaCli +
            " --no-compensate --block 1 --set Pan=-45 --set Distance=-6"
            " --set \"Stereo Width=150\" --set \"Head size=80\" >/dev/null";
        ASSERT_EQ(std::system(cliCommand.c_str()), 0) << cliCommand;
        const auto a = readWav(viaLv2);
        const auto b = readWav(viaCli);
        ASSERT_EQ(a.size(), 2u);
        ASSERT_EQ(b.size(), 2u);
        ASSERT_LE(a[0].size(), b[0].size());
        for (int c = 0; c < 2; ++c) {
            std::vector<float> head(b[c].begin(), b[c].begin() + static_cast<long>(a[c].size()));
            EXPECT_EQ(a[c], head) << "inputs " << inputs << " channel " << c;
        }
    }
}
