#include "tools/spatium/chunk.h"

#include "corvid/aax/acf.h"
#include "tools/aaxhost/host.h"
#include "tools/aaxhost/paths.h"

#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace spatium::host {

namespace {

constexpr std::uint8_t kMagic[4] = {0x0B, 0x20, 0xBA, 0x92};

class Cursor {
public:
    explicit Cursor(const std::vector<std::uint8_t>& bytes) : bytes_(bytes) {}
    bool take(std::size_t n, const std::uint8_t*& out) {
        if (bytes_.size() - pos_ < n) return false;
        out = bytes_.data() + pos_;
        pos_ += n;
        return true;
    }
    bool takeInt(std::int32_t& value) {
        const std::uint8_t* p = nullptr;
        if (!take(4, p)) return false;
        value = static_cast<std::int32_t>(
            static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
            static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24);
        return true;
    }
    std::size_t left() const { return bytes_.size() - pos_; }

private:
    const std::vector<std::uint8_t>& bytes_;
    std::size_t pos_ = 0;
};

const char* const kEndOfInput = "Expected a byte, but found end of input";

} // namespace

DecodedChunk decodeStateChunk(const std::vector<std::uint8_t>& bytes, std::int32_t presetCount) {
    DecodedChunk d;
    Cursor cursor(bytes);
    const std::uint8_t* magic = nullptr;
    if (!cursor.take(4, magic)) {
        d.error = kEndOfInput;
        return d;
    }
    d.magic = static_cast<std::uint32_t>(magic[0]) << 24 |
              static_cast<std::uint32_t>(magic[1]) << 16 |
              static_cast<std::uint32_t>(magic[2]) << 8 | magic[3];
    if (std::memcmp(magic, kMagic, 4) != 0) {
        d.error = "Can not load, magic number didn't match";
        return d;
    }
    d.stage = 1;
    if (!cursor.takeInt(d.formatVersion)) {
        d.error = kEndOfInput;
        return d;
    }
    if (d.formatVersion > 0) {
        d.error = "Can not load chunk done with a newer, incompatible corvid library";
        return d;
    }
    d.stage = 2;
    if (!cursor.takeInt(d.reserved) || !cursor.takeInt(d.pluginVersion)) {
        d.error = kEndOfInput;
        return d;
    }
    d.stage = 3;
    if (!cursor.takeInt(d.presetIndex)) {
        d.error = kEndOfInput;
        return d;
    }
    if (d.presetIndex < 0 || d.presetIndex >= presetCount) {
        d.error = "Invalid preset index in state chunk";
        return d;
    }
    d.stage = 4;
    if (!cursor.takeInt(d.valueCount)) {
        d.error = kEndOfInput;
        return d;
    }
    d.stage = 5;
    for (std::int32_t i = 0; i < d.valueCount; ++i) {
        std::int32_t raw = 0;
        if (!cursor.takeInt(raw)) {
            d.error = kEndOfInput;
            return d;
        }
        d.values.push_back(std::bit_cast<float>(raw));
    }
    d.stage = 6;
    d.trailingBytes = cursor.left();
    return d;
}

std::string versionText(std::int32_t packed) {
    return std::to_string(packed >> 16 & 0xFFFF) + "." + std::to_string(packed >> 8 & 0xFF) + "." +
           std::to_string(packed & 0xFF);
}

std::vector<std::uint8_t> chunkFromFile(const std::vector<std::uint8_t>& bytes) {
    const auto header = static_cast<std::size_t>(AAX_kPresetBlobHeaderSize);
    if (bytes.size() >= header + 4 && std::memcmp(bytes.data() + 20, "Corv", 4) == 0 &&
        std::memcmp(bytes.data() + header, kMagic, 4) == 0)
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
