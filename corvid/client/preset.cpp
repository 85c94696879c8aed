#include "corvid/client/preset.h"

#include "corvid/client/binrange.h"
#include "corvid/client/client.h"
#include "corvid/client/params.h"
#include "corvid/core/error.h"

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
    ByteReader r(bytes, length);
    const std::uint8_t magic[4] = {r.byte(), r.byte(), r.byte(), r.byte()};
    if (magic[0] != 0x0B || magic[1] != 0x20 || magic[2] != 0xBA || magic[3] != 0x92) {
        throw CorvidError("Can not load, magic number didn't match");
    }
    if (r.int32() > 0) {
        throw CorvidError("Can not load chunk done with a newer, incompatible corvid library");
    }
    (void)r.int32(); // reserved
    (void)r.int32(); // version of the plug-in that wrote the chunk
    const std::int32_t index = r.int32();
    if (index < 0 || index >= presetCount())
        throw CorvidError("Invalid preset index in state chunk");
    currentPreset_ = index;
    const std::int32_t count = r.int32();
    for (std::int32_t i = 0; i < count; ++i) {
        const float v = r.float32();
        if (i < client_.parameterCount()) client_.parameter(i)->applyFromHost(v);
    }
}

} // namespace corvid
