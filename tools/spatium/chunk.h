#pragma once
// State chunks and preset blobs as files on the host side. The chunk itself is
// taken apart by the client's own decoder (corvid/client/preset.h), so the
// command-line host shows what a file holds and says exactly why the plug-in
// refuses it.

#include <cstdint>
#include <string>
#include <vector>

namespace spatium::host {

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
