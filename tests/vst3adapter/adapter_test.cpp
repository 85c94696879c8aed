// The VST3 adapter as a host meets it: buses, parameters, programs, state,
// sample-accurate automation, the bypass and the editor's gestures.

#include "corvid/host/state.h"
#include "corvid/vst3/parameters.h"
#include "corvid/vst3/text.h"
#include "spatium/params.h"
#include "tests/vst3adapter/rig.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace vst3test;
using corvid::vst3::kBypassId;
using corvid::vst3::kProgramId;

std::string text(Component& c, ParamID id, ParamValue v) {
    String128 s{};
    EXPECT_EQ(c.getParamStringByValue(id, v, s), kResultOk);
    return corvid::vst3::toUtf8(s, 128);
}

TEST(Vst3Adapter, BusArrangementsAreTheDeclaredLayoutsOnly) {
    Rig rig(2);
    Component& c = *rig.component;
    c.setActive(0);
    SpeakerArrangement stereo = speaker::kStereo, mono = speaker::kMono;
    SpeakerArrangement surround = 0x3F, empty = speaker::kEmpty;
    EXPECT_EQ(c.setBusArrangements(&mono, 1, &stereo, 1), kResultTrue);
    SpeakerArrangement got = 0;
    EXPECT_EQ(c.getBusArrangement(kInput, 0, got), kResultOk);
    EXPECT_EQ(got, speaker::kMono);
    BusInfo bus{};
    ASSERT_EQ(c.getBusInfo(kAudio, kInput, 0, bus), kResultOk);
    EXPECT_EQ(bus.channelCount, 1);
    EXPECT_EQ(c.setBusArrangements(&stereo, 1, &mono, 1), kResultFalse);
    EXPECT_EQ(c.setBusArrangements(&surround, 1, &stereo, 1), kResultFalse);
    EXPECT_EQ(c.setBusArrangements(&empty, 1, &stereo, 1), kResultFalse);
    EXPECT_EQ(c.setBusArrangements(&stereo, 1, &stereo, 1), kResultTrue);
    // A refused arrangement leaves the last accepted one.
    EXPECT_EQ(c.setBusArrangements(&surround, 1, &stereo, 1), kResultFalse);
    EXPECT_EQ(c.getBusArrangement(kInput, 0, got), kResultOk);
    EXPECT_EQ(got, speaker::kStereo);
    EXPECT_EQ(c.getBusCount(kEvent, kInput), 0);
    EXPECT_EQ(c.getBusInfo(kAudio, kInput, 1, bus), kInvalidArgument);
    c.setActive(1);
}

TEST(Vst3Adapter, ParametersCarryTheClientsNamesTextsAndFlags) {
    Rig rig;
    Component& c = *rig.component;
    corvid::Client& client = c.client();
    ASSERT_EQ(c.getParameterCount(), client.parameterCount() + 2);
    for (int32 i = 0; i < c.getParameterCount(); ++i) {
        ParameterInfo info{};
        ASSERT_EQ(c.getParameterInfo(i, info), kResultOk);
        if (i >= client.parameterCount()) continue;
        corvid::Parameter& p = *client.parameter(i);
        EXPECT_EQ(info.id, static_cast<ParamID>(i));
        EXPECT_EQ(corvid::vst3::toUtf8(info.title, 128), p.name());
        EXPECT_EQ(corvid::vst3::toUtf8(info.units, 128), p.label());
        const bool reserved = p.name().rfind("Reserved", 0) == 0;
        EXPECT_EQ((info.flags & ParameterInfo::kIsHidden) != 0, reserved) << p.name();
        EXPECT_EQ((info.flags & ParameterInfo::kCanAutomate) != 0, !reserved) << p.name();
        EXPECT_EQ(info.defaultNormalizedValue, p.normalizedDefault());
        // Every value's text reads back as the same text.
        for (double v : {0.0, 0.37, 0.5, 1.0}) {
            const std::string shown = text(c, info.id, v);
            String128 typed{};
            corvid::vst3::toUtf16(shown, typed);
            ParamValue back = -1.0;
            ASSERT_EQ(c.getParamValueByString(info.id, typed, back), kResultOk) << shown;
            EXPECT_EQ(text(c, info.id, back), shown) << p.name();
        }
    }
    ParameterInfo bypass{};
    ASSERT_EQ(c.getParameterInfo(client.parameterCount(), bypass), kResultOk);
    EXPECT_EQ(bypass.id, kBypassId);
    EXPECT_EQ(bypass.flags, ParameterInfo::kCanAutomate | ParameterInfo::kIsBypass);
    EXPECT_EQ(bypass.stepCount, 1);
    ParameterInfo program{};
    ASSERT_EQ(c.getParameterInfo(client.parameterCount() + 1, program), kResultOk);
    EXPECT_EQ(program.id, kProgramId);
    EXPECT_EQ(program.stepCount, client.presetBank().presetCount() - 1);
    EXPECT_EQ(c.getParameterInfo(c.getParameterCount(), program), kInvalidArgument);
    EXPECT_EQ(text(c, spatium::kPan, c.plainParamToNormalized(spatium::kPan, -45.0)), "-45.00");
}

TEST(Vst3Adapter, FactoryPresetsAreAProgramList) {
    Rig rig;
    Component& c = *rig.component;
    c.setProcessing(0);
    Handler handler;
    c.setComponentHandler(&handler);
    ASSERT_EQ(c.getProgramListCount(), 1);
    ProgramListInfo list{};
    ASSERT_EQ(c.getProgramListInfo(0, list), kResultOk);
    const corvid::PresetBank& bank = c.client().presetBank();
    EXPECT_EQ(list.programCount, bank.presetCount());
    UnitInfo unit{};
    ASSERT_EQ(c.getUnitInfo(0, unit), kResultOk);
    EXPECT_EQ(unit.programListId, list.id);
    String128 name{};
    ASSERT_EQ(c.getProgramName(list.id, 2, name), kResultOk);
    EXPECT_EQ(corvid::vst3::toUtf8(name, 128), bank.presets()[2]->name);

    // Choosing one sets its values, makes it current and tells the host.
    const auto& preset = *bank.presets()[5];
    std::vector<double> before;
    for (int i = 0; i < c.client().parameterCount(); ++i)
        before.push_back(c.getParamNormalized(static_cast<ParamID>(i)));
    ASSERT_EQ(c.setParamNormalized(kProgramId, 5.0 / (bank.presetCount() - 1)), kResultOk);
    EXPECT_EQ(bank.currentPreset(), 5);
    for (int i = 0; i < c.client().parameterCount(); ++i)
        EXPECT_EQ(static_cast<float>(c.getParamNormalized(static_cast<ParamID>(i))),
                  preset.normalizedValues[static_cast<std::size_t>(i)]);
    // The host hears of every value that moved as an edit, and nothing else: a
    // restart request from inside this call deadlocks Ardour.
    std::vector<std::string> edits;
    for (int i = 0; i < c.client().parameterCount(); ++i)
        if (c.getParamNormalized(static_cast<ParamID>(i)) != before[static_cast<std::size_t>(i)])
            for (const char* step : {"begin ", "perform ", "end "})
                edits.push_back(step + std::to_string(i));
    EXPECT_GT(edits.size(), 6u);
    EXPECT_EQ(handler.log, edits);
    EXPECT_DOUBLE_EQ(c.getParamNormalized(kProgramId), 5.0 / (bank.presetCount() - 1));
    c.setComponentHandler(nullptr);
}

TEST(Vst3Adapter, StateIsTheClientsChunkAndRefusesDamageWithoutChangingAnything) {
    Rig rig;
    Component& c = *rig.component;
    c.setProcessing(0);
    c.setParamNormalized(spatium::kPan, 0.25);
    c.setParamNormalized(spatium::kDistance, 0.8);
    c.setParamNormalized(kBypassId, 1.0);
    MemoryStream saved;
    ASSERT_EQ(c.getState(&saved), kResultOk);
    const std::vector<std::uint8_t> chunk = corvid::host::saveState(c.client());
    // The chunk itself, then the bypass behind it.
    ASSERT_EQ(saved.bytes.size(), chunk.size() + 8);
    EXPECT_TRUE(std::equal(chunk.begin(), chunk.end(), saved.bytes.begin()));

    Rig other;
    other.component->setProcessing(0);
    MemoryStream in(saved.bytes);
    ASSERT_EQ(other.component->setState(&in), kResultOk);
    MemoryStream again;
    other.component->getState(&again);
    EXPECT_EQ(again.bytes, saved.bytes);
    EXPECT_EQ(other.component->getParamNormalized(kBypassId), 1.0);

    // A chunk from another format (no trailer) loads with bypass off.
    MemoryStream plain(chunk);
    ASSERT_EQ(other.component->setState(&plain), kResultOk);
    EXPECT_EQ(other.component->getParamNormalized(kBypassId), 0.0);
    EXPECT_EQ(corvid::host::saveState(other.component->client()), chunk);

    // Truncated, corrupt and empty streams are refused and change nothing.
    Rig fresh;
    fresh.component->setProcessing(0);
    const std::vector<std::uint8_t> before = corvid::host::saveState(fresh.component->client());
    std::vector<std::vector<std::uint8_t>> bad = {
        std::vector<std::uint8_t>(saved.bytes.begin(), saved.bytes.begin() + 40), {}, chunk};
    bad[2][0] ^= 0xFF;
    for (auto& bytes : bad) {
        MemoryStream stream(bytes);
        EXPECT_EQ(fresh.component->setState(&stream), kResultFalse);
        EXPECT_EQ(corvid::host::saveState(fresh.component->client()), before);
    }
    EXPECT_EQ(fresh.component->setState(nullptr), kResultFalse);
}

// Renders noise in blocks; changes[b] holds (offset, value) for Pan in block b.
std::vector<std::vector<float>> render(const std::vector<int>& blocks,
                                       const std::vector<std::vector<std::pair<int, double>>>& pan,
                                       int inputs = 2) {
    Rig rig(inputs);
    std::size_t total = 0;
    for (int b : blocks) total += static_cast<std::size_t>(b);
    auto in = noise(inputs, total);
    std::vector<std::vector<float>> out(2, std::vector<float>(total));
    int32 at = 0;
    for (std::size_t b = 0; b < blocks.size(); ++b) {
        Changes changes;
        for (auto [offset, value] : pan[b]) changes.add(spatium::kPan, offset, value);
        rig.process(in, out, at, blocks[b], &changes);
        at += blocks[b];
    }
    return out;
}

TEST(Vst3Adapter, ChangesInsideABlockActAtTheirFrames) {
    for (int inputs : {1, 2}) {
        // Pan moves at frames 100 and 300 of the second 512-frame block...
        const auto inside =
            render({512, 512, 512}, {{{0, 0.5}}, {{100, 0.1}, {300, 0.9}}, {}}, inputs);
        // ...and the same with the block cut there, each change at its piece's start.
        const auto cut =
            render({512, 100, 200, 212, 512}, {{{0, 0.5}}, {}, {{0, 0.1}}, {{0, 0.9}}, {}}, inputs);
        EXPECT_EQ(inside, cut) << inputs;
        // And the change did something.
        const auto still = render({512, 512, 512}, {{{0, 0.5}}, {}, {}}, inputs);
        EXPECT_NE(inside, still);
    }
}

TEST(Vst3Adapter, BypassIsTheInputDelayedByTheLatencyAfterAFade) {
    Rig rig(2);
    const std::size_t n = 4096;
    auto in = noise(2, n);
    std::vector<std::vector<float>> out(2, std::vector<float>(n));
    Changes on;
    on.add(kBypassId, 0, 1.0);
    rig.process(in, out, 0, 512, &on);
    for (int32 at = 512; at < static_cast<int32>(n); at += 512) rig.process(in, out, at, 512);
    const auto latency = static_cast<std::size_t>(rig.component->getLatencySamples());
    ASSERT_EQ(latency, 3u);
    for (std::size_t i = 1024; i < n; ++i) {
        ASSERT_EQ(out[0][i], in[0][i - latency]) << i;
        ASSERT_EQ(out[1][i], in[1][i - latency]) << i;
    }
}

TEST(Vst3Adapter, SilentInputIsFlaggedSilentOnceTheTailHasPassed) {
    Rig rig(2);
    std::vector<std::vector<float>> zeros(2, std::vector<float>(512));
    std::vector<std::vector<float>> out(2, std::vector<float>(512));
    auto loud = noise(2, 512);
    rig.process(loud, out, 0, 512);
    rig.process(zeros, out, 0, 512, nullptr, 3);
    EXPECT_EQ(rig.lastOutputSilence, 0u) << "the tail is still sounding";
    for (int b = 0; b < 40; ++b) rig.process(zeros, out, 0, 512, nullptr, 3);
    EXPECT_EQ(rig.lastOutputSilence, 3u);
    EXPECT_EQ(out[0], zeros[0]);
    rig.process(loud, out, 0, 512, nullptr, 0);
    EXPECT_EQ(rig.lastOutputSilence, 0u);
}

TEST(Vst3Adapter, GesturesReachTheHandlerAndTheirEchoIsNotApplied) {
    Rig rig;
    Component& c = *rig.component;
    Handler handler;
    c.setComponentHandler(&handler);
    auto& pan = dynamic_cast<corvid::FloatParameter&>(*c.client().parameter(spatium::kPan));
    pan.beginEdit();
    pan.setFromEditor(-33.3);
    EXPECT_EQ(handler.log, (std::vector<std::string>{"begin 6", "perform 6"}));
    // While held, the host's lagging value changes nothing.
    std::vector<std::vector<float>> in = noise(2, 64), out(2, std::vector<float>(64));
    Changes lagging;
    lagging.add(spatium::kPan, 0, 0.5);
    rig.process(in, out, 0, 64, &lagging);
    EXPECT_EQ(pan.value(), -33.3);
    pan.endEdit();
    // The echo of the editor's own value keeps the full precision.
    Changes echo;
    echo.add(spatium::kPan, 0, handler.last);
    rig.process(in, out, 0, 64, &echo);
    EXPECT_EQ(pan.value(), -33.3);
    EXPECT_EQ(handler.log.back(), "end 6");
    c.setComponentHandler(nullptr);
}

} // namespace
