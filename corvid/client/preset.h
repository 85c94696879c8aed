#pragma once
// Factory presets and the state chunk: the one persistent format of the plug-in.
// Chunks written by any earlier version must keep loading.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace corvid {

class Client;

struct Preset {
    std::string name;
    std::vector<float> normalizedValues; // one per parameter, in index order
};

inline constexpr std::uint32_t kChunkMagic = 0x0B20BA92;
inline constexpr std::size_t kChunkHeaderSize = 24;

// How far a chunk was read before it ended or failed, in the order of its fields.
enum class ChunkStage { magic, formatVersion, versions, presetIndex, valueCount, values, complete };

// A state or preset chunk taken apart without touching any parameter. The one
// reader of the format: the restore applies what it finds only once the whole
// chunk has been read, and tools show a file's fields with it.
struct DecodedChunk {
    std::uint32_t magic = 0;
    std::int32_t formatVersion = 0;
    std::int32_t reserved = 0;
    std::int32_t pluginVersion = 0;
    std::int32_t presetIndex = 0;
    std::int32_t valueCount = 0;
    std::vector<float> values; // as many as were read before a failure
    std::size_t trailingBytes = 0;
    ChunkStage stage = ChunkStage::magic;
    // Empty when the chunk restores; otherwise the restore's exact failure message.
    std::string error;

    // Bytes the chunk's fields take, trailing bytes excluded (complete chunks).
    std::size_t size() const { return kChunkHeaderSize + 4 * values.size(); }
};

// presetCount: how many presets the reading plug-in has (the index must be below).
DecodedChunk decodeChunk(const std::uint8_t* bytes, std::size_t length, std::int32_t presetCount);

class PresetBank {
public:
    PresetBank(Client& client, std::vector<std::unique_ptr<Preset>> presets);

    const std::vector<std::unique_ptr<Preset>>& presets() const { return presets_; }
    std::int32_t presetCount() const { return static_cast<std::int32_t>(presets_.size()); }
    std::int32_t currentPreset() const { return currentPreset_; }

    // Host thread. All parameters' normalised values and the current preset.
    std::vector<std::uint8_t> writeStateChunk() const;
    // Host thread. Restores what the chunk holds, or throws CorvidError with a fixed
    // message and changes nothing: the whole chunk is read before any of it is applied,
    // so a damaged one never leaves the instance half restored.
    void readStateChunk(const std::uint8_t* bytes, std::size_t length);
    // The same layout filled from stored preset p (0 <= p < presetCount()).
    std::vector<std::uint8_t> writePresetChunk(std::int32_t p) const;

private:
    Client& client_;
    std::vector<std::unique_ptr<Preset>> presets_;
    std::int32_t currentPreset_ = 0;
};

} // namespace corvid
