#pragma once
// Byte-level reading and writing of the state and preset chunks. Chunks are
// little-endian apart from the big-endian magic; the reader checks every byte it
// takes, so truncated or hostile chunks end in the framework's exception.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace corvid {

class ByteWriter {
public:
    void byte(std::uint8_t b) { bytes_.push_back(b); }
    void uint32BigEndian(std::uint32_t v);
    void int32(std::int32_t v);
    void float32(float v);
    std::vector<std::uint8_t> take() { return std::move(bytes_); }
    std::size_t size() const { return bytes_.size(); }

private:
    std::vector<std::uint8_t> bytes_;
};

class ByteReader {
public:
    ByteReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    // Each throws CorvidError("Expected a byte, but found end of input") when the
    // input ends before the value is complete.
    std::uint8_t byte();
    std::int32_t int32();
    float float32();
    std::size_t remaining() const { return size_ - pos_; }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

} // namespace corvid
