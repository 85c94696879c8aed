#include "corvid/client/preset.h"

#include "corvid/client/binrange.h"
#include "corvid/client/client.h"
#include "corvid/client/params.h"
#include "corvid/core/error.h"

#include <algorithm>

namespace corvid {

namespace {

std::vector<std::uint8_t> writeChunk(const Client& client, std::int32_t index,
                                     const std::vector<float>& values) {
    ByteWriter w;
    w.uint32BigEndian(kChunkMagic);
    w.int32(0); // chunk format version
    w.int32(0); // reserved
    const PluginDescription& info = client.info();
    w.int32(info.versionMajor << 16 | info.versionMinor << 8 | info.versionPatch);
    w.int32(index);
    w.int32(static_cast<std::int32_t>(values.size()));
    for (float v : values) w.float32(v);
    return w.take();
}

} // namespace

PresetBank::PresetBank(Client& client, std::vector<std::unique_ptr<Preset>> presets)
    : client_(client), presets_(std::move(presets)) {}

std::vector<std::uint8_t> PresetBank::writeStateChunk() const {
    std::vector<float> values;
    values.reserve(static_cast<std::size_t>(client_.parameterCount()));
    for (std::int32_t i = 0; i < client_.parameterCount(); ++i) {
        values.push_back(static_cast<float>(client_.parameter(i)->normalizedValue()));
    }
    return writeChunk(client_, currentPreset_, values);
}

std::vector<std::uint8_t> PresetBank::writePresetChunk(std::int32_t p) const {
    return writeChunk(client_, p, presets_.at(static_cast<std::size_t>(p))->normalizedValues);
}

void PresetBank::readStateChunk(const std::uint8_t* bytes, std::size_t length) {
    const DecodedChunk chunk = decodeChunk(bytes, length, presetCount());
    if (!chunk.error.empty()) throw CorvidError(chunk.error);
    currentPreset_ = chunk.presetIndex;
    // Values beyond the parameters were written by a plug-in with more of them.
    const std::size_t n =
        std::min(chunk.values.size(), static_cast<std::size_t>(client_.parameterCount()));
    for (std::size_t i = 0; i < n; ++i)
        client_.parameter(static_cast<std::int32_t>(i))->applyFromHost(chunk.values[i]);
}

DecodedChunk decodeChunk(const std::uint8_t* bytes, std::size_t length, std::int32_t presetCount) {
    DecodedChunk d;
    ByteReader r(bytes, length);
    try {
        for (int b = 0; b < 4; ++b) d.magic = d.magic << 8 | r.byte();
        if (d.magic != kChunkMagic) throw CorvidError("Can not load, magic number didn't match");
        d.stage = ChunkStage::formatVersion;
        d.formatVersion = r.int32();
        if (d.formatVersion > 0)
            throw CorvidError("Can not load chunk done with a newer, incompatible corvid library");
        d.stage = ChunkStage::versions;
        d.reserved = r.int32();
        d.pluginVersion = r.int32();
        d.stage = ChunkStage::presetIndex;
        d.presetIndex = r.int32();
        if (d.presetIndex < 0 || d.presetIndex >= presetCount)
            throw CorvidError("Invalid preset index in state chunk");
        d.stage = ChunkStage::valueCount;
        d.valueCount = r.int32();
        d.stage = ChunkStage::values;
        if (d.valueCount > 0) {
            // A hostile count reserves no more than the bytes could hold.
            d.values.reserve(std::min(static_cast<std::size_t>(d.valueCount), r.remaining() / 4));
            for (std::int32_t i = 0; i < d.valueCount; ++i) d.values.push_back(r.float32());
        }
        d.stage = ChunkStage::complete;
        d.trailingBytes = r.remaining();
    } catch (const CorvidError& e) {
        d.error = e.what();
    }
    return d;
}

} // namespace corvid
