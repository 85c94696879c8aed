#include "corvid/client/binrange.h"

#include "corvid/core/error.h"

#include <cstring>

namespace corvid {

void ByteWriter::uint32BigEndian(std::uint32_t v) {
    byte(static_cast<std::uint8_t>(v >> 24));
    byte(static_cast<std::uint8_t>(v >> 16));
    byte(static_cast<std::uint8_t>(v >> 8));
    byte(static_cast<std::uint8_t>(v));
}

void ByteWriter::int32(std::int32_t v) {
    const auto u = static_cast<std::uint32_t>(v);
    byte(static_cast<std::uint8_t>(u));
    byte(static_cast<std::uint8_t>(u >> 8));
    byte(static_cast<std::uint8_t>(u >> 16));
    byte(static_cast<std::uint8_t>(u >> 24));
}

void ByteWriter::float32(float v) {
    std::uint32_t u;
    std::memcpy(&u, &v, sizeof u);
    int32(static_cast<std::int32_t>(u));
}

std::uint8_t ByteReader::byte() {
    if (pos_ >= size_) throw CorvidError("Expected a byte, but found end of input");
    return data_[pos_++];
}

std::int32_t ByteReader::int32() {
    std::uint32_t u = byte();
    u |= static_cast<std::uint32_t>(byte()) << 8;
    u |= static_cast<std::uint32_t>(byte()) << 16;
    u |= static_cast<std::uint32_t>(byte()) << 24;
    return static_cast<std::int32_t>(u);
}

float ByteReader::float32() {
    const auto u = static_cast<std::uint32_t>(int32());
    float v;
    std::memcpy(&v, &u, sizeof v);
    return v;
}

} // namespace corvid
