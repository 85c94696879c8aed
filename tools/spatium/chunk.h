#pragma once
// Reading state chunks and preset blobs on the host side, so the command-line
// host can show what a file holds and say exactly why the plug-in refuses it.

#include <cstdint>
#include <string>
#include <vector>

namespace spatium::host {

struct DecodedChunk {
    std::uint32_t magic = 0;
    std::int32_t formatVersion = 0;
    std::int32_t reserved = 0;
    std::int32_t pluginVersion = 0;
    std::int32_t presetIndex = 0;
    std::int32_t valueCount = 0;
    std::vector<float> values;
    std::size_t trailingBytes = 0;
    // How far decoding got: 0 magic, 1 format version, 2 reserved and version,
    // 3 preset index, 4 value count, 5 values, 6 complete.
    int stage = 0;
    // Empty when the chunk restores; otherwise the plug-in's exact failure message.
    std::string error;
};

// Follows the plug-in's restore rules step by step; presetCount is the number of
// presets the plug-in has.
DecodedChunk decodeStateChunk(const std::vector<std::uint8_t>& bytes, std::int32_t presetCount);

// "1.3.0" from a packed version.
std::string versionText(std::int32_t packed);

// An exported preset blob carries a header before its chunk; a bare state chunk is
// returned as it is.
std::vector<std::uint8_t> chunkFromFile(const std::vector<std::uint8_t>& bytes);

// Whole file; throws HostError with the system's reason.
std::vector<std::uint8_t> readFile(const std::string& path);
// Writes through a temporary file renamed into place, so a failure leaves no
// partial file. Throws HostError.
void writeFileAtomically(const std::string& path, const std::vector<std::uint8_t>& bytes);

} // namespace spatium::host
