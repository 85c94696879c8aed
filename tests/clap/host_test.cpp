// Spatium.clap in the test host: loaded through clap_entry, walked through its
// factory and descriptor, rendered against the command-line host bit for bit,
// with values at frames inside blocks, its state saved, restored and refused,
// and every parameter's text taken both ways.

#include "tests/clap/testhost.h"

#include <gtest/gtest.h>
#if !defined(_WIN32)
#include <sndfile.h>
#endif

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using namespace claptest;

using Channels = std::vector<std::vector<float>>;

const std::string kDir = std::string(SPATIUM_BINARY_DIR_PATH) + "/claptest";

Channels noise(int channels, std::size_t frames, std::uint32_t seed) {
    Channels in(static_cast<std::size_t>(channels), std::vector<float>(frames));
    for (auto& channel : in)
        for (float& s : channel) {
            seed = seed * 1664525u + 1013904223u;
            s = static_cast<float>(seed >> 8) / 16777216.0f - 0.5f;
        }
    return in;
}

#if !defined(_WIN32)
// The command-line host's files (its Linux build is the reference).
void writeWav(const std::string& path, const Channels& channels, int rate) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = static_cast<int>(channels.size());
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(f, nullptr) << path;
    std::vector<float> interleaved;
    for (std::size_t i = 0; i < channels[0].size(); ++i)
        for (const auto& ch : channels) interleaved.push_back(ch[i]);
    sf_writef_float(f, interleaved.data(), static_cast<sf_count_t>(channels[0].size()));
    sf_close(f);
}

Channels readWav(const std::string& path) {
    SF_INFO info{};
    SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
    if (!f) return {};
    std::vector<float> interleaved(static_cast<std::size_t>(info.frames * info.channels));
    sf_readf_float(f, interleaved.data(), info.frames);
    sf_close(f);
    Channels out(static_cast<std::size_t>(info.channels),
                 std::vector<float>(static_cast<std::size_t>(info.frames)));
    for (std::size_t i = 0; i < out[0].size(); ++i)
        for (std::size_t c = 0; c < out.size(); ++c) out[c][i] = interleaved[i * out.size() + c];
    return out;
}

#endif

class ClapHost : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        std::filesystem::create_directories(kDir);
        library = new Library(SPATIUM_CLAP_LIBRARY);
    }
    static void TearDownTestSuite() {
        delete library;
        library = nullptr;
    }

    // Values as a user types them, each as a change at frame 0.
    std::vector<Change> typed(const Instance& instance,
                              const std::vector<std::pair<std::string, std::string>>& texts) {
        std::vector<Change> changes;
        for (const auto& [name, text] : texts) {
            const std::uint32_t id = instance.idOf(name);
            changes.push_back({0, id, instance.fromText(id, text.c_str())});
        }
        return changes;
    }

    static Library* library;
    Host host;
};

Library* ClapHost::library = nullptr;

TEST_F(ClapHost, EntryFactoryAndDescriptorAreWhatHostsRead) {
    const clap_plugin_entry_t& entry = library->entry();
    EXPECT_EQ(entry.clap_version.major, 1u);
    EXPECT_GE(entry.clap_version.minor, 2u);
    EXPECT_EQ(entry.get_factory("clap.preset-discovery-factory"), nullptr);
    const clap_plugin_factory_t& factory = library->factory();
    ASSERT_EQ(factory.get_plugin_count(&factory), 1u);
    EXPECT_EQ(factory.get_plugin_descriptor(&factory, 1), nullptr);
    const clap_plugin_descriptor_t* d = library->descriptor();
    ASSERT_NE(d, nullptr);
    EXPECT_STREQ(d->id, "com.vireoraroza.spatium");
    EXPECT_STREQ(d->name, "Spatium");
    EXPECT_STREQ(d->vendor, "Vireo Raroza");
    EXPECT_STREQ(d->version, "1.3.0");
    EXPECT_GT(std::strlen(d->description), 10u);
    std::vector<std::string> features;
    for (const char* const* f = d->features; *f; ++f) features.emplace_back(*f);
    EXPECT_EQ(features, (std::vector<std::string>{"audio-effect", "stereo"}));
    EXPECT_EQ(factory.create_plugin(&factory, host.clap(), "com.vireoraroza.other"), nullptr);

    Instance instance(*library, host);
    for (const char* id : {"clap.audio-ports", "clap.audio-ports-config", "clap.params",
                           "clap.state", "clap.latency", "clap.tail", "clap.render", "clap.gui"})
        EXPECT_NE(instance.ext<void>(id), nullptr) << id;
    // The editor runs from the host's timer and descriptor on Linux only; on
    // Windows its window has the host's message loop.
    for (const char* id : {"clap.timer-support", "clap.posix-fd-support"}) {
#if defined(_WIN32)
        EXPECT_EQ(instance.ext<void>(id), nullptr) << id;
#else
        EXPECT_NE(instance.ext<void>(id), nullptr) << id;
#endif
    }
    EXPECT_EQ(instance.ext<void>("clap.note-ports"), nullptr);
    const auto* render = instance.ext<clap_plugin_render_t>("clap.render");
    EXPECT_FALSE(render->has_hard_realtime_requirement(instance.plugin()));
    EXPECT_TRUE(render->set(instance.plugin(), 0));
    EXPECT_TRUE(render->set(instance.plugin(), 1));
    EXPECT_FALSE(render->set(instance.plugin(), 2));
}

TEST_F(ClapHost, PortsFollowTheSelectedConfigurationWhichWaitsForDeactivation) {
    Instance instance(*library, host);
    const clap_plugin_t* p = instance.plugin();
    ASSERT_EQ(instance.configs->count(p), 2u);
    std::vector<std::uint32_t> inputs;
    for (std::uint32_t i = 0; i < 2; ++i) {
        clap_audio_ports_config_t c{};
        ASSERT_TRUE(instance.configs->get(p, i, &c));
        EXPECT_EQ(c.input_port_count, 1u);
        EXPECT_EQ(c.output_port_count, 1u);
        EXPECT_TRUE(c.has_main_input && c.has_main_output);
        EXPECT_EQ(c.main_output_channel_count, 2u);
        EXPECT_STREQ(c.main_output_port_type, "stereo");
        inputs.push_back(c.main_input_channel_count);
        ASSERT_TRUE(instance.configs->select(p, c.id));
        clap_audio_port_info_t in{}, out{};
        ASSERT_EQ(instance.ports->count(p, true), 1u);
        ASSERT_EQ(instance.ports->count(p, false), 1u);
        ASSERT_TRUE(instance.ports->get(p, 0, true, &in));
        ASSERT_TRUE(instance.ports->get(p, 0, false, &out));
        EXPECT_FALSE(instance.ports->get(p, 1, true, &in));
        EXPECT_EQ(in.channel_count, c.main_input_channel_count);
        EXPECT_STREQ(in.port_type, c.main_input_channel_count == 1 ? "mono" : "stereo");
        EXPECT_EQ(out.channel_count, 2u);
        EXPECT_EQ(in.flags & 1u, 1u) << "the main port";
        // In place only where the channel counts match.
        EXPECT_EQ(in.in_place_pair, c.main_input_channel_count == 2 ? out.id : UINT32_MAX);
    }
    std::sort(inputs.begin(), inputs.end());
    EXPECT_EQ(inputs, (std::vector<std::uint32_t>{1, 2}));
    EXPECT_FALSE(instance.configs->select(p, 2));
    ASSERT_TRUE(instance.start(48000.0, 2));
    EXPECT_FALSE(instance.configs->select(p, 0)) << "active: the layout cannot change";
    const auto* latency = instance.ext<clap_plugin_latency_t>("clap.latency");
    const auto* tail = instance.ext<clap_plugin_tail_t>("clap.tail");
    EXPECT_EQ(latency->get(p), 3u);
    EXPECT_EQ(tail->get(p), 4800u);
}

#if !defined(_WIN32)
// The command-line host renders through the AAX build with the same values and
// blocks: both formats must run the same code on the same numbers.
TEST_F(ClapHost, RendersBitForBitAsTheCommandLineHostAtEveryRateAndLayout) {
    const std::vector<std::pair<std::string, std::string>> texts = {
        {"Pan", "-45"}, {"Distance", "-6"}, {"Stereo Width", "150"}, {"Head size", "80"}};
    struct Case {
        int rate;
        std::uint32_t block;
    };
    for (const Case& k : {Case{44100, 441}, Case{48000, 64}, Case{96000, 1024}})
        for (int inputs : {1, 2}) {
            SCOPED_TRACE(std::to_string(k.rate) + " Hz, " + std::to_string(inputs) + " in");
            const std::string stem =
                kDir + "/r" + std::to_string(k.rate) + "_" + std::to_string(inputs);
            Channels in = noise(inputs, static_cast<std::size_t>(k.rate / 4),
                                static_cast<std::uint32_t>(k.rate + inputs));
            writeWav(stem + "_in.wav", in, k.rate);
            const std::string command =
                std::string(SPATIUM_EXE) + " --plugin " + SPATIUM_PLUGIN_PATH + " render " + stem +
                "_in.wav -o " + stem + "_cli.wav --no-compensate --block " +
                std::to_string(k.block) +
                " --set Pan=-45 --set Distance=-6 --set \"Stereo Width=150\""
                " --set \"Head size=80\" >/dev/null";
            ASSERT_EQ(std::system(command.c_str()), 0) << command;
            const Channels expected = readWav(stem + "_cli.wav");
            ASSERT_EQ(expected.size(), 2u);
            ASSERT_GT(expected[0].size(), in[0].size());
            for (auto& channel : in) channel.resize(expected[0].size(), 0.0f);

            Instance instance(*library, host);
            ASSERT_TRUE(instance.start(k.rate, inputs));
            const Channels got = instance.render(in, {k.block}, typed(instance, texts));
            EXPECT_TRUE(got[0] == expected[0]) << "left";
            EXPECT_TRUE(got[1] == expected[1]) << "right";
        }
}

#endif

TEST_F(ClapHost, ValuesAtFramesInsideBlocksEqualBlocksCutAtThoseFrames) {
    Instance probe(*library, host);
    const std::uint32_t pan = probe.idOf("Pan");
    const std::uint32_t distance = probe.idOf("Distance");
    const std::uint32_t width = probe.idOf("Stereo Width");
    const std::vector<Change> changes = {
        {0, pan, -30.0},      {37, pan, 60.0},       {300, distance, -12.0}, {301, width, 40.0},
        {777, pan, -89.5},    {1500, distance, 0.0}, {1501, distance, -3.0}, {4095, pan, 10.0},
        {4095, width, 180.0}, {9000, pan, -10.0}};
    std::vector<std::int64_t> cuts;
    for (const Change& c : changes) cuts.push_back(c.frame);
    const std::vector<std::uint32_t> blocks = {512, 100, 1, 2048, 333, 1024};
    for (int inputs : {1, 2}) {
        const Channels in = noise(inputs, 12000, 99u + static_cast<std::uint32_t>(inputs));
        Instance inside(*library, host), cut(*library, host), still(*library, host);
        ASSERT_TRUE(inside.start(48000.0, inputs));
        ASSERT_TRUE(cut.start(48000.0, inputs));
        ASSERT_TRUE(still.start(48000.0, inputs));
        const Channels a = inside.render(in, blocks, changes);
        const Channels b = cut.render(in, blocks, changes, cuts);
        const Channels c = still.render(in, blocks, {changes[0]});
        EXPECT_TRUE(a == b) << inputs << " in";
        EXPECT_FALSE(a == c) << "the later values must change the output";
        EXPECT_EQ(inside.value(pan), -10.0);
        EXPECT_EQ(inside.value(width), 180.0);
    }
}

TEST_F(ClapHost, StateRestoresIntoANewInstanceWithIdenticalOutputAndVst3StateLoads) {
    Instance first(*library, host);
    InEvents set;
    set.add(0, first.idOf("Pan"), 33.0);
    set.add(0, first.idOf("Distance"), -9.0);
    set.add(0, first.idOf("Tilt"), first.fromText(first.idOf("Tilt"), "2"));
    OutEvents none;
    first.params->flush(first.plugin(), set.clap(), none.clap());
    const std::vector<std::uint8_t> saved = first.save();
    ASSERT_GT(saved.size(), 16u);

    Instance second(*library, host);
    const int rescansBefore = host.rescans;
    ASSERT_TRUE(second.load(saved));
    EXPECT_GT(host.rescans, rescansBefore) << "the host re-reads the values";
    EXPECT_EQ(second.save(), saved);
    EXPECT_FLOAT_EQ(static_cast<float>(second.value(second.idOf("Pan"))), 33.0f);
    // The chunk holds values as 32-bit floats: the first instance reloads its own
    // state so both run on the very same numbers.
    ASSERT_TRUE(first.load(saved));
    EXPECT_EQ(second.values(), first.values());
    const Channels in = noise(2, 9000, 5);
    ASSERT_TRUE(first.start(48000.0, 2));
    ASSERT_TRUE(second.start(48000.0, 2));
    EXPECT_TRUE(second.render(in, {256}, {}) == first.render(in, {256}, {}));

    // The VST3 build saves the same chunk followed by its bypass; the chunk's
    // reader stops at its values, so that state loads here with every value.
    std::vector<std::uint8_t> vst3 = saved;
    const float bypassOn = 1.0f;
    const char tag[4] = {'B', 'y', 'p', 's'};
    vst3.insert(vst3.end(), tag, tag + 4);
    vst3.insert(vst3.end(), reinterpret_cast<const std::uint8_t*>(&bypassOn),
                reinterpret_cast<const std::uint8_t*>(&bypassOn) + 4);
    Instance third(*library, host);
    ASSERT_TRUE(third.load(vst3));
    EXPECT_EQ(third.save(), saved);
}

#if !defined(_WIN32)
TEST_F(ClapHost, StateBytesAreTheAaxBuildsBothWays) {
    Instance first(*library, host);
    InEvents set;
    set.add(0, first.idOf("Pan"), -21.0);
    set.add(0, first.idOf("Head size"), 130.0);
    OutEvents none;
    first.params->flush(first.plugin(), set.clap(), none.clap());
    const std::vector<std::uint8_t> saved = first.save();

    // The same bytes are the AAX build's state: the command-line host loads them
    // and writes them back unchanged.
    const std::string statePath = kDir + "/clap.state";
    const std::string backPath = kDir + "/cli.state";
    FILE* f = std::fopen(statePath.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(saved.data(), 1, saved.size(), f);
    std::fclose(f);
    writeWav(kDir + "/state_in.wav", noise(2, 4800, 8), 48000);
    const std::string command = std::string(SPATIUM_EXE) + " --plugin " + SPATIUM_PLUGIN_PATH +
                                " render " + kDir + "/state_in.wav -o " + kDir +
                                "/state_out.wav --state " + statePath + " --save-state " +
                                backPath + " >/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    f = std::fopen(backPath.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    std::vector<std::uint8_t> back(saved.size() + 64);
    back.resize(std::fread(back.data(), 1, back.size(), f));
    std::fclose(f);
    EXPECT_EQ(back, saved);

    // And a state the command-line host made from its own settings loads here.
    const std::string madePath = kDir + "/cli_made.state";
    const std::string made = std::string(SPATIUM_EXE) + " --plugin " + SPATIUM_PLUGIN_PATH +
                             " render " + kDir + "/state_in.wav -o " + kDir +
                             "/state_out.wav --set Pan=12 --set \"Dry / Wet=40\" --save-state " +
                             madePath + " >/dev/null";
    ASSERT_EQ(std::system(made.c_str()), 0) << made;
    f = std::fopen(madePath.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    std::vector<std::uint8_t> cli(4096);
    cli.resize(std::fread(cli.data(), 1, cli.size(), f));
    std::fclose(f);
    Instance second(*library, host);
    ASSERT_TRUE(second.load(cli));
    EXPECT_FLOAT_EQ(static_cast<float>(second.value(second.idOf("Pan"))), 12.0f);
    EXPECT_FLOAT_EQ(static_cast<float>(second.value(second.idOf("Dry / Wet"))), 40.0f);
    EXPECT_EQ(second.save(), cli);
}
#endif

TEST_F(ClapHost, TruncatedCorruptOrUnreadableStateIsRefusedAndValuesStay) {
    Instance instance(*library, host);
    ASSERT_TRUE(instance.start(48000.0, 2));
    const Channels in = noise(2, 512, 6);
    instance.render(in, {512}, {{0, instance.idOf("Pan"), -70.0}});
    const std::vector<std::uint8_t> good = instance.save();
    // Another state the damaged ones would partly apply if they were taken.
    Instance other(*library, host);
    ASSERT_TRUE(other.start(48000.0, 2));
    other.render(in, {512}, {{0, other.idOf("Pan"), 70.0}, {0, other.idOf("Distance"), -20.0}});
    const std::vector<std::uint8_t> otherState = other.save();
    const std::vector<double> before = instance.values();

    std::vector<std::vector<std::uint8_t>> damaged;
    damaged.emplace_back(otherState.begin(), otherState.end() - 3);
    damaged.emplace_back(otherState.begin(), otherState.begin() + otherState.size() / 2);
    damaged.emplace_back();
    damaged.push_back(otherState);
    damaged.back()[0] ^= 0x55; // the magic number
    damaged.push_back(otherState);
    damaged.back()[16] = 0x7F; // a preset index far past the bank
    for (std::size_t i = 0; i < damaged.size(); ++i) {
        EXPECT_FALSE(instance.load(damaged[i])) << "stream " << i;
        EXPECT_EQ(instance.values(), before) << "stream " << i;
    }
    EXPECT_FALSE(instance.load(otherState, true)) << "a stream that fails part way";
    EXPECT_EQ(instance.values(), before);
    EXPECT_EQ(instance.save(), good);
    EXPECT_TRUE(instance.load(otherState));
    EXPECT_EQ(instance.save(), otherState);
}

TEST_F(ClapHost, EveryParameterHasPlainRangesFlagsAndATextRoundTrip) {
    Instance instance(*library, host);
    const clap_plugin_t* p = instance.plugin();
    ASSERT_EQ(instance.params->count(p), 42u);
    clap_param_info_t info{};
    EXPECT_FALSE(instance.params->get_info(p, 42, &info));
    char text[64];
    EXPECT_FALSE(instance.params->value_to_text(p, 42, 0.0, text, sizeof text));
    double v = 0.0;
    EXPECT_FALSE(instance.params->get_value(p, 42, &v));
    int hidden = 0;
    for (std::uint32_t i = 0; i < 42; ++i) {
        ASSERT_TRUE(instance.params->get_info(p, i, &info));
        SCOPED_TRACE(info.name);
        EXPECT_EQ(info.id, i) << "IDs are the state's value order";
        EXPECT_LT(info.min_value, info.max_value);
        EXPECT_GE(info.default_value, info.min_value);
        EXPECT_LE(info.default_value, info.max_value);
        EXPECT_EQ(instance.value(i), info.default_value);
        const bool reserved = std::string(info.name).rfind("Reserved ", 0) == 0;
        hidden += reserved;
        EXPECT_EQ((info.flags & PARAM_HIDDEN) != 0, reserved);
        EXPECT_EQ((info.flags & PARAM_AUTOMATABLE) != 0, !reserved);
        if (info.flags & PARAM_ENUM) {
            EXPECT_TRUE(info.flags & PARAM_STEPPED);
        }
        const double span = info.max_value - info.min_value;
        for (double at : {0.0, 0.13, 0.5, 0.77, 1.0}) {
            double value = info.min_value + at * span;
            if (info.flags & PARAM_STEPPED) value = std::round(value);
            ASSERT_TRUE(instance.params->value_to_text(p, i, value, text, sizeof text)) << value;
            double back = 0.0;
            ASSERT_TRUE(instance.params->text_to_value(p, i, text, &back)) << text;
            char again[64];
            ASSERT_TRUE(instance.params->value_to_text(p, i, back, again, sizeof again));
            EXPECT_STREQ(again, text) << value;
            if (info.flags & PARAM_STEPPED) {
                EXPECT_EQ(back, value) << text;
            }
        }
        // A small buffer gets a cut, terminated text.
        char tiny[3] = {'x', 'x', 'x'};
        EXPECT_TRUE(instance.params->value_to_text(p, i, info.default_value, tiny, sizeof tiny));
        EXPECT_LT(std::strlen(tiny), sizeof tiny);
        EXPECT_FALSE(instance.params->value_to_text(p, i, std::nan(""), text, sizeof text));
        EXPECT_FALSE(instance.params->text_to_value(p, i, "not a value at all", &v));
    }
    EXPECT_EQ(hidden, 21);
    clap_param_info_t lfo{};
    ASSERT_TRUE(instance.params->get_info(p, instance.idOf("LFO Wave"), &lfo));
    EXPECT_TRUE(lfo.flags & PARAM_ENUM);
}

TEST_F(ClapHost, FlushAppliesValuesWithoutAudioAndLateValuesOfABlockStay) {
    Instance instance(*library, host);
    const clap_plugin_t* p = instance.plugin();
    const std::uint32_t pan = instance.idOf("Pan");
    InEvents events;
    events.add(0, pan, 45.0);
    events.add(0, 9999, 1.0); // no such parameter
    OutEvents out;
    instance.params->flush(p, events.clap(), out.clap());
    EXPECT_EQ(instance.value(pan), 45.0);
    EXPECT_TRUE(out.events.empty());
    // Out-of-range plain values are held to the range.
    events.clear();
    events.add(0, pan, 500.0);
    instance.params->flush(p, events.clap(), out.clap());
    EXPECT_EQ(instance.value(pan), 90.0);

    ASSERT_TRUE(instance.start(96000.0, 1));
    Channels in = noise(1, 64, 1);
    Channels o(2, std::vector<float>(64));
    events.clear();
    events.add(63, pan, -12.0);
    events.add(64, pan, -13.0); // at the block's end: applied after it
    EXPECT_EQ(instance.process(in, o, 0, 64, events), 1);
    EXPECT_EQ(instance.value(pan), -13.0);
}

} // namespace
