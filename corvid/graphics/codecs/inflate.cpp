#include "corvid/graphics/codecs/inflate.h"

#include "corvid/graphics/codecs/adler_simd.h"

#include <algorithm>
#include <cstring>

namespace corvid {

// ---------------------------------------------------------------------------------------
// Adler-32

std::uint32_t adler32(std::uint32_t adler, const std::uint8_t* data, std::size_t size, Isa isa) {
    using namespace adler_detail;
    const ChunkSums chunkSums = IsaBodies<ChunkSums>{&chunkSumsSse2, &chunkSumsAvx2}[isa];
    std::uint32_t s1 = adler & 0xFFFF, s2 = adler >> 16;
    for (;;) {
        const std::size_t taken = chunkSums(s1, s2, data, size);
        if (taken == 0) break;
        data += taken;
        size -= taken;
    }
    for (std::size_t i = 0; i < size; ++i) {
        s1 += data[i];
        s2 += s1;
    }
    s1 %= kBase;
    s2 %= kBase;
    return (s2 << 16) | s1;
}

// ---------------------------------------------------------------------------------------
// DEFLATE

namespace {

constexpr int kMaxCodeLength = 15;
constexpr int kFastBits = 10;
constexpr std::uint32_t kFastMask = (1u << kFastBits) - 1;

// A decoded symbol packed in 32 bits so the hot loop needs one table load:
// bits 0-3 code length (0: longer than the fast table, decode slowly), 4-7 extra bits,
// 8-9 kind, 16-31 value (literal byte, length base or distance base).
enum Kind : std::uint32_t { kLiteral = 0, kLength = 1, kEnd = 2, kInvalid = 3 };

constexpr std::uint32_t makeEntry(std::uint32_t value, Kind kind, std::uint32_t extra) {
    return (value << 16) | (std::uint32_t(kind) << 8) | (extra << 4);
}

constexpr std::uint16_t kLengthBase[29] = {3,  4,  5,  6,   7,   8,   9,   10,  11, 13,
                                           15, 17, 19, 23,  27,  31,  35,  43,  51, 59,
                                           67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr std::uint8_t kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                           2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr std::uint16_t kDistBase[30] = {
    1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
    193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr std::uint8_t kDistExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                         6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

enum class Alphabet { CodeLengths, LitLen, Distance };

std::uint32_t symbolEntry(Alphabet alphabet, int symbol) {
    switch (alphabet) {
    case Alphabet::CodeLengths:
        return makeEntry(std::uint32_t(symbol), kLiteral, 0);
    case Alphabet::LitLen:
        if (symbol < 256) return makeEntry(std::uint32_t(symbol), kLiteral, 0);
        if (symbol == 256) return makeEntry(0, kEnd, 0);
        if (symbol < 286)
            return makeEntry(kLengthBase[symbol - 257], kLength, kLengthExtra[symbol - 257]);
        return makeEntry(0, kInvalid, 0);
    case Alphabet::Distance:
        if (symbol < 30) return makeEntry(kDistBase[symbol], kLength, kDistExtra[symbol]);
        return makeEntry(0, kInvalid, 0);
    }
    return makeEntry(0, kInvalid, 0);
}

// Canonical Huffman decoder: a direct table for codes up to kFastBits long and a
// count-based walk for the rare longer ones.
struct Huffman {
    std::uint32_t fast[1u << kFastBits];
    std::uint16_t count[kMaxCodeLength + 1];
    std::uint16_t sorted[288]; // symbols ordered by code
    std::uint32_t entries[288];

    // False for an over-subscribed set, or an incomplete one other than the single
    // one-bit code that DEFLATE allows.
    bool build(const std::uint8_t* lengths, int n, Alphabet alphabet) {
        std::fill(std::begin(count), std::end(count), std::uint16_t(0));
        for (int s = 0; s < n; ++s) ++count[lengths[s]];
        count[0] = 0;
        int left = 1, maxLen = 0, used = 0;
        for (int len = 1; len <= kMaxCodeLength; ++len) {
            left <<= 1;
            left -= count[len];
            if (left < 0) return false;
            if (count[len]) maxLen = len;
            used += count[len];
        }
        std::fill(std::begin(fast), std::end(fast), makeEntry(0, kInvalid, 0) | 15u);
        if (left > 0 && used > 0 && !(alphabet != Alphabet::CodeLengths && maxLen == 1))
            return false;
        std::uint16_t offset[kMaxCodeLength + 2];
        offset[1] = 0;
        for (int len = 1; len <= kMaxCodeLength; ++len)
            offset[len + 1] = std::uint16_t(offset[len] + count[len]);
        // First code of each length, per the canonical assignment.
        std::uint32_t next[kMaxCodeLength + 1];
        std::uint32_t code = 0;
        for (int len = 1; len <= kMaxCodeLength; ++len) {
            code = (code + count[len - 1]) << 1;
            next[len] = code;
        }
        for (int s = 0; s < n; ++s) {
            const int len = lengths[s];
            if (!len) continue;
            entries[s] = symbolEntry(alphabet, s);
            sorted[offset[len]++] = std::uint16_t(s);
            const std::uint32_t c = next[len]++;
            // Table index: the code's bits in stream order (reversed).
            const int indexLen = std::min(len, kFastBits);
            const std::uint32_t prefix = c >> (len - indexLen);
            std::uint32_t rev = 0;
            for (int i = 0; i < indexLen; ++i) rev |= ((prefix >> i) & 1u) << (indexLen - 1 - i);
            if (len > kFastBits) {
                // Length 0 sends the decoder to the slow walk for this prefix.
                fast[rev] = makeEntry(0, kInvalid, 0);
                continue;
            }
            const std::uint32_t e = entries[s] | std::uint32_t(len);
            for (std::uint32_t i = rev; i <= kFastMask; i += 1u << len) fast[i] = e;
        }
        return true;
    }
};

class Inflater {
public:
    Inflater(const std::uint8_t* data, std::size_t size, const InflateLimits& limits,
             std::vector<std::uint8_t>& out)
        : start_(data), in_(data), end_(data + size), limits_(limits), vec_(out) {}

    bool run(std::string& error) {
        vec_.clear();
        const std::size_t first =
            std::min(limits_.maxOutput, std::max<std::size_t>(limits_.sizeHint, 1024));
        vec_.resize(first);
        base_ = vec_.data();
        pos_ = 0;
        cap_ = vec_.size();
        bool final = false;
        while (!final) {
            refill();
            final = bits_ & 1;
            const unsigned type = unsigned(bits_ >> 1) & 3;
            consume(3);
            bool ok = false;
            switch (type) {
            case 0:
                ok = storedBlock();
                break;
            case 1:
                ok = huffmanBlock(fixedLitLen(), fixedDistance());
                break;
            case 2:
                ok = dynamicBlock();
                break;
            default:
                fail("invalid block type");
                break;
            }
            if (!ok || overran()) {
                if (!error_) fail("unexpected end of compressed data");
                error = error_;
                return false;
            }
        }
        vec_.resize(pos_);
        return true;
    }

    // Whole input bytes used so far, counting a partly used byte.
    std::size_t consumed() const {
        const std::size_t unread = (count_ / 8) > overrun_ ? (count_ / 8) - overrun_ : 0;
        return std::size_t(in_ - start_) - unread;
    }

private:
    const std::uint8_t* start_;
    const std::uint8_t* in_;
    const std::uint8_t* end_;
    std::uint64_t bits_ = 0;
    unsigned count_ = 0;
    // Zero bytes fed in past the end; consuming any of them is an error.
    std::size_t overrun_ = 0;
    const InflateLimits& limits_;
    std::vector<std::uint8_t>& vec_;
    std::uint8_t* base_ = nullptr;
    std::size_t pos_ = 0, cap_ = 0;
    const char* error_ = nullptr;

    bool fail(const char* message) {
        if (!error_) error_ = message;
        return false;
    }

    bool overran() const { return count_ < overrun_ * 8; }

    // Leaves at least 56 valid bits in the buffer.
    void refill() {
        if (end_ - in_ >= 8) {
            std::uint64_t w;
            std::memcpy(&w, in_, 8);
            bits_ |= w << count_;
            in_ += (63 - count_) >> 3;
            count_ |= 56;
            return;
        }
        while (count_ <= 56) {
            if (in_ < end_)
                bits_ |= std::uint64_t(*in_++) << count_;
            else
                ++overrun_;
            count_ += 8;
        }
    }

    void consume(unsigned n) {
        bits_ >>= n;
        count_ -= n;
    }

    bool grow(std::size_t need) {
        if (need > limits_.maxOutput) return fail("decompressed data larger than allowed");
        std::size_t next = std::max(need, cap_ * 2);
        next = std::min(next, limits_.maxOutput);
        vec_.resize(next);
        base_ = vec_.data();
        cap_ = next;
        return true;
    }

    bool storedBlock() {
        // Give back whole bytes still held in the bit buffer, real ones first.
        consume(count_ & 7);
        std::size_t held = count_ / 8;
        const std::size_t fake = std::min(held, overrun_);
        overrun_ -= fake;
        held -= fake;
        if (overrun_) return fail("unexpected end of compressed data");
        in_ -= held;
        bits_ = 0;
        count_ = 0;
        if (end_ - in_ < 4) return fail("unexpected end of compressed data");
        const unsigned len = unsigned(in_[0]) | unsigned(in_[1]) << 8;
        const unsigned nlen = unsigned(in_[2]) | unsigned(in_[3]) << 8;
        in_ += 4;
        if ((len ^ 0xFFFFu) != nlen) return fail("stored block length check failed");
        if (std::size_t(end_ - in_) < len) return fail("unexpected end of compressed data");
        if (cap_ - pos_ < len && !grow(pos_ + len)) return false;
        std::memcpy(base_ + pos_, in_, len);
        pos_ += len;
        in_ += len;
        return true;
    }

    static const Huffman& fixedLitLen() {
        static const Huffman table = [] {
            Huffman h;
            std::uint8_t lengths[288];
            std::fill(lengths, lengths + 144, std::uint8_t(8));
            std::fill(lengths + 144, lengths + 256, std::uint8_t(9));
            std::fill(lengths + 256, lengths + 280, std::uint8_t(7));
            std::fill(lengths + 280, lengths + 288, std::uint8_t(8));
            h.build(lengths, 288, Alphabet::LitLen);
            return h;
        }();
        return table;
    }

    static const Huffman& fixedDistance() {
        static const Huffman table = [] {
            Huffman h;
            // Codes 30 and 31 complete the code but decode as errors.
            std::uint8_t lengths[32];
            std::fill(lengths, lengths + 32, std::uint8_t(5));
            h.build(lengths, 32, Alphabet::Distance);
            return h;
        }();
        return table;
    }

    // Decodes one symbol; the buffer must hold at least 15 bits.
    std::uint32_t decode(const Huffman& h) {
        const std::uint32_t e = h.fast[bits_ & kFastMask];
        const unsigned len = e & 15;
        if (len) {
            consume(len);
            return e;
        }
        return decodeSlow(h);
    }

    std::uint32_t decodeSlow(const Huffman& h) {
        int code = 0, first = 0, index = 0;
        std::uint64_t b = bits_;
        for (int len = 1; len <= kMaxCodeLength; ++len) {
            code |= int(b & 1);
            b >>= 1;
            const int n = h.count[len];
            if (code - n < first) {
                consume(unsigned(len));
                return h.entries[h.sorted[index + (code - first)]];
            }
            index += n;
            first = (first + n) << 1;
            code <<= 1;
        }
        return makeEntry(0, kInvalid, 0);
    }

    bool dynamicBlock() {
        static constexpr std::uint8_t kOrder[19] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                                    11, 4,  12, 3, 13, 2, 14, 1, 15};
        refill();
        const int nlen = int(bits_ & 31) + 257;
        const int ndist = int((bits_ >> 5) & 31) + 1;
        const int ncode = int((bits_ >> 10) & 15) + 4;
        consume(14);
        if (nlen > 286 || ndist > 30) return fail("too many length or distance symbols");
        std::uint8_t lengths[286 + 30] = {};
        for (int i = 0; i < ncode; ++i) {
            if (count_ < 3) refill();
            lengths[kOrder[i]] = std::uint8_t(bits_ & 7);
            consume(3);
        }
        if (overran()) return false;
        Huffman codes;
        if (!codes.build(lengths, 19, Alphabet::CodeLengths))
            return fail("invalid code lengths set");
        std::fill(lengths, lengths + 19, std::uint8_t(0));
        const int total = nlen + ndist;
        for (int i = 0; i < total;) {
            refill();
            if (overran()) return false;
            const std::uint32_t e = decode(codes);
            if (((e >> 8) & 3) == kInvalid) return fail("invalid code lengths set");
            const unsigned sym = e >> 16;
            if (sym < 16) {
                lengths[i++] = std::uint8_t(sym);
                continue;
            }
            std::uint8_t value = 0;
            int repeat;
            if (sym == 16) {
                if (i == 0) return fail("invalid bit length repeat");
                value = lengths[i - 1];
                repeat = 3 + int(bits_ & 3);
                consume(2);
            } else if (sym == 17) {
                repeat = 3 + int(bits_ & 7);
                consume(3);
            } else {
                repeat = 11 + int(bits_ & 127);
                consume(7);
            }
            if (i + repeat > total) return fail("invalid bit length repeat");
            std::fill(lengths + i, lengths + i + repeat, value);
            i += repeat;
        }
        if (overran()) return false;
        if (lengths[256] == 0) return fail("invalid code -- missing end-of-block");
        Huffman litlen, dist;
        if (!litlen.build(lengths, nlen, Alphabet::LitLen))
            return fail("invalid literal/lengths set");
        if (!dist.build(lengths + nlen, ndist, Alphabet::Distance))
            return fail("invalid distances set");
        return huffmanBlock(litlen, dist);
    }

    bool huffmanBlock(const Huffman& litlen, const Huffman& dist) {
        for (;;) {
            refill();
            if (overrun_ && overran()) return false;
            std::uint32_t e = decode(litlen);
            std::uint32_t kind = (e >> 8) & 3;
            if (kind == kLiteral) {
                if (pos_ == cap_ && !grow(pos_ + 1)) return false;
                base_[pos_++] = std::uint8_t(e >> 16);
                // A second literal fits in the bits left after the first.
                e = decode(litlen);
                kind = (e >> 8) & 3;
                if (kind == kLiteral) {
                    if (pos_ == cap_ && !grow(pos_ + 1)) return false;
                    base_[pos_++] = std::uint8_t(e >> 16);
                    continue;
                }
                refill();
                if (overrun_ && overran()) return false;
            }
            if (kind == kEnd) return true;
            if (kind == kInvalid) return fail("invalid literal/length code");
            unsigned extra = (e >> 4) & 15;
            const std::size_t length = (e >> 16) + std::size_t(bits_ & ((1u << extra) - 1));
            consume(extra);
            const std::uint32_t d = decode(dist);
            if (((d >> 8) & 3) == kInvalid) return fail("invalid distance code");
            extra = (d >> 4) & 15;
            const std::size_t distance = (d >> 16) + std::size_t(bits_ & ((1u << extra) - 1));
            consume(extra);
            if (overrun_ && overran()) return false;
            if (distance > pos_) return fail("invalid distance too far back");
            if (cap_ - pos_ < length + 8) {
                if (cap_ - pos_ < length && !grow(pos_ + length)) return false;
                if (cap_ - pos_ < length + 8) {
                    std::uint8_t* dst = base_ + pos_;
                    const std::uint8_t* from = dst - distance;
                    for (std::size_t i = 0; i < length; ++i) dst[i] = from[i];
                    pos_ += length;
                    continue;
                }
            }
            copyMatch(base_ + pos_, distance, length);
            pos_ += length;
        }
    }

    // Copies an overlapping match; may write up to 8 bytes past the end of it, which the
    // caller has room for and later output overwrites.
    static void copyMatch(std::uint8_t* dst, std::size_t distance, std::size_t length) {
        const std::uint8_t* src = dst - distance;
        if (distance >= 8) {
            std::uint8_t* const stop = dst + length;
            do {
                std::uint64_t w;
                std::memcpy(&w, src, 8);
                std::memcpy(dst, &w, 8);
                src += 8;
                dst += 8;
            } while (dst < stop);
            return;
        }
        if (distance == 1) {
            std::memset(dst, *src, length);
            return;
        }
        // A short period repeats: after each copy the pattern is twice as long.
        std::size_t period = distance;
        while (length > 0 && period < 8) {
            const std::size_t n = std::min(period, length);
            std::memcpy(dst, src, n);
            dst += n;
            length -= n;
            period *= 2;
        }
        src = dst - period;
        std::uint8_t* const stop = dst + length;
        while (dst < stop) {
            std::uint64_t w;
            std::memcpy(&w, src, 8);
            std::memcpy(dst, &w, 8);
            src += 8;
            dst += 8;
        }
    }
};

} // namespace

bool inflateRaw(const std::uint8_t* data, std::size_t size, const InflateLimits& limits,
                std::vector<std::uint8_t>& out, std::string& error, std::size_t* consumed) {
    if (!data && size) {
        error = "no input data";
        return false;
    }
    Inflater inflater(data, size, limits, out);
    if (!inflater.run(error)) {
        out.clear();
        return false;
    }
    if (consumed) *consumed = inflater.consumed();
    return true;
}

bool inflateZlib(const std::uint8_t* data, std::size_t size, const InflateLimits& limits,
                 std::vector<std::uint8_t>& out, std::string& error) {
    if (size < 2) {
        error = "zlib stream too short";
        return false;
    }
    const unsigned cmf = data[0], flg = data[1];
    if ((cmf & 15) != 8) {
        error = "unknown compression method";
        return false;
    }
    if ((cmf >> 4) > 7) {
        error = "invalid window size";
        return false;
    }
    if ((cmf * 256 + flg) % 31 != 0) {
        error = "incorrect header check";
        return false;
    }
    if (flg & 0x20) {
        error = "preset dictionary not supported";
        return false;
    }
    std::size_t used = 0;
    if (!inflateRaw(data + 2, size - 2, limits, out, error, &used)) return false;
    const std::size_t tail = 2 + used;
    if (size - tail < 4) {
        error = "missing Adler-32 checksum";
        out.clear();
        return false;
    }
    const std::uint32_t expected = std::uint32_t(data[tail]) << 24 |
                                   std::uint32_t(data[tail + 1]) << 16 |
                                   std::uint32_t(data[tail + 2]) << 8 | data[tail + 3];
    if (adler32(1, out.data(), out.size()) != expected) {
        error = "incorrect data check";
        out.clear();
        return false;
    }
    return true;
}

} // namespace corvid
