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

class PresetBank {
public:
    PresetBank(Client& client, std::vector<std::unique_ptr<Preset>> presets);

    const std::vector<std::unique_ptr<Preset>>& presets() const { return presets_; }
    std::int32_t presetCount() const { return static_cast<std::int32_t>(presets_.size()); }
    std::int32_t currentPreset() const { return currentPreset_; }

    // Host thread. All parameters' normalised values and the current preset.
    std::vector<std::uint8_t> writeStateChunk() const;
    // Host thread. Restores what the chunk holds, or throws CorvidError with a fixed
    // message; whatever was applied before the failure stays applied.
    void readStateChunk(const std::uint8_t* bytes, std::size_t length);
    // The same layout filled from stored preset p (0 <= p < presetCount()).
    std::vector<std::uint8_t> writePresetChunk(std::int32_t p) const;

private:
    Client& client_;
    std::vector<std::unique_ptr<Preset>> presets_;
    std::int32_t currentPreset_ = 0;
};

} // namespace corvid
