#include "corvid/graphics/codecs/jpegload.h"

#include "corvid/core/byteswap.h"
#include "corvid/core/compiler.h"

#include "corvid/graphics/codecs/jpegcolor.h"
#include "corvid/graphics/codecs/jpegidct.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

namespace corvid {

namespace {

// Position in the natural (row-major) block of the k-th coefficient in zigzag order.
constexpr std::uint8_t kZigzag[64] = {
    0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,  12, 19, 26, 33, 40, 48,
    41, 34, 27, 20, 13, 6,  7,  14, 21, 28, 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23,
    30, 37, 44, 51, 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};

// Thrown inside the decoder and turned into the error string at the boundary.
struct Failure {
    const char* message;
};

[[noreturn]] void fail(const char* message) {
    throw Failure{message};
}

constexpr int kFastBits = 10;

// Real encoders use about ten scans; a hundred times that is still generous.
constexpr int kMaxScans = 1000;

struct FastAc {
    std::int16_t value = 0;
    std::uint8_t run = 0;
    std::uint8_t length = 0; // code plus magnitude bits; 0 when not resolvable in one lookup
};

inline int extend(int bits, int size) {
    return bits < (1 << (size - 1)) ? bits - (1 << size) + 1 : bits;
}

struct Huffman {
    bool defined = false;
    std::array<std::uint16_t, 1 << kFastBits> fast{}; // (length << 8) | symbol, 0 if longer
    std::array<FastAc, 1 << kFastBits> fastAc{};
    std::int32_t maxCode[17] = {};
    std::int32_t valueOffset[17] = {};
    std::uint8_t symbols[256] = {};

    void build(const std::uint8_t counts[17], const std::uint8_t* values) {
        fast.fill(0);
        int code = 0, k = 0;
        for (int length = 1; length <= 16; ++length) {
            valueOffset[length] = k - code;
            for (int i = 0; i < counts[length]; ++i, ++code, ++k) {
                if (code >= (1 << length)) fail("JPEG: invalid Huffman table");
                symbols[k] = values[k];
                if (length <= kFastBits) {
                    const int shift = kFastBits - length;
                    for (int j = code << shift; j < (code + 1) << shift; ++j)
                        fast[j] = static_cast<std::uint16_t>((length << 8) | values[k]);
                }
            }
            maxCode[length] = counts[length] ? code - 1 : -1;
            code <<= 1;
        }
        // AC codes whose magnitude bits also fit the lookup decode in one step.
        for (int i = 0; i < (1 << kFastBits); ++i) {
            FastAc entry;
            if (fast[i]) {
                const int length = fast[i] >> 8, symbol = fast[i] & 0xFF;
                const int size = symbol & 15;
                if (size && length + size <= kFastBits) {
                    const int bits = (i >> (kFastBits - length - size)) & ((1 << size) - 1);
                    entry.value = static_cast<std::int16_t>(extend(bits, size));
                    entry.run = static_cast<std::uint8_t>(symbol >> 4);
                    entry.length = static_cast<std::uint8_t>(length + size);
                }
            }
            fastAc[i] = entry;
        }
        defined = true;
    }
};

// Reads entropy-coded data straight from the file, most significant bit first, dropping
// the zero byte stuffed after each 0xFF. It stops in front of the marker that ends the
// data and feeds zeros from there; consuming any of those zeros means the data was cut
// short (see overrun()).
struct BitReader {
    const std::uint8_t* cur = nullptr;
    const std::uint8_t* end = nullptr;
    std::uint64_t bits = 0; // pending bits, left-aligned
    int count = 0;
    int padBytes = 0;
    bool atMarker = false;

    BitReader(const std::uint8_t* begin, const std::uint8_t* e) : cur(begin), end(e) {}

    // Tops the buffer up to at least 56 bits.
    void refill() {
        if (count >= 56) return;
        refillNow();
    }
    // Tops the buffer up only when it may not hold one more symbol and its magnitude
    // bits (at most 16 + 15): most coefficients then skip the refill entirely.
    void refillForSymbol() {
        if (count >= 32) return;
        refillNow();
    }
    void refillNow() {
        if (end - cur >= 8 && !atMarker) {
            std::uint64_t v;
            std::memcpy(&v, cur, 8);
            const std::uint64_t x = ~v;
            // Eight bytes without a 0xFF go in at once; the partly inserted last byte is
            // inserted again, identically, by the next refill.
            if (((x - 0x0101010101010101ull) & ~x & 0x8080808080808080ull) == 0) {
                bits |= corvid::byteSwap64(v) >> count;
                cur += (63 - count) >> 3;
                count |= 56;
                return;
            }
        }
        refillBytewise();
    }

    [[gnu::always_inline]] void refillBytewise() {
        while (count <= 56) {
            std::uint64_t b = 0;
            if (!atMarker && cur < end) {
                b = *cur;
                if (b != 0xFF) {
                    ++cur;
                } else if (end - cur >= 2 && cur[1] == 0) {
                    cur += 2;
                } else {
                    atMarker = true; // a marker, fill bytes or the end of the file
                    b = 0;
                }
            } else {
                atMarker = true;
            }
            if (atMarker) ++padBytes;
            bits |= b << (56 - count);
            count += 8;
        }
    }

    std::uint32_t peek(int n) const { return static_cast<std::uint32_t>(bits >> (64 - n)); }
    void skip(int n) {
        bits <<= n;
        count -= n;
    }
    // n in 1..16.
    int take(int n) {
        const int v = static_cast<int>(bits >> (64 - n));
        skip(n);
        return v;
    }

    bool overrun() const { return padBytes > 8 || padBytes * 8 > count; }

    // Drops the fill bits of the finished interval and steps over the restart marker
    // that must follow it; false if there is none.
    bool restart() {
        bits = 0;
        count = 0;
        padBytes = 0;
        atMarker = false;
        while (end - cur >= 2 && cur[0] == 0xFF && cur[1] == 0xFF) ++cur;
        if (end - cur >= 2 && cur[0] == 0xFF && cur[1] >= 0xD0 && cur[1] <= 0xD7) {
            cur += 2;
            return true;
        }
        return false;
    }
};

// Codes longer than the lookup table. Takes the bits by value so that the reader's
// state can stay in registers in the decoding loops.
[[gnu::noinline]] int decodeSymbolSlow(std::uint64_t bits, const Huffman& h, int& length) {
    for (length = kFastBits + 1; length <= 16; ++length) {
        const auto code = static_cast<std::int32_t>(bits >> (64 - length));
        if (code <= h.maxCode[length]) {
            const int index = code + h.valueOffset[length];
            if (index < 0 || index > 255) break;
            return h.symbols[index];
        }
    }
    fail("JPEG: corrupt Huffman-coded data");
}

// Needs a refilled reader.
inline int decodeSymbol(BitReader& br, const Huffman& h) {
    const std::uint16_t e = h.fast[br.peek(kFastBits)];
    if (e) {
        br.skip(e >> 8);
        return e & 0xFF;
    }
    int length = 0;
    const int symbol = decodeSymbolSlow(br.bits, h, length);
    br.skip(length);
    return symbol;
}

inline int decodeDcDifference(BitReader& br, const Huffman& h) {
    br.refillForSymbol();
    const int size = decodeSymbol(br, h);
    if (size > 15) fail("JPEG: corrupt DC coefficient");
    return size ? extend(br.take(size), size) : 0;
}

struct QuantTable {
    bool defined = false;
    std::array<std::uint16_t, 64> values{}; // natural order
};

struct Component {
    int id = 0, h = 1, v = 1, tq = 0;
    int width = 0, height = 0;          // samples
    int blocksWide = 0, blocksHigh = 0; // blocks holding samples
    int paddedWide = 0, paddedHigh = 0; // blocks of whole MCUs
    std::size_t stride = 0;
    // Sample rows; row r lives at r % ringRows, so a plane can hold either the whole
    // component or just the two MCU rows that streaming output needs.
    int ringRows = 0;
    std::vector<std::uint8_t> plane;
    std::vector<std::int16_t> coefficients; // progressive frames only, 64 per block
    std::array<std::uint16_t, 64> quant{};
    bool quantLatched = false;
    bool scanned = false;
    int dcPredictor = 0;
    int dcTable = 0, acTable = 0;

    std::int16_t* block(int bx, int by) {
        return coefficients.data() + (static_cast<std::size_t>(by) * paddedWide + bx) * 64;
    }
    std::uint8_t* row(int r) {
        // Called for every block: a division each time shows, and rings are mostly a
        // power of two high (whole planes never wrap).
        const int wrapped = r < ringRows                       ? r
                            : (ringRows & (ringRows - 1)) == 0 ? r & (ringRows - 1)
                                                               : r % ringRows;
        return plane.data() + static_cast<std::size_t>(wrapped) * stride;
    }
    std::uint8_t* samples(int bx, int by) { return row(by * 8) + bx * 8; }
};

struct Scan {
    int count = 0;
    int index[4] = {};
    int ss = 0, se = 63, ah = 0, al = 0;
};

class Decoder {
public:
    Decoder(const std::uint8_t* data, std::size_t size, std::size_t maxPixels)
        : data_(data), size_(size), maxPixels_(maxPixels) {}

    void decode(int requested, DecodedImage& out);

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
    std::size_t maxPixels_;

    QuantTable quant_[4];
    Huffman dc_[4], ac_[4];
    int restartInterval_ = 0;
    bool adobeSeen_ = false, adobeRgb_ = false, jfifSeen_ = false;

    bool frameSeen_ = false, progressive_ = false;
    int width_ = 0, height_ = 0, hMax_ = 1, vMax_ = 1, mcusWide_ = 0, mcusHigh_ = 0;
    std::vector<Component> comps_;

    int eobRun_ = 0;
    jpeg::IdctFunction idct_ = jpeg::bestIdct();
    jpeg::IdctPairFunction idctPair_ = jpeg::bestIdctPair();
    // Sequential scans decode into these two blocks in turn; a block with AC terms
    // waits for a partner so that pairs share one wide transform.
    alignas(32) std::int16_t blocks_[2][64] = {};
    int current_ = 0;
    struct PendingBlock {
        std::int16_t* coefficients;
        const std::uint16_t* quant;
        std::uint8_t* out;
        std::ptrdiff_t stride;
    };
    bool pending_ = false;
    PendingBlock pendingBlock_{};

    // Transforms (now or with the next block) and clears the coefficients.
    void transformBlock(std::int16_t* coefficients, const std::uint16_t* quant, std::uint8_t* out,
                        std::ptrdiff_t stride) {
        if (!pending_) {
            pendingBlock_ = {coefficients, quant, out, stride};
            pending_ = true;
            return;
        }
        const PendingBlock& p = pendingBlock_;
        idctPair_(p.coefficients, p.quant, p.out, p.stride, coefficients, quant, out, stride);
        std::memset(p.coefficients, 0, 64 * sizeof(std::int16_t));
        std::memset(coefficients, 0, 64 * sizeof(std::int16_t));
        pending_ = false;
    }
    void flushTransforms() {
        if (!pending_) return;
        const PendingBlock& p = pendingBlock_;
        idct_(p.coefficients, p.quant, p.out, p.stride);
        std::memset(p.coefficients, 0, 64 * sizeof(std::int16_t));
        pending_ = false;
    }

    std::uint8_t byte() {
        if (pos_ >= size_) fail("JPEG: truncated marker segment");
        return data_[pos_++];
    }
    int word() {
        const int hi = byte();
        return (hi << 8) | byte();
    }
    // Bounds of the current marker segment's payload; advances past it.
    std::size_t segment() {
        const int length = word();
        if (length < 2 || size_ - pos_ < static_cast<std::size_t>(length - 2))
            fail("JPEG: truncated marker segment");
        return static_cast<std::size_t>(length - 2);
    }
    int nextMarker();

    void readQuantTables();
    void readHuffmanTables();
    void readRestartInterval();
    void readApp14(std::size_t length);
    void readApp0(std::size_t length);
    void readFrame(int marker);
    // A scan: its header, then its entropy-coded blocks, sequential or progressive.
    void readScan();
    Scan readScanHeader();
    void decodeBaselineScan(const Scan& scan);
    // Inlined into the scan loop, its one caller.
    CORVID_ALWAYS_INLINE void decodeBaselineBlock(BitReader& br, Component& c, int bx, int by);
    void decodeProgressiveScan(const Scan& scan);
    template <class BlockFn, class RowFn>
    void decodeScanBlocks(const Scan& scan, BlockFn&& blockFn, RowFn&& mcuRowDone);
    void finishProgressive();

    // Output: pixels are produced row by row as soon as the sample rows they depend on
    // (including the upsamplers' neighbouring rows) have been transformed.
    int requested_ = 0;
    bool planesReady_ = false, streaming_ = false;
    int emitted_ = 0;
    std::vector<std::uint8_t> pixels_;
    std::vector<std::uint8_t> rowBuffers_[3];
    std::vector<int> xMaps_[3];
    std::vector<std::uint8_t> rgbRow_;
    bool rgbData_ = false;
    jpeg::ColorFunction convert_ = nullptr;

    void preparePlanes(bool ring);
    int rowsReadyAfter(int mcuRow, int mcuRows) const;
    void emitRows(int limit);
    const std::uint8_t* componentRow(Component& c, int y, std::uint8_t* tmp,
                                     const std::vector<int>& xMap);
};

int Decoder::nextMarker() {
    // Stray bytes between segments are skipped, as are fill bytes before a marker.
    for (;;) {
        while (pos_ < size_ && data_[pos_] != 0xFF) ++pos_;
        while (pos_ < size_ && data_[pos_] == 0xFF) ++pos_;
        if (pos_ >= size_) return -1;
        const int marker = data_[pos_++];
        if (marker != 0) return marker;
    }
}

void Decoder::readQuantTables() {
    std::size_t left = segment();
    while (left > 0) {
        const int pq = data_[pos_] >> 4, tq = data_[pos_] & 15;
        ++pos_;
        --left;
        if (pq > 1 || tq > 3) fail("JPEG: invalid quantisation table");
        const std::size_t bytes = pq ? 128 : 64;
        if (left < bytes) fail("JPEG: truncated quantisation table");
        QuantTable& t = quant_[tq];
        for (int k = 0; k < 64; ++k) {
            const std::uint16_t q = pq ? static_cast<std::uint16_t>((data_[pos_ + 2 * k] << 8) |
                                                                    data_[pos_ + 2 * k + 1])
                                       : data_[pos_ + k];
            t.values[kZigzag[k]] = q;
        }
        t.defined = true;
        pos_ += bytes;
        left -= bytes;
    }
}

void Decoder::readHuffmanTables() {
    std::size_t left = segment();
    while (left > 0) {
        if (left < 17) fail("JPEG: truncated Huffman table");
        const int tc = data_[pos_] >> 4, th = data_[pos_] & 15;
        if (tc > 1 || th > 3) fail("JPEG: invalid Huffman table");
        std::uint8_t counts[17] = {};
        int total = 0;
        for (int i = 1; i <= 16; ++i) total += counts[i] = data_[pos_ + i];
        pos_ += 17;
        left -= 17;
        if (total > 256 || left < static_cast<std::size_t>(total))
            fail("JPEG: invalid Huffman table");
        (tc ? ac_[th] : dc_[th]).build(counts, data_ + pos_);
        pos_ += total;
        left -= total;
    }
}

void Decoder::readRestartInterval() {
    const std::size_t length = segment();
    if (length != 2) fail("JPEG: invalid restart interval");
    restartInterval_ = (data_[pos_] << 8) | data_[pos_ + 1];
    pos_ += 2;
}

void Decoder::readApp0(std::size_t length) {
    if (length >= 5 && std::memcmp(data_ + pos_, "JFIF\0", 5) == 0) jfifSeen_ = true;
}

void Decoder::readApp14(std::size_t length) {
    if (length >= 12 && std::memcmp(data_ + pos_, "Adobe", 5) == 0) {
        adobeSeen_ = true;
        adobeRgb_ = data_[pos_ + 11] == 0;
    }
}

void Decoder::readFrame(int marker) {
    if (frameSeen_) fail("JPEG: more than one frame");
    const std::size_t length = segment();
    if (length < 6) fail("JPEG: truncated frame header");
    const int precision = data_[pos_];
    height_ = (data_[pos_ + 1] << 8) | data_[pos_ + 2];
    width_ = (data_[pos_ + 3] << 8) | data_[pos_ + 4];
    const int count = data_[pos_ + 5];
    if (precision != 8) fail("JPEG: only 8-bit samples are supported");
    if (length != 6 + 3 * static_cast<std::size_t>(count)) fail("JPEG: invalid frame header");
    if (count != 1 && count != 3)
        fail("JPEG: only one- and three-component pictures are supported");
    if (width_ == 0 || height_ == 0) fail("JPEG: picture has no pixels");
    if (static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_) > maxPixels_)
        fail("JPEG: picture too large");
    progressive_ = marker == 0xC2;
    comps_.resize(count);
    for (int i = 0; i < count; ++i) {
        const std::uint8_t* p = data_ + pos_ + 6 + 3 * i;
        Component& c = comps_[i];
        c.id = p[0];
        c.h = p[1] >> 4;
        c.v = p[1] & 15;
        c.tq = p[2];
        if (c.h < 1 || c.h > 4 || c.v < 1 || c.v > 4) fail("JPEG: invalid sampling factors");
        if (c.tq > 3) fail("JPEG: invalid quantisation table index");
        for (int j = 0; j < i; ++j)
            if (comps_[j].id == c.id) fail("JPEG: duplicate component identifier");
        hMax_ = std::max(hMax_, c.h);
        vMax_ = std::max(vMax_, c.v);
    }
    pos_ += length;
    mcusWide_ = (width_ + 8 * hMax_ - 1) / (8 * hMax_);
    mcusHigh_ = (height_ + 8 * vMax_ - 1) / (8 * vMax_);
    for (Component& c : comps_) {
        c.width = (width_ * c.h + hMax_ - 1) / hMax_;
        c.height = (height_ * c.v + vMax_ - 1) / vMax_;
        c.blocksWide = (c.width + 7) / 8;
        c.blocksHigh = (c.height + 7) / 8;
        c.paddedWide = mcusWide_ * c.h;
        c.paddedHigh = mcusHigh_ * c.v;
        c.stride = static_cast<std::size_t>(c.paddedWide) * 8;
        const std::size_t blocks = static_cast<std::size_t>(c.paddedWide) * c.paddedHigh;
        if (progressive_) c.coefficients.assign(blocks * 64, 0);
    }
    frameSeen_ = true;
}

template <class BlockFn, class RowFn>
void Decoder::decodeScanBlocks(const Scan& scan, BlockFn&& blockFn, RowFn&& mcuRowDone) {
    BitReader br(data_ + pos_, data_ + size_);

    Component& first = comps_[scan.index[0]];
    const bool single = scan.count == 1;
    const int mcusWide = single ? first.blocksWide : mcusWide_;
    const int mcusHigh = single ? first.blocksHigh : mcusHigh_;
    for (int i = 0; i < scan.count; ++i) comps_[scan.index[i]].dcPredictor = 0;
    eobRun_ = 0;
    int untilRestart = restartInterval_;

    for (int my = 0; my < mcusHigh; ++my) {
        for (int mx = 0; mx < mcusWide; ++mx) {
            if (restartInterval_) {
                if (untilRestart == 0) {
                    if (br.overrun()) fail("JPEG: truncated entropy-coded data");
                    if (!br.restart()) fail("JPEG: missing restart marker");
                    for (int i = 0; i < scan.count; ++i) comps_[scan.index[i]].dcPredictor = 0;
                    eobRun_ = 0;
                    untilRestart = restartInterval_;
                }
                --untilRestart;
            }
            if (br.overrun()) fail("JPEG: truncated entropy-coded data");
            // One call site, so that the block decoder is inlined here.
            for (int i = 0; i < scan.count; ++i) {
                Component& c = comps_[scan.index[i]];
                const int blocksWide = single ? 1 : c.h, blocksHigh = single ? 1 : c.v;
                for (int by = 0; by < blocksHigh; ++by)
                    for (int bx = 0; bx < blocksWide; ++bx)
                        blockFn(br, c, mx * blocksWide + bx, my * blocksHigh + by);
            }
        }
        if (br.overrun()) fail("JPEG: truncated entropy-coded data");
        mcuRowDone(my, mcusHigh);
    }
    pos_ = static_cast<std::size_t>(br.cur - data_);
}

void decodeProgressiveDcFirst(BitReader& br, Component& c, const Huffman& h, int al,
                              std::int16_t* block) {
    c.dcPredictor = static_cast<std::int16_t>(c.dcPredictor + decodeDcDifference(br, h));
    block[0] = static_cast<std::int16_t>(c.dcPredictor * (1 << al));
}

void decodeProgressiveDcRefine(BitReader& br, int al, std::int16_t* block) {
    br.refill();
    if (br.take(1)) block[0] = static_cast<std::int16_t>(block[0] | (1 << al));
}

void decodeProgressiveAcFirst(BitReader& br, const Huffman& h, int ss, int se, int al, int& eobRun,
                              std::int16_t* block) {
    if (eobRun > 0) {
        --eobRun;
        return;
    }
    for (int k = ss; k <= se; ++k) {
        br.refill();
        const int symbol = decodeSymbol(br, h);
        const int run = symbol >> 4, size = symbol & 15;
        if (size) {
            k += run;
            if (k > se) fail("JPEG: corrupt AC coefficients");
            block[kZigzag[k]] = static_cast<std::int16_t>(extend(br.take(size), size) * (1 << al));
        } else if (run < 15) {
            eobRun = (1 << run) - 1;
            if (run) eobRun += br.take(run);
            return;
        } else {
            k += 15;
        }
    }
}

void decodeProgressiveAcRefine(BitReader& br, const Huffman& h, int ss, int se, int al, int& eobRun,
                               std::int16_t* block) {
    const int plus = 1 << al, minus = -(1 << al);
    // A correction bit raises the magnitude of a coefficient that is already non-zero.
    auto refine = [&](std::int16_t& coef) {
        br.refill();
        if (br.take(1) && (coef & plus) == 0)
            coef = static_cast<std::int16_t>(coef + (coef >= 0 ? plus : minus));
    };
    int k = ss;
    if (eobRun == 0) {
        for (; k <= se; ++k) {
            br.refill();
            const int symbol = decodeSymbol(br, h);
            int run = symbol >> 4;
            const int size = symbol & 15;
            int value = 0;
            if (size) {
                if (size != 1) fail("JPEG: corrupt AC refinement");
                value = br.take(1) ? plus : minus;
            } else if (run != 15) {
                eobRun = 1 << run;
                if (run) eobRun += br.take(run);
                break;
            }
            // Skip `run` zero coefficients, refining the non-zero ones passed on the way.
            for (; k <= se; ++k) {
                std::int16_t& coef = block[kZigzag[k]];
                if (coef != 0) {
                    refine(coef);
                } else if (run-- == 0) {
                    break;
                }
            }
            if (value) {
                if (k > se) fail("JPEG: corrupt AC refinement");
                block[kZigzag[k]] = static_cast<std::int16_t>(value);
            }
        }
    }
    if (eobRun > 0) {
        for (; k <= se; ++k) {
            std::int16_t& coef = block[kZigzag[k]];
            if (coef != 0) refine(coef);
        }
        --eobRun;
    }
}

Scan Decoder::readScanHeader() {
    if (!frameSeen_) fail("JPEG: scan before frame header");
    const std::size_t length = segment();
    if (length < 1) fail("JPEG: truncated scan header");
    Scan scan;
    scan.count = data_[pos_];
    if (scan.count < 1 || scan.count > 4 || length != 4 + 2 * static_cast<std::size_t>(scan.count))
        fail("JPEG: invalid scan header");
    int blocksPerMcu = 0;
    for (int i = 0; i < scan.count; ++i) {
        const int id = data_[pos_ + 1 + 2 * i];
        const int tables = data_[pos_ + 2 + 2 * i];
        int index = -1;
        for (std::size_t j = 0; j < comps_.size(); ++j)
            if (comps_[j].id == id) index = static_cast<int>(j);
        if (index < 0) fail("JPEG: scan names an unknown component");
        for (int j = 0; j < i; ++j)
            if (scan.index[j] == index) fail("JPEG: scan names a component twice");
        scan.index[i] = index;
        Component& c = comps_[index];
        c.dcTable = tables >> 4;
        c.acTable = tables & 15;
        if (c.dcTable > 3 || c.acTable > 3) fail("JPEG: invalid Huffman table index");
        blocksPerMcu += c.h * c.v;
    }
    const std::uint8_t* p = data_ + pos_ + 1 + 2 * scan.count;
    scan.ss = p[0];
    scan.se = p[1];
    scan.ah = p[2] >> 4;
    scan.al = p[2] & 15;
    pos_ += length;
    if (scan.count > 1 && blocksPerMcu > 10) fail("JPEG: too many blocks in an MCU");

    const bool dcScan = !progressive_ || scan.ss == 0;
    const bool acScan = !progressive_ || scan.se > 0;
    if (progressive_) {
        if (scan.ss > scan.se || scan.se > 63 || (scan.ss == 0 && scan.se != 0) ||
            (scan.ss > 0 && scan.count != 1) || scan.ah > 13 || scan.al > 13)
            fail("JPEG: invalid progressive scan parameters");
    }
    for (int i = 0; i < scan.count; ++i) {
        Component& c = comps_[scan.index[i]];
        if (dcScan && scan.ah == 0 && !dc_[c.dcTable].defined)
            fail("JPEG: scan uses an undefined Huffman table");
        if (acScan && !ac_[c.acTable].defined) fail("JPEG: scan uses an undefined Huffman table");
        if (!c.quantLatched) {
            if (!quant_[c.tq].defined) fail("JPEG: scan uses an undefined quantisation table");
            c.quant = quant_[c.tq].values;
            c.quantLatched = true;
        }
        c.scanned = true;
    }
    return scan;
}

void Decoder::decodeBaselineBlock(BitReader& br, Component& c, int bx, int by) {
    c.dcPredictor =
        static_cast<std::int16_t>(c.dcPredictor + decodeDcDifference(br, dc_[c.dcTable]));
    std::int16_t* block = blocks_[current_];
    block[0] = static_cast<std::int16_t>(c.dcPredictor);
    const Huffman& h = ac_[c.acTable];
    int k = 1;
    while (k < 64) {
        br.refillForSymbol();
        const FastAc& f = h.fastAc[br.peek(kFastBits)];
        if (f.length) {
            k += f.run;
            if (k > 63) fail("JPEG: corrupt AC coefficients");
            br.skip(f.length);
            block[kZigzag[k++]] = f.value;
            continue;
        }
        const int symbol = decodeSymbol(br, h);
        const int run = symbol >> 4, size = symbol & 15;
        if (size == 0) {
            if (run != 15) break;
            k += 16;
            continue;
        }
        k += run;
        if (k > 63) fail("JPEG: corrupt AC coefficients");
        block[kZigzag[k++]] = static_cast<std::int16_t>(extend(br.take(size), size));
    }
    std::uint8_t* out = c.samples(bx, by);
    // A block that only skipped zero runs has no AC term either, but the full
    // transform gives it the same samples as the flat fill.
    if (k > 1) {
        transformBlock(block, c.quant.data(), out, static_cast<std::ptrdiff_t>(c.stride));
        current_ ^= 1;
    } else {
        const std::uint8_t v = jpeg::idctFlatValue(block[0], c.quant[0]);
        for (int r = 0; r < 8; ++r) std::memset(out + r * c.stride, v, 8);
        block[0] = 0;
    }
}

void Decoder::decodeBaselineScan(const Scan& scan) {
    // A single scan holding every component lets the picture stream out as it is
    // decoded; separate scans per component need whole planes.
    if (!planesReady_) {
        streaming_ = scan.count == static_cast<int>(comps_.size());
        preparePlanes(streaming_);
    } else if (streaming_) {
        fail("JPEG: unexpected scan after the complete picture");
    }

    decodeScanBlocks(
        scan,
        [&](BitReader& br, Component& c, int bx, int by) { decodeBaselineBlock(br, c, bx, by); },
        [&](int mcuRow, int mcuRows) {
            flushTransforms();
            if (streaming_) emitRows(rowsReadyAfter(mcuRow, mcuRows));
        });
}

void Decoder::decodeProgressiveScan(const Scan& scan) {
    auto noRowWork = [](int, int) {};

    if (scan.ss == 0) {
        if (scan.ah == 0) {
            decodeScanBlocks(
                scan,
                [&](BitReader& br, Component& c, int bx, int by) {
                    decodeProgressiveDcFirst(br, c, dc_[c.dcTable], scan.al, c.block(bx, by));
                },
                noRowWork);
        } else {
            decodeScanBlocks(
                scan,
                [&](BitReader& br, Component& c, int bx, int by) {
                    decodeProgressiveDcRefine(br, scan.al, c.block(bx, by));
                },
                noRowWork);
        }
    } else if (scan.ah == 0) {
        decodeScanBlocks(
            scan,
            [&](BitReader& br, Component& c, int bx, int by) {
                decodeProgressiveAcFirst(br, ac_[c.acTable], scan.ss, scan.se, scan.al, eobRun_,
                                         c.block(bx, by));
            },
            noRowWork);
    } else {
        decodeScanBlocks(
            scan,
            [&](BitReader& br, Component& c, int bx, int by) {
                decodeProgressiveAcRefine(br, ac_[c.acTable], scan.ss, scan.se, scan.al, eobRun_,
                                          c.block(bx, by));
            },
            noRowWork);
    }
}

void Decoder::readScan() {
    const Scan scan = readScanHeader();
    if (progressive_)
        decodeProgressiveScan(scan);
    else
        decodeBaselineScan(scan);
}

void Decoder::finishProgressive() {
    preparePlanes(true);
    const bool single = comps_.size() == 1;
    const int mcuRows = single ? comps_[0].blocksHigh : mcusHigh_;
    for (int my = 0; my < mcuRows; ++my) {
        for (Component& c : comps_) {
            const int rowsPerMcu = single ? 1 : c.v;
            const int byEnd = std::min(c.blocksHigh, (my + 1) * rowsPerMcu);
            for (int by = my * rowsPerMcu; by < byEnd; ++by) {
                for (int bx = 0; bx < c.blocksWide; ++bx) {
                    std::int16_t* block = c.block(bx, by);
                    std::uint8_t* out = c.samples(bx, by);
                    bool anyAc = false;
                    for (int k = 1; k < 64 && !anyAc; ++k) anyAc = block[k] != 0;
                    if (anyAc) {
                        transformBlock(block, c.quant.data(), out,
                                       static_cast<std::ptrdiff_t>(c.stride));
                    } else {
                        const std::uint8_t v = jpeg::idctFlatValue(block[0], c.quant[0]);
                        for (int r = 0; r < 8; ++r) std::memset(out + r * c.stride, v, 8);
                    }
                }
            }
        }
        flushTransforms();
        emitRows(rowsReadyAfter(my, mcuRows));
    }
    for (Component& c : comps_) std::vector<std::int16_t>().swap(c.coefficients);
}

// One row of component samples at full picture resolution.
const std::uint8_t* Decoder::componentRow(Component& c, int y, std::uint8_t* tmp,
                                          const std::vector<int>& xMap) {
    if (c.h == hMax_ && c.v == vMax_) return c.row(y);
    const int hRatio = hMax_ % c.h == 0 ? hMax_ / c.h : 0;
    const int vRatio = vMax_ % c.v == 0 ? vMax_ / c.v : 0;
    auto row = [&](int r) { return c.row(std::clamp(r, 0, c.height - 1)); };
    if (hRatio == 2 && vRatio == 1 && c.width > 2) {
        jpeg::upsampleH2V1(row(y), c.width, tmp);
        return tmp;
    }
    if (vRatio == 2 && (hRatio == 1 || (hRatio == 2 && c.width > 2))) {
        const int nearRow = y / 2;
        const bool lower = (y & 1) != 0;
        const std::uint8_t* near = row(nearRow);
        const std::uint8_t* far = row(lower ? nearRow + 1 : nearRow - 1);
        if (hRatio == 1)
            jpeg::upsampleH1V2(near, far, c.width, lower, tmp);
        else
            jpeg::upsampleH2V2(near, far, c.width, tmp);
        return tmp;
    }
    // Any other ratio, integral or not: nearest sample.
    const std::uint8_t* src = row(static_cast<int>(static_cast<long long>(y) * c.v / vMax_));
    if (c.h == hMax_) return src;
    for (int x = 0; x < width_; ++x) tmp[x] = src[xMap[x]];
    return tmp;
}

// Allocates the sample planes (whole, or rings of two MCU rows when the output can
// follow the decoding) and the output picture.
void Decoder::preparePlanes(bool ring) {
    const bool single = comps_.size() == 1;
    for (Component& c : comps_) {
        c.ringRows = ring ? 16 * (single ? 1 : c.v) : c.paddedHigh * 8;
        c.plane.assign(c.stride * static_cast<std::size_t>(c.ringRows), 0);
    }
    const std::size_t w = static_cast<std::size_t>(width_);
    pixels_.assign(w * static_cast<std::size_t>(height_) * requested_, 0);
    const bool colour = comps_.size() == 3;
    // JFIF always means YCbCr; otherwise an Adobe marker says, and failing that the
    // component identifiers 'R', 'G', 'B' mean RGB data.
    if (colour && !jfifSeen_)
        rgbData_ = adobeSeen_ ? adobeRgb_
                              : comps_[0].id == 'R' && comps_[1].id == 'G' && comps_[2].id == 'B';
    for (std::size_t i = 0; i < comps_.size(); ++i) {
        const Component& c = comps_[i];
        // Upsamplers may write one input sample's worth past the picture width.
        rowBuffers_[i].resize(w + 2 * static_cast<std::size_t>(hMax_) + 64);
        if (c.h != hMax_) {
            xMaps_[i].resize(w);
            for (std::size_t x = 0; x < w; ++x)
                xMaps_[i][x] = static_cast<int>(x * static_cast<std::size_t>(c.h) / hMax_);
        }
    }
    if (colour && requested_ < 3) rgbRow_.resize(w * 3);
    convert_ = jpeg::bestColor();
    planesReady_ = true;
}

// Output rows that can be produced once MCU row `mcuRow` of `mcuRows` is in the planes.
int Decoder::rowsReadyAfter(int mcuRow, int mcuRows) const {
    if (mcuRow + 1 >= mcuRows) return height_;
    if (comps_.size() == 1) return std::min(height_, (mcuRow + 1) * 8);
    // Vertical upsampling reads the next sample row, which the next MCU row supplies.
    const int held = vMax_ > 1 ? vMax_ : 0;
    return std::min(height_, (mcuRow + 1) * 8 * vMax_ - held);
}

void Decoder::emitRows(int limit) {
    const std::size_t w = static_cast<std::size_t>(width_);
    const int requested = requested_;
    const bool colour = comps_.size() == 3;
    for (int y = emitted_; y < limit; ++y) {
        std::uint8_t* dst = pixels_.data() + static_cast<std::size_t>(y) * w * requested;
        const std::uint8_t* rows[3] = {};
        for (std::size_t i = 0; i < comps_.size(); ++i)
            rows[i] = componentRow(comps_[i], y, rowBuffers_[i].data(), xMaps_[i]);
        if (!colour) {
            const std::uint8_t* g = rows[0];
            switch (requested) {
            case 1:
                std::memcpy(dst, g, w);
                break;
            case 2:
                for (std::size_t x = 0; x < w; ++x) dst[2 * x] = g[x], dst[2 * x + 1] = 255;
                break;
            default:
                for (std::size_t x = 0; x < w; ++x) {
                    std::uint8_t* o = dst + x * requested;
                    o[0] = o[1] = o[2] = g[x];
                    if (requested == 4) o[3] = 255;
                }
            }
            continue;
        }
        std::uint8_t* rgbDst = requested >= 3 ? dst : rgbRow_.data();
        const int rgbComponents = requested >= 3 ? requested : 3;
        if (rgbData_) {
            for (std::size_t x = 0; x < w; ++x) {
                std::uint8_t* o = rgbDst + x * rgbComponents;
                o[0] = rows[0][x];
                o[1] = rows[1][x];
                o[2] = rows[2][x];
                if (rgbComponents == 4) o[3] = 255;
            }
        } else {
            convert_(rows[0], rows[1], rows[2], width_, rgbDst, rgbComponents);
        }
        if (requested < 3) {
            for (std::size_t x = 0; x < w; ++x) {
                const std::uint8_t* p = rgbRow_.data() + 3 * x;
                const auto grey =
                    static_cast<std::uint8_t>((77 * p[0] + 150 * p[1] + 29 * p[2]) >> 8);
                if (requested == 1)
                    dst[x] = grey;
                else
                    dst[2 * x] = grey, dst[2 * x + 1] = 255;
            }
        }
    }
    emitted_ = std::max(emitted_, limit);
}

void Decoder::decode(int requested, DecodedImage& out) {
    if (requested < 1 || requested > 4) fail("JPEG: requested component count must be 1 to 4");
    requested_ = requested;
    if (size_ < 2 || data_[0] != 0xFF || data_[1] != 0xD8)
        fail("JPEG: missing start-of-image marker");
    pos_ = 2;
    bool ended = false;
    bool anyScan = false;
    int scans = 0;
    while (!ended) {
        const int marker = nextMarker();
        if (marker < 0) break;
        switch (marker) {
        case 0xD9:
            ended = true;
            break;
        case 0xC0:
        case 0xC1:
        case 0xC2:
            readFrame(marker);
            break;
        case 0xC3:
        case 0xC7:
        case 0xCB:
        case 0xCF:
            fail("JPEG: lossless frames are not supported");
        case 0xC5:
        case 0xC6:
        case 0xCD:
        case 0xCE:
        case 0xDE:
        case 0xDF:
            fail("JPEG: hierarchical frames are not supported");
        case 0xC9:
        case 0xCA:
        case 0xCC:
            fail("JPEG: arithmetic coding is not supported");
        case 0xC8:
            fail("JPEG: unsupported frame type");
        case 0xC4:
            readHuffmanTables();
            break;
        case 0xDB:
            readQuantTables();
            break;
        case 0xDD:
            readRestartInterval();
            break;
        case 0xDA:
            // A progressive scan can cover the whole picture in a few bytes (one
            // end-of-band run), so without a cap a small file could demand hours of work.
            if (++scans > kMaxScans) fail("JPEG: too many scans");
            readScan();
            anyScan = true;
            break;
        case 0xD8:
            fail("JPEG: unexpected start-of-image marker");
        case 0x01:
        case 0xD0:
        case 0xD1:
        case 0xD2:
        case 0xD3:
        case 0xD4:
        case 0xD5:
        case 0xD6:
        case 0xD7:
            break; // markers without a segment; stray restarts are harmless
        default: {
            const std::size_t length = segment();
            if (marker == 0xE0) readApp0(length);
            if (marker == 0xEE) readApp14(length);
            pos_ += length;
        }
        }
    }
    if (!frameSeen_) fail("JPEG: no frame header");
    if (!anyScan) fail("JPEG: no image data");
    for (const Component& c : comps_)
        if (!c.scanned) fail("JPEG: a component has no image data");
    // A progressive picture may look complete after any scan; without the end marker
    // there is no telling whether refinements are missing.
    if (progressive_ && !ended) fail("JPEG: truncated progressive picture");
    if (progressive_)
        finishProgressive();
    else
        emitRows(height_);
    out.width = width_;
    out.height = height_;
    out.components = requested;
    out.pixels = std::move(pixels_);
}

} // namespace

bool decodeJpeg(const std::uint8_t* data, std::size_t size, int requestedComponents,
                DecodedImage& out, std::string& error, std::size_t maxPixels) {
    out = DecodedImage{};
    if (data == nullptr) size = 0;
    try {
        // The Huffman lookup tables make the decoder some 50 KB: too much for the stack of
        // whatever thread happens to decode.
        const auto decoder = std::make_unique<Decoder>(data, size, maxPixels);
        decoder->decode(requestedComponents, out);
        return true;
    } catch (const Failure& f) {
        error = f.message;
    } catch (const std::bad_alloc&) {
        error = "JPEG: out of memory";
    }
    out = DecodedImage{};
    return false;
}

bool decodeJpeg(const std::uint8_t* data, std::size_t size, int requestedComponents,
                DecodedImage& out, std::string& error) {
    return decodeJpeg(data, size, requestedComponents, out, error, kJpegMaxPixels);
}

} // namespace corvid
