#include "corvid/client/preset.h"
#include "corvid/core/error.h"
#include "test_client.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

using testing_support::TestClient;

namespace {

std::vector<std::uint8_t> header(std::int32_t version, std::int32_t preset, std::int32_t count) {
    std::vector<std::uint8_t> b = {0x0B, 0x20, 0xBA, 0x92};
    auto put = [&b](std::int32_t v) {
        for (int i = 0; i < 4; ++i)
            b.push_back(static_cast<std::uint8_t>(static_cast<std::uint32_t>(v) >> (8 * i)));
    };
    put(version);
    put(0);
    put(0x00010300);
    put(preset);
    put(count);
    return b;
}

void putFloat(std::vector<std::uint8_t>& b, float f) {
    std::uint32_t u;
    std::memcpy(&u, &f, 4);
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(u >> (8 * i)));
}

std::string failure(corvid::Client& c, const std::vector<std::uint8_t>& bytes) {
    try {
        c.presetBank().readStateChunk(bytes.data(), bytes.size());
    } catch (const corvid::CorvidError& e) {
        return e.what();
    }
    return "";
}

std::vector<double> values(corvid::Client& c) {
    std::vector<double> v;
    for (int i = 0; i < c.parameterCount(); ++i) v.push_back(c.parameter(i)->normalizedValue());
    return v;
}

constexpr const char* kEnd = "Expected a byte, but found end of input";

TEST(StateChunk, LayoutOfWrittenChunk) {
    auto c = corvid::createClient<TestClient>(512, 5);
    const auto chunk = c->presetBank().writeStateChunk();
    ASSERT_EQ(chunk.size(), 24u + 4u * 5u);
    EXPECT_EQ(std::vector<std::uint8_t>(chunk.begin(), chunk.begin() + 4),
              (std::vector<std::uint8_t>{0x0B, 0x20, 0xBA, 0x92}));
    EXPECT_EQ(std::vector<std::uint8_t>(chunk.begin() + 12, chunk.begin() + 16),
              (std::vector<std::uint8_t>{0x00, 0x03, 0x01, 0x00}));
    EXPECT_EQ(chunk[20], 5);
    float v2;
    std::memcpy(&v2, chunk.data() + 24 + 8, 4);
    EXPECT_EQ(v2, static_cast<float>(c->parameter(2)->normalizedValue()));
}

TEST(StateChunk, RoundTripChangesNoParameter) {
    auto c = corvid::createClient<TestClient>(512, 8);
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> u(0, 1);
    for (int i = 0; i < 8; ++i) c->parameter(i)->applyFromHost(static_cast<float>(u(rng)));
    const auto before = values(*c);
    const auto chunk = c->presetBank().writeStateChunk();
    c->presetBank().readStateChunk(chunk.data(), chunk.size());
    EXPECT_EQ(values(*c), before);
}

TEST(StateChunk, ShortInputsFailWithEndOfInputNotMagic) {
    auto c = corvid::createClient<TestClient>();
    const std::vector<std::uint8_t> full = {0x0B, 0x20, 0xBA};
    for (std::size_t n = 0; n <= 3; ++n) {
        EXPECT_EQ(failure(*c, std::vector<std::uint8_t>(
                                  full.begin(),
                                  full.begin() + static_cast<long>(std::min<std::size_t>(n, 3)))),
                  kEnd)
            << n;
    }
    EXPECT_EQ(failure(*c, {0x0B, 0x20, 0xBA, 0x93}), "Can not load, magic number didn't match");
}

TEST(StateChunk, FormatVersionAboveZeroIsRefusedBelowIsAccepted) {
    auto c = corvid::createClient<TestClient>();
    EXPECT_EQ(failure(*c, header(1, 0, 0)),
              "Can not load chunk done with a newer, incompatible corvid library");
    EXPECT_EQ(failure(*c, header(-1, 0, 0)), "");
}

TEST(StateChunk, PresetIndexIsChecked) {
    auto c = corvid::createClient<TestClient>(512, 8, 3);
    EXPECT_EQ(failure(*c, header(0, 3, 0)), "Invalid preset index in state chunk");
    EXPECT_EQ(failure(*c, header(0, -1, 0)), "Invalid preset index in state chunk");
    EXPECT_EQ(c->presetBank().currentPreset(), 0);
    EXPECT_EQ(failure(*c, header(0, 2, 0)), "");
    EXPECT_EQ(c->presetBank().currentPreset(), 2);
}

TEST(StateChunk, AFailedRestoreChangesNothing) {
    auto c = corvid::createClient<TestClient>(512, 8, 3);
    const auto defaults = values(*c);
    // 20 bytes: the preset index is valid, the count is missing.
    auto chunk = header(0, 1, 0);
    chunk.resize(20);
    EXPECT_EQ(failure(*c, chunk), kEnd);
    EXPECT_EQ(c->presetBank().currentPreset(), 0);
    EXPECT_EQ(values(*c), defaults);

    // Truncated in the middle of value 5: not one value is applied.
    chunk = header(0, 2, 8);
    for (int i = 0; i < 8; ++i) putFloat(chunk, 0.25f);
    chunk.resize(24 + 4 * 5 + 2);
    EXPECT_EQ(failure(*c, chunk), kEnd);
    EXPECT_EQ(c->presetBank().currentPreset(), 0);
    EXPECT_EQ(values(*c), defaults);

    // A count far beyond the bytes fails the same way without reserving for it.
    chunk = header(0, 2, 0x7FFFFFFF);
    putFloat(chunk, 0.25f);
    EXPECT_EQ(failure(*c, chunk), kEnd);
    EXPECT_EQ(values(*c), defaults);
}

TEST(StateChunk, DecodingReportsHowFarItGot) {
    auto chunk = header(0, 2, 3);
    for (int i = 0; i < 3; ++i) putFloat(chunk, 0.5f);
    chunk.push_back(0xEE);
    auto d = corvid::decodeChunk(chunk.data(), chunk.size(), 3);
    EXPECT_EQ(d.error, "");
    EXPECT_EQ(d.stage, corvid::ChunkStage::complete);
    EXPECT_EQ(d.magic, corvid::kChunkMagic);
    EXPECT_EQ(d.presetIndex, 2);
    EXPECT_EQ(d.values, std::vector<float>(3, 0.5f));
    EXPECT_EQ(d.trailingBytes, 1u);
    EXPECT_EQ(d.size(), chunk.size() - 1);

    chunk.resize(24 + 4 + 1);
    d = corvid::decodeChunk(chunk.data(), chunk.size(), 3);
    EXPECT_EQ(d.error, kEnd);
    EXPECT_EQ(d.stage, corvid::ChunkStage::values);
    EXPECT_EQ(d.values.size(), 1u);

    d = corvid::decodeChunk(chunk.data(), chunk.size(), 2);
    EXPECT_EQ(d.error, "Invalid preset index in state chunk");
    EXPECT_EQ(d.stage, corvid::ChunkStage::presetIndex);
}

TEST(StateChunk, MoreOrFewerValuesThanParameters) {
    auto c = corvid::createClient<TestClient>(512, 4, 1);
    auto longer = header(0, 0, 6);
    for (int i = 0; i < 6; ++i) putFloat(longer, 0.5f);
    longer.push_back(0xEE); // trailing bytes are ignored
    EXPECT_EQ(failure(*c, longer), "");
    for (int i = 0; i < 4; ++i) EXPECT_EQ(c->parameter(i)->normalizedValue(), 0.5);

    auto shorter = header(0, 0, 2);
    putFloat(shorter, 1.0f);
    putFloat(shorter, 1.0f);
    EXPECT_EQ(failure(*c, shorter), "");
    EXPECT_EQ(c->parameter(1)->normalizedValue(), 1.0);
    EXPECT_EQ(c->parameter(2)->normalizedValue(), 0.5);
}

TEST(StateChunk, HugeCountOnShortDataFailsWithoutReadingPast) {
    auto c = corvid::createClient<TestClient>(512, 4, 1);
    auto chunk = header(0, 0, 0x7FFFFFFF);
    putFloat(chunk, 0.5f);
    EXPECT_EQ(failure(*c, chunk), kEnd);
    EXPECT_EQ(c->parameter(0)->normalizedValue(), 0.0) << "a failed restore applies nothing";
}

TEST(StateChunk, RandomAndMutatedInputsNeverMisbehave) {
    auto c = corvid::createClient<TestClient>(512, 6, 2);
    const auto good = c->presetBank().writeStateChunk();
    std::mt19937 rng(1234);
    for (int round = 0; round < 3000; ++round) {
        std::vector<std::uint8_t> bytes = good;
        const int mutations = 1 + static_cast<int>(rng() % 4);
        for (int m = 0; m < mutations; ++m)
            bytes[rng() % bytes.size()] = static_cast<std::uint8_t>(rng());
        bytes.resize(rng() % (bytes.size() + 8));
        const std::string message = failure(*c, bytes);
        EXPECT_TRUE(message.empty() || message == kEnd ||
                    message == "Can not load, magic number didn't match" ||
                    message ==
                        "Can not load chunk done with a newer, incompatible corvid library" ||
                    message == "Invalid preset index in state chunk")
            << message;
        for (int i = 0; i < c->parameterCount(); ++i) {
            const double n = c->parameter(i)->normalizedValue();
            EXPECT_TRUE(n >= 0.0 && n <= 1.0) << n;
        }
    }
}

TEST(PresetChunk, ReadingAPresetChunkMakesItCurrent) {
    auto c = corvid::createClient<TestClient>(512, 6, 3);
    const auto defaults = values(*c);
    auto preset = c->defaultPreset();
    EXPECT_EQ(preset->name, "Default");
    for (std::size_t i = 0; i < preset->normalizedValues.size(); ++i) {
        EXPECT_EQ(preset->normalizedValues[i], static_cast<float>(defaults[i]));
    }
    for (int i = 0; i < 6; ++i) c->parameter(i)->applyFromHost(0.9);
    const auto chunk = c->presetBank().writePresetChunk(2);
    ASSERT_EQ(chunk.size(), 24u + 4u * 6u);
    EXPECT_EQ(chunk[16], 2);
    c->presetBank().readStateChunk(chunk.data(), chunk.size());
    EXPECT_EQ(c->presetBank().currentPreset(), 2);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(c->parameter(i)->normalizedValue(), static_cast<double>(0.2f)) << i;
}

} // namespace
