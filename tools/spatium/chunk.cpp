#include "tools/spatium/chunk.h"

#include "corvid/aax/acf.h"
#include "corvid/client/preset.h"
#include "tools/aaxhost/host.h"
#include "tools/aaxhost/paths.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace spatium::host {

namespace {

std::uint32_t bigEndianWord(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
           static_cast<std::uint32_t>(p[2]) << 8 | p[3];
}

} // namespace

std::string versionText(std::int32_t packed) {
    return std::to_string(packed >> 16 & 0xFFFF) + "." + std::to_string(packed >> 8 & 0xFF) + "." +
           std::to_string(packed & 0xFF);
}

std::vector<std::uint8_t> chunkFromFile(const std::vector<std::uint8_t>& bytes) {
    const auto header = static_cast<std::size_t>(AAX_kPresetBlobHeaderSize);
    if (bytes.size() >= header + 4 && std::memcmp(bytes.data() + 20, "Corv", 4) == 0 &&
        bigEndianWord(bytes.data() + header) == corvid::kChunkMagic)
        return std::vector<std::uint8_t>(bytes.begin() + static_cast<std::ptrdiff_t>(header),
                                         bytes.end());
    return bytes;
}

std::vector<std::uint8_t> readFile(const std::string& path) {
    std::error_code error;
    const std::filesystem::path native = pathFromUtf8(path);
    if (std::filesystem::is_directory(native, error))
        throw HostError("cannot read " + path + ": it is a directory");
    std::ifstream in(native, std::ios::binary);
    if (!in) throw HostError("cannot read " + path + ": " + std::strerror(errno));
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                    std::istreambuf_iterator<char>());
    if (in.bad()) throw HostError("cannot read " + path);
    return bytes;
}

void writeFileAtomically(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    const std::filesystem::path temp = pathFromUtf8(temporaryPathFor(path));
    std::error_code error;
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out) {
            const std::string reason = std::strerror(errno);
            std::filesystem::remove(temp, error);
            throw HostError("cannot write " + path + ": " + reason);
        }
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out) {
            std::filesystem::remove(temp, error);
            throw HostError("cannot write " + path);
        }
    }
    std::filesystem::rename(temp, pathFromUtf8(path), error);
    if (error) {
        const std::string reason = error.message();
        std::filesystem::remove(temp, error);
        throw HostError("cannot write " + path + ": " + reason);
    }
}

} // namespace spatium::host
